// The nine commands of the menu bar and the tool bar.
#pragma once

#include "platform/Platform.h"

namespace ostrel {

inline constexpr int kCmdOpen = 40001;
inline constexpr int kCmdStart = 40002;
inline constexpr int kCmdPause = 40003;
inline constexpr int kCmdStop = 40004;
inline constexpr int kCmdStream = 40005;
inline constexpr int kCmdSave = 40009;
inline constexpr int kCmdAbout = 40010;
inline constexpr int kCmdSite = 40015;
inline constexpr int kCmdExit = 40016;

// Empties the 260-byte buffer and runs the open-file dialog; non-zero when a
// file was chosen.
std::int32_t chooseMediaFile(char (&buffer)[260]);

void openCommand(platform::WindowHandle window);
void startCommand(platform::WindowHandle window);
void pauseCommand(platform::WindowHandle window);
void stopCommand(platform::WindowHandle window);
void streamCommand(platform::WindowHandle window);
void saveCommand(platform::WindowHandle window);
void aboutCommand(platform::WindowHandle window);
void siteCommand(platform::WindowHandle window);
void exitCommand(platform::WindowHandle window);

// Runs the handler of command identifier `id`; false for identifiers that
// have no command.
bool runCommand(platform::WindowHandle window, platform::WParam id);

}  // namespace ostrel
