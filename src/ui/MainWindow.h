// The main window's procedure and its tool bar.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

namespace ostrel {

platform::LResult mainWindowProc(platform::WindowHandle window, std::uint32_t message,
                                 platform::WParam wParam, platform::LParam lParam);

// Makes a tool bar on `parent` and keeps its handle in toolBar. The size
// message that makes it arrives while the window is still being created,
// before start-up has stored mainWindow, so the parent is handed in.
void createToolBar(platform::WindowHandle parent);

}  // namespace ostrel
