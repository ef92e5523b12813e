// The level file: Level::Load and Level::Save (the format is described in Level.h).

#include <algorithm>
#include <cstring>

#include "core/Log.h"
#include "core/Thread.h"
#include "engine/Engine.h"
#include "engine/ObjectManager.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "files/File.h"
#include "files/FileSystem.h"
#include "files/StringTable.h"
#include "pathing/ImpassableData.h"
#include "world/GridRegion.h"
#include "world/Level.h"
#include "world/Region.h"

namespace GAME {

namespace {

// The entry of one entity in chunk 5: name index and coordinates, then (from version 12 on) the
// unique-id flag; the id itself is optional.
constexpr uint32_t kEntryBaseSize = 4 + 12 * 4;
constexpr int kFirstVersionWithUniqueIds = 12;
constexpr int kFirstVersionWithGroundKind = 11;
// From this version on a level file always holds its entity, entity data, ground and sector
// layers chunks; before it, only its ground chunk.
constexpr int kFirstVersionWithEveryChunk = 14;

// Constant-initialised, so a maker installed while the library loads is never overwritten.
Level::MissingRecordMaker gMissingRecordMaker = nullptr;

bool IsFinite(const Coords& coords) {
    return coords.xAxis.IsValid() && coords.yAxis.IsValid() && coords.zAxis.IsValid() && coords.origin.IsValid();
}

// Whether a loaded entity is left to the saved state or to the server (see Level.h).
bool IsDropped(const Entity& entity, bool restoring) {
    if (gEngine && gEngine->IsNetworkServer()) return restoring && entity.ShouldSaveState();
    if (gEngine && gEngine->IsNetworkClient()) return entity.ShouldServerSpawn();
    const bool editor = gEngine && gEngine->IsEditorMode();
    return !editor && restoring && entity.ShouldSaveState();
}

}  // namespace

void Level::SetMissingRecordMaker(MissingRecordMaker maker) { gMissingRecordMaker = maker; }

bool Level::Load(const char* fileName, bool restoring) {
    FileSystem* files = gEngine ? gEngine->GetFileSystem() : nullptr;
    File* file = files ? files->OpenFile(fileName, FileMode::Read) : nullptr;
    if (!file) {
        Log(LogPriority::Error, "Could not open level file %s", fileName);
        return false;
    }
    const uint32_t size = file->GetLength();
    const void* data = size ? file->Lock() : nullptr;
    const bool loaded = data && Load(data, size, restoring);
    file->Unlock();
    files->CloseFile(file);
    return loaded;
}

bool Level::Load(const void* data, uint32_t size, bool restoring) {
    if (!data) return false;
    Unload(false);
    // The level's file is its region's (also when it is read from within the map).
    const char* const fileName = region_ ? region_->GetName().c_str() : "";
    BinaryReader reader(data, size);
    char magic[sizeof(kMagic)] = {};
    if (!reader.ReadBytes(magic, sizeof(magic)) || std::memcmp(magic, kMagic, sizeof(kMagic)) != 0) {
        Log(LogPriority::Error, "Not a level file (bad magic): %s", fileName);
        return false;
    }
    const int version = int8_t(reader.ReadUInt8());
    if (reader.Failed() || version < kOldestVersion || version > kVersion) {
        Log(LogPriority::Error, "Level file version %d is not supported: %s", version, fileName);
        return false;
    }

    BinaryReader entities;
    BinaryReader entityData;
    BinaryReader waterChunk;
    bool hasWater = false;
    ImpassableData impassable;
    bool hasEntities = false;
    bool hasEntityData = false;
    bool hasGroundChunk = false;
    bool hasSectorLayers = false;
    while (!reader.IsAtEnd()) {
        const uint32_t id = reader.ReadUInt32();
        const uint32_t length = reader.ReadUInt32();
        // Data that ends between chunks keeps the chunks before the end; a chunk cut short means
        // a damaged file (cut in a copy, a length word gone wrong), and what follows cannot be trusted.
        if (reader.Failed()) {
            Log(LogPriority::Error, "Level file %s is cut short in the header of a chunk", fileName);
            DiscardLoad();
            return false;
        }
        if (length > reader.GetRemaining()) {
            Log(LogPriority::Error, "Level file %s is cut short in chunk %u: %u bytes of %u are there", fileName, id,
                reader.GetRemaining(), length);
            DiscardLoad();
            return false;
        }
        BinaryReader chunk = reader.ReadBlock(length);
        switch (id) {
        case kChunkEntities:
            entities = std::move(chunk);
            hasEntities = true;
            break;
        case kChunkEntityData:
            entityData = std::move(chunk);
            hasEntityData = true;
            break;
        case kChunkPathMesh:
            if (!pathMesh_.Load(chunk)) Log(LogPriority::Warning, "Error loading path mesh");
            break;
        case kChunkGround:
            hasGroundChunk = true;
            if (!LoadGround(chunk, version)) {
                DiscardLoad();
                return false;
            }
            break;
        case kChunkPassability:
            if (!impassable.Load(chunk)) Log(LogPriority::Warning, "Level file: the passability was not read");
            break;
        case kChunkWater:
            waterChunk = std::move(chunk);  // read once the ground it lies on is known
            hasWater = true;
            break;
        case kChunkSectorLayers:
            hasSectorLayers = true;
            if (!sectorLayers_.Load(chunk)) Log(LogPriority::Warning, "Level file: the sector layers were not read");
            break;
        default:
            break;
        }
    }
    // A file without a chunk its version always holds lost it, or ends early (cut between two
    // chunks), and would load without what it holds: its entities, ground, water or sector layers.
    const bool everyChunk = version >= kFirstVersionWithEveryChunk;
    for (const auto& [chunk, found] :
         {std::pair{kChunkEntities, hasEntities || !everyChunk},
          std::pair{kChunkEntityData, hasEntityData || !everyChunk}, std::pair{kChunkGround, hasGroundChunk},
          std::pair{kChunkSectorLayers, hasSectorLayers || !everyChunk}}) {
        if (found) continue;
        Log(LogPriority::Error, "Level file %s is cut short or damaged: it has no chunk %u", fileName, chunk);
        DiscardLoad();
        return false;
    }
    // Only an editable ground keeps the passability.
    if (ground_ && impassable.HasBeenLoadedOrPrimed()) ground_->SetImpassableData(impassable);
    if (ground_ && gEngine && gEngine->IsEditorMode()) ground_->ProcessDirtyRects();
    water_.reset();
    if (hasWater) {
        if (!NewWater()) {
            Log(LogPriority::Warning, "Level file: the water is passed over; no water system is present");
        } else if (!water_->Load(waterChunk)) {
            water_.reset();  // logged by the water
        }
    }

    const ABBox box = GetBoundingBox();
    const float hx = box.halfSize.x;
    const float hz = box.halfSize.z;
    // Sides outside the grids sector layers can hold (or not numbers) leave the level without them.
    const auto side = [](float extent) { return extent > 0.0f && extent < 65536.0f ? uint32_t(extent) : 0u; };
    if (!sectorLayers_.IsInitialized()) sectorLayers_.Initialize(side(2.0f * hx), side(2.0f * hz));
    const float half = std::max(hx, hz);
    space_ = std::make_unique<EntitySpace>(Vec2(hx, hz), Vec2(half, half));

    if (!LoadEntityChunks(hasEntities ? &entities : nullptr, hasEntityData ? &entityData : nullptr, version,
                          restoring)) {
        DiscardLoad();
        return false;
    }
    loaded_ = true;
    return true;
}

bool Level::LoadGround(BinaryReader& chunk, int version) {
    ground_.reset();
    // A ground-less level writes an empty chunk (or one holding only the kind word of a version
    // 10 file, which has none).
    const uint32_t kindSize = version >= kFirstVersionWithGroundKind ? 4 : 0;
    if (chunk.GetSize() <= kindSize) return true;
    const uint32_t kind = kindSize ? chunk.ReadUInt32() : uint32_t(LevelGround::Kind::Editable);
    if (kind == uint32_t(LevelGround::Kind::Grid)) {
        ground_ = std::make_unique<GridRegion>(region_);
    } else {
        ground_.reset(LevelGround::Make(LevelGround::Kind(kind), region_));
    }
    if (!ground_) {
        Log(LogPriority::Error, "Level file: a ground of kind %u cannot be made", kind);
        return false;
    }
    if (!ground_->Load(chunk, version)) {
        Log(LogPriority::Error, "Level file: the ground (kind %u) failed to load", kind);
        ground_.reset();
        return false;
    }
    return true;
}

bool Level::LoadEntityChunks(BinaryReader* entities, BinaryReader* entityData, int version, bool restoring) {
    mem::vector<Entity*> created;
    if (entities) {
        StringTable names;
        if (!names.Read(*entities)) return false;
        if (!LoadEntities(*entities, names, restoring, version >= kFirstVersionWithUniqueIds, created)) return false;
    }
    if (!entityData) return true;
    while (!entityData->IsAtEnd()) {
        const uint32_t index = entityData->ReadUInt32();
        const uint32_t length = entityData->ReadUInt32();
        BinaryReader bytes = entityData->ReadBlock(length);
        if (entityData->Failed()) {
            Log(LogPriority::Error, "Level file: an entity's extra data runs past its chunk");
            return false;
        }
        Entity* entity = index < created.size() ? created[index] : nullptr;
        if (entity && !entity->Read(bytes))
            Log(LogPriority::Warning, "Level file: entity '%s' did not read its extra data", entity->GetObjectName().c_str());
    }
    return true;
}

bool Level::LoadEntities(BinaryReader& reader, const StringTable& names, bool restoring, bool hasUniqueIds,
                         mem::vector<Entity*>& created) {
    created.clear();
    const uint32_t count = reader.ReadUInt32();
    const uint32_t entrySize = kEntryBaseSize + (hasUniqueIds ? 4 : 0);
    if (reader.Failed() || uint64_t(count) * entrySize > reader.GetRemaining()) {
        Log(LogPriority::Error, "Level file: %u entities do not fit in the entity chunk", count);
        return false;
    }
    created.assign(count, nullptr);
    ObjectManager* objects = Singleton<ObjectManager>::Get();
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t nameIndex = reader.ReadUInt32();
        const Coords coords = reader.ReadCoords();
        UniqueId uniqueId;
        if (hasUniqueIds && reader.ReadBool()) uniqueId = reader.ReadUniqueId();
        if (reader.Failed()) {
            Log(LogPriority::Error, "Level file: the entity chunk is cut short at entity %u of %u", i, count);
            return false;
        }
        const char* name = names.GetString(int(std::min<uint32_t>(nameIndex, INT32_MAX)));
        if (!name) {
            Log(LogPriority::Error, "Level file: entity %u names record %u of %d; skipping", i, nameIndex,
                names.GetNumStrings());
            continue;
        }
        if (!IsFinite(coords)) {
            Log(LogPriority::Error, "Entity '%s' has non-finite coords, skipping", name);
            continue;
        }
        // Made without its record's fields: it is placed first, then loaded. In the editor a missing
        // record is shown by a stand-in, which has no record to load.
        Entity* entity = objects->CreateObjectFromFile<Entity>(name, 0, false);
        const bool standIn = !entity && gEngine && gEngine->IsEditorMode() && gMissingRecordMaker;
        if (standIn) entity = gMissingRecordMaker(name);
        if (!entity) continue;
        if (IsDropped(*entity, restoring)) {
            objects->DestroyObjectEx(entity, __FILE__, __LINE__);
            continue;
        }
        if (!uniqueId.IsNull()) entity->SetUniqueID(uniqueId);
        entity->SetCoords(WorldCoords(region_, coords));
        if (!standIn) objects->LoadObjectData(entity);
        InsertEntity(entity, coords);
        created[i] = entity;
        // The main thread keeps its room while a large level streams in.
        Thread::YieldAfterSlice();
    }
    return true;
}

void Level::DiscardLoad() {
    DestroyAllEntities(-1);
    space_.reset();
    water_.reset();
    ground_.reset();
    pathMesh_.Clear();
    sectorLayers_.Clear();
    numEntities_ = 0;
    loaded_ = false;
}

void Level::Save(BinaryWriter& writer, bool runTimeFormat) const {
    mem::vector<Entity*> all;
    if (space_) space_->GetAll(all);
    StringTable names;
    for (const Entity* entity : all) names.Add(entity->GetObjectName());

    writer.Write(kMagic, sizeof(kMagic));
    writer.Write(static_cast<unsigned char>(kVersion));

    writer.BeginChunk(kChunkEntities);
    names.Write(writer);
    writer.Write(uint32_t(all.size()));
    for (Entity* entity : all) {
        writer.Write(uint32_t(names.GetIndex(entity->GetObjectName())));
        writer.Write(entity->GetCoords().GetRegionCoords());
        writer.Write(entity->HasUniqueID());
        if (entity->HasUniqueID()) writer.Write(entity->GetUniqueID());
    }
    writer.EndChunk();

    writer.BeginChunk(kChunkEntityData);
    for (size_t i = 0; i < all.size(); ++i) {
        BinaryWriter bytes(1024);
        all[i]->Write(bytes);
        if (bytes.GetPosition() == 0) continue;
        writer.Write(uint32_t(i));
        writer.Write(bytes.GetPosition());
        writer.Write(bytes.GetBuffer(), bytes.GetPosition());
    }
    writer.EndChunk();

    // Empty without a ground (and for a run-time ground, which is not saved again).
    writer.BeginChunk(kChunkGround);
    if (ground_) ground_->Write(writer, runTimeFormat);
    writer.EndChunk();

    if (water_) {
        writer.BeginChunk(kChunkWater);
        water_->Save(writer);
        writer.EndChunk();
    }

    if (pathMesh_.HasMesh()) {
        writer.BeginChunk(kChunkPathMesh);
        pathMesh_.Save(writer);
        writer.EndChunk();
    }

    writer.BeginChunk(kChunkSectorLayers);
    sectorLayers_.Save(writer);
    writer.EndChunk();
}

bool Level::Save(const char* fileName, bool runTimeFormat) const {
    BinaryWriter writer(1024);
    Save(writer, runTimeFormat);
    if (writer.Failed()) return false;  // logged by the writer
    FileSystem* files = gEngine ? gEngine->GetFileSystem() : nullptr;
    if (!files) {
        Log(LogPriority::Error, "Cannot save level %s without a file system", fileName);
        return false;
    }
    return files->SaveFile(fileName, writer.GetBuffer(), writer.GetPosition());
}

}  // namespace GAME
