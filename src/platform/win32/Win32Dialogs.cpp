// Tool bar, open-file dialog, modal dialogs and dropped files.
#include "platform/win32/Win32Dialogs.h"

#include <algorithm>
#include <array>

#include "platform/win32/Hyperlink.h"
#include "platform/win32/Win32Platform.h"
#include "resource_ids.h"

namespace ostrel::platform::win32 {

namespace {

// What a running modal dialog needs on every message: the core's procedure,
// the module its resources come from, and whether it is the about dialog,
// whose picture is drawn here. It travels in the initialisation message's
// parameter and then stays in the dialog's user slot.
struct DialogContext {
    DialogProc proc = nullptr;
    HINSTANCE instance = nullptr;
    bool drawsAboutPicture = false;
};

constexpr const char* kAboutDialogName = "ABOUT_DLG";

INT_PTR CALLBACK dialogThunk(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    auto* context = reinterpret_cast<DialogContext*>(GetWindowLongPtrA(dialog, DWLP_USER));
    // Messages before the initialisation (the font) have no logic to go to.
    if (!context || !context->proc) return FALSE;

    if (message == WM_DRAWITEM && context->drawsAboutPicture)
        return drawAboutPicture(context->instance,
                                *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));

    Win32DialogView view(dialog);
    // The core's dialogs are opened with the parameter 0; the context is
    // this layer's own.
    LPARAM forwarded = message == WM_INITDIALOG ? 0 : lParam;
    return context->proc(view, message, wParam, forwarded) ? TRUE : FALSE;
}

constexpr std::size_t kMaxToolButtons = 32;

}  // namespace

// The dialog view.

WindowHandle Win32DialogView::item(int id) {
    return fromHwnd(GetDlgItem(dialog_, id));
}

void Win32DialogView::setScrollRange(WindowHandle bar, int minimum, int maximum, bool redraw) {
    SetScrollRange(toHwnd(bar), SB_CTL, minimum, maximum, redraw);
}

void Win32DialogView::setScrollPos(WindowHandle bar, int position, bool redraw) {
    SetScrollPos(toHwnd(bar), SB_CTL, position, redraw);
}

int Win32DialogView::getScrollPos(WindowHandle bar) {
    return GetScrollPos(toHwnd(bar), SB_CTL);
}

void Win32DialogView::setItemText(int id, const char* text) {
    SetDlgItemTextA(dialog_, id, text);
}

void Win32DialogView::moveTo(int x, int y) {
    SetWindowPos(dialog_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void Win32DialogView::endDialog(std::intptr_t result) {
    EndDialog(dialog_, result);
}

void Win32DialogView::makeHyperlink(int id, const char* url) {
    win32::makeHyperlink(dialog_, id, url);
}

BOOL drawAboutPicture(HINSTANCE instance, const DRAWITEMSTRUCT& item) {
    if (item.CtlType != ODT_STATIC || item.CtlID != IDC_ABOUT_PICTURE) return FALSE;
    // Loaded and let go on every draw: nothing is kept between paints.
    HDC memory = CreateCompatibleDC(nullptr);
    auto* picture = static_cast<HBITMAP>(
        LoadImageA(instance, MAKEINTRESOURCEA(IDB_ABOUT), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    HGDIOBJ replaced = SelectObject(memory, picture);
    const RECT& area = item.rcItem;
    BitBlt(item.hDC, area.left, area.top, area.right - area.left + 1, area.bottom - area.top + 1,
           memory, 0, 0, SRCCOPY);
    SelectObject(memory, replaced);
    DeleteObject(picture);
    DeleteDC(memory);
    return TRUE;
}

// Controls and dialogs of the platform.

WindowHandle Win32Windows::createToolBar(const ToolBarParams& params) {
    // The tool bar's window class comes from the common controls library.
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    std::array<TBBUTTON, kMaxToolButtons> buttons{};
    int count = std::clamp(params.buttonCount, 0, static_cast<int>(kMaxToolButtons));
    for (int i = 0; i < count; ++i) {
        const ToolButton& button = params.buttons[i];
        buttons[i].iBitmap = button.image;
        buttons[i].idCommand = button.command;
        buttons[i].fsState = button.state;
        buttons[i].fsStyle = button.style;
        buttons[i].dwData = 0;
        buttons[i].iString = 0;
    }
    HWND toolBar =
        CreateToolbarEx(toHwnd(params.parent), params.style, params.id, params.imageCount,
                        toHinstance(params.instance), params.bitmapResource, buttons.data(), count,
                        params.buttonWidth, params.buttonHeight, params.imageWidth,
                        params.imageHeight, sizeof(TBBUTTON));
    return fromHwnd(toolBar);
}

std::int32_t Win32Windows::getOpenFileName(OpenFileRequest& request) {
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof(OPENFILENAMEA);
    dialog.hwndOwner = toHwnd(request.owner);
    dialog.lpstrFilter = request.filter;
    dialog.nFilterIndex = request.filterIndex;
    dialog.lpstrFile = request.file;
    dialog.nMaxFile = request.maxFile;
    dialog.Flags = request.flags;
    return GetOpenFileNameA(&dialog);
}

std::intptr_t Win32Windows::dialogBox(InstanceHandle instance, const char* name, WindowHandle owner,
                                      DialogProc proc) {
    DialogContext context;
    context.proc = proc;
    context.instance = toHinstance(instance);
    context.drawsAboutPicture = name && lstrcmpiA(name, kAboutDialogName) == 0;
    return DialogBoxParamA(context.instance, name, toHwnd(owner), dialogThunk,
                           reinterpret_cast<LPARAM>(&context));
}

std::uint32_t Win32Windows::dragQueryFile(DropHandle drop, std::uint32_t index, char* buffer,
                                          std::uint32_t bufferSize) {
    return DragQueryFileA(reinterpret_cast<HDROP>(drop), index, buffer, bufferSize);
}

void Win32Windows::dragFinish(DropHandle drop) {
    DragFinish(reinterpret_cast<HDROP>(drop));
}

void Win32Windows::messageBox(WindowHandle owner, const char* text, const char* caption,
                              std::uint32_t style) {
    MessageBoxA(toHwnd(owner), text, caption, style);
}

}  // namespace ostrel::platform::win32
