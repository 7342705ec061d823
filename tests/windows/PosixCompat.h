// The few POSIX calls the shared test sources make, for their Windows build
// (included ahead of every test source there).
#pragma once
#ifdef _WIN32

#define _USE_MATH_DEFINES  // M_PI in the tests' signal generators
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <random>
#include <string>

inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && getenv(name)) return 0;
    return _putenv_s(name, value) == 0 ? 0 : -1;
}

inline int unsetenv(const char* name) { return _putenv_s(name, "") == 0 ? 0 : -1; }

// Replaces the trailing XXXXXX with a fresh name and makes that folder.
inline char* mkdtemp(char* pattern) {
    const size_t n = strlen(pattern);
    if (n < 6) return nullptr;
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (size_t i = n - 6; i < n; ++i) pattern[i] = letters[random() % 36];
        std::error_code error;
        if (std::filesystem::create_directory(pattern, error) && !error) return pattern;
    }
    return nullptr;
}

#endif
