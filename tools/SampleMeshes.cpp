#include "SampleMeshes.h"

#include "SampleData.h"
#include "SampleMeshBuilder.h"

#include "core/Log.h"
#include "core/MathUtil.h"
#include "files/BinaryWriter.h"
#include "scene/MeshFileWriter.h"
#include "scene/ScenePhysicsNode.h"

#include <cstring>
#include <string>

namespace GAME::sample {

namespace {

using Contents = MeshFileWriter::Contents;

// Wall pieces stand on y = 0 along x, centred on the origin.
constexpr float kWallLength = 4.0f;
constexpr float kWallHeight = 3.0f;
constexpr float kWallHalfThickness = 0.125f;
constexpr float kDoorHalfWidth = 0.75f;
constexpr float kDoorHeight = 2.25f;

bool WriteDoorway(FileSystem& files) {
    MeshBuilder doorway(false);
    const float postHalf = 0.5f * (0.5f * kWallLength - kDoorHalfWidth);
    for (const float side : {-1.0f, 1.0f}) {
        doorway.AddBox(Vec3(side * (kDoorHalfWidth + postHalf), 0.5f * kWallHeight, 0),
                       Vec3(postHalf, 0.5f * kWallHeight, kWallHalfThickness));
    }
    const float lintelHalf = 0.5f * (kWallHeight - kDoorHeight);
    doorway.AddBox(Vec3(0, kDoorHeight + lintelHalf, 0), Vec3(kDoorHalfWidth, lintelHalf, kWallHalfThickness));
    if (!doorway.AddCollision(PhysicsSurface::Unwalkable)) return false;
    Contents& contents = doorway.Finish();
    const Vec3 a(-kDoorHalfWidth, 0, 0), b(kDoorHalfWidth, 0, 0), c(-kDoorHalfWidth, kDoorHeight, 0),
        d(kDoorHalfWidth, kDoorHeight, 0);
    contents.portals.push_back(GraphicsMesh::Portal{{{{a, b, c}}, {{c, b, d}}}});
    contents.descriptionText =
        "AttachPoint\n{\n    name = \"ChokePoint\"\n    origin = (0, 1.125, 0)\n}\n";
    return WriteMesh(files, kDoorwayMesh, contents);
}

// Root at the hips, Spine above it with Head on top, LegL and LegR below.
const char* const kCreatureText = R"(// Sample creature
CreateEntity
{
    entity = "Records/Sample/Entity.dbr"
    attach = "Back"
}
SkeletonEmitterBones { Head }
AttachPoint
{
    name = "Mouth"
    parent = "Head"
    origin = (0, 0, 0.2)
}
AttachPoint
{
    name = "Back"
    parent = "Spine"
    origin = (0, 0.3, -0.2)
}
RigidBodyDescription
{
    parentName = "Root"
    childName = "Spine"
    childOrigin = (0, 0.3, 0)
    extents = (0.25, 0.35, 0.15)
    collides = "true"
    density = "1.0"
    playFallSound = "true"
    FusedBone
    {
        name = "Root"
    }
}
RigidBodyDescription
{
    parentName = "Spine"
    childName = "Head"
    extents = (0.15, 0.15, 0.15)
    collides = "true"
    density = "1.0"
    playFallSound = "false"
}
RigidBodyDescription
{
    parentName = "Root"
    childName = "LegL"
    extents = (0.1, 0.4, 0.1)
    collides = "true"
    density = "1.0"
    playFallSound = "false"
}
JointDescription
{
    rigidBody0 = "0"
    rigidBody1 = "1"
    jointType = "ball"
    jointAxis0 = "x"
    loStop0 = "-0.5"
    hiStop0 = "0.5"
    breakable = "false"
}
JointDescription
{
    rigidBody0 = "0"
    rigidBody1 = "2"
    jointType = "hinge"
    jointAxis0 = "x"
    loStop0 = "-1.2"
    hiStop0 = "0.3"
    breakable = "true"
    breakChance = "25"
}
)";

bool WriteCreature(FileSystem& files) {
    MeshBuilder creature(true);
    struct Part {
        const char* name;
        uint32_t firstChild, childCount;
        int parent;        // index of the parent part, -1 for the root
        Vec3 joint;        // where the bone sits in the bind pose
        Vec3 boxCentre;    // where its box is drawn
        Vec3 half;
    };
    const Part parts[] = {
        {"Root", 1, 3, -1, Vec3(0, 0.9f, 0), Vec3(0, 0.9f, 0), Vec3(0.25f, 0.1f, 0.15f)},
        {"Spine", 4, 1, 0, Vec3(0, 1.0f, 0), Vec3(0, 1.3f, 0), Vec3(0.25f, 0.3f, 0.15f)},
        {"LegL", 0, 0, 0, Vec3(-0.15f, 0.8f, 0), Vec3(-0.15f, 0.4f, 0), Vec3(0.1f, 0.4f, 0.1f)},
        {"LegR", 0, 0, 0, Vec3(0.15f, 0.8f, 0), Vec3(0.15f, 0.4f, 0), Vec3(0.1f, 0.4f, 0.1f)},
        {"Head", 0, 0, 1, Vec3(0, 1.6f, 0), Vec3(0, 1.75f, 0), Vec3(0.15f, 0.15f, 0.15f)},
    };
    for (uint8_t slot = 0; slot < 5; ++slot) creature.AddBox(parts[slot].boxCentre, parts[slot].half, slot);
    Contents& contents = creature.Finish({0, 1, 2, 3, 4});
    for (const Part& part : parts) {
        GraphicsMesh::Bone bone;
        bone.nameText = part.name;
        bone.firstChild = part.firstChild;
        bone.childCount = static_cast<int32_t>(part.childCount);
        bone.relativeCoords = Coords::Translation(part.parent < 0 ? part.joint : part.joint - parts[part.parent].joint);
        contents.bones.push_back(bone);
    }
    for (const int slot : {1, 4}) {
        GraphicsMesh::HitBox box;
        box.nameText = parts[slot].name;
        box.extents = parts[slot].half;
        box.coords = Coords::Translation(parts[slot].boxCentre - parts[slot].joint);
        box.bone = slot;
        contents.hitBoxes.push_back(box);
    }
    contents.descriptionText = kCreatureText;
    return WriteMesh(files, kCreatureMesh, contents);
}

}  // namespace

bool WriteMeshes(FileSystem& files) {
    MeshBuilder box(false);
    box.AddBox(Vec3(), Vec3(0.5f, 0.5f, 0.5f));
    MeshBuilder ground(false);
    ground.AddBox(Vec3(0, -0.25f, 0), Vec3(8, 0.25f, 8));
    MeshBuilder wall(false);
    wall.AddBox(Vec3(0, 0.5f * kWallHeight, 0), Vec3(0.5f * kWallLength, 0.5f * kWallHeight, kWallHalfThickness));
    if (!ground.AddCollision(PhysicsSurface::Grass) || !wall.AddCollision(PhysicsSurface::Unwalkable)) return false;
    return WriteMesh(files, kBoxMesh, box.Finish()) && WriteMesh(files, kGroundMesh, ground.Finish()) &&
           WriteMesh(files, kWallMesh, wall.Finish()) && WriteDoorway(files) && WriteCreature(files);
}

}  // namespace GAME::sample
