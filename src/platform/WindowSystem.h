// The window system as the core sees it: message numbers and records with
// the platform's values, the records of the window class, the tool bar and
// the open-file dialog, and the view through which a dialog's logic reaches
// its controls.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace ostrel::platform {

using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

// Window messages.
inline constexpr std::uint32_t kWmDestroy = 0x0002;
inline constexpr std::uint32_t kWmSize = 0x0005;
inline constexpr std::uint32_t kWmActivate = 0x0006;
inline constexpr std::uint32_t kWmClose = 0x0010;
inline constexpr std::uint32_t kWmActivateApp = 0x001C;
inline constexpr std::uint32_t kWmDrawItem = 0x002B;
inline constexpr std::uint32_t kWmCopyData = 0x004A;
inline constexpr std::uint32_t kWmKeyDown = 0x0100;
inline constexpr std::uint32_t kWmInitDialog = 0x0110;
inline constexpr std::uint32_t kWmCommand = 0x0111;
inline constexpr std::uint32_t kWmHScroll = 0x0114;
inline constexpr std::uint32_t kWmLButtonDown = 0x0201;
inline constexpr std::uint32_t kWmDropFiles = 0x0233;
inline constexpr std::uint32_t kWmQuit = 0x0012;

inline constexpr WParam kVkEscape = 0x1B;
inline constexpr WParam kWaInactive = 0;

// Scroll bar codes of kWmHScroll.
inline constexpr std::uint32_t kSbLineLeft = 0;
inline constexpr std::uint32_t kSbLineRight = 1;
inline constexpr std::uint32_t kSbPageLeft = 2;
inline constexpr std::uint32_t kSbPageRight = 3;
inline constexpr std::uint32_t kSbThumbPosition = 4;
inline constexpr std::uint32_t kSbThumbTrack = 5;

// Window styles.
inline constexpr std::uint32_t kCsVRedraw = 0x1;
inline constexpr std::uint32_t kCsHRedraw = 0x2;
inline constexpr std::uint32_t kWsExAcceptFiles = 0x10;
inline constexpr std::uint32_t kWsExWindowEdge = 0x100;
inline constexpr std::uint32_t kWsExClientEdge = 0x200;
inline constexpr std::uint32_t kWsPopup = 0x80000000;
inline constexpr std::uint32_t kWsVisible = 0x10000000;
inline constexpr std::uint32_t kWsChild = 0x40000000;
inline constexpr std::uint32_t kWsOverlappedWindow = 0x00CF0000;
inline constexpr int kSwShowNormal = 1;

// Message box style: OK button and exclamation icon.
inline constexpr std::uint32_t kMbOkIconExclamation = 0x30;

inline constexpr std::uint16_t low16(WParam w) {
    return static_cast<std::uint16_t>(w & 0xFFFF);
}
inline constexpr std::uint16_t high16(WParam w) {
    return static_cast<std::uint16_t>((w >> 16) & 0xFFFF);
}

struct Message {
    WindowHandle window = nullptr;
    std::uint32_t message = 0;
    WParam wParam = 0;
    LParam lParam = 0;
};

// The record a second start hands its command line over with: `size` bytes
// at `data`, meant to hold the text and its terminating zero.
struct CopyData {
    std::uintptr_t tag = 0;
    std::uint32_t size = 0;
    const void* data = nullptr;
};

using WindowProc = LResult (*)(WindowHandle window, std::uint32_t message, WParam wParam,
                               LParam lParam);

struct WindowClass {
    std::uint32_t size = 48;
    std::uint32_t style = 0;
    WindowProc windowProc = nullptr;
    InstanceHandle instance = nullptr;
    IconHandle icon = nullptr;
    IconHandle smallIcon = nullptr;
    CursorHandle cursor = nullptr;
    bool blackBackground = false;
    int menuResource = 0;  // 0: no menu
    const char* className = nullptr;
};

// One button record of the tool bar.
struct ToolButton {
    int image = 0;
    int command = 0;
    std::uint8_t state = 0;
    std::uint8_t style = 0;
};

inline constexpr std::uint8_t kTbStateEnabled = 4;
inline constexpr std::uint8_t kTbStyleButton = 0;
inline constexpr std::uint8_t kTbStyleSep = 1;

struct ToolBarParams {
    WindowHandle parent = nullptr;
    std::uint32_t style = 0;
    int id = 0;
    int imageCount = 0;
    InstanceHandle instance = nullptr;
    int bitmapResource = 0;
    const ToolButton* buttons = nullptr;
    int buttonCount = 0;
    int buttonWidth = 0;
    int buttonHeight = 0;
    int imageWidth = 0;
    int imageHeight = 0;
};

// The open-file dialog's request; `file` receives the chosen full path.
struct OpenFileRequest {
    WindowHandle owner = nullptr;
    const char* filter = nullptr;  // pairs of zero-terminated texts, ended by an empty one
    std::uint32_t filterIndex = 0;
    char* file = nullptr;
    std::uint32_t maxFile = 0;
    std::uint32_t flags = 0;
};

inline constexpr std::uint32_t kOfnHideReadOnly = 0x4;
inline constexpr std::uint32_t kOfnNoChangeDir = 0x8;
inline constexpr std::uint32_t kOfnPathMustExist = 0x800;
inline constexpr std::uint32_t kOfnFileMustExist = 0x1000;

// A modal dialog's controls, as its logic reaches them. The Win32 build
// wraps the dialog window; the Qt build its dialog widget; the tests record.
class DialogView {
public:
    virtual ~DialogView() = default;
    virtual WindowHandle item(int id) = 0;
    virtual void setScrollRange(WindowHandle bar, int minimum, int maximum, bool redraw) = 0;
    virtual void setScrollPos(WindowHandle bar, int position, bool redraw) = 0;
    virtual int getScrollPos(WindowHandle bar) = 0;
    virtual void setItemText(int id, const char* text) = 0;
    // Moves the dialog's top-left corner to screen x, y, keeping its size and
    // its place in the z-order.
    virtual void moveTo(int x, int y) = 0;
    virtual void endDialog(std::intptr_t result) = 0;
    // Turns static control `id` into a link to `url` (text, colours, hand
    // cursor and click); the link's records go with the dialog.
    virtual void makeHyperlink(int id, const char* url) = 0;
};

// Returns true when the message was handled.
using DialogProc = bool (*)(DialogView& dialog, std::uint32_t message, WParam wParam,
                            LParam lParam);

}  // namespace ostrel::platform
