// The process entry of the Windows player: install the Win32 platform under
// the core and run it with the command line (the text after the program's
// name, the blanks after the name already skipped).
#include "app/PlayerState.h"
#include "app/Startup.h"
#include "platform/win32/Win32Platform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR commandLine, int /*show*/) {
    static ostrel::platform::win32::Win32Platform platform;
    ostrel::installPlatform(&platform);
    return ostrel::runPlayer(ostrel::platform::win32::fromHinstance(instance),
                             commandLine ? commandLine : "");
}
