/* An offline machine's URL library (Wine's says online); WINEDLLOVERRIDES=url=n takes it. */
#include <windows.h>

__declspec(dllexport) BOOL WINAPI InetIsOffline(DWORD flags) {
    return (void)flags, TRUE;
}
