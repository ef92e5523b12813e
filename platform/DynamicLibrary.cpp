#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

namespace GAME {

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

bool DynamicLibrary::Open(const std::string& path) {
    Close();
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    return handle_ != nullptr;
}

void DynamicLibrary::Close() {
    if (handle_ != nullptr) {
        dlclose(handle_);
        handle_ = nullptr;
    }
}

void* DynamicLibrary::GetSymbol(const char* name) const {
    return handle_ != nullptr && name != nullptr ? dlsym(handle_, name) : nullptr;
}

std::string DynamicLibrary::GetDirectoryOf(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) {
        return std::string();
    }
    const std::string file(info.dli_fname);
    const size_t slash = file.rfind('/');
    if (slash == std::string::npos) {
        return std::string();
    }
    return slash == 0 ? std::string("/") : file.substr(0, slash);
}

}  // namespace GAME
