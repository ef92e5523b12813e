#include "scene/GraphicsAnim.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/Log.h"
#include "files/BaseResourceManager.h"
#include "files/BasicTextParser.h"
#include "files/BinaryReader.h"
#include "files/TextParsing.h"

namespace GAME {

namespace {

using AffineParts = SkeletalPose::AffineParts;

// Both quaternions of a frame are stored conjugated.
AffineParts ReadFrame(BinaryReader& reader, uint32_t version) {
    AffineParts parts;
    parts.translation = reader.ReadVec3();
    const float rx = reader.ReadFloat(), ry = reader.ReadFloat(), rz = reader.ReadFloat(), rw = reader.ReadFloat();
    parts.rotation = Quaternion(rx, ry, rz, rw).Conjugate();
    if (version >= 2) {
        parts.scale = reader.ReadVec3();
        const float sx = reader.ReadFloat(), sy = reader.ReadFloat(), sz = reader.ReadFloat(), sw = reader.ReadFloat();
        parts.stretch = Quaternion(sx, sy, sz, sw).Conjugate();
    }
    return parts;
}

// Reads "key = value" entries after a block's "{" up to its "}" (or the end of the text, which
// closes an unterminated block), calling entry(key, value). False when a key is not followed by "=".
template <class Entry>
bool ReadBlockEntries(BasicTextParser<char>& parser, const char* block, const std::string& fileName, Entry&& entry) {
    for (;;) {
        const std::string key = parser.ReadToken();
        if (key.empty() || key == "}") return true;
        const std::string equals = parser.ReadToken();
        if (equals != "=") {
            Log(LogPriority::Error, "animation - %s - %s key '%s' is not followed by '='", fileName.c_str(), block,
                key.c_str());
            return false;
        }
        entry(key, std::string(Unquote(parser.ReadToken())));
    }
}

// A point's frame word: its leading integer, with a warning when more follows; false (the point
// is dropped, with a warning) when it has no leading digits.
bool ParseFrame(const std::string& value, const char* block, const std::string& fileName, int& frame) {
    if (ParseWholeInt(value, frame)) return true;
    if (ParseLeadingInt(value, frame)) {
        Log(LogPriority::Warning, "animation - %s - %s frame '%s' is not an integer; frame %d is used",
            fileName.c_str(), block, value.c_str(), frame);
        return true;
    }
    Log(LogPriority::Warning, "animation - %s - %s frame '%s' is not a number; the point is dropped",
        fileName.c_str(), block, value.c_str());
    return false;
}

}  // namespace

GraphicsAnim::GraphicsAnim(BaseResourceManager* manager, const std::string& fileName)
    : Resource(manager, fileName, ResourceType::Animation) {}

GraphicsAnim::~GraphicsAnim() { Destroy(); }

Resource::InitResult GraphicsAnim::Initialize(const void* data, uint32_t size) {
    Destroy();
    BinaryReader reader(data, data ? size : 0);
    uint32_t version = 1;
    if (reader.GetSize() >= 3 && std::memcmp(reader.GetStart(), "ANM", 3) == 0) {
        reader.Skip(3);
        version = reader.ReadUInt8();
        if (reader.Failed() || version != kVersion) {
            Log(LogPriority::Error, "animation - %s - unsupported version %u", GetFileName().c_str(), version);
            Destroy();
            return InitResult::InvalidData;
        }
    }
    if (!ReadTracks(reader, version) ||
        !ReadTrailer(reinterpret_cast<const char*>(reader.GetCursor()), reader.GetRemaining())) {
        Destroy();
        return InitResult::InvalidData;
    }
    dataSize_ = size;
    GetResourceManager()->IncrementMemoryUsage(dataSize_);
    return InitResult::Success;
}

bool GraphicsAnim::ReadTracks(BinaryReader& reader, uint32_t version) {
    const std::string& fileName = GetFileName();
    const uint32_t boneCount = reader.ReadUInt32();
    frameCount_ = reader.ReadUInt32();
    frameRate_ = reader.ReadUInt32();
    if (reader.Failed()) {
        Log(LogPriority::Error, "animation - %s - the file ends inside its header", fileName.c_str());
        return false;
    }
    const uint64_t frameBytes = uint64_t(frameCount_) * (version >= 2 ? kFrameSizeV2 : kFrameSizeV1);
    const uint64_t minTrackBytes = (version >= 2 ? sizeof(uint32_t) : kFixedNameSize) + frameBytes;
    if (uint64_t(boneCount) * minTrackBytes > reader.GetRemaining()) {
        Log(LogPriority::Error, "animation - %s - %u bones of %u frames do not fit in %u bytes", fileName.c_str(),
            boneCount, frameCount_, reader.GetRemaining());
        return false;
    }

    tracks_.resize(boneCount);
    for (Track& track : tracks_) {
        if (version >= 2) {
            if (!reader.ReadString(track.nameText)) {
                Log(LogPriority::Error, "animation - %s - bad bone name", fileName.c_str());
                return false;
            }
        } else {
            char name[kFixedNameSize];
            reader.ReadBytes(name, kFixedNameSize);
            track.nameText.assign(name, strnlen(name, kFixedNameSize));
        }
        track.name = Name::Create(track.nameText.c_str());
        if (frameBytes > reader.GetRemaining()) {
            Log(LogPriority::Error, "animation - %s - the frames of bone '%s' run past the end", fileName.c_str(),
                track.nameText.c_str());
            return false;
        }
        track.frames.resize(frameCount_);
        for (AffineParts& frame : track.frames) frame = ReadFrame(reader, version);
    }
    // Every read above was checked against the remaining bytes first.
    return !reader.Failed();
}

bool GraphicsAnim::ReadTrailer(const char* text, uint32_t length) {
    const std::string& fileName = GetFileName();
    BasicTextParser<char> parser(text, length, false);
    while (!parser.IsAtEnd()) {
        const std::string word = parser.ReadToken();
        const bool callback = word == "CallbackPoint";
        const bool create = word == "CreateEntity";
        const bool ragDoll = word == "RagDollData";
        if (!callback && !create && !ragDoll) continue;
        if (parser.ReadToken() != "{") {
            Log(LogPriority::Error, "animation - %s - %s is not followed by '{'", fileName.c_str(), word.c_str());
            return false;
        }
        bool badFrame = false;
        bool ok = true;
        if (callback) {
            CallbackPoint point;
            ok = ReadBlockEntries(parser, "CallbackPoint", fileName, [&](const std::string& key, const std::string& value) {
                if (key == "name") point.nameText = value;
                else if (key == "frame") badFrame |= !ParseFrame(value, "CallbackPoint", fileName, point.frame);
            });
            if (ok && !badFrame && !point.nameText.empty()) {
                point.name = Name::Create(point.nameText.c_str());
                callbackPoints_.push_back(std::move(point));
            }
        } else if (create) {
            CreateEntity point;
            bool hasFrame = false;
            ok = ReadBlockEntries(parser, "CreateEntity", fileName, [&](const std::string& key, const std::string& value) {
                if (key == "frame") {
                    int frame = -1;
                    badFrame |= !ParseFrame(value, "CreateEntity", fileName, frame);
                    point.frame = static_cast<uint32_t>(frame);
                    hasFrame = true;
                } else if (key == "entity") {
                    point.entity = value;
                } else if (key == "attach") {
                    point.attach = value;
                }
            });
            if (ok && !badFrame && hasFrame) createEntities_.push_back(std::move(point));
        } else {
            ok = ReadBlockEntries(parser, "RagDollData", fileName, [&](const std::string& key, const std::string& value) {
                if (key == "effectType") {
                    ragDoll_.effectType = value;
                } else if (key == "direction") {
                    ragDoll_.direction = value;
                    CheckRagDollValue("ragDollDirection", value, "Push", "Pull");
                } else if (key == "elevation") {
                    ragDoll_.elevation = value;
                    CheckRagDollValue("ragDollElevation", value, "Upward", "Downward");
                } else if (key == "push") {
                    ragDoll_.push = value;
                    CheckRagDollValue("ragDollPush", value, "Left", "Right");
                }
            });
        }
        if (!ok) return false;
    }
    return true;
}

void GraphicsAnim::CheckRagDollValue(const char* what, const std::string& value, const char* a, const char* b) const {
    if (value != a && value != b) {
        Log(LogPriority::Warning, "animation - %s - illegal %s - %s", GetFileName().c_str(), what, value.c_str());
    }
}

void GraphicsAnim::Destroy() {
    if (dataSize_ != 0) {
        GetResourceManager()->DecrementMemoryUsage(dataSize_);
        dataSize_ = 0;
    }
    mem::vector<Track>().swap(tracks_);
    mem::vector<CallbackPoint>().swap(callbackPoints_);
    mem::vector<CreateEntity>().swap(createEntities_);
    ragDoll_ = RagDollData();
    frameCount_ = 0;
    frameRate_ = 0;
}

std::string GraphicsAnim::GetDebugInfo() const {
    char text[96];
    std::snprintf(text, sizeof(text), "%zu bones, %u frames at %u fps", tracks_.size(), frameCount_, frameRate_);
    return text;
}

size_t GraphicsAnim::GetSystemMemoryUsage() const {
    size_t bytes = Resource::GetSystemMemoryUsage() + sizeof(*this);
    for (const Track& track : tracks_) {
        bytes += sizeof(Track) + track.nameText.capacity() + track.frames.capacity() * sizeof(AffineParts);
    }
    for (const CallbackPoint& point : callbackPoints_) bytes += sizeof(point) + point.nameText.capacity();
    for (const CreateEntity& point : createEntities_) {
        bytes += sizeof(point) + point.entity.capacity() + point.attach.capacity();
    }
    return bytes + ragDoll_.effectType.capacity() + ragDoll_.direction.capacity() + ragDoll_.elevation.capacity() +
           ragDoll_.push.capacity();
}

int GraphicsAnim::GetNumBones() const {
    EnsureAvailable();
    return static_cast<int>(tracks_.size());
}

const std::string& GraphicsAnim::GetBoneName(int index) const {
    EnsureAvailable();
    return tracks_[index].nameText;
}

uint32_t GraphicsAnim::GetLength() const {
    EnsureAvailable();
    return frameCount_;
}

uint32_t GraphicsAnim::GetFrameRate() const {
    EnsureAvailable();
    return frameRate_;
}

float GraphicsAnim::GetAnimSpeed() const {
    EnsureAvailable();
    return frameRate_ == 0 ? 0.0f : static_cast<float>(frameCount_) / static_cast<float>(frameRate_);
}

int GraphicsAnim::GetNumCallbackPoints() const {
    EnsureAvailable();
    return static_cast<int>(callbackPoints_.size());
}

const GraphicsAnim::CallbackPoint& GraphicsAnim::GetCallbackPoint(int index) const {
    EnsureAvailable();
    return callbackPoints_[index];
}

int GraphicsAnim::GetNumCreateEntity() const {
    EnsureAvailable();
    return static_cast<int>(createEntities_.size());
}

const GraphicsAnim::CreateEntity& GraphicsAnim::GetCreateEntity(int index) const {
    EnsureAvailable();
    return createEntities_[index];
}

const std::string& GraphicsAnim::GetRagDollEffectType() const {
    EnsureAvailable();
    return ragDoll_.effectType;
}

const std::string& GraphicsAnim::GetRagDollDirection() const {
    EnsureAvailable();
    return ragDoll_.direction;
}

const std::string& GraphicsAnim::GetRagDollElevation() const {
    EnsureAvailable();
    return ragDoll_.elevation;
}

const std::string& GraphicsAnim::GetRagDollPush() const {
    EnsureAvailable();
    return ragDoll_.push;
}

void GraphicsAnim::GetPose(SkeletalPose& pose, float timeMs, bool loop) const {
    EnsureAvailable();
    GetFramePose(pose, static_cast<float>(frameRate_) * (timeMs * 0.001f), loop);
}

void GraphicsAnim::GetPose(SkeletalPose& pose, float timeMs, bool loop, const Name& bone) const {
    EnsureAvailable();
    const float frame = static_cast<float>(frameRate_) * (timeMs * 0.001f);
    for (const Track& track : tracks_) {
        if (track.name == bone) pose.SetBone(track.name, SampleTrack(track.frames, frame, loop));
    }
}

void GraphicsAnim::GetFramePose(SkeletalPose& pose, float frame, bool loop) const {
    EnsureAvailable();
    for (const Track& track : tracks_) pose.SetBone(track.name, SampleTrack(track.frames, frame, loop));
}

GraphicsAnim::AffineParts GraphicsAnim::SampleTrack(const mem::vector<AffineParts>& frames, float frame, bool loop) {
    const size_t count = frames.size();
    if (!(frame >= 0.0f) || count == 0) return AffineParts();
    const double f = frame;
    const double i0 = std::floor(f);
    const float w = static_cast<float>(f - i0);

    if (!loop || count == 1) {
        const double last = static_cast<double>(count - 1);
        if (i0 >= last) return frames[count - 1];
        const size_t a = static_cast<size_t>(i0);
        const size_t b = static_cast<size_t>(std::min(std::ceil(f), last));
        return SkeletalPose::Interpolate(frames[a], frames[b], w);
    }

    if (!std::isfinite(f)) return AffineParts();
    // Frame index i of the endless loop: the frame of its cycle, plus the motion of the cycles before.
    const double cycle = static_cast<double>(count - 1);
    const Vec3 motion = frames[count - 1].translation - frames[0].translation;
    const auto at = [&](double i) {
        if (i < cycle) return frames[static_cast<size_t>(i)];
        const double local = std::fmod(i, cycle);
        AffineParts parts = frames[static_cast<size_t>(local)];
        parts.translation += motion * static_cast<float>((i - local) / cycle);
        return parts;
    };
    return SkeletalPose::Interpolate(at(i0), at(std::ceil(f)), w);
}

}  // namespace GAME
