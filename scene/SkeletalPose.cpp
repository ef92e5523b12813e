#include "scene/SkeletalPose.h"

#include "core/Log.h"
#include "core/Mat3.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"

namespace GAME {

static_assert(sizeof(SkeletalPose::AffineParts) == 14 * sizeof(float), "AffineParts is 14 packed floats");

namespace {

const SkeletalPose::AffineParts kIdentityParts;

constexpr uint32_t kRecordSize = 32;      // Name, translation, packed rotation
constexpr uint32_t kFullRecordSize = 48;  // and scale, packed stretch

}  // namespace

Coords SkeletalPose::AffineParts::ToCoords() const {
    Mat3 stretched(stretch);
    const float rowScale[3] = {scale.x, scale.y, scale.z};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) stretched(row, col) *= rowScale[row];
    }
    return Coords(translation, Mat3(rotation) * stretched);
}

SkeletalPose::AffineParts SkeletalPose::AffineParts::FromCoords(const Coords& coords) {
    AffineParts parts;
    Coords axes = coords;
    if (axes.IsMirrored()) {
        axes.yAxis = -axes.yAxis;
        parts.scale = Vec3(1.0f, -1.0f, 1.0f);
    }
    axes.Orthonormalize();
    parts.rotation = axes.GetQuaternion();
    parts.translation = coords.origin;
    return parts;
}

SkeletalPose::SkeletalPose(const SkeletalPose& other) {
    if (other.bones_) bones_ = std::make_unique<BoneTable>(*other.bones_);
}

SkeletalPose& SkeletalPose::operator=(const SkeletalPose& other) {
    if (this == &other) return *this;
    if (other.bones_) {
        GetTable() = *other.bones_;
    } else if (bones_) {
        bones_->Clear();
    }
    return *this;
}

SkeletalPose::BoneTable& SkeletalPose::GetTable() {
    if (!bones_) bones_ = std::make_unique<BoneTable>();
    return *bones_;
}

const SkeletalPose::AffineParts& SkeletalPose::GetBone(const Name& bone) const {
    const AffineParts* parts = bones_ ? bones_->Get(bone) : nullptr;
    return parts ? *parts : kIdentityParts;
}

void SkeletalPose::SetBone(const Name& bone, const AffineParts& parts) {
    if (bone == Name::noName) return;
    if (!GetTable().Set(bone, parts) && !droppedBones_) {
        droppedBones_ = true;
        Log(LogPriority::Warning, "SkeletalPose - more than %d bones; further bones are dropped",
            BoneTable::kSlotCount);
    }
}

Coords SkeletalPose::GetBoneCoords(const Name& bone) const {
    const AffineParts* parts = bones_ ? bones_->Get(bone) : nullptr;
    return parts ? parts->ToCoords() : Coords::Identity;
}

SkeletalPose::AffineParts SkeletalPose::Interpolate(const AffineParts& a, const AffineParts& b, float w) {
    AffineParts result;
    result.translation = a.translation * (1.0f - w) + b.translation * w;
    result.rotation = Quaternion::Slerp(a.rotation, b.rotation, w);
    result.scale = a.scale * (1.0f - w) + b.scale * w;
    result.stretch = Quaternion::Slerp(a.stretch, b.stretch, w);
    return result;
}

void SkeletalPose::Blend(const SkeletalPose& other, float w) {
    if (other.IsEmpty()) return;
    BoneTable& table = GetTable();
    other.ForEachBone([&](const Name& bone, const AffineParts& parts) {
        // A newly claimed slot holds the identity parts, which is what an absent bone blends from.
        const int slot = table.Insert(bone);
        if (slot < 0) {
            SetBone(bone, parts);  // reports the full table
            return;
        }
        AffineParts& mine = table.GetValue(slot);
        mine = Interpolate(mine, parts, w);
    });
}

void SkeletalPose::Add(const SkeletalPose& other) {
    other.ForEachBone([this](const Name& bone, const AffineParts& parts) { SetBone(bone, parts); });
}

void SkeletalPose::Clear() {
    if (bones_) bones_->Clear();
}

bool SkeletalPose::ReadData(BinaryReader& reader) {
    const uint32_t count = reader.ReadUInt32();
    const uint32_t full = reader.ReadUInt32();
    if (reader.Failed()) {
        Log(LogPriority::Error, "SkeletalPose - the pose data ends before its header");
        return false;
    }
    if (full > 1) {
        Log(LogPriority::Error, "SkeletalPose - bad full-parts flag %u", full);
        return false;
    }
    const uint64_t bytes = uint64_t(count) * (full ? kFullRecordSize : kRecordSize);
    if (bytes > reader.GetRemaining()) {
        Log(LogPriority::Error, "SkeletalPose - %u bones need %llu bytes, %u remain", count,
            static_cast<unsigned long long>(bytes), reader.GetRemaining());
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        const Name bone = reader.ReadName();
        AffineParts parts;
        parts.translation = reader.ReadVec3();
        parts.rotation = Quaternion::Unpack(reader.ReadUInt32());
        if (full) {
            parts.scale = reader.ReadVec3();
            parts.stretch = Quaternion::Unpack(reader.ReadUInt32());
        } else {
            parts.stretch = Quaternion(0.0f, 0.0f, 0.0f, 0.0f);
        }
        SetBone(bone, parts);
    }
    return true;
}

void SkeletalPose::WriteData(BinaryWriter& writer, bool full) const {
    writer.Write(static_cast<unsigned int>(GetNumBones()));
    writer.Write(static_cast<unsigned int>(full ? 1u : 0u));
    ForEachBone([&](const Name& bone, const AffineParts& parts) {
        writer.Write(bone);
        writer.Write(parts.translation);
        writer.Write(static_cast<unsigned int>(parts.rotation.Pack()));
        if (full) {
            writer.Write(parts.scale);
            writer.Write(static_cast<unsigned int>(parts.stretch.Pack()));
        }
    });
}

}  // namespace GAME
