#include "SampleAnimations.h"

#include "SampleData.h"

#include "files/BinaryWriter.h"
#include "scene/GraphicsAnimWriter.h"

namespace GAME::sample {

bool WriteAnimations(FileSystem& files) {
    constexpr uint32_t kFrames = 11;
    GraphicsAnimWriter::Contents contents;
    contents.frameCount = kFrames;
    contents.frameRate = 10;
    GraphicsAnim::Track root;
    root.nameText = "Root";
    GraphicsAnim::Track head;
    head.nameText = "Head";
    for (uint32_t frame = 0; frame < kFrames; ++frame) {
        SkeletalPose::AffineParts walk;
        walk.translation = Vec3(0.0f, 0.0f, 0.1f * float(frame));
        root.frames.push_back(walk);
        SkeletalPose::AffineParts nod;
        nod.translation = Vec3(0.0f, 0.2f * float(frame <= 5 ? frame : kFrames - 1 - frame), 0.0f);
        head.frames.push_back(nod);
    }
    contents.tracks = {root, head};
    GraphicsAnim::CallbackPoint step;
    step.nameText = "Step";
    step.frame = 5;
    contents.callbackPoints.push_back(step);
    BinaryWriter writer;
    return GraphicsAnimWriter::Write(writer, contents) && WriteBinary(files, kCreatureWaveAnimation, writer);
}

}  // namespace GAME::sample
