#pragma once
// JukeboxAmbiance: what the jukebox calls back into: the ambiance manager, which chooses the
// music of the place the viewer is in. The ambiance manager implements it and installs itself with
// Jukebox::SetAmbiance.

namespace GAME {

class JukeboxAmbiance {
public:
    // Forget the current music playlist so that the place's playlist is loaded again: called when
    // boss music, which overrides it, is deleted.
    virtual void ResetAmbientMusic() = 0;

protected:
    ~JukeboxAmbiance() = default;
};

}  // namespace GAME
