#include "platform/ModuleLocation.h"

#include <dlfcn.h>

#include <filesystem>

namespace vexal::platform {

std::string ownModuleFile() {
    Dl_info info{};
    // Any function of ours will do: it lies in the file that holds this code.
    if (dladdr(reinterpret_cast<void*>(&ownModuleFile), &info) == 0 || !info.dli_fname ||
        !info.dli_fname[0])
        return {};
    std::error_code error;
    const std::filesystem::path file = std::filesystem::absolute(info.dli_fname, error);
    return error ? std::string() : file.lexically_normal().string();
}

void keepOwnModuleLoaded() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&keepOwnModuleLoaded), &info) == 0 || !info.dli_fname) return;
    // Already loaded: this only marks it never to be unloaded (the handle is not closed).
    dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

}  // namespace vexal::platform
