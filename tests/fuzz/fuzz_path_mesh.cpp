// Fuzzes the two pathing blocks of a level file: the first byte chooses the impassable data
// (chunk 3) or the path mesh (chunk 10), the rest is the payload. Whatever loads must save and load
// again to the same thing, and a loaded mesh must answer queries.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "pathing/ImpassableData.h"
#include "pathing/PathMesh.h"

namespace {

void FuzzImpassable(const uint8_t* data, uint32_t size) {
    GAME::BinaryReader reader(data, size);
    GAME::ImpassableData impassable;
    if (!impassable.Load(reader)) return;
    GAME::BinaryWriter writer;
    impassable.Save(writer);
    // The block is self-delimiting: the bytes read are exactly the bytes written.
    if (writer.GetPosition() != reader.GetPosition() || std::memcmp(writer.GetBuffer(), data, writer.GetPosition()) != 0)
        std::abort();
    impassable.GetImpassable(impassable.GetCellsX(), 0);
}

void FuzzPathMesh(const uint8_t* data, uint32_t size) {
    GAME::BinaryReader reader(data, size);
    GAME::PathMesh mesh;
    if (!mesh.Load(reader)) return;
    GAME::BinaryWriter writer;
    mesh.Save(writer);
    GAME::BinaryReader again(writer.GetBuffer(), writer.GetPosition());
    GAME::PathMesh copy;
    if (!copy.Load(again) || copy.GetNumTriangles() != mesh.GetNumTriangles()) std::abort();
    if (mesh.HasMesh()) {
        const GAME::Vec3& a = mesh.GetVertex(mesh.GetTriangle(0).vertex[0]);
        const GAME::Vec3& b = mesh.GetVertex(mesh.GetTriangle(mesh.GetNumTriangles() - 1).vertex[1]);
        mesh.FindTriangle((a + b) * 0.5f);
        mesh.IsLineWalkable(a, b);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 0xffffffffu) return 0;
    const uint32_t payloadSize = static_cast<uint32_t>(size - 1);
    if (data[0] & 1)
        FuzzPathMesh(data + 1, payloadSize);
    else
        FuzzImpassable(data + 1, payloadSize);
    return 0;
}
