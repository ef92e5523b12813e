// Fuzzes the "MSH" reader, its description text included, through the full resource load: the
// input becomes a file that a mesh manager loads. Whatever loads must hold together: every index
// within the vertices, every face set within the faces, materials, sections and bones, every
// bone's parent before the root and no deeper than the bones, hit boxes on bones that exist. The
// manager's memory usage must hold the file size exactly while a load succeeded. Posed queries
// and CPU skinning run over whatever loads.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzResources.h"
#include "scene/GraphicsMesh.h"
#include "scene/SkeletalPose.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void CheckMesh(const GAME::GraphicsMesh& mesh) {
    Check(mesh.GetVertexData().size() == size_t(mesh.GetNumVertices()) * mesh.GetVertexStride());
    Check(mesh.GetIndices().size() == size_t(mesh.GetNumFaces()) * 3);
    for (const uint16_t index : mesh.GetIndices()) Check(index < mesh.GetNumVertices());
    for (const uint16_t index : mesh.GetBlendedIndices()) Check(index < mesh.GetNumVertices());
    const int boneCount = mesh.GetNumBones();
    for (int i = 0; i < mesh.GetNumFaceSets(); ++i) {
        const GAME::GraphicsMesh::FaceSet& set = mesh.GetFaceSet(i);
        Check(uint64_t(set.firstFace) + set.faceCount <= mesh.GetNumFaces());
        Check(int(set.material) < mesh.GetNumMaterials() && int(set.section) < mesh.GetNumSections());
        for (const uint32_t bone : set.bones) Check(int(bone) < boneCount);
    }
    for (int i = 0; i < boneCount; ++i) {
        // Walking up from any bone reaches a root within the bone count.
        int steps = 0;
        for (uint32_t b = uint32_t(i); b != GAME::GraphicsMesh::kNoBone; b = mesh.GetBone(int(b)).parent) {
            Check(int(b) < boneCount && ++steps <= boneCount);
        }
        Check(int(mesh.GetBone(i).depth) < boneCount);
        Check(mesh.GetBoneIndex(mesh.GetBone(i).name) >= 0);
    }
    for (int i = 0; i < mesh.GetNumHitBoxes(); ++i) Check(mesh.GetHitBox(i).bone < boneCount);
    Check(mesh.GetNumSections() >= 1);
    mem::vector<GAME::Name> points;
    mesh.GetAllAttachedPoints(points);
    for (const GAME::Name& name : points) Check(mesh.GetAttachPoint(name) != nullptr);
    std::string entity, attach;
    for (int i = 0; i < mesh.GetNumCreationData() + 1; ++i) mesh.GetCreationData(i, entity, attach);
    // Posing and skinning read only what the mesh holds (the sanitizers watch the reads).
    const GAME::SkeletalPose pose;
    std::vector<GAME::Coords> skin(static_cast<size_t>(boneCount));
    mesh.GetAbsCoords(pose, skin.data());
    std::vector<GAME::Vec3> positions(mesh.GetNumVertices());
    mesh.SkinPositions(skin.data(), positions.data());
    for (int i = 0; i < mesh.GetNumHitBoxes(); ++i) mesh.GetHitBox(i, pose);
    for (const GAME::Name& name : points) {
        GAME::Coords coords;
        mesh.GetAttachedCoords(pose, name, coords);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static GAME::fuzz::ResourceHarness<GAME::GraphicsMesh> harness;
    if (size > 0x1000000) return 0;

    harness.WriteInput("input.msh", data, size);

    const GAME::GraphicsMesh* mesh = harness.manager.LoadResource("input.msh");
    mesh->EnsureAvailable();
    const bool loaded = mesh->GetInitResult() == GAME::Resource::InitResult::Success;
    Check(harness.manager.GetMemoryUsage() == (loaded ? size : 0));
    if (loaded) CheckMesh(*mesh);
    else Check(mesh->GetNumFaceSets() == 0 && mesh->GetNumBones() == 0 && mesh->GetPhysicsMesh() == nullptr);

    harness.manager.UnloadResource(mesh);
    harness.manager.UnloadUnreferencedResources();
    Check(harness.manager.GetMemoryUsage() == 0);
    return 0;
}
