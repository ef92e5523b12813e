#pragma once
// ConnectionManager: the engine's link to the other players of a game. The engine keeps one
// active manager and updates it once a frame; the manager's role decides whether the engine is a
// network server, a client, or playing alone.

namespace GAME {

class ConnectionManager {
public:
    virtual ~ConnectionManager() = default;

    // Sends and receives this frame's traffic.
    virtual void Update() = 0;
    virtual bool IsServer() const = 0;
    virtual bool IsClient() const = 0;
};

}  // namespace GAME
