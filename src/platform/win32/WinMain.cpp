// The process entry of the Windows player: install the Win32 platform under
// the core and run it with the command line (the text after the program's
// name, the blanks after the name already skipped).
#include "state/PlayerState.h"
#include "app/Startup.h"
#include "platform/win32/Win32Platform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR commandLine, int /*show*/) {
    static ostrel::platform::win32::Win32Platform platform;
    ostrel::installPlatform(platform.seam());
    int exitCode = ostrel::runPlayer(ostrel::platform::win32::fromHinstance(instance),
                                     commandLine ? commandLine : "");
    // A run that ended without its teardown (a frame that could not be shown,
    // no wave device) still holds stream and display objects: the process
    // end reclaims them, rather than releasing them from static destructors
    // after the component library's own state may be gone.
    ExitProcess(static_cast<UINT>(exitCode));
}
