#pragma once
// GraphicsAnim: an animation file loaded as a resource. Key frames of a set of bones at a fixed
// frame rate, with the callback points, entity-creation points and rag-doll hints of its text
// trailer. It samples a SkeletalPose at any time; animation channels fire its points as time
// passes them. GraphicsAnimWriter writes the same file.
//
// File "ANM" (little-endian):
//   optional magic "ANM" and a version byte that must be 2; without the magic the file is
//   version 1 and the body starts at offset 0
//   u32 boneCount, u32 frameCount, u32 frameRate
//   boneCount tracks:
//     version 1: name as 32 bytes, zero-padded; frameCount frames of 28 bytes:
//                translation 3 x f32, rotation x, y, z, w 4 x f32
//     version 2: name as a string (u32 length, bytes); frameCount frames of 56 bytes: translation,
//                rotation, scale 3 x f32, stretch x, y, z, w 4 x f32
//   trailer: every byte after the last track, text blocks
//     CallbackPoint { name = "text" frame = 12 }            kept when it has a name
//     CreateEntity { frame = 3 entity = "record" attach = "point" }   kept when it has a frame
//     RagDollData { effectType = "" direction = "Push"|"Pull" elevation = "Upward"|"Downward"
//                   push = "Left"|"Right" }
//   Unknown top-level words and unknown keys (with their values) are passed over. A frame is the
//   word's leading integer ("12.0" is frame 12, with a warning); a frame word without leading
//   digits drops its point, with a warning. Only a block word without "{" or a key without "="
//   fails the load.
//
// The stored quaternions are conjugates: x, y and z of both are negated on load. Version-1 frames
// get scale (1, 1, 1) and stretch (0, 0, 0, 1).
//
// Every count is checked against the bytes present before anything is reserved, so a truncated or
// hostile file fails with a logged error instead of reading past the data.
//
// Sampling (SampleTrack) at a fractional frame f of a track of N frames:
//   - f negative or not a number, or N = 0: the identity parts.
//   - Not looping (and looping with N = 1): f at or past the last frame gives the last frame;
//     otherwise the frames floor(f) and min(ceil(f), N - 1) are interpolated.
//   - Looping: a cycle is N - 1 frames (the last frame repeats the first pose). Frame index i past
//     the first cycle is the local frame j = i mod (N - 1) of cycle c = i div (N - 1), and its
//     translation gains c x (F[N-1].translation - F[0].translation), so the root motion of every
//     finished cycle adds on. The cycle arithmetic is done in double precision, so a channel that
//     has looped for hours does not overflow.
// Queries make the resource available first (Resource::EnsureAvailable).

#include <cstdint>
#include <string>

#include "core/Mem.h"
#include "core/Name.h"
#include "files/Resource.h"
#include "scene/SkeletalPose.h"

namespace GAME {

class GraphicsAnim : public Resource {
public:
    using AffineParts = SkeletalPose::AffineParts;

    // The key frames of one bone.
    struct Track {
        Name name;                        // Name of the bone text
        std::string nameText;             // the bone's name as stored
        mem::vector<AffineParts> frames;  // the animation's frame count of them
    };

    // A frame at which the owning entity is told a name.
    struct CallbackPoint {
        Name name;             // Name of nameText, handed to Entity::AnimationCallback
        std::string nameText;  // as written in the trailer
        int frame = 0;
    };

    // A frame at which an entity is created and attached to the owner.
    struct CreateEntity {
        uint32_t frame = 0;
        std::string entity;  // record name of the entity
        std::string attach;  // attach point on the owner
    };

    // Hints for a rag doll started during the animation, as written (not checked beyond a warning).
    struct RagDollData {
        std::string effectType;
        std::string direction;  // "Push" or "Pull"
        std::string elevation;  // "Upward" or "Downward"
        std::string push;       // "Left" or "Right"
    };

    static constexpr uint32_t kVersion = 2;  // the version with the magic
    static constexpr uint32_t kFixedNameSize = 32;
    static constexpr uint32_t kFrameSizeV1 = 28;
    static constexpr uint32_t kFrameSizeV2 = 56;

    GraphicsAnim(BaseResourceManager* manager, const std::string& fileName);
    ~GraphicsAnim() override;

    // Reads the file. InvalidData (after Destroy), with the error logged, for a bad version, data
    // that ends early or a trailer block without "{" or key without "=". On success the file's size is added to the
    // manager's memory usage, which Destroy takes off again.
    InitResult Initialize(const void* data, uint32_t size) override;
    void Destroy() override;
    // "%u bones, %u frames at %u fps".
    std::string GetDebugInfo() const override;
    size_t GetSystemMemoryUsage() const override;

    // Indices must be in range.
    int GetNumBones() const;
    // The bone name text of track i.
    const std::string& GetBoneName(int index) const;
    // The frame count.
    uint32_t GetLength() const;
    uint32_t GetFrameRate() const;
    // Seconds the animation lasts: frame count / frame rate; 0 when the rate is 0.
    float GetAnimSpeed() const;
    int GetNumCallbackPoints() const;
    const CallbackPoint& GetCallbackPoint(int index) const;
    int GetNumCreateEntity() const;
    const CreateEntity& GetCreateEntity(int index) const;
    const std::string& GetRagDollEffectType() const;
    const std::string& GetRagDollDirection() const;
    const std::string& GetRagDollElevation() const;
    const std::string& GetRagDollPush() const;
    static const char* GetDefaultName() { return "?DefaultAnim"; }

    // Every track sampled at frame frameRate x timeMs / 1000, written into the pose.
    void GetPose(SkeletalPose& pose, float timeMs, bool loop) const;
    // The same for the tracks of that bone only.
    void GetPose(SkeletalPose& pose, float timeMs, bool loop, const Name& bone) const;
    // Every track sampled at a fractional frame.
    void GetFramePose(SkeletalPose& pose, float frame, bool loop) const;

    // One track at a fractional frame, as described above.
    static AffineParts SampleTrack(const mem::vector<AffineParts>& frames, float frame, bool loop);

private:
    // The body after the magic; false (logged) when it is truncated or inconsistent.
    bool ReadTracks(BinaryReader& reader, uint32_t version);
    // The text blocks after the last track; false (logged) when a block lacks "{" or a key "=".
    bool ReadTrailer(const char* text, uint32_t length);
    // Logs a rag-doll value outside its two words.
    void CheckRagDollValue(const char* what, const std::string& value, const char* a, const char* b) const;

    mem::vector<Track> tracks_;
    uint32_t frameCount_ = 0;
    uint32_t frameRate_ = 0;
    mem::vector<CallbackPoint> callbackPoints_;
    mem::vector<CreateEntity> createEntities_;
    RagDollData ragDoll_;
    uint32_t dataSize_ = 0;  // bytes added to the manager's memory usage; 0 when not counted
};

}  // namespace GAME
