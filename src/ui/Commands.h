// The nine commands of the menu bar and the tool bar (their table is
// ui/CommandTable.h).
#pragma once

#include <cstdint>

#include "platform/Platform.h"

namespace ostrel {

// Empties the 260-byte buffer and runs the open-file dialog; non-zero when a
// file was chosen.
std::int32_t chooseMediaFile(char (&buffer)[260]);

// Runs the handler of command identifier `id`; identifiers that have no
// command do nothing.
void runCommand(platform::WindowHandle window, platform::WParam id);

}  // namespace ostrel
