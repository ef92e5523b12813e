#include "TestRecords.h"

namespace GAME::test {

GAME_RTTI_DEFINE_CLASS(TestPlainObject, Object);
GAME_RTTI_DEFINE_CLASS(TestFailingObject, Object);

bool TestPlainObject::Load(const LoadTable& table) {
    ++loads;
    return Object::Load(table);
}

TestRecords::Files TestRecords::Standard() {
    return {
        {kEntityRecord, "Class,Entity,\n"},
        {kActorRecord, "Class,Actor,\ncastsShadows,0,\n"},
        {kCutMeshRecord, "Class,Actor,\nmesh,"},
        {kNoClassRecord, "radius,3,\n"},
        {kUnknownClassRecord, "Class,NoSuchClass,\n"},
        {kNotEntityRecord, "Class,TestPlainObject,\n"},
        {kFailingLoadRecord, "Class,TestFailingObject,\n"},
    };
}

TestRecords::TestRecords() : TestRecords(Standard()) {}

TestRecords::TestRecords(const Files& files) {
    for (const auto& [name, contents] : files) directory_.WriteFile(name, contents);
    fileSystem_.AddDirectory(directory_.GetPath());
    depot_ = std::make_unique<TableDepot>(fileSystem_);
}

}  // namespace GAME::test
