#pragma once
// Something that happened in the game, sent to the handlers of an id through EventManager.
// Events with more to say derive from it; the type tells handlers which kind they got.

namespace GAME {

class GameEvent {
public:
    explicit GameEvent(unsigned type) : type_(type) {}

    unsigned GetType() const { return type_; }

private:
    unsigned type_;
};

}  // namespace GAME
