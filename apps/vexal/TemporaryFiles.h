// Temporary files vexal makes (each output is written beside its target and
// renamed over it when complete) are removed when a signal ends it: Ctrl-C,
// termination, a hang-up or a closed pipe, in any pass of any command. The
// outputs that existed stay as they were.
#pragma once

namespace vexal::cli {

// Tracks every temporary file from now on and installs the signal handlers.
void installInterruptCleanup();

}  // namespace vexal::cli
