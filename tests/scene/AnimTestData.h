#pragma once
// Animation test data: a file system over a temporary directory with a loader (no thread) and an
// animation manager, and builders for animation contents written with GraphicsAnimWriter.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "files/BinaryWriter.h"
#include "files/File.h"
#include "files/FileSystem.h"
#include "files/ResourceLoader.h"
#include "files/ResourceManager.h"
#include "scene/GraphicsAnim.h"
#include "scene/GraphicsAnimWriter.h"
#include "support/TempDirectory.h"

namespace GAME::test {

using AffineParts = SkeletalPose::AffineParts;

inline Quaternion AxisAngle(const Vec3& axis, float angle) {
    const Vec3 v = axis.Unit() * std::sin(0.5f * angle);
    return Quaternion(v.x, v.y, v.z, std::cos(0.5f * angle));
}

inline AffineParts Parts(const Vec3& translation, const Quaternion& rotation = Quaternion()) {
    AffineParts parts;
    parts.translation = translation;
    parts.rotation = rotation;
    return parts;
}

// A track whose frame i is moved to (i * step) and turned by i * turn radians about z.
inline GraphicsAnim::Track MakeTrack(const std::string& name, uint32_t frames, const Vec3& step, float turn = 0.0f) {
    GraphicsAnim::Track track;
    track.nameText = name;
    for (uint32_t i = 0; i < frames; ++i) {
        track.frames.push_back(Parts(step * float(i), AxisAngle(Vec3(0, 0, 1), turn * float(i))));
    }
    return track;
}

class AnimFixture : public ::testing::Test {
protected:
    AnimFixture() { files.AddDirectory(dir.GetPath(), true); }

    void WriteBytes(const std::string& name, const void* data, uint32_t size) {
        File* file = files.OpenFile(name, FileMode::Write);
        ASSERT_NE(file, nullptr);
        ASSERT_TRUE(size == 0 || file->Write(0, data, size));
        files.CloseFile(file);
    }
    // Writes the contents to a file and returns the loaded animation (with one reference).
    const GraphicsAnim* Load(const std::string& name, const GraphicsAnimWriter::Contents& contents) {
        BinaryWriter writer;
        EXPECT_TRUE(GraphicsAnimWriter::Write(writer, contents));
        return LoadBytes(name, writer.GetBuffer(), writer.GetPosition());
    }
    const GraphicsAnim* LoadBytes(const std::string& name, const void* data, uint32_t size) {
        WriteBytes(name, data, size);
        const GraphicsAnim* anim = manager.LoadResource(name);
        anim->EnsureAvailable();
        return anim;
    }

    TempDirectory dir;
    FileSystem files;
    ResourceLoader loader{files};
    ResourceManager<GraphicsAnim> manager{loader};
};

}  // namespace GAME::test
