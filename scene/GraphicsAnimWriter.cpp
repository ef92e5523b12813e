#include "scene/GraphicsAnimWriter.h"

#include <string>

#include "core/Log.h"
#include "files/BinaryWriter.h"

namespace GAME {

namespace {

using AffineParts = SkeletalPose::AffineParts;

bool IsQuotable(const std::string& text) { return text.find('"') == std::string::npos; }

void WriteQuaternion(BinaryWriter& writer, const Quaternion& q) {
    const Quaternion stored = q.Conjugate();
    writer.Write(stored.x);
    writer.Write(stored.y);
    writer.Write(stored.z);
    writer.Write(stored.w);
}

void AppendEntry(std::string& text, const char* key, const std::string& value, bool quoted) {
    text += "    ";
    text += key;
    text += quoted ? " = \"" : " = ";
    text += value;
    text += quoted ? "\"\n" : "\n";
}

}  // namespace

bool GraphicsAnimWriter::Check(const Contents& contents) {
    if (contents.version != 1 && contents.version != GraphicsAnim::kVersion) {
        Log(LogPriority::Error, "GraphicsAnimWriter - version %u cannot be written", contents.version);
        return false;
    }
    for (const GraphicsAnim::Track& track : contents.tracks) {
        if (track.frames.size() != contents.frameCount) {
            Log(LogPriority::Error, "GraphicsAnimWriter - bone '%s' has %zu frames, not %u", track.nameText.c_str(),
                track.frames.size(), contents.frameCount);
            return false;
        }
        if (contents.version != 1) continue;
        if (track.nameText.size() > GraphicsAnim::kFixedNameSize) {
            Log(LogPriority::Error, "GraphicsAnimWriter - bone name '%s' is too long for version 1",
                track.nameText.c_str());
            return false;
        }
        const AffineParts identity;
        for (const AffineParts& frame : track.frames) {
            if (!(frame.scale == identity.scale) || !(frame.stretch == identity.stretch)) {
                Log(LogPriority::Error, "GraphicsAnimWriter - bone '%s' has scale or stretch, which version 1 cannot hold",
                    track.nameText.c_str());
                return false;
            }
        }
    }
    bool quotable = true;
    for (const GraphicsAnim::CallbackPoint& point : contents.callbackPoints) quotable &= IsQuotable(point.nameText);
    for (const GraphicsAnim::CreateEntity& point : contents.createEntities) {
        quotable &= IsQuotable(point.entity) && IsQuotable(point.attach);
    }
    const GraphicsAnim::RagDollData& ragDoll = contents.ragDoll;
    quotable &= IsQuotable(ragDoll.effectType) && IsQuotable(ragDoll.direction) && IsQuotable(ragDoll.elevation) &&
                IsQuotable(ragDoll.push);
    if (!quotable) {
        Log(LogPriority::Error, "GraphicsAnimWriter - a trailer text holds a double quote");
        return false;
    }
    return true;
}

std::string GraphicsAnimWriter::MakeTrailer(const Contents& contents) {
    std::string text;
    for (const GraphicsAnim::CallbackPoint& point : contents.callbackPoints) {
        text += "CallbackPoint\n{\n";
        AppendEntry(text, "name", point.nameText, true);
        AppendEntry(text, "frame", std::to_string(point.frame), false);
        text += "}\n";
    }
    for (const GraphicsAnim::CreateEntity& point : contents.createEntities) {
        text += "CreateEntity\n{\n";
        AppendEntry(text, "frame", std::to_string(point.frame), false);
        AppendEntry(text, "entity", point.entity, true);
        AppendEntry(text, "attach", point.attach, true);
        text += "}\n";
    }
    const GraphicsAnim::RagDollData& ragDoll = contents.ragDoll;
    if (!ragDoll.effectType.empty() || !ragDoll.direction.empty() || !ragDoll.elevation.empty() ||
        !ragDoll.push.empty()) {
        text += "RagDollData\n{\n";
        AppendEntry(text, "effectType", ragDoll.effectType, true);
        AppendEntry(text, "direction", ragDoll.direction, true);
        AppendEntry(text, "elevation", ragDoll.elevation, true);
        AppendEntry(text, "push", ragDoll.push, true);
        text += "}\n";
    }
    return text;
}

bool GraphicsAnimWriter::Write(BinaryWriter& writer, const Contents& contents) {
    if (!Check(contents)) return false;
    const bool v2 = contents.version == GraphicsAnim::kVersion;
    if (v2) {
        writer.Write("ANM", 3);
        writer.Write(static_cast<unsigned char>(GraphicsAnim::kVersion));
    }
    writer.Write(static_cast<unsigned int>(contents.tracks.size()));
    writer.Write(static_cast<unsigned int>(contents.frameCount));
    writer.Write(static_cast<unsigned int>(contents.frameRate));
    for (const GraphicsAnim::Track& track : contents.tracks) {
        if (v2) {
            writer.Write(track.nameText);
        } else {
            char name[GraphicsAnim::kFixedNameSize] = {};
            track.nameText.copy(name, sizeof(name));
            writer.Write(name, sizeof(name));
        }
        for (const AffineParts& frame : track.frames) {
            writer.Write(frame.translation);
            WriteQuaternion(writer, frame.rotation);
            if (v2) {
                writer.Write(frame.scale);
                WriteQuaternion(writer, frame.stretch);
            }
        }
    }
    const std::string trailer = MakeTrailer(contents);
    writer.Write(trailer.data(), static_cast<uint32_t>(trailer.size()));
    return !writer.Failed();
}

}  // namespace GAME
