#pragma once
// Synchronous delivery of game events to the handlers registered for an event id; reached through
// Singleton<EventManager>::Get().
//
// Send copies the id's handler list under the manager's lock and calls the handlers outside it,
// in registration order, so a handler may register, unregister (itself or others) or send again.
// A handler unregistered during a Send is not called after that point of the Send; one registered
// during it is called from the next Send on. Unregister a handler before deleting it; a handler
// unregistered on another thread while a Send runs may still receive that Send.

#include "core/CriticalSection.h"
#include "core/Mem.h"

namespace GAME {

class GameEvent;

class EventManager {
public:
    class Handler {
    public:
        virtual void HandleEvent(const GameEvent* event, unsigned id) = 0;

    protected:
        ~Handler() = default;
    };

    // False when the handler is null or already registered for the id.
    bool RegisterHandler(unsigned id, Handler* handler);
    // False when it was not registered for the id.
    bool UnregisterHandler(unsigned id, Handler* handler);
    // Removes the handler from every id.
    void UnregisterHandler(Handler* handler);

    // Calls every handler registered for the id with the event.
    void Send(const GameEvent* event, unsigned id);

private:
    bool IsRegistered(unsigned id, const Handler* handler) const;

    mutable CriticalSection lock_;
    mem::map<unsigned, mem::vector<Handler*>> handlers_;  // by event id, in registration order
};

}  // namespace GAME
