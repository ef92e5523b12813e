#pragma once
// StandAloneConnectionManager: the connection manager of a game without other players, the one
// the engine starts with. Neither server nor client; it has no traffic to handle.

#include "network/ConnectionManager.h"

namespace GAME {

class StandAloneConnectionManager final : public ConnectionManager {
public:
    void Update() override {}
    bool IsServer() const override { return false; }
    bool IsClient() const override { return false; }
};

}  // namespace GAME
