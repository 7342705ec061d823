// The toolkit's millisecond clock (the platform's tick count), replaceable
// for tests that step time by hand.
#pragma once

#include <cstdint>

namespace vexal {

uint32_t guiTicks();
// Null restores the platform's clock.
void setGuiTickSource(uint32_t (*source)());

}  // namespace vexal
