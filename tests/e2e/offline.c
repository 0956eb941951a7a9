/* The URL library of an offline machine (Wine's own says online); WINEDLLOVERRIDES=url=n takes it. */
#include <windows.h>

__declspec(dllexport) BOOL WINAPI InetIsOffline(DWORD flags) { return (void)flags, TRUE; }
