#pragma once
// CollisionBox: an oriented box under test that collects its best contacts from several sources
// (ground cells, plugs, water, meshes), as rag-doll bodies need: each source hands its contacts to
// AddContact, which keeps the four deepest within the box's depth limit.

#include "core/ABBox.h"
#include "core/OBBox.h"
#include "physics/CollisionContact.h"

namespace GAME {

class CollisionBox {
public:
    static constexpr int kMaxContacts = 4;

    // A box with no contacts; contacts deeper than maxDepth will be refused.
    CollisionBox(const OBBox& box, float maxDepth);

    // Takes a contact unless it is deeper than the limit (or its depth is not a number). While fewer than four are held it is
    // appended; with four held it replaces the shallowest of them when it is deeper, and is refused
    // otherwise. Returns whether it was taken.
    bool AddContact(const CollisionContact& contact);

    const OBBox& GetOBBox() const { return obbox_; }
    // The axis-aligned bounds of the oriented box, for quick rejection by the callers.
    const ABBox& GetABBox() const { return abbox_; }
    float GetMaxDepth() const { return maxDepth_; }
    int GetNumContacts() const { return numContacts_; }
    // The held contacts, in the order they were taken (a replacement takes the replaced one's place).
    const CollisionContact& GetContact(int index) const { return contacts_[index]; }

private:
    float maxDepth_;
    OBBox obbox_;
    ABBox abbox_;
    int numContacts_ = 0;
    CollisionContact contacts_[kMaxContacts];
};

}  // namespace GAME
