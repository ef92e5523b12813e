#include "core/EventManager.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/GameEvent.h"
#include "core/Singleton.h"

namespace GAME {

namespace {

std::string gCalls;

// Records each call; an optional action runs inside the handler.
struct Recorder : EventManager::Handler {
    explicit Recorder(std::string recorderName) : name(std::move(recorderName)) {}
    void HandleEvent(const GameEvent* event, unsigned id) override {
        gCalls += name + ":" + std::to_string(event->GetType()) + "/" + std::to_string(id) + " ";
        if (action) action();
    }
    std::string name;
    std::function<void()> action;
};

}  // namespace

TEST(EventManager, SendsToTheHandlersOfTheIdInRegistrationOrder) {
    EventManager manager;
    Recorder a("a"), b("b"), c("c");
    EXPECT_TRUE(manager.RegisterHandler(4, &a));
    EXPECT_TRUE(manager.RegisterHandler(4, &b));
    EXPECT_TRUE(manager.RegisterHandler(5, &c));
    EXPECT_FALSE(manager.RegisterHandler(4, &a));  // once per id
    EXPECT_FALSE(manager.RegisterHandler(4, nullptr));

    gCalls.clear();
    const GameEvent worldLoaded(4);
    manager.Send(&worldLoaded, 4);
    EXPECT_EQ(gCalls, "a:4/4 b:4/4 ");
    gCalls.clear();
    manager.Send(&worldLoaded, 9);
    EXPECT_EQ(gCalls, "");

    EXPECT_TRUE(manager.UnregisterHandler(4, &a));
    EXPECT_FALSE(manager.UnregisterHandler(4, &a));
    EXPECT_FALSE(manager.UnregisterHandler(7, &c));
    manager.UnregisterHandler(&c);
    gCalls.clear();
    manager.Send(&worldLoaded, 4);
    manager.Send(&worldLoaded, 5);
    EXPECT_EQ(gCalls, "b:4/4 ");
}

TEST(EventManager, HandlersMayUnregisterRegisterAndSendDuringDispatch) {
    EventManager manager;
    Recorder self("self"), killer("killer"), victim("victim"), late("late"), echo("echo");
    self.action = [&] { manager.UnregisterHandler(1, &self); };
    killer.action = [&] {
        manager.UnregisterHandler(1, &victim);
        manager.RegisterHandler(1, &late);
    };
    echo.action = [&] {
        const GameEvent nested(2);
        manager.Send(&nested, 2);
    };
    manager.RegisterHandler(1, &self);
    manager.RegisterHandler(1, &killer);
    manager.RegisterHandler(1, &victim);
    manager.RegisterHandler(1, &echo);
    manager.RegisterHandler(2, &late);

    gCalls.clear();
    const GameEvent event(1);
    manager.Send(&event, 1);
    // victim was removed before its turn; late joins id 1 from the next send on.
    EXPECT_EQ(gCalls, "self:1/1 killer:1/1 echo:1/1 late:2/2 ");

    gCalls.clear();
    manager.Send(&event, 1);
    EXPECT_EQ(gCalls, "killer:1/1 echo:1/1 late:2/2 late:1/1 ");
}

TEST(EventManager, IsReachedAsASingleton) {
    Recorder a("a");
    Singleton<EventManager>::Get()->RegisterHandler(3, &a);
    gCalls.clear();
    const GameEvent event(3);
    Singleton<EventManager>::Get()->Send(&event, 3);
    EXPECT_EQ(gCalls, "a:3/3 ");
    Singleton<EventManager>::Destroy();
}

}  // namespace GAME
