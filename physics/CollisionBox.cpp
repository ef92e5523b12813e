#include "physics/CollisionBox.h"

namespace GAME {

CollisionBox::CollisionBox(const OBBox& box, float maxDepth) : maxDepth_(maxDepth), obbox_(box), abbox_(box) {}

bool CollisionBox::AddContact(const CollisionContact& contact) {
    // Written so that a NaN depth is refused too.
    if (!(contact.depth <= maxDepth_)) return false;
    if (numContacts_ < kMaxContacts) {
        contacts_[numContacts_++] = contact;
        return true;
    }
    int shallowest = 0;
    for (int i = 1; i < kMaxContacts; ++i) {
        if (contacts_[i].depth < contacts_[shallowest].depth) shallowest = i;
    }
    if (contact.depth <= contacts_[shallowest].depth) return false;
    contacts_[shallowest] = contact;
    return true;
}

}  // namespace GAME
