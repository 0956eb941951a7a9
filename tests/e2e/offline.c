/* Stands in for the URL library where the tests need an offline machine
   (Wine's own always reports online): WINEDLLOVERRIDES=url=n takes it. */
#include <windows.h>

__declspec(dllexport) BOOL WINAPI InetIsOffline(DWORD flags) {
    (void)flags;
    return TRUE;
}
