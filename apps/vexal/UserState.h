// The plug-in's per-user settings (stored default bank and program,
// metering preferences, remembered paths). vexal reads them as a host's
// instance would, and never writes them; --no-user-state makes every
// plug-in instance of the run start without them, so that a render depends
// only on its command line.
#pragma once

namespace vexal::cli {

// Call before the first plug-in instance is made.
void ignoreUserState();

}  // namespace vexal::cli
