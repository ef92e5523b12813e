#pragma once
// NameTable<Value>: a fixed table of 251 slots from a Name to a value, the lookup structure of
// mesh bones, attach points and pose bones. It is one flat array, so lookups and writes never
// allocate.
//
// Open addressing with double hashing on the key's first word k: probe i (0..250) visits slot
// ((k mod 250 + 1) * i + k mod 251) mod 251. 251 is prime and the step lies in 1..250, so the
// probes visit every slot once. A lookup stops at the key (found) or at an empty slot (absent); an
// insert takes the first slot that holds the key or is empty. Entries are never removed one by one.
//
// Name::noName marks the empty slots, so it is never a key: looking it up finds nothing and
// inserting it is refused. Empty slots hold Value(), so a newly claimed slot starts with it.
//
// The table keeps its lowest used slot (kSlotCount when empty); iteration runs from there upward
// over the used slots, so the order depends on the keys' words, not on the order of insertion.

#include "core/Name.h"

namespace GAME {

// The slot visited by probe i (0..250) of the key, for every NameTable.
int GetNameTableSlot(const Name& key, int probe);

template <class Value>
class NameTable {
public:
    static constexpr int kSlotCount = 251;

    struct Slot {
        Name key;     // Name::noName when the slot is empty
        Value value;  // meaningful only when the key is set
    };

    // The slot holding the key, or -1.
    int Find(const Name& key) const {
        bool found = false;
        const int slot = Probe(key, found);
        return found ? slot : -1;
    }
    const Value* Get(const Name& key) const {
        const int slot = Find(key);
        return slot >= 0 ? &slots_[slot].value : nullptr;
    }
    Value* Get(const Name& key) {
        const int slot = Find(key);
        return slot >= 0 ? &slots_[slot].value : nullptr;
    }

    // The slot of the key, claimed with the value Value() when the key was absent; -1 when every
    // slot holds another key, or for Name::noName.
    int Insert(const Name& key) {
        bool found = false;
        const int slot = Probe(key, found);
        if (slot < 0 || found) return slot;
        slots_[slot].key = key;
        ++count_;
        if (slot < lowestUsed_) lowestUsed_ = slot;
        return slot;
    }
    // Writes the value under the key; false when Insert finds no slot.
    bool Set(const Name& key, const Value& value) {
        const int slot = Insert(key);
        if (slot < 0) return false;
        slots_[slot].value = value;
        return true;
    }

    // Empties every slot.
    void Clear() {
        for (Slot& slot : slots_) slot = Slot();
        lowestUsed_ = kSlotCount;
        count_ = 0;
    }

    bool IsEmpty() const { return count_ == 0; }
    int GetCount() const { return count_; }
    int GetLowestUsedSlot() const { return lowestUsed_; }
    // The value in a slot from Find or Insert.
    Value& GetValue(int slot) { return slots_[slot].value; }

    // Calls f(key, value) for every used slot in ascending slot order.
    template <class F>
    void ForEach(F&& f) const {
        for (int i = lowestUsed_; i < kSlotCount; ++i) {
            if (slots_[i].key != Name::noName) f(slots_[i].key, slots_[i].value);
        }
    }

private:
    // The key's slot (found) or the first empty slot of its probes; -1 when neither exists.
    int Probe(const Name& key, bool& found) const {
        found = false;
        if (key == Name::noName) return -1;
        for (int i = 0; i < kSlotCount; ++i) {
            const int slot = GetNameTableSlot(key, i);
            if (slots_[slot].key == key) {
                found = true;
                return slot;
            }
            if (slots_[slot].key == Name::noName) return slot;
        }
        return -1;
    }

    Slot slots_[kSlotCount];
    int lowestUsed_ = kSlotCount;
    int count_ = 0;
};

}  // namespace GAME
