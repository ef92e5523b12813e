// The engine headless: start-up, the frame loop, the log, shutdown, and the host hooks.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "TestEngine.h"
#include "TestRecords.h"
#include "core/GameClock.h"
#include "core/MathExpect.h"
#include "core/Singleton.h"
#include "core/SingletonManager.h"
#include "core/Thread.h"
#include "core/UniqueIdMap.h"
#include "engine/Entity.h"
#include "engine/LogFiles.h"
#include "engine/MapChunkCallback.h"
#include "engine/ObjectManager.h"
#include "files/LocalizationManager.h"
#include "files/Options.h"
#include "files/ResourceLoader.h"
#include "physics/PhysicsEngine.h"
#include "platform/KeyCodes.h"
#include "render/Display.h"
#include "render/DisplayWidget.h"
#include "render/GraphicsEngineSettings.h"
#include "render/InputDevice.h"
#include "render/RenderDevice.h"
#include "render/ResetObject.h"
#include "sound/SoundManager.h"
#include "support/InputEvents.h"
#include "support/LogCapture.h"
#include "support/OffscreenWindow.h"
#include "support/TempDirectory.h"
#include "world/InstanceGroupManager.h"
#include "world/Region.h"
#include "world/World.h"
#include "world/WorldFrustum.h"

namespace GAME::test {
namespace {

TestRecords::Files RecordsWithText() {
    TestRecords::Files files = TestRecords::Standard();
    files.push_back({"Text/English.txt", "tagHello=Hello\n"});
    files.push_back({"Text/German.txt", "tagHello=Hallo\n"});
    return files;
}

class EngineTest : public ::testing::Test {
protected:
    EngineTest() : records(RecordsWithText()) {
        engine.SetLogPath(user.Join("Logs"));
        engine.SetDefaultSettingsPath(user.Join("Settings/Default.txt"));
        engine.SetNormalSettingsPath(user.Join("Settings/User.txt"));
    }

    bool Start() { return engine.Initialize(nullptr, TestEngine::MakeHeadlessGraphicsSettings(), true, false, &records.GetFileSystem()); }
    void RunFrames(int count) {
        for (int i = 0; i < count; ++i) {
            engine.Update(WorldFrustum(), true);
            engine.Render();
        }
    }
    ObjectManager* Objects() { return Singleton<ObjectManager>::Get(); }

    TempDirectory user;
    TestRecords records;
    TestEngine engine;  // shut down before the file system it was given goes
};

TEST_F(EngineTest, HundredFramesHeadless) {
    std::thread([] { Thread::SetMainThread(); }).join();
    ASSERT_TRUE(Start());
    EXPECT_TRUE(engine.IsInitialized() && Thread::IsMainThread());
    EXPECT_EQ(std::tuple(engine.GetLogCategoryName(0), engine.GetLogCategoryName(1), engine.GetLogCategoryName(2),
                         engine.GetLogCategoryName(3)),
              std::tuple("", "Engine", "Graphics", ""));
    char threadName[16] = {};
    pthread_getname_np(pthread_self(), threadName, sizeof(threadName));
    EXPECT_STREQ(threadName, Engine::kMainThreadName);
    ASSERT_NE(engine.GetResourceLoader(), nullptr);
    EXPECT_TRUE(engine.GetResourceLoader()->IsThreadRunning());
    EXPECT_TRUE(Singleton<SoundManager>::HasInstantiated());
    EXPECT_EQ(engine.GetWorld()->GetInstanceGroupStore(), InstanceGroupManager::Get());

    // 25 objects destroyed before the first frame are gone after the second.
    for (int i = 0; i < 25; ++i)
        Objects()->DestroyObjectEx(Objects()->CreateObjectFromFile(kEntityRecord), __FILE__, __LINE__);
    RunFrames(1);
    EXPECT_EQ(Objects()->GetNumDeletedObjects(), 5);
    RunFrames(1);
    EXPECT_EQ(Objects()->GetNumDeletedObjects(), 0);

    // An empty line is a line of the overlay too.
    engine.AddStatisticText("%s", "");
    engine.AddStatisticText("frame %d", 1);
    EXPECT_EQ(engine.GetStatisticText(), (mem::vector<std::string>{"", "frame 1"}));

    // Game time flows into the frames' update times without loss.
    int updateTotal = engine.GetUpdateTime();
    const int gameTimeBefore = GetGameTime() - updateTotal;
    for (int frame = 2; frame < 100; ++frame) {
        engine.AddStatisticText("frame %d", frame);
        Objects()->CreateObjectFromFile<Entity>(kActorRecord)->GetUniqueID();
        RunFrames(1);
        updateTotal += engine.GetUpdateTime();
        EXPECT_TRUE(engine.GetStatisticText().empty());
        EXPECT_EQ(engine.GetResourceLoader()->GetFrameCount(), engine.GetFrameCount());
    }
    EXPECT_EQ(engine.GetFrameCount(), 100u);
    EXPECT_EQ(updateTotal, GetGameTime() - gameTimeBefore);

    std::thread([] { GAME::Log(LogPriority::Info, "hello from a loading thread"); }).join();
    EXPECT_TRUE(engine.GetLog().Contains(LogPriority::Info, "hello from a loading thread"));

    engine.Shutdown();
    EXPECT_TRUE(!engine.IsInitialized() && engine.GetResourceLoader() == nullptr &&
                engine.GetPhysicsEngine() == nullptr && engine.GetEffectResourceManager() == nullptr);
    // The 98 actors were never destroyed; their unique ids went with the map before them.
    EXPECT_TRUE(engine.GetLog().Contains(LogPriority::Warning, "98 objects were never destroyed"));
    EXPECT_TRUE(engine.GetLog().Contains(LogPriority::Warning, "Object never destroyed: Actor 'records/test/actor/box.dbr'"));
    EXPECT_EQ(engine.GetLog().Count(LogPriority::Error), 0u);
    EXPECT_FALSE(Singleton<UniqueIdMap>::HasInstantiated() || Singleton<SoundManager>::HasInstantiated());

    const std::string html = user.ReadFile("Logs/EngineLog.html");
    const std::string xml = user.ReadFile("Logs/EngineLog.xml");
    EXPECT_TRUE(html.starts_with("<!DOCTYPE html>") && html.ends_with("</html>\n"));
    EXPECT_NE(html.find("<td>hello from a loading thread</td>"), std::string::npos);
    EXPECT_TRUE(xml.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<log>\n") && xml.ends_with("</log>\n"));
    EXPECT_NE(xml.find("priority=\"warning\" category=\"\">98 objects were never destroyed</entry>"), std::string::npos);
}

TEST_F(EngineTest, LogFilesEscapeTheirText) {
    ASSERT_TRUE(Start());
    const unsigned category = engine.CreateLogCategory("<Tools>");
    EXPECT_EQ(engine.CreateLogCategory("<Tools>"), category);
    EXPECT_EQ(category, 3u);
    GAME::Log(LogPriority::Error, category, "a < b & \"c\"\x01");
    engine.Shutdown();
    const std::string xml = user.ReadFile("Logs/EngineLog.xml");
    EXPECT_NE(xml.find("priority=\"error\" category=\"&lt;Tools&gt;\">a &lt; b &amp; &quot;c&quot;?</entry>"),
              std::string::npos);
    EXPECT_NE(user.ReadFile("Logs/EngineLog.html").find("<tr class=\"error\">"), std::string::npos);
}

// Each file is a whole document: its header, a line a message (the time in seconds since Open),
// its footer. Opening again first closes the files open before; a file that cannot be written
// whole is reported by Close.
TEST(LogFilesTest, EachFileIsAWholeDocument) {
    TempDirectory directory;
    LogFiles files;
    ASSERT_TRUE(files.Open(directory.Join("First")));
    files.Write(LogPriority::Warning, "Engine", "one");
    ASSERT_TRUE(files.Open(directory.Join("Second")));
    files.Write(LogPriority::Info, "", "two");
    EXPECT_TRUE(files.Close());
    EXPECT_FALSE(files.IsOpen());
    files.Write(LogPriority::Info, "", "after");
    const auto read = [&](const std::string& name) {  // with the times as "T"
        std::string text = directory.ReadFile(name);
        for (const std::string field : {"\"><td>", "time=\""}) {
            for (size_t at = text.find(field); at != std::string::npos; at = text.find(field, at + 1)) {
                const size_t time = at + field.size();
                text.replace(time, text.find_first_not_of("0123456789.", time) - time, "T");
            }
        }
        return text;
    };
    const std::string htmlHead =
        "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>Engine Log</title>\n<style>\n"
        "body { font-family: monospace; }\ntd { padding: 0 0.5em; vertical-align: top; }\n"
        ".error { color: #c00000; }\n.warning { color: #b06000; }\n</style>\n</head>\n<body>\n<table>\n"
        "<tr><th>Time</th><th>Priority</th><th>Category</th><th>Message</th></tr>\n";
    const std::string htmlFoot = "</table>\n</body>\n</html>\n";
    const std::string xmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<log>\n";
    EXPECT_EQ(
        read("First/EngineLog.html"),
        htmlHead + "<tr class=\"warning\"><td>T</td><td>warning</td><td>Engine</td><td>one</td></tr>\n" + htmlFoot);
    EXPECT_EQ(read("Second/EngineLog.html"),
              htmlHead + "<tr class=\"info\"><td>T</td><td>info</td><td></td><td>two</td></tr>\n" + htmlFoot);
    EXPECT_NE(directory.ReadFile("First/EngineLog.xml").find("time=\"0."), std::string::npos);  // since Open
    EXPECT_EQ(read("First/EngineLog.xml"),
              xmlHead + "<entry time=\"T\" priority=\"warning\" category=\"Engine\">one</entry>\n</log>\n");

    std::filesystem::create_directories(directory.Join("Full"));
    std::filesystem::create_symlink("/dev/full", directory.Join("Full/EngineLog.xml"));
    ASSERT_TRUE(files.Open(directory.Join("Full")));
    files.Write(LogPriority::Info, "", "lost");
    EXPECT_FALSE(files.Close());
    EXPECT_FALSE(files.Open(directory.Join("First/EngineLog.xml")));  // a file, not a directory
}

TEST(EngineLogSinkTest, EveryMessageReachesTheEngineWhileItExists) {
    LogCapture before;
    {
        TestEngine engine;
        EXPECT_EQ(gEngine, &engine);
        GAME::Log(LogPriority::Warning, 7u, "through the core log %d", 1);
        engine.Log(LogPriority::Info, "directly %d", 2);
        const std::vector<LogLines::Line> lines = engine.GetLog().Lines();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(std::tuple(lines[0].priority, lines[0].category, lines[0].text, lines[1].text),
                  std::tuple(LogPriority::Warning, 7u, "through the core log 1", "directly 2"));
        EXPECT_TRUE(before.Lines().empty());
    }
    EXPECT_EQ(gEngine, nullptr);
    GAME::Log(LogPriority::Info, "after the engine");
    EXPECT_TRUE(before.Contains(LogPriority::Info, "after the engine"));

    // The base engine hands each line on to the sink it replaced; one made while another lives
    // drops it rather than forward it back to itself.
    {
        Engine first;
        GAME::Log(LogPriority::Error, 3u, "handed on");
        Engine second;
        GAME::Log(LogPriority::Error, "dropped");
    }
    ASSERT_EQ(before.Lines().size(), 2u);
    EXPECT_EQ(before.Lines()[1].category, 3u);
    EXPECT_EQ(before.Lines()[1].text, "handed on");
}

TEST_F(EngineTest, OptionsAndLanguageComeFromTheSettingsFiles) {
    user.WriteFile("Settings/Default.txt", "brightness                = 0.25\nlanguage                  = German\n");
    user.WriteFile("Settings/User.txt", "brightness = 0.75\n");
    ASSERT_TRUE(Start());
    Options* options = engine.GetOptions();
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(engine.GetOptions(), options);
    EXPECT_FLOAT_EQ(options->GetFloat(Options::FloatName::brightness), 0.75f);
    EXPECT_EQ(LocalizationManager::Instance().GetLanguage(), "German");
    EXPECT_EQ(LocalizationManager::Instance().Localize("tagHello"), L"Hallo");
}

TEST_F(EngineTest, StartUpAndShutdownMisuse) {
    EXPECT_FALSE(engine.Initialize(nullptr, GraphicsEngineSettings(), true, false, nullptr));
    EXPECT_TRUE(engine.GetLog().Contains(LogPriority::Error, "no file system"));
    engine.Shutdown();  // not running: nothing to do, nothing to draw
    engine.Render();
    engine.PresentSurface();
    ASSERT_TRUE(Start());
    EXPECT_FALSE(Start());
    EXPECT_TRUE(engine.GetLog().Contains(LogPriority::Error, "already running"));
    engine.Shutdown();
    engine.Shutdown();
    // It starts again after a shutdown, more often than the device factory has library rows.
    for (int start = 0; start < RenderDevice::kMaxLibraries; ++start) {
        ASSERT_TRUE(Start());
        engine.Shutdown();
    }
    ASSERT_TRUE(Start());
    RunFrames(3);
    EXPECT_EQ(engine.GetFrameCount(), 3u);
}

// Counts the frames the singleton manager hands it.
struct FrameCounter final : SingletonManager::Updatable {
    void Update() override { ++frames; }
    int frames = 0;
};

TEST_F(EngineTest, SingletonsAreUpdatedEachFrameAndDestroyedAtShutdown) {
    ASSERT_TRUE(Start());
    const FrameCounter* counter = Singleton<FrameCounter>::Get();
    RunFrames(2);
    EXPECT_EQ(counter->frames, 2);
    engine.Shutdown();
    EXPECT_FALSE(Singleton<FrameCounter>::HasInstantiated());
}

TEST_F(EngineTest, TheDestructorShutsDownAForgottenEngine) {
    auto forgotten = std::make_unique<TestEngine>();
    forgotten->SetLogPath(user.Join("Forgotten"));
    ASSERT_TRUE(forgotten->Initialize(nullptr, TestEngine::MakeHeadlessGraphicsSettings(), true, false, &records.GetFileSystem()));
    forgotten.reset();
    const std::string xml = user.ReadFile("Forgotten/EngineLog.xml");
    EXPECT_EQ(xml.substr(xml.size() - 7), "</log>\n");
}

// Each start-up takes 150 ms here, none of it play: the first frame of each start counts from the
// end of its start-up, also after a frame that took 5 s.
TEST_F(EngineTest, GameTimeCountsFromTheEndOfStartUpAndStandsStillWhilePaused) {
    engine.onLine = [](const std::string& line) {
        if (line.find("Graphics engine initialized") != std::string::npos)
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
    };
    for (int start = 0; start < 2; ++start) {
        ASSERT_TRUE(Start());
        EXPECT_EQ(GetGameTime(), 0);
        RunFrames(1);
        EXPECT_GE(engine.GetUpdateTime(), 0);
        EXPECT_LT(engine.GetUpdateTime(), 150);
        GameClock::Get().AdvanceBy(5000.0);
        RunFrames(1);
        EXPECT_GE(engine.GetUpdateTime(), 5000);
        GameClock::Get().SetPaused(true);
        RunFrames(2);
        EXPECT_EQ(engine.GetUpdateTime(), 0);
        GameClock::Get().SetPaused(false);
        engine.Shutdown();
    }
}

// The physics steps around the middle of the viewer's frustum, in its region (whose missing level
// is only logged); a viewer in no region leaves it where it was.
TEST_F(EngineTest, PhysicsStepsAroundTheMiddleOfTheViewersFrustum) {
    ASSERT_TRUE(Start());
    World& world = *engine.GetWorld();
    Region* region =
        world.GetRegion(world.AddRegion("Box", IntVec3(), ABBox(Vec3(4, 4, 4), Vec3(4, 4, 4)), RegionId(1, 0, 0, 0)));
    const PhysicsEngine& physics = *engine.GetPhysicsEngine();
    engine.Update(WorldFrustum(region, Frustum::FromBox(ABBox(Vec3(1, 2, 3), Vec3(1, 1, 1)))), true);
    EXPECT_EQ(physics.GetCentre().GetRegion(), region);
    ExpectNear(physics.GetCentre().GetRegionPosition(), Vec3(1, 2, 3));
    engine.Update(WorldFrustum(), true);
    EXPECT_EQ(physics.GetCentre().GetRegion(), region);
    // An entity in no region has nothing to tell the simulation when its type changes.
    const size_t warnings = engine.GetLog().Count(LogPriority::Warning);
    Entity outside;
    outside.SetPhysicsType(Entity::PhysicsType::RigidBody);
    EXPECT_EQ(engine.GetLog().Count(LogPriority::Warning), warnings);
}

TEST_F(EngineTest, TheEngineStartsStandAloneAndForgetsItsClientsAtShutdown) {
    ASSERT_TRUE(Start());
    RunFrames(1);
    EXPECT_FALSE(engine.IsNetworkServer() || engine.IsNetworkClient() || engine.IsNetworkEnabled() ||
                 engine.GetNetworkEntityList()->GetNumClients() != 0 || engine.GetNetworkController() != nullptr);
    Entity replicated;
    engine.GetNetworkEntityList()->AddEntityToClient(1, &replicated);
    engine.Shutdown();
    EXPECT_EQ(engine.GetNetworkEntityList()->GetNumClients(), 0);
}

// Counts what the display hands it.
struct EventWidget final : DisplayWidget {
    void Update() override { ++updates; }
    void Render(GraphicsCanvas&) const override {}
    bool HandleKeyEvent(const InputDevice::ButtonEvent& event) override {
        keys.push_back(event.keyCode);
        return false;
    }
    bool HandleMouseEvent(const InputDevice::MouseEvent& event) override {
        mouseTypes.push_back(event.type);
        return false;
    }

    int updates = 0;
    std::vector<uint32_t> keys;
    std::vector<uint32_t> mouseTypes;
};

TEST_F(EngineTest, TheEngineReadsInputEachFrameUnlessSuppressed) {
    ASSERT_TRUE(Start());
    EXPECT_EQ(engine.GetInputDevice(), nullptr);  // suppressed
    ASSERT_NE(engine.GetDisplay(), nullptr);
    EXPECT_EQ(engine.GetDisplay()->GetNumWidgets(), 0);  // and with it the debug widgets
    engine.Shutdown();

    OffscreenWindow window(32, 32);
    ASSERT_TRUE(engine.Initialize(window.Get(), TestEngine::MakeHeadlessGraphicsSettings(), false, false,
                                  &records.GetFileSystem()));
    InputDevice* input = engine.GetInputDevice();
    ASSERT_NE(input, nullptr);
    // The render debugger (hidden, in front) and the statistics widget are there; a widget
    // behind them gets the frame's events they leave and an update before the frame is drawn.
    Display* display = engine.GetDisplay();
    ASSERT_EQ(display->GetNumWidgets(), 2);
    EventWidget widget;
    display->AddWidget(&widget);
    PushKey(window.Get(), ScancodeFromKeyCode(1), true);
    PushButton(window.Get(), 1, true);
    RunFrames(1);
    ASSERT_EQ(input->GetNumButtonEvents(), 1u);
    EXPECT_EQ(std::pair(input->GetButtonEvent(0).keyCode, input->GetNumMouseEvents()), std::pair(1u, 2u));
    EXPECT_EQ(widget.keys, std::vector<uint32_t>{1u});
    EXPECT_EQ(widget.mouseTypes, (std::vector<uint32_t>{InputDevice::MouseEvent::State, InputDevice::MouseEvent::LeftDown}));
    EXPECT_EQ(widget.updates, 1);
    display->RemoveWidget(&widget);
    RunFrames(1);
    EXPECT_TRUE(input->GetNumButtonEvents() == 0 && input->IsKeyDown(1));
    engine.Shutdown();
    EXPECT_TRUE(engine.GetInputDevice() == nullptr && engine.GetDisplay() == nullptr);
    DrainEvents();

    // Input asked for without a window: the engine runs without it.
    ASSERT_TRUE(engine.Initialize(nullptr, TestEngine::MakeHeadlessGraphicsSettings(), false, false,
                                  &records.GetFileSystem()));
    EXPECT_EQ(engine.GetInputDevice(), nullptr);
    EXPECT_TRUE(engine.GetLog().Contains(LogPriority::Error, "without input"));
}

class CountedCallback : public MapChunkCallback {
public:
    CountedCallback(unsigned chunkId, int& deleted) : MapChunkCallback(chunkId), deleted_(deleted) {}
    ~CountedCallback() override { ++deleted_; }
    void ReadChunk(BinaryReader&) override {}

private:
    int& deleted_;
};

TEST(EngineMapChunkTest, TheEngineOwnsInstalledCallbacksAndRefusesDuplicates) {
    int deleted = 0;
    auto refused = std::make_unique<CountedCallback>(7, deleted);
    {
        TestEngine engine;
        for (const unsigned id : {7u, 9u})
            EXPECT_TRUE(engine.InstallMapChunkCallback(new CountedCallback(id, deleted)));
        EXPECT_FALSE(engine.InstallMapChunkCallback(refused.get()) || engine.InstallMapChunkCallback(nullptr));
        EXPECT_TRUE(engine.GetLog().Contains(LogPriority::Error, "Duplicate MapChunkCallback being installed for Id 7"));
        EXPECT_EQ(engine.GetChunkCallbackMap().size(), 2u);
        EXPECT_EQ(engine.GetChunkCallbackMap().at(7)->GetChunkId(), 7u);
    }
    EXPECT_EQ(deleted, 2);
    refused.reset();
    EXPECT_EQ(deleted, 3);
}

TEST_F(EngineTest, ShutdownDeletesTheInstalledCallbacksAndDestroysTheRegisteredManagersOnce) {
    static int destroyed;  // registered for good: every engine shut down from now on counts
    const Engine::ManagerDestroyFunction destroy = [] { ++destroyed; };
    Engine::RegisterManagerDestroyer(destroy);
    Engine::RegisterManagerDestroyer(destroy);
    int deleted = 0;
    ASSERT_TRUE(Start());
    EXPECT_TRUE(engine.InstallMapChunkCallback(new CountedCallback(7, deleted)));
    destroyed = 0;
    engine.Shutdown();
    EXPECT_EQ(std::tuple(deleted, engine.GetChunkCallbackMap().size(), destroyed), std::tuple(1, 0u, 1));
}

// Writes what it is told into a journal, and can unregister another object while it is told.
class JournalResetObject : public ResetObject {
public:
    JournalResetObject(std::vector<std::string>& journal, std::string label)
        : journal_(journal), label_(std::move(label)) {}
    void PreDeviceReset() override {
        journal_.push_back(label_ + " pre");
        if (victim) gEngine->UnregisterResetObject(victim);
    }
    void PostDeviceReset() override { journal_.push_back(label_ + " post"); }

    ResetObject* victim = nullptr;

private:
    std::vector<std::string>& journal_;
    std::string label_;
};

TEST_F(EngineTest, ResetObjectsAreToldInOrderAndPendingObjectsGo) {
    ASSERT_TRUE(Start());
    std::vector<std::string> journal;
    JournalResetObject a(journal, "a");
    JournalResetObject b(journal, "b");
    JournalResetObject c(journal, "c");
    engine.RegisterResetObject(&a);
    engine.RegisterResetObject(&b);
    engine.RegisterResetObject(&a);
    engine.RegisterResetObject(&c);
    engine.RegisterResetObject(nullptr);
    a.victim = &b;  // b leaves before it is told
    Objects()->DestroyObjectEx(Objects()->CreateObject("Entity"), __FILE__, __LINE__);

    engine.PreDeviceReset();
    EXPECT_EQ(Objects()->GetNumDeletedObjects(), 0);
    engine.PostDeviceReset();
    const std::vector<std::string> expected = {"a pre", "c pre", "a post", "c post"};
    EXPECT_EQ(journal, expected);
    engine.UnregisterResetObject(&a);
    engine.UnregisterResetObject(&c);
}

}  // namespace
}  // namespace GAME::test
