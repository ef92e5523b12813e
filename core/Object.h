#pragma once
// The root of the engine's own class tree: everything made from a record, found by id or name and
// owned by the object manager.
//
// An object carries its object id, its object name (for a record-made object, the record's name)
// and the Name hash of that name. The virtual operations keep this slot order, which derived
// classes extend: GetRTTIClassInfo, Load, CalculateMemoryUsage, CalculateAllocatedMemory, then the
// destructor.
//
// Object ids are 32 bits: the network host id in the top 4 bits and a 28-bit counter below; 0 is
// no object.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/Name.h"
#include "core/RTTI.h"

namespace GAME {

class LoadTable;

class Object {
public:
    static RTTI_ClassInfo classInfo;

    static constexpr uint32_t kCounterBits = 28;
    static constexpr uint32_t kCounterMask = (1u << kCounterBits) - 1;
    static constexpr uint32_t kHostIdMask = 0xFu;

    static constexpr uint32_t MakeObjectId(uint32_t hostId, uint32_t counter) {
        return (hostId & kHostIdMask) << kCounterBits | (counter & kCounterMask);
    }
    static constexpr uint32_t GetHostId(uint32_t objectId) { return objectId >> kCounterBits; }
    static constexpr uint32_t GetCounter(uint32_t objectId) { return objectId & kCounterMask; }

    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    virtual const RTTI_ClassInfo* GetRTTIClassInfo() const { return &classInfo; }
    // Reads the object's fields from its record. The base reads nothing and succeeds: the object
    // manager names the object after its record before calling Load.
    virtual bool Load(const LoadTable& table);
    // The bytes the object occupies: the base object plus CalculateAllocatedMemory(). Derived
    // classes add their own size beyond the base's.
    virtual size_t CalculateMemoryUsage() const;
    // The heap bytes the object holds (the base: its object name's buffer).
    virtual size_t CalculateAllocatedMemory() const;
    virtual ~Object();

    uint32_t GetObjectId() const { return objectId_; }
    void SetObjectId(uint32_t objectId) { objectId_ = objectId; }

    const std::string& GetObjectName() const { return objectName_; }
    const Name& GetObjectNameHash() const { return objectNameHash_; }
    // Sets the name and its Name hash; a null name clears both.
    void SetObjectName(const char* name);

    // Whether the object manager has destroyed the object: it no longer answers to its id and
    // waits to be deleted (it stays valid until the frame ends). Read without the manager's lock,
    // so a walk that keeps the objects it found can tell which went since.
    bool IsDestroyed() const { return destroyed_.load(std::memory_order_relaxed); }

private:
    friend class ObjectManager;  // marks it destroyed

    uint32_t objectId_ = 0;
    std::atomic<bool> destroyed_ = false;
    std::string objectName_;
    Name objectNameHash_;
};

}  // namespace GAME
