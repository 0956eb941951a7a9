// The main window's procedure and the small playback steps it shares with
// the commands.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

namespace ostrel {

platform::LResult mainWindowProc(platform::WindowHandle window, std::uint32_t message,
                                 platform::WParam wParam, platform::LParam lParam);

void createToolBar();
void suspendPlayback();
void resumePlayback();
void clearFrameLimits();
void configFilePath(char (&buffer)[260]);
std::int32_t playWavFile(const char* path, std::uint32_t flags);
void acceptHandOver(const char* text);

}  // namespace ostrel
