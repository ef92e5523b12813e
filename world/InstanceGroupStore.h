#pragma once
// InstanceGroupStore: what reads and writes the world's instance groups (chunk 17 of the world
// and map files). The instance-group manager implements it and hands itself to the world; until
// one is handed over, the world keeps the chunk's bytes as they were read and writes them back
// unchanged, so saving a world loses none of its groups.

namespace GAME {

class BinaryReader;
class BinaryWriter;

class InstanceGroupStore {
public:
    // Reads the groups from the chunk's payload (of the named file, which its messages name); false
    // (logged) for a damaged stream.
    virtual bool Load(BinaryReader& reader, const char* fileName) = 0;
    virtual void Save(BinaryWriter& writer) const = 0;
    // Forgets the groups (the world unloads).
    virtual void Clear() = 0;

protected:
    ~InstanceGroupStore() = default;
};

}  // namespace GAME
