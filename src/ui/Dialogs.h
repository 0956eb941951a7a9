// The logic of the stream settings and about dialogs; the platform's dialog
// windows forward their messages here. Their controls are named in
// resource_ids.h.
#pragma once

#include <cstdint>

#include "platform/Platform.h"
#include "resource_ids.h"

namespace ostrel {

bool settingsDialogProc(platform::DialogView& dialog, std::uint32_t message,
                        platform::WParam wParam, platform::LParam lParam);
bool aboutDialogProc(platform::DialogView& dialog, std::uint32_t message, platform::WParam wParam,
                     platform::LParam lParam);

}  // namespace ostrel
