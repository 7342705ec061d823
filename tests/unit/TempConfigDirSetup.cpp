// Points VEXAL_CONFIG_DIR at a temporary folder for this whole test program.
#include "../support/TempConfigDir.h"

namespace {
const testsupport::TempConfigDir configDir;
}  // namespace
