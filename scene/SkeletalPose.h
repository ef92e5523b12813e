#pragma once
// SkeletalPose: the pose of a skeleton. For each bone, named by its Name, the bone's transform
// relative to its parent as AffineParts. Animations write poses, channels blend them, meshes turn
// them into bone coordinates and mesh instances save them.
//
// The bones live in a NameTable made on the first write, so a pose that is never written costs no
// table; after that nothing allocates: lookups, writes, blends and sampling reuse the table.
// Iteration (and so the stream order) is the table's slot order.
//
// Stream form (little-endian), ReadData / WriteData:
//   u32 count, u32 full (1: scale and stretch follow each rotation, 0: they do not),
//   count x {Name as 16 bytes, translation 3 x f32, rotation packed u32 (Quaternion::Pack),
//            full only: scale 3 x f32, stretch packed u32}        (32 or 48 bytes a bone)
// A record without the full parts reads back with scale (1, 1, 1) and stretch (0, 0, 0, 0), which
// converts to the identity like (0, 0, 0, 1) does.

#include <memory>

#include "core/Coords.h"
#include "core/Name.h"
#include "core/Quaternion.h"
#include "core/Vec3.h"
#include "scene/NameTable.h"

namespace GAME {

class BinaryReader;
class BinaryWriter;

class SkeletalPose {
public:
    // One bone's transform taken apart: 14 floats in this order, the unit of animation data and of
    // saved poses. The defaults are the identity parts.
    struct AffineParts {
        Vec3 translation;                  // the origin
        Quaternion rotation;               // turns the stretched axes into place
        Vec3 scale{1.0f, 1.0f, 1.0f};      // along the stretch axes
        Quaternion stretch;                // the axes along which scale applies

        // The frame: its 3 x 3 part is R(rotation) * diag(scale) * R(stretch) (the stretch
        // matrix with its rows scaled), its origin the translation.
        Coords ToCoords() const;
        // The parts of a frame. A mirrored frame has its y axis negated and gets scale
        // (1, -1, 1), which ToCoords undoes; the axes are then orthonormalised into the rotation,
        // so any other scale or shear is dropped. Stretch is the identity.
        static AffineParts FromCoords(const Coords& coords);
    };

    SkeletalPose() = default;
    // Takes a table only when the source has one.
    SkeletalPose(const SkeletalPose& other);
    // Copies the source's bones; a source without a table empties this pose (keeping its table).
    SkeletalPose& operator=(const SkeletalPose& other);
    SkeletalPose(SkeletalPose&&) noexcept = default;
    SkeletalPose& operator=(SkeletalPose&&) noexcept = default;

    bool IsEmpty() const { return !bones_ || bones_->IsEmpty(); }
    int GetNumBones() const { return bones_ ? bones_->GetCount() : 0; }
    bool ContainsBone(const Name& bone) const { return bones_ && bones_->Find(bone) >= 0; }

    // The bone's parts, the identity parts when the pose does not have it.
    const AffineParts& GetBone(const Name& bone) const;
    // Writes the bone, making the table on the first write. When the table is full of other bones
    // nothing is written (logged once per pose: the first bone it drops); Name::noName is never
    // written.
    void SetBone(const Name& bone, const AffineParts& parts);
    // The bone's frame, the identity when the pose does not have it.
    Coords GetBoneCoords(const Name& bone) const;
    void SetBoneCoords(const Name& bone, const Coords& coords) { SetBone(bone, AffineParts::FromCoords(coords)); }

    // (1 - w) a + w b for translation and scale, Quaternion::Slerp for rotation and stretch.
    static AffineParts Interpolate(const AffineParts& a, const AffineParts& b, float w);
    // For every bone of other: this bone = Interpolate(this bone, other's bone, w). A bone only
    // in other is blended from the identity parts; a bone only in this pose is left alone.
    void Blend(const SkeletalPose& other, float w);
    // Writes every bone of other into this pose.
    void Add(const SkeletalPose& other);
    // Removes every bone, keeping the table for the next writes.
    void Clear();

    // Calls f(name, parts) for every bone in slot order.
    template <class F>
    void ForEachBone(F&& f) const {
        if (bones_) bones_->ForEach(f);
    }

    // Reads the stream form and writes each bone with SetBone. False, with the error logged and the
    // pose unchanged, when the full flag is not 0 or 1 or the records run past the end.
    bool ReadData(BinaryReader& reader);
    // Writes the stream form; with full, scale and stretch too. Failures stay in the writer.
    void WriteData(BinaryWriter& writer, bool full) const;

private:
    using BoneTable = NameTable<AffineParts>;

    // The table, made when missing.
    BoneTable& GetTable();

    std::unique_ptr<BoneTable> bones_;  // absent until the first write
    bool droppedBones_ = false;         // the full table was reported (not copied)
};

}  // namespace GAME
