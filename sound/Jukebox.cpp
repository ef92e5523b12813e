#include "sound/Jukebox.h"

#include "sound/JukeboxAmbiance.h"

namespace GAME {

void Jukebox::LoadMusicPlaylist(const char* name) { musicPlaylist_ = name ? name : ""; }

void Jukebox::PlayEventMusic(const char* name, bool bossMusic) {
    StopEventMusic();
    eventMusic_ = name ? name : "";
    bossMusic_ = bossMusic;
}

void Jukebox::StopEventMusic() {
    const bool wasBossMusic = bossMusic_;
    eventMusic_.clear();
    bossMusic_ = false;
    if (wasBossMusic && ambiance_) ambiance_->ResetAmbientMusic();
}

void Jukebox::LoadAmbientPlaylist(const char* name, bool) { ambientPlaylist_ = name ? name : ""; }

}  // namespace GAME
