#include "platform/ModuleLocation.h"

#include <windows.h>

#include <vector>

#include "WideText.h"

namespace vexal::platform {

std::string ownModuleFile() {
    HMODULE module = nullptr;
    // Any function of ours will do: it lies in the module that holds this code.
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&ownModuleFile), &module))
        return {};
    // Long paths: grow the buffer until the name fits.
    for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
        std::vector<wchar_t> name(size);
        const DWORD n = GetModuleFileNameW(module, name.data(), size);
        if (n == 0) return {};
        if (n < size) return fromWide(name.data(), n);
    }
    return {};
}

void keepOwnModuleLoaded() {
    HMODULE module = nullptr;
    // Pinned: the module stays loaded until the process ends, whatever the host frees.
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&keepOwnModuleLoaded), &module);
}

}  // namespace vexal::platform
