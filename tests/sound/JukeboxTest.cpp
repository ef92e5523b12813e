// Jukebox: the names it keeps and the call back into the ambiance when boss music is deleted.

#include <gtest/gtest.h>

#include "core/Singleton.h"
#include "sound/Jukebox.h"
#include "sound/JukeboxAmbiance.h"

namespace GAME {
namespace {

struct CountingAmbiance : JukeboxAmbiance {
    int resets = 0;
    void ResetAmbientMusic() override { ++resets; }
};

TEST(Jukebox, KeepsTheNamesItIsGiven) {
    Jukebox jukebox;
    EXPECT_TRUE(jukebox.IsPlayingMusic());
    jukebox.LoadMusicPlaylist("Records/Sounds/Music/Forest.dbr");
    jukebox.LoadAmbientPlaylist("Records/Sounds/Ambient/Wind.dbr", false);
    jukebox.PlayEventMusic("Records/Sounds/Music/Discovery.dbr", false);
    EXPECT_EQ(jukebox.GetMusicPlaylist(), "Records/Sounds/Music/Forest.dbr");
    EXPECT_EQ(jukebox.GetAmbientPlaylist(), "Records/Sounds/Ambient/Wind.dbr");
    EXPECT_EQ(jukebox.GetEventMusic(), "Records/Sounds/Music/Discovery.dbr");
    EXPECT_FALSE(jukebox.IsBossMusic());

    jukebox.LoadMusicPlaylist(nullptr);
    EXPECT_EQ(jukebox.GetMusicPlaylist(), "");
    jukebox.EnableMusic(false);
    EXPECT_FALSE(jukebox.IsPlayingMusic());
}

TEST(Jukebox, DeletingBossMusicResetsTheAmbientMusic) {
    CountingAmbiance ambiance;
    Jukebox jukebox;
    jukebox.SetAmbiance(&ambiance);

    // Ordinary event music comes and goes without a call.
    jukebox.PlayEventMusic("Event", false);
    jukebox.StopEventMusic();
    EXPECT_EQ(ambiance.resets, 0);

    // Boss music is deleted when stopped ...
    jukebox.PlayEventMusic("Boss", true);
    EXPECT_TRUE(jukebox.IsBossMusic());
    jukebox.StopEventMusic();
    EXPECT_EQ(ambiance.resets, 1);
    EXPECT_EQ(jukebox.GetEventMusic(), "");
    jukebox.StopEventMusic();
    EXPECT_EQ(ambiance.resets, 1);

    // ... and when other event music replaces it.
    jukebox.PlayEventMusic("Boss", true);
    jukebox.PlayEventMusic("Event", false);
    EXPECT_EQ(ambiance.resets, 2);
    EXPECT_FALSE(jukebox.IsBossMusic());

    // With no ambiance installed nothing is called.
    jukebox.SetAmbiance(nullptr);
    jukebox.PlayEventMusic("Boss", true);
    jukebox.StopEventMusic();
    EXPECT_EQ(ambiance.resets, 2);
}

TEST(Jukebox, IsAProcessWideSingleton) {
    Jukebox* jukebox = Singleton<Jukebox>::Get();
    EXPECT_EQ(Singleton<Jukebox>::Get(), jukebox);
    Singleton<Jukebox>::Destroy();
    EXPECT_FALSE(Singleton<Jukebox>::HasInstantiated());
}

}  // namespace
}  // namespace GAME
