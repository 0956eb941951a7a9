// Qt's key codes as virtual-key codes.
#pragma once

#include <cstdint>

namespace ostrel::platform::qt {

// The Windows virtual-key code of a Qt key (0 for keys without one).
std::uint32_t virtualKeyFor(int qtKey);

}  // namespace ostrel::platform::qt
