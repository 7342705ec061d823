// The two kinds of failure the renderer reports: a usage error (bad option,
// unknown program or parameter, value out of range; exit status 2) and a
// processing error (a file that cannot be read or written; exit status 1).
// Each carries the one line that is printed on stderr.
#pragma once

#include <stdexcept>
#include <string>

namespace vexal::cli {

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct ProcessingError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

constexpr int kExitProcessing = 1;
constexpr int kExitUsage = 2;

}  // namespace vexal::cli
