// The logic of the stream settings and about dialogs; the platform's dialog
// windows forward their messages here.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

namespace ostrel {

inline constexpr int kIdOk = 1;
inline constexpr int kIdItemPrev = 40006;
inline constexpr int kIdItemNext = 40007;
inline constexpr int kIdItemNumber = 40008;
inline constexpr int kIdVersion = 40012;
inline constexpr int kIdLink = 40013;
inline constexpr int kIdPositionBar = 40017;
inline constexpr int kIdVolumeBar = 40018;
inline constexpr int kIdPicture = 21;

bool settingsDialogProc(platform::DialogView& dialog, std::uint32_t message,
                        platform::WParam wParam, platform::LParam lParam);
bool aboutDialogProc(platform::DialogView& dialog, std::uint32_t message, platform::WParam wParam,
                     platform::LParam lParam);

}  // namespace ostrel
