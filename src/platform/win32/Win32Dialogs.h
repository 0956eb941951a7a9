// Modal dialogs on Windows: the view through which the core's dialog logic
// reaches the dialog's controls, and the picture of the about dialog.
#pragma once

#include "platform/WindowSystem.h"
#include "platform/win32/Win32Common.h"

namespace ostrel::platform::win32 {

class Win32DialogView final : public DialogView {
public:
    explicit Win32DialogView(HWND dialog) : dialog_(dialog) {}

    WindowHandle item(int id) override;
    void setScrollRange(WindowHandle bar, int minimum, int maximum, bool redraw) override;
    void setScrollPos(WindowHandle bar, int position, bool redraw) override;
    int getScrollPos(WindowHandle bar) override;
    void setItemText(int id, const char* text) override;
    void moveTo(int x, int y) override;
    void endDialog(std::intptr_t result) override;
    void makeHyperlink(int id, const char* url) override;

private:
    HWND dialog_;
};

// Paints the about picture (bitmap 16 of `instance`) into the owner-drawn
// static control 21; FALSE for any other item.
BOOL drawAboutPicture(HINSTANCE instance, const DRAWITEMSTRUCT& item);

}  // namespace ostrel::platform::win32
