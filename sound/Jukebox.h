#pragma once
// Jukebox: the music and ambient playlists and the event music (Singleton<Jukebox>).
//
// No sound is played: the jukebox keeps the names it was given (playlist records are names and
// nothing reads their contents), which is what its callers test, and keeps the boss-music rule:
// event music played as boss music overrides the place's music, and when the jukebox deletes it
// (stopped, or replaced by other event music) it calls the ambiance back, which reloads the
// place's playlist. Called from the main thread.

#include <string>

namespace GAME {

class JukeboxAmbiance;

class Jukebox {
public:
    Jukebox() = default;
    Jukebox(const Jukebox&) = delete;
    Jukebox& operator=(const Jukebox&) = delete;

    // The ambiance to call back; null (the default) calls nothing. Not owned.
    void SetAmbiance(JukeboxAmbiance* ambiance) { ambiance_ = ambiance; }

    // Whether music is switched on (the default); while it is off the ambiance loads no music.
    bool IsPlayingMusic() const { return musicEnabled_; }
    void EnableMusic(bool enabled) { musicEnabled_ = enabled; }

    // A null name counts as empty.
    void LoadMusicPlaylist(const char* name);
    // Plays a track over the playlist; bossMusic marks boss music. Replaces any event music.
    void PlayEventMusic(const char* name, bool bossMusic);
    // Deletes the event music, if any.
    void StopEventMusic();
    // The flag (the ambiance passes false) changes nothing without playback.
    void LoadAmbientPlaylist(const char* name, bool);

    const std::string& GetMusicPlaylist() const { return musicPlaylist_; }
    const std::string& GetEventMusic() const { return eventMusic_; }
    bool IsBossMusic() const { return bossMusic_; }
    const std::string& GetAmbientPlaylist() const { return ambientPlaylist_; }

private:
    JukeboxAmbiance* ambiance_ = nullptr;
    bool musicEnabled_ = true;
    std::string musicPlaylist_;
    std::string eventMusic_;
    bool bossMusic_ = false;  // the event music is boss music
    std::string ambientPlaylist_;
};

}  // namespace GAME
