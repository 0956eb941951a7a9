// The player's tool bar on Qt.
#pragma once

#include <functional>

#include "platform/WindowSystem.h"

class QToolBar;

namespace ostrel::platform::qt {

class ClientArea;

// A tool bar over the top of the client area from the bitmap's glyphs; each
// button reports its command.
QToolBar* buildToolBar(ClientArea* client, const ToolBarParams& params,
                       std::function<void(int command, QToolBar* toolBar)> chosen);

}  // namespace ostrel::platform::qt
