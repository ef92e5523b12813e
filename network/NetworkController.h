#pragma once
// NetworkController: the host's game-level view of the network, installed with
// Engine::SetNetworkController. The engine only asks it for the server's tick, which a client's
// levels compare to notice a new replication update.

#include <cstdint>

namespace GAME {

class NetworkController {
public:
    virtual ~NetworkController() = default;

    // The number of the newest update received from the server (or sent, on the server).
    virtual uint32_t GetTick() const = 0;
};

}  // namespace GAME
