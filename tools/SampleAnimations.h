#pragma once
// The sample animations, written with GraphicsAnimWriter (version 2):
//   Anims/CreatureWave.anm   the sample creature (SampleMeshes.h) nodding: 11 frames at 10 a
//                            second, looping; the head rises 0.2 a frame to 1 unit at frame 5 and
//                            sinks back, the root walks 0.1 a frame along +z (1 unit a second of
//                            root motion), and the callback point "Step" sits at frame 5

namespace GAME {
class FileSystem;
}

namespace GAME::sample {

constexpr const char* kCreatureWaveAnimation = "Anims/CreatureWave.anm";

bool WriteAnimations(FileSystem& files);

}  // namespace GAME::sample
