#pragma once
// ObjectManager: the owner of the engine's objects. It makes them by class name or from a record,
// gives each an object id, finds them by id or name, and destroys them only at a frame boundary.
//
// Records: a record's "Class" value names the class to make (through the class registry); the new
// object is named after the record (the normal form of its name) and, unless the caller asks
// otherwise, loads its fields from it. The level loader creates without loading, places the
// entity, then calls LoadObjectData.
//
// Object ids: the network host id in the top bits (0 while playing stand-alone) and a counter that
// starts at 1. A caller may ask for a given id (restoring saved state); an id in use gets a fresh
// one instead, with a warning. When the counter wraps it skips the ids in use.
//
// Destruction: DestroyObjectEx takes the object out of the id look-ups at once and queues it; the
// engine deletes at most kMaxDestroyedPerFrame queued objects a frame, oldest first, so an object
// stays valid for the rest of the frame in which it was destroyed. Destroying a queued object
// again is ignored (and logged), as is destroying an object the manager does not hold. At
// shutdown the engine deletes every queued object and logs the objects never destroyed; the
// manager's destructor deletes whatever is left.
//
// Threads: the level loading thread creates and destroys objects while the main thread runs, so
// every operation takes the manager's lock. Objects are made, loaded and deleted outside it, so
// their constructors, Load and destructors may call the manager.

#include <cstdint>
#include <deque>
#include <string>

#include "core/CriticalSection.h"
#include "core/Mem.h"
#include "core/Name.h"
#include "core/Object.h"
#include "core/Singleton.h"
#include "files/LoadTable.h"

namespace GAME {

class RTTI_ClassInfo;
class TableDepot;

class ObjectManager {
public:
    // Queued objects the engine deletes per frame.
    static constexpr int kMaxDestroyedPerFrame = 20;

    // The engine's manager is Singleton<ObjectManager>; tests make their own.
    ObjectManager() = default;
    // Deletes the queued objects, then every object still held.
    ~ObjectManager();
    ObjectManager(const ObjectManager&) = delete;
    ObjectManager& operator=(const ObjectManager&) = delete;

    // The record store that records are read from; not owned (the engine's, from start-up to
    // shutdown). Without one, every record request fails with an error.
    void SetTableDepot(TableDepot* depot);

    // A new object of a registered class, with a new id (objectId 0) or the given one. Null, with
    // an error, for an unknown or abstract class.
    Object* CreateObject(const char* className, uint32_t objectId = 0);
    // A new object of the class the record names, named after the record, loaded from it unless
    // load is false. Null, with an error, when the record is missing, names no class or an
    // unknown one, or the object fails to load (it is then destroyed).
    Object* CreateObjectFromFile(const std::string& recordName, uint32_t objectId = 0, bool load = true);
    // As above, but only when the record's class is T or derives from T: for any other class
    // nothing is made and null is returned, with an error.
    template <class T>
    T* CreateObjectFromFile(const std::string& recordName, uint32_t objectId = 0, bool load = true) {
        return static_cast<T*>(CreateFromRecord(recordName, objectId, load, &T::classInfo));
    }
    // Runs the object's Load with the record it is named after; false when there is no such
    // record or Load fails.
    bool LoadObjectData(Object* object);

    // Queues the object for destruction at the next frame boundary; file and line name the
    // caller in the log.
    void DestroyObjectEx(Object* object, const char* file, int line);
    // Deletes up to maxObjects queued objects, oldest first (all of them, including those queued
    // meanwhile, for a negative count). Returns how many were deleted.
    int DestroyPendingObjects(int maxObjects);
    // Logs a warning for every object never destroyed, and returns their number.
    int LogLeakedObjects() const;

    // The live object with the id; null when there is none (queued objects are not live).
    Object* GetObject(uint32_t objectId) const;
    // The live object with the name hash (the one with the lowest id when several share it);
    // null when there is none. Looks at every object: for occasional checks, not per frame.
    Object* GetObjectByName(const Name& name) const;
    // As GetObjectByName, passing over one object (the caller's own, to ask whether another
    // object of its name exists).
    Object* GetObjectByName(const Name& name, const Object* except) const;

    // The record's table; null, with an error, when there is no such record.
    const LoadTable* LoadTableFile(const std::string& recordName);
    // The record's table; an empty table, with an error, when there is no such record.
    const LoadTable& GetLoadTable(const std::string& recordName);

    // Live objects, and objects queued for destruction.
    int GetNumObjects() const;
    int GetNumDeletedObjects() const;

private:
    // An object queued for destruction, with the call that queued it.
    struct Pending {
        Object* object;
        const char* file;
        int line;
    };

    // CreateObjectFromFile, refusing classes that are not requiredClass (when not null).
    Object* CreateFromRecord(const std::string& recordName, uint32_t objectId, bool load,
                             const RTTI_ClassInfo* requiredClass);
    // Gives the object its id and makes it live.
    void Register(Object* object, uint32_t objectId);
    uint32_t AllocateIdLocked();
    TableDepot* GetTableDepot(const std::string& recordName) const;

    mutable CriticalSection lock_;
    TableDepot* depot_ = nullptr;
    mem::hash_map<uint32_t, Object*> byId_;        // the live objects
    mem::hash_set<const Object*> live_;            // the same objects, by address
    std::deque<Pending> pending_;                  // queued for destruction, oldest first
    mem::hash_set<const Object*> pendingObjects_;  // the same objects, by address
    uint32_t nextCounter_ = 1;                     // counter of the next new id
    const LoadTable emptyTable_{};
};

}  // namespace GAME
