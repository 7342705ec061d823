// The test host's dlopen family on Windows: LoadLibrary, GetProcAddress,
// FreeLibrary. Only for the Windows build of the tests.
#pragma once

#include <windows.h>

#define RTLD_NOW 2
#define RTLD_LOCAL 0
#define RTLD_NODELETE 0x1000

inline void* dlopen(const char* file, int /*flags*/) { return LoadLibraryA(file); }

inline void* dlsym(void* handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

inline int dlclose(void* handle) { return FreeLibrary(static_cast<HMODULE>(handle)) ? 0 : 1; }

inline const char* dlerror() { return "the library could not be loaded"; }
