#include "core/Object.h"

namespace GAME {

// The root is abstract: a bare Object is never made from a record.
RTTI_ClassInfo Object::classInfo("Object", nullptr, nullptr);

Object::~Object() = default;

bool Object::Load(const LoadTable&) { return true; }

size_t Object::CalculateMemoryUsage() const { return sizeof(Object) + CalculateAllocatedMemory(); }

size_t Object::CalculateAllocatedMemory() const {
    // A short name lives inside the string object itself and allocates nothing.
    const std::string empty;
    return objectName_.capacity() > empty.capacity() ? objectName_.capacity() + 1 : 0;
}

void Object::SetObjectName(const char* name) {
    objectName_ = name ? name : "";
    objectNameHash_ = name ? Name::Create(name) : Name::noName;
}

}  // namespace GAME
