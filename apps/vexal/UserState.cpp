#include "UserState.h"

#include <cstdlib>

namespace vexal::cli {

void ignoreUserState() {
    // The plug-in's settings store takes its folder from VEXAL_CONFIG_DIR
    // first. A path below /dev/null can be neither read nor created, so
    // every read finds nothing and every write fails.
    setenv("VEXAL_CONFIG_DIR", "/dev/null/no-user-state", 1);
}

}  // namespace vexal::cli
