#include "scene/MeshFileReader.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>

#include "core/Log.h"

namespace GAME {

namespace {

constexpr uint32_t kChunkHeaderSize = 8;
constexpr uint32_t kLegacyHeadSize = 9 * 4;
constexpr uint32_t kBoneSize = MeshFileReader::kFixedNameSize + 8 + 48;
constexpr uint32_t kHitBoxSize = MeshFileReader::kFixedNameSize + 12 + 48 + 4;
constexpr uint32_t kContourPointSize = 24;
constexpr uint32_t kPortalPointSize = 36;
// Smallest face set: material, first face, face count, bone count; version 11 adds 28 bytes.
constexpr uint32_t kFaceSetSize = 16;
constexpr uint32_t kFaceSetExtraSize = 28;
constexpr uint32_t kStringSize = 4;

}  // namespace

uint32_t MeshFileReader::GetPayloadWords(uint32_t type) {
    switch (type) {
        case GraphicsMesh::kParamInt:
        case GraphicsMesh::kParamBool:
        case GraphicsMesh::kParamFloat: return 1;
        case GraphicsMesh::kParamMatrix43: return 12;
        case GraphicsMesh::kParamMatrix44: return 16;
        case GraphicsMesh::kParamVec2: return 2;
        case GraphicsMesh::kParamVec3: return 3;
        case GraphicsMesh::kParamVec4: return 4;
        default: return 0;
    }
}

uint32_t MeshFileReader::GetAttributeSize(uint32_t attribute) {
    if (attribute <= 3) return 12;
    if (attribute == GraphicsMesh::kAttributeSkinWeights) return 16;
    if (attribute == GraphicsMesh::kAttributeSkinBones || attribute == 14) return 4;
    return attribute <= GraphicsMesh::kMaxAttributeId ? 8 : 0;
}

bool MeshFileReader::Read(const void* data, uint32_t size, GraphicsMesh& mesh) {
    return MeshFileReader(data, size, mesh).ReadFile();
}

MeshFileReader::MeshFileReader(const void* data, uint32_t size, GraphicsMesh& mesh)
    : reader_(data, data ? size : 0), mesh_(mesh) {}

bool MeshFileReader::Fail(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    Log(LogPriority::Error, "mesh - %s - %s", mesh_.GetFileName().c_str(), text);
    return false;
}

bool MeshFileReader::ReadFile() {
    if (reader_.GetSize() < 4 || std::memcmp(reader_.GetStart(), "MSH", 3) != 0) return Fail("not a mesh file");
    reader_.Skip(3);
    version_ = reader_.ReadUInt8();
    if (version_ < kOldestVersion || version_ > kVersion) return Fail("unsupported version %u", version_);

    bool ok;
    if (version_ == 8) {
        ok = ReadLegacyBlock();
    } else {
        ok = version_ == 9 ? ReadVersion9() : ReadChunks();
    }
    if (!ok) return false;
    if (version_ <= 9) {
        mesh_.descriptionText_.assign(reinterpret_cast<const char*>(reader_.GetCursor()), reader_.GetRemaining());
    }
    return Finish();
}

bool MeshFileReader::ReadVersion9() {
    while (reader_.GetRemaining() >= kChunkHeaderSize) {
        uint32_t id;
        std::memcpy(&id, reader_.GetCursor(), sizeof(id));
        if (id > kChunkCollision) break;
        reader_.Skip(4);
        const uint32_t size = reader_.ReadUInt32();
        if (size > reader_.GetRemaining()) return Fail("chunk %u of %u bytes runs past the end", id, size);
        if (size == 0) continue;
        bool ok;
        if (id == kChunkExporterText) {
            ok = ReadExporterText();
        } else {
            ok = id == kChunkLegacyGeometry ? ReadLegacyBlock() : ReadCollision(size);
        }
        if (!ok) return false;
    }
    return true;
}

bool MeshFileReader::ReadChunks() {
    while (!reader_.IsAtEnd()) {
        if (reader_.GetRemaining() < kChunkHeaderSize) {
            return Fail("%u bytes after the last chunk", reader_.GetRemaining());
        }
        const uint32_t id = reader_.ReadUInt32();
        const uint32_t size = reader_.ReadUInt32();
        if (size > reader_.GetRemaining()) return Fail("chunk %u of %u bytes runs past the end", id, size);
        bool ok = true;
        switch (id) {
            case kChunkExporterText: ok = ReadExporterText(); break;
            case kChunkCollision: ok = ReadCollision(size); break;
            case kChunkDescription:
                mesh_.descriptionText_.assign(reinterpret_cast<const char*>(reader_.GetCursor()), size);
                reader_.Skip(size);
                break;
            case kChunkVertices: ok = ReadVertices(); break;
            case kChunkFaces: {
                const uint32_t faceCount = reader_.ReadUInt32();
                const uint32_t faceSetCount = reader_.ReadUInt32();
                ok = reader_.Failed() ? Fail("the face counts are cut short") : ReadFaces(faceCount, faceSetCount);
                break;
            }
            case kChunkBones: {
                uint32_t count = 0;
                ok = ReadCount(count, kBoneSize, "bones") && ReadBones(count);
                break;
            }
            case kChunkMaterials: {
                uint32_t count = 0;
                ok = ReadCount(count, 2 * kStringSize, "materials") && ReadMaterials(count);
                break;
            }
            case kChunkHitBoxes: {
                uint32_t count = 0;
                ok = ReadCount(count, kHitBoxSize, "hit boxes") && ReadHitBoxes(count, true);
                break;
            }
            case kChunkContours: ok = ReadContours(); break;
            case kChunkBounds: ok = ReadBounds(); break;
            case kChunkBlendedFaces: ok = ReadBlendedFaces(); break;
            case kChunkPortals: ok = ReadPortals(); break;
            case kChunkSections: ok = ReadSections(); break;
            default: reader_.Skip(size); break;
        }
        if (!ok) return false;
        if (reader_.Failed()) return Fail("chunk %u runs past the end", id);
    }
    return true;
}

bool MeshFileReader::ReadCount(uint32_t& count, uint32_t recordSize, const char* what) {
    count = reader_.ReadUInt32();
    if (reader_.Failed()) return Fail("the file ends before the count of %s", what);
    return Fits(count, recordSize, what);
}

bool MeshFileReader::Fits(uint64_t count, uint64_t recordSize, const char* what) {
    if (count * recordSize <= reader_.GetRemaining()) return true;
    return Fail("%llu %s do not fit in the %u bytes left", static_cast<unsigned long long>(count), what,
                reader_.GetRemaining());
}

bool MeshFileReader::ReadString(std::string& out, const char* what) {
    if (reader_.ReadString(out)) return true;
    return Fail("bad %s string", what);
}

std::string MeshFileReader::ReadFixedName() {
    char name[kFixedNameSize] = {};
    reader_.ReadBytes(name, kFixedNameSize);
    return std::string(name, strnlen(name, kFixedNameSize));
}

bool MeshFileReader::ReadExporterText() { return ReadString(mesh_.exporterText_, "exporter text"); }

bool MeshFileReader::ReadCollision(uint32_t size) {
    if (size > static_cast<uint32_t>(std::numeric_limits<int>::max())) return Fail("collision buffer too large");
    const BinaryReader block = reader_.ReadBlock(size);
    mesh_.physicsMesh_ = std::make_unique<PhysicsMesh>();
    if (!mesh_.physicsMesh_->Initialize(block.GetStart(), static_cast<int>(size))) {
        return Fail("the collision buffer is refused");
    }
    return true;
}

bool MeshFileReader::ReadVertexFormat(uint32_t attributeCount, uint32_t stride, uint32_t vertexCount) {
    if (!Fits(attributeCount, 4, "vertex attributes")) return false;
    mesh_.attributes_.resize(attributeCount);
    uint32_t width = 0;
    for (uint32_t& attribute : mesh_.attributes_) {
        attribute = reader_.ReadUInt32();
        const uint32_t size = GetAttributeSize(attribute);
        if (size == 0) return Fail("unknown vertex attribute %u", attribute);
        width += size;
    }
    if (width > stride) return Fail("vertex attributes of %u bytes do not fit a stride of %u", width, stride);
    if (vertexCount > 0 && stride == 0) return Fail("%u vertices of no bytes", vertexCount);
    mesh_.stride_ = stride;
    mesh_.vertexCount_ = vertexCount;
    return true;
}

bool MeshFileReader::ReadVertices() {
    const uint32_t attributeCount = reader_.ReadUInt32();
    const uint32_t stride = reader_.ReadUInt32();
    const uint32_t vertexCount = reader_.ReadUInt32();
    if (reader_.Failed()) return Fail("the vertex format is cut short");
    if (!ReadVertexFormat(attributeCount, stride, vertexCount) || !Fits(vertexCount, stride, "vertices")) return false;
    mesh_.vertexData_.resize(size_t(vertexCount) * stride);
    return reader_.ReadBytes(mesh_.vertexData_.data(), static_cast<uint32_t>(mesh_.vertexData_.size()));
}

bool MeshFileReader::ReadFaces(uint32_t faceCount, uint32_t faceSetCount) {
    if (!Fits(faceCount, 6, "faces")) return false;
    mesh_.faceCount_ = faceCount;
    mesh_.indices_.resize(size_t(faceCount) * 3);
    reader_.ReadBytes(mesh_.indices_.data(), faceCount * 6);
    return ReadFaceSets(faceSetCount);
}

bool MeshFileReader::ReadFaceSets(uint32_t faceSetCount) {
    const bool extra = version_ >= 11;
    if (!Fits(faceSetCount, kFaceSetSize + (extra ? kFaceSetExtraSize : 0), "face sets")) return false;
    mesh_.faceSets_.resize(faceSetCount);
    for (GraphicsMesh::FaceSet& set : mesh_.faceSets_) {
        set.material = reader_.ReadUInt32();
        set.firstFace = reader_.ReadUInt32();
        set.faceCount = reader_.ReadUInt32();
        if (extra) {
            set.section = reader_.ReadUInt32();
            set.box.centre = reader_.ReadVec3();
            set.box.halfSize = reader_.ReadVec3();
        }
        uint32_t boneCount = 0;
        if (!ReadCount(boneCount, 4, "face set bones")) return false;
        set.bones.resize(boneCount);
        for (uint32_t& bone : set.bones) bone = reader_.ReadUInt32();
    }
    return !reader_.Failed() || Fail("the face sets are cut short");
}

bool MeshFileReader::ReadBones(uint32_t boneCount) {
    mesh_.bones_.resize(boneCount);
    for (GraphicsMesh::Bone& bone : mesh_.bones_) {
        bone.nameText = ReadFixedName();
        bone.name = Name::Create(bone.nameText.c_str());
        bone.firstChild = reader_.ReadUInt32();
        bone.childCount = reader_.ReadInt32();
        bone.relativeCoords = reader_.ReadCoords();
    }
    return !reader_.Failed() || Fail("the bones are cut short");
}

bool MeshFileReader::ReadMaterials(uint32_t materialCount) {
    mesh_.materials_.resize(materialCount);
    for (GraphicsMesh::Material& material : mesh_.materials_) {
        if (!ReadString(material.shaderName, "shader")) return false;
        uint32_t parameterCount = 0;
        if (!ReadCount(parameterCount, kStringSize + 4, "material parameters")) return false;
        for (uint32_t i = 0; i < parameterCount; ++i) {
            if (!ReadMaterialParameter(material)) return false;
        }
    }
    return true;
}

bool MeshFileReader::ReadMaterialParameter(GraphicsMesh::Material& material) {
    GraphicsMesh::MaterialParameter parameter;
    if (!ReadString(parameter.nameText, "parameter name")) return false;
    parameter.type = reader_.ReadUInt32();
    switch (parameter.type) {
        case GraphicsMesh::kParamString: {
            std::string dropped;
            if (!ReadString(dropped, "parameter")) return false;
            break;
        }
        case GraphicsMesh::kParamTexture:
            if (!ReadString(parameter.text, "texture")) return false;
            break;
        case 5:
        case 6:
            return true;  // no payload, no parameter
        default: {
            const uint32_t words = GetPayloadWords(parameter.type);
            if (words == 0) return true;  // types 12 and up: no payload read, no parameter
            if (!Fits(words, 4, "parameter words")) return false;
            reader_.ReadBytes(parameter.payload, words * 4);
            if (parameter.type == GraphicsMesh::kParamBool) parameter.payload[0] = parameter.payload[0] != 0;
            break;
        }
    }
    if (reader_.Failed()) return Fail("material parameter '%s' is cut short", parameter.nameText.c_str());
    parameter.name = Name::Create(parameter.nameText.c_str());
    material.parameters.push_back(std::move(parameter));
    return true;
}

bool MeshFileReader::ReadHitBoxes(uint32_t hitBoxCount, bool checkExtents) {
    mesh_.hitBoxes_.clear();
    mesh_.hitBoxes_.reserve(hitBoxCount);
    for (uint32_t i = 0; i < hitBoxCount; ++i) {
        GraphicsMesh::HitBox box;
        box.nameText = ReadFixedName();
        box.name = Name::Create(box.nameText.c_str());
        box.extents = reader_.ReadVec3();
        box.coords = reader_.ReadCoords();
        box.coords.NormalizeAxes();
        box.bone = reader_.ReadInt32();
        if (checkExtents && !box.extents.IsValid()) {
            Log(LogPriority::Warning, "Mesh '%s' has a bad hit box", mesh_.GetFileName().c_str());
            continue;
        }
        mesh_.hitBoxes_.push_back(std::move(box));
    }
    return !reader_.Failed() || Fail("the hit boxes are cut short");
}

bool MeshFileReader::ReadContours() {
    uint32_t contourCount = 0;
    if (!ReadCount(contourCount, 4, "contours")) return false;
    mesh_.contours_.resize(contourCount);
    for (GraphicsMesh::Contour& contour : mesh_.contours_) {
        uint32_t pointCount = 0;
        if (!ReadCount(pointCount, kContourPointSize, "contour points")) return false;
        contour.points.resize(pointCount);
        for (GraphicsMesh::ContourPoint& point : contour.points) {
            point.position = reader_.ReadVec3();
            point.normal = reader_.ReadVec3();
        }
        for (uint32_t i = 0; i < pointCount; ++i) {
            const Vec3& prev = contour.points[(i + pointCount - 1) % pointCount].position;
            const Vec3& next = contour.points[(i + 1) % pointCount].position;
            contour.points[i].side = Cross((next - prev).Unit(), contour.points[i].normal).Unit();
        }
    }
    return true;
}

bool MeshFileReader::ReadBounds() {
    if (!Fits(6, 4, "bounds")) return false;
    const Vec3 min = reader_.ReadVec3();
    const Vec3 max = reader_.ReadVec3();
    mesh_.bounds_ = ABBox((min + max) * 0.5f, (max - min) * 0.5f);
    hasBounds_ = true;
    return true;
}

bool MeshFileReader::ReadBlendedFaces() {
    uint32_t count = 0;
    if (!ReadCount(count, 6, "blended faces")) return false;
    mesh_.blendedFaceCount_ = count;
    mesh_.blendedIndices_.resize(size_t(count) * 3);
    return reader_.ReadBytes(mesh_.blendedIndices_.data(), count * 6);
}

bool MeshFileReader::ReadPortals() {
    uint32_t portalCount = 0;
    if (!ReadCount(portalCount, 4, "portals")) return false;
    mesh_.portals_.resize(portalCount);
    for (GraphicsMesh::Portal& portal : mesh_.portals_) {
        uint32_t pointCount = 0;
        if (!ReadCount(pointCount, kPortalPointSize, "portal points")) return false;
        portal.points.resize(pointCount);
        for (GraphicsMesh::PortalPoint& point : portal.points) {
            for (Vec3& v : point.vectors) v = reader_.ReadVec3();
        }
    }
    return true;
}

bool MeshFileReader::ReadSections() {
    uint32_t count = 0;
    if (!ReadCount(count, kStringSize, "section names")) return false;
    mesh_.sections_.resize(count);
    for (std::string& section : mesh_.sections_) {
        if (!ReadString(section, "section name")) return false;
    }
    return true;
}

bool MeshFileReader::ReadLegacyBlock() {
    if (!Fits(1, kLegacyHeadSize, "legacy block heads")) return false;
    const uint32_t vertexCount = reader_.ReadUInt32();
    const uint32_t faceCount = reader_.ReadUInt32();
    const uint32_t faceSetCount = reader_.ReadUInt32();
    const uint32_t reserved = reader_.ReadUInt32();
    const uint32_t boneCount = reader_.ReadUInt32();
    const uint32_t hitBoxCount = reader_.ReadUInt32();
    const uint32_t materialCount = reader_.ReadUInt32();
    const uint32_t attributeCount = reader_.ReadUInt32();
    const uint32_t stride = reader_.ReadUInt32();
    const auto within = [](uint32_t value, uint32_t low, uint32_t high) { return value >= low && value <= high; };
    if (!within(vertexCount, 1, kMaxLegacyVertices) || !within(faceCount, 1, kMaxLegacyFaces) ||
        !within(faceSetCount, 1, kMaxLegacyFaceSets) || reserved > kMaxLegacyReserved || boneCount > kMaxLegacyBones ||
        hitBoxCount > kMaxLegacyHitBoxes || materialCount > kMaxLegacyMaterials ||
        !within(attributeCount, 1, kMaxLegacyAttributes)) {
        return Fail("legacy block counts out of range: %u vertices, %u faces, %u face sets, %u bones, %u hit boxes, "
                    "%u materials, %u attributes",
                    vertexCount, faceCount, faceSetCount, boneCount, hitBoxCount, materialCount, attributeCount);
    }
    if (!ReadVertexFormat(attributeCount, stride, vertexCount) || !ReadBounds() ||
        !Fits(vertexCount, stride, "vertices")) {
        return false;
    }
    mesh_.vertexData_.resize(size_t(vertexCount) * stride);
    reader_.ReadBytes(mesh_.vertexData_.data(), vertexCount * stride);
    if (!ReadFaces(faceCount, faceSetCount) || !Fits(boneCount, kBoneSize, "bones") || !ReadBones(boneCount) ||
        !Fits(hitBoxCount, kHitBoxSize, "hit boxes") || !ReadHitBoxes(hitBoxCount, false) ||
        !Fits(materialCount, 2 * kStringSize, "materials") || !ReadMaterials(materialCount)) {
        return false;
    }
    return !reader_.Failed() || Fail("the legacy block is cut short");
}

bool MeshFileReader::Finish() {
    if (!hasBounds_ && mesh_.vertexCount_ == 0 && mesh_.physicsMesh_) {
        mesh_.bounds_ = mesh_.physicsMesh_->GetBoundingBox();
    }
    if (version_ < 11) {
        for (GraphicsMesh::FaceSet& set : mesh_.faceSets_) set.box = mesh_.bounds_;
    }
    if (mesh_.sections_.empty()) mesh_.sections_.emplace_back();
    if (!CheckFaces() || !LinkBones()) return false;
    CheckHitBoxes();
    if (!mesh_.mifData_.Parse(mesh_.descriptionText_.data(), static_cast<uint32_t>(mesh_.descriptionText_.size()),
                              mesh_.GetFileName())) {
        return false;
    }
    for (size_t i = 0; i < mesh_.bones_.size(); ++i) mesh_.boneTable_.Set(mesh_.bones_[i].name, static_cast<int>(i));
    for (const GraphicsMesh::Bone& bone : mesh_.bones_) {
        if (bone.parent == GraphicsMesh::kNoBone) {
            mesh_.rootMotionBone_ = bone.name;
            break;
        }
    }
    return true;
}

bool MeshFileReader::CheckFaces() {
    const uint32_t vertexCount = mesh_.vertexCount_;
    for (const mem::vector<uint16_t>* list : {&mesh_.indices_, &mesh_.blendedIndices_}) {
        // The largest index alone decides; a loop without an early exit vectorises.
        uint16_t largest = 0;
        for (const uint16_t index : *list) largest = index > largest ? index : largest;
        if (!list->empty() && largest >= vertexCount) {
            return Fail("index %u past the %u vertices", largest, vertexCount);
        }
    }
    for (size_t i = 0; i < mesh_.faceSets_.size(); ++i) {
        const GraphicsMesh::FaceSet& set = mesh_.faceSets_[i];
        if (uint64_t(set.firstFace) + set.faceCount > mesh_.faceCount_) {
            return Fail("face set %zu runs past the %u faces", i, mesh_.faceCount_);
        }
        if (set.material >= mesh_.materials_.size()) {
            return Fail("face set %zu uses material %u of %zu", i, set.material, mesh_.materials_.size());
        }
        if (set.section >= mesh_.sections_.size()) {
            return Fail("face set %zu uses section %u of %zu", i, set.section, mesh_.sections_.size());
        }
        for (const uint32_t bone : set.bones) {
            if (bone >= mesh_.bones_.size()) return Fail("face set %zu uses bone %u of %zu", i, bone, mesh_.bones_.size());
        }
    }
    return true;
}

bool MeshFileReader::LinkBones() {
    mem::vector<GraphicsMesh::Bone>& bones = mesh_.bones_;
    const size_t count = bones.size();
    for (size_t i = 0; i < count; ++i) {
        const GraphicsMesh::Bone& bone = bones[i];
        if (bone.childCount < 0 || uint64_t(bone.firstChild) + uint64_t(bone.childCount) > count) {
            return Fail("bone '%s' lists children outside the bones", bone.nameText.c_str());
        }
        for (uint32_t c = bone.firstChild; c < bone.firstChild + uint32_t(bone.childCount); ++c) {
            if (bones[c].parent != GraphicsMesh::kNoBone) {
                return Fail("bone '%s' has two parents", bones[c].nameText.c_str());
            }
            bones[c].parent = static_cast<uint32_t>(i);
        }
    }
    // Parents before children: the roots, then each bone's children as it is reached. A bone in a
    // cycle has a parent but is never reached from a root.
    mem::vector<uint32_t> order;
    order.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        if (bones[i].parent == GraphicsMesh::kNoBone) order.push_back(static_cast<uint32_t>(i));
    }
    for (size_t next = 0; next < order.size(); ++next) {
        const GraphicsMesh::Bone& bone = bones[order[next]];
        for (int32_t c = 0; c < bone.childCount; ++c) order.push_back(bone.firstChild + uint32_t(c));
    }
    if (order.size() != count) return Fail("the bones form a cycle");
    for (const uint32_t b : order) {
        GraphicsMesh::Bone& bone = bones[b];
        bone.absoluteCoords = bone.parent == GraphicsMesh::kNoBone
                                  ? bone.relativeCoords
                                  : bones[bone.parent].absoluteCoords * bone.relativeCoords;
    }
    for (size_t i = count; i-- > 0;) {
        GraphicsMesh::Bone& bone = bones[order[i]];
        bone.depth = 0;
        for (int32_t c = 0; c < bone.childCount; ++c) {
            const uint32_t depth = bones[bone.firstChild + uint32_t(c)].depth + 1;
            if (depth > bone.depth) bone.depth = depth;
        }
    }
    return true;
}

void MeshFileReader::CheckHitBoxes() {
    const size_t boneCount = mesh_.bones_.size();
    mem::vector<GraphicsMesh::HitBox>& boxes = mesh_.hitBoxes_;
    for (size_t i = boxes.size(); i-- > 0;) {
        if (boxes[i].bone < -1 || (boxes[i].bone >= 0 && size_t(boxes[i].bone) >= boneCount)) {
            Log(LogPriority::Warning, "Mesh '%s' has a bad hit box", mesh_.GetFileName().c_str());
            boxes.erase(boxes.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

}  // namespace GAME
