#pragma once
// Record fixtures for the engine tests: a temporary directory of text records mounted as a file
// system with a record store over it, and the test-only classes the records name.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/Object.h"
#include "files/FileSystem.h"
#include "files/TableDepot.h"
#include "support/TempDirectory.h"

namespace GAME::test {

// Record names of the standard fixture.
inline constexpr const char* kEntityRecord = "Records/Test/Entity/Basic.dbr";
inline constexpr const char* kActorRecord = "Records/Test/Actor/Box.dbr";
inline constexpr const char* kCutMeshRecord = "Records/Test/Actor/CutMesh.dbr";  // ends inside its mesh field
inline constexpr const char* kNoClassRecord = "Records/Test/Bad/NoClass.dbr";
inline constexpr const char* kUnknownClassRecord = "Records/Test/Bad/UnknownClass.dbr";
inline constexpr const char* kNotEntityRecord = "Records/Test/Bad/NotEntity.dbr";
inline constexpr const char* kFailingLoadRecord = "Records/Test/Bad/FailingLoad.dbr";

// An Object that is not an Entity; counts its loads.
class TestPlainObject : public Object {
    GAME_RTTI_DECLARE_CLASS()

public:
    bool Load(const LoadTable& table) override;
    int loads = 0;
};

// An Object whose Load fails.
class TestFailingObject : public Object {
    GAME_RTTI_DECLARE_CLASS()

public:
    bool Load(const LoadTable&) override { return false; }
};

class TestRecords {
public:
    using Files = std::vector<std::pair<std::string, std::string>>;

    // The standard fixture records.
    static Files Standard();

    TestRecords();
    // The given files (relative name, contents), mounted read-only.
    explicit TestRecords(const Files& files);

    const TempDirectory& GetDirectory() const { return directory_; }
    FileSystem& GetFileSystem() { return fileSystem_; }
    TableDepot& GetDepot() { return *depot_; }

private:
    TempDirectory directory_;
    FileSystem fileSystem_;
    std::unique_ptr<TableDepot> depot_;
};

}  // namespace GAME::test
