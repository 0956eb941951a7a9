/* Stands in for the system's URL library in the offline case of the end-to-end
   tests: the one call the player makes of it reports the machine offline.
   Wine's own library always reports it online, and prefers a native copy
   found beside the program when told to (WINEDLLOVERRIDES=url=n). */
#include <windows.h>

__declspec(dllexport) BOOL WINAPI InetIsOffline(DWORD flags) {
    (void)flags;
    return TRUE;
}
