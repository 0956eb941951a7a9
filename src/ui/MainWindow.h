// The main window's procedure and the small playback steps it shares with
// the commands.
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

// Stops the stream and keeps its time in streamTime (playing 0, paused 1).
// Without a stream object there is nothing to hold, and nothing changes.
void suspendPlayback();
// Seeks to streamTime and runs the stream (playing 1, paused 0).
void resumePlayback();
void clearFrameLimits();
void configFilePath(char (&buffer)[260]);
// Plays a WAV file; a missing file ends the run, and the sound call still
// follows. Returns the sound call's result.
std::int32_t playWavFile(const char* path, std::uint32_t flags);
// A command line handed over by a second start or a dropped file: parse it,
// then play what it names (a WAV as a sound, anything else as the item).
void acceptHandOver(const char* text);

}  // namespace ostrel
