#pragma once
// DynamicLibrary: one shared library loaded into the process, unloaded when the object goes or
// is closed. Each successful Open holds one reference on the library, so two objects opening the
// same file keep it loaded until both are closed.

#include <string>

namespace GAME {

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary() { Close(); }
    DynamicLibrary(DynamicLibrary&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Loads the library file at path, resolving all its symbols now and keeping them out of the
    // process-wide namespace; a library already open in this object is closed first. False when
    // it cannot be loaded.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return handle_ != nullptr; }

    // The address of the library's exported symbol, or null when it has none of that name.
    void* GetSymbol(const char* name) const;

    // The directory (without a trailing '/') of the loaded executable or library whose image holds
    // the address; empty when no loaded file holds it.
    static std::string GetDirectoryOf(const void* address);

private:
    void* handle_ = nullptr;
};

}  // namespace GAME
