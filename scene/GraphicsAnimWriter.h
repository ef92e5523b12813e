#pragma once
// GraphicsAnimWriter: writes the "ANM" animation file that GraphicsAnim reads (the format is
// described there), for tools and tests. Quaternions are given as they are meant and stored
// conjugated, as the reader expects.

#include <cstdint>

#include "core/Mem.h"
#include "scene/GraphicsAnim.h"

namespace GAME {

class BinaryWriter;

class GraphicsAnimWriter {
public:
    // What one file holds.
    struct Contents {
        uint32_t version = GraphicsAnim::kVersion;               // 1 (no magic) or 2
        uint32_t frameCount = 0;                                 // frames of every track
        uint32_t frameRate = 30;                                 // frames per second
        mem::vector<GraphicsAnim::Track> tracks;                 // nameText and frames are written
        mem::vector<GraphicsAnim::CallbackPoint> callbackPoints;  // nameText and frame are written
        mem::vector<GraphicsAnim::CreateEntity> createEntities;
        GraphicsAnim::RagDollData ragDoll;                       // written when any string is set
    };

    // Writes the file. False, with the error logged and nothing written, for contents the reader
    // could not read back: another version, a track whose frame count differs, a version-1 name
    // longer than 32 bytes or a version-1 frame with scale or stretch, a trailer text holding a
    // double quote. False too once the writer has failed.
    static bool Write(BinaryWriter& writer, const Contents& contents);

private:
    static bool Check(const Contents& contents);
    static std::string MakeTrailer(const Contents& contents);
};

}  // namespace GAME
