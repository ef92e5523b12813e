#pragma once
// The engine's run-time class information and class registry.
//
// Every class derived from Object has one static RTTI_ClassInfo: its name, its parent's record and
// a factory. Records register themselves when they are constructed, before main, into a registry
// that lives in a function-local static, so the order in which translation units initialise does
// not matter. Records are found and classes created by name (a record's "Class" value), and IsA
// tests self-or-ancestor.
//
// In a class body:          GAME_RTTI_DECLARE_CLASS()
// In its source file:       GAME_RTTI_DEFINE_CLASS(Light, Entity)
// For an abstract class:    GAME_RTTI_DEFINE_ABSTRACT_CLASS(Entity, Object)
// The DEFINE macros are used in the class's own namespace with its unqualified name, which becomes
// the registered class name; the parent may be qualified.

namespace GAME {

class Object;

class RTTI_ClassInfo {
public:
    using Factory = Object* (*)();

    // Registers the record. A second record under a name already taken is logged and not
    // registered (the first one keeps the name).
    RTTI_ClassInfo(const char* className, const RTTI_ClassInfo* parent, Factory factory);
    // Unregisters it, so a library that is unloaded leaves no dangling record behind.
    ~RTTI_ClassInfo();
    RTTI_ClassInfo(const RTTI_ClassInfo&) = delete;
    RTTI_ClassInfo& operator=(const RTTI_ClassInfo&) = delete;

    const char* GetClassName() const { return className_; }
    const RTTI_ClassInfo* GetParent() const { return parent_; }
    // True for classes registered without a factory.
    bool IsAbstract() const { return factory_ == nullptr; }

    // True when this class is the given class or derives from it; false for null.
    bool IsA(const RTTI_ClassInfo* classInfo) const;

    // A new object of this class, or null for an abstract class. The caller owns it.
    Object* CreateObject() const;

    // The record registered under the exact (case-sensitive) name, or null.
    static const RTTI_ClassInfo* Find(const char* className);
    // A new object of the named class; null (and an error in the log) for an unknown or abstract
    // class.
    static Object* CreateObject(const char* className);

private:
    const char* className_;
    const RTTI_ClassInfo* parent_;
    Factory factory_;
};

}  // namespace GAME

// Declares the class record and the override that returns it.
#define GAME_RTTI_DECLARE_CLASS()                                                                 \
public:                                                                                           \
    static ::GAME::RTTI_ClassInfo classInfo;                                                      \
    const ::GAME::RTTI_ClassInfo* GetRTTIClassInfo() const override { return &classInfo; }       \
                                                                                                  \
private:

// Defines and registers the record of a class that can be created by name.
#define GAME_RTTI_DEFINE_CLASS(ClassName, ParentName)                                             \
    ::GAME::RTTI_ClassInfo ClassName::classInfo(#ClassName, &ParentName::classInfo,               \
                                                []() -> ::GAME::Object* { return new ClassName; })

// Defines and registers the record of a class that cannot be created by name.
#define GAME_RTTI_DEFINE_ABSTRACT_CLASS(ClassName, ParentName)                                    \
    ::GAME::RTTI_ClassInfo ClassName::classInfo(#ClassName, &ParentName::classInfo, nullptr)
