// A static text control of a dialog made into a web link: it shows its
// address underlined in blue on the dialog's face colour, shows the hand
// pointer, and opens the address in the browser when clicked (unless the
// system is offline).
//
// Both the control and its dialog are subclassed. Each keeps a LinkData
// record in a movable memory block whose handle is a window property:
// "href_dat" on a link control, "href_dlg" on the dialog (one per dialog,
// with the underlined font and the face-coloured brush all its links share).
#pragma once

#include "platform/win32/Win32Common.h"

namespace ostrel::platform::win32 {

inline constexpr const char* kLinkProperty = "href_dat";
inline constexpr const char* kLinkDialogProperty = "href_dlg";

struct LinkData {
    char* url;               // own copy of the address; null in a dialog's record
    WNDPROC previousProc;    // the window's procedure before it was subclassed
    HFONT linkFont;          // dialog only: made at the first colouring, else 0
    HBRUSH backgroundBrush;  // dialog only: a brush of the face colour
};

// Shows `url` in control `controlId` of `dialog` and makes the control a
// link to it; a second call for the same control changes the address.
void makeHyperlink(HWND dialog, int controlId, const char* url);

LRESULT CALLBACK hyperlinkProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK hyperlinkDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace ostrel::platform::win32
