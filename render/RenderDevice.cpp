#include "render/RenderDevice.h"

#include "core/Log.h"
#include "engine/Engine.h"
#include "platform/DynamicLibrary.h"

#include <cstring>
#include <string>

namespace GAME {

namespace {

// One device library and the device it made (null once the device is destroyed).
struct DeviceLibraryRow {
    RenderDevice* device = nullptr;
    DynamicLibrary library;
};

// The process-wide library table. Rows stay until UnloadLibraries, so a destroyed device's
// library stays loaded until shutdown.
struct DeviceLibraryTable {
    DeviceLibraryRow rows[RenderDevice::kMaxLibraries];
    int numRows = 0;
    std::string deviceDirectory;
};

// Never destroyed: UnloadLibraries is the one place that unloads a library. At exit a device that
// was not destroyed may still be reached by other static objects, so its code must stay mapped.
DeviceLibraryTable& GetTable() {
    static DeviceLibraryTable* const table = new DeviceLibraryTable;
    return *table;
}

struct GenerationName {
    char name[20];
    RenderGenerationId id;
};

constexpr GenerationName kGenerations[] = {
    {"Unknown", RenderGenerationId::Unknown},       {"GeForce3", RenderGenerationId::GeForce3},
    {"GeForce4", RenderGenerationId::GeForce4},     {"GeForce5", RenderGenerationId::GeForce5},
    {"GeForce6", RenderGenerationId::GeForce6},     {"Radeon9000", RenderGenerationId::Radeon9000},
    {"R200", RenderGenerationId::R200},
};

// lib<name>.so in the configured directory, else in the directory of this engine library (never
// the system search path: a system library of the same name must not be picked up). Empty when
// the name could reach outside that directory or no directory is known.
std::string GetLibraryPath(const char* name) {
    if (name == nullptr || name[0] == '\0' || std::strchr(name, '/') != nullptr) {
        return std::string();
    }
    const std::string& configured = GetTable().deviceDirectory;
    const std::string directory = configured.empty() ? DynamicLibrary::GetDirectoryOf(kGenerations) : configured;
    if (directory.empty()) {
        return std::string();
    }
    return directory + "/lib" + name + ".so";
}

}  // namespace

RenderDevice* RenderDevice::Create(const char* name) {
    DeviceLibraryTable& table = GetTable();
    if (table.numRows >= kMaxLibraries) {
        return nullptr;
    }
    const std::string path = GetLibraryPath(name);
    DynamicLibrary library;
    if (path.empty() || !library.Open(path)) {
        return nullptr;
    }
    const auto create = reinterpret_cast<decltype(&CreateRenderDevice)>(library.GetSymbol("CreateRenderDevice"));
    if (create == nullptr) {
        return nullptr;  // the library unloads with `library`
    }
    RenderDevice* device = create(gEngine);
    const int row = FindDeviceLibrary(device);
    if (row >= 0) {
        // The same device again: the row takes this load's handle and the earlier load is released.
        table.rows[row].library = std::move(library);
    } else {
        table.rows[table.numRows].device = device;
        table.rows[table.numRows].library = std::move(library);
        ++table.numRows;
    }
    return device;
}

void RenderDevice::Destroy(RenderDevice*& device) {
    const int row = FindDeviceLibrary(device);
    if (row >= 0) {
        DeviceLibraryRow& entry = GetTable().rows[row];
        const auto destroy =
            reinterpret_cast<decltype(&DestroyRenderDevice)>(entry.library.GetSymbol("DestroyRenderDevice"));
        if (destroy != nullptr) {
            destroy(device);
            entry.device = nullptr;
        } else {
            Log(LogPriority::Error, "Render device library has no DestroyRenderDevice; the device is not destroyed.");
        }
    }
    device = nullptr;
}

int RenderDevice::FindDeviceLibrary(const RenderDevice* device) {
    if (device == nullptr) {
        return -1;
    }
    const DeviceLibraryTable& table = GetTable();
    for (int i = 0; i < table.numRows; ++i) {
        if (table.rows[i].device == device) {
            return i;
        }
    }
    return -1;
}

void RenderDevice::UnloadLibraries() {
    DeviceLibraryTable& table = GetTable();
    int kept = 0;
    for (int i = 0; i < table.numRows; ++i) {
        DeviceLibraryRow& row = table.rows[i];
        if (row.device == nullptr) {
            row.library.Close();
            continue;
        }
        Log(LogPriority::Error, "A render device was not destroyed; its library stays loaded.");
        if (kept != i) {
            table.rows[kept].device = row.device;
            table.rows[kept].library = std::move(row.library);
            row.device = nullptr;
        }
        ++kept;
    }
    table.numRows = kept;
}

void RenderDevice::SetDeviceDirectory(const char* directory) {
    GetTable().deviceDirectory = directory != nullptr ? directory : "";
}

const char* RenderDevice::GetNameForGeneration(RenderGenerationId id) {
    for (const GenerationName& row : kGenerations) {
        if (row.id == id) {
            return row.name;
        }
    }
    return kGenerations[0].name;
}

RenderGenerationId RenderDevice::GetGenerationForName(const char* name) {
    if (name != nullptr) {
        for (const GenerationName& row : kGenerations) {
            if (std::strcmp(row.name, name) == 0) {
                return row.id;
            }
        }
    }
    return RenderGenerationId::Unknown;
}

}  // namespace GAME
