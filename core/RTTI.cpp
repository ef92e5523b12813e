#include "core/RTTI.h"

#include <mutex>
#include <string_view>

#include "core/Log.h"
#include "core/Mem.h"

namespace GAME {

namespace {

// Records register during static initialisation of every library that defines classes, and are
// looked up from loading threads later, so the map is guarded.
struct Registry {
    std::mutex lock;
    mem::map<std::string_view, const RTTI_ClassInfo*> classes;
};

Registry& GetRegistry() {
    static Registry registry;
    return registry;
}

}  // namespace

RTTI_ClassInfo::RTTI_ClassInfo(const char* className, const RTTI_ClassInfo* parent, Factory factory)
    : className_(className), parent_(parent), factory_(factory) {
    Registry& registry = GetRegistry();
    std::lock_guard<std::mutex> lock(registry.lock);
    if (!registry.classes.emplace(className_, this).second)
        Log(LogPriority::Error, "RTTI: class \"%s\" is registered twice; the second record is ignored", className_);
}

RTTI_ClassInfo::~RTTI_ClassInfo() {
    Registry& registry = GetRegistry();
    std::lock_guard<std::mutex> lock(registry.lock);
    const auto it = registry.classes.find(className_);
    if (it != registry.classes.end() && it->second == this) registry.classes.erase(it);
}

bool RTTI_ClassInfo::IsA(const RTTI_ClassInfo* classInfo) const {
    for (const RTTI_ClassInfo* info = this; info; info = info->parent_)
        if (info == classInfo) return true;
    return false;
}

Object* RTTI_ClassInfo::CreateObject() const { return factory_ ? factory_() : nullptr; }

const RTTI_ClassInfo* RTTI_ClassInfo::Find(const char* className) {
    if (!className) return nullptr;
    Registry& registry = GetRegistry();
    std::lock_guard<std::mutex> lock(registry.lock);
    const auto it = registry.classes.find(className);
    return it != registry.classes.end() ? it->second : nullptr;
}

Object* RTTI_ClassInfo::CreateObject(const char* className) {
    const RTTI_ClassInfo* info = Find(className);
    if (!info) {
        Log(LogPriority::Error, "RTTI: unknown class \"%s\"", className ? className : "(null)");
        return nullptr;
    }
    if (info->IsAbstract()) {
        Log(LogPriority::Error, "RTTI: class \"%s\" is abstract and cannot be created", className);
        return nullptr;
    }
    return info->CreateObject();
}

}  // namespace GAME
