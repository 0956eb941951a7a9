#include "platform/win32/Hyperlink.h"

#include <cstring>

namespace ostrel::platform::win32 {

namespace {

// The system's hand pointer (IDC_HAND).
constexpr WORD kHandCursor = 32649;
// Blue, as a colour value: red 0, green 0, blue 255.
constexpr COLORREF kLinkColour = 0x00FF0000;
// A face name of at most 32 characters, terminator included.
constexpr int kFaceNameSize = 32;

char* copyUrl(const char* url) {
    std::size_t size = std::strlen(url) + 1;
    char* copy = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, size));
    if (copy) std::memcpy(copy, url, size);
    return copy;
}

void freeUrl(char* url) {
    if (url) HeapFree(GetProcessHeap(), 0, url);
}

// A record is a movable memory block, locked only while it is read or
// written.
HGLOBAL newRecord(const LinkData& data) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof(LinkData));
    if (!block) return nullptr;
    auto* record = static_cast<LinkData*>(GlobalLock(block));
    if (!record) {
        GlobalFree(block);
        return nullptr;
    }
    *record = data;
    GlobalUnlock(block);
    return block;
}

bool readRecord(HANDLE block, LinkData& data) {
    auto* record = static_cast<LinkData*>(GlobalLock(block));
    if (!record) return false;
    data = *record;
    GlobalUnlock(block);
    return true;
}

bool writeRecord(HANDLE block, const LinkData& data) {
    auto* record = static_cast<LinkData*>(GlobalLock(block));
    if (!record) return false;
    *record = data;
    GlobalUnlock(block);
    return true;
}

WNDPROC windowProcOf(HWND window) {
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
}

void subclass(HWND window, WNDPROC proc) {
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
}

// The dialog's own font, underlined: what a link is written in.
HFONT makeLinkFont(HDC dc) {
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    char face[kFaceNameSize] = {};
    GetTextFaceA(dc, kFaceNameSize, face);
    LOGFONTA font{};
    font.lfHeight = metrics.tmHeight;
    font.lfWidth = 0;
    font.lfEscapement = 0;
    font.lfOrientation = 0;
    font.lfWeight = metrics.tmWeight;
    font.lfItalic = metrics.tmItalic;
    font.lfUnderline = 1;
    font.lfStrikeOut = metrics.tmStruckOut;
    font.lfCharSet = metrics.tmCharSet;
    font.lfOutPrecision = 0;
    font.lfClipPrecision = 0;
    font.lfQuality = 0;
    font.lfPitchAndFamily = metrics.tmPitchAndFamily;
    std::memcpy(font.lfFaceName, face, sizeof font.lfFaceName);
    font.lfFaceName[LF_FACESIZE - 1] = 0;
    return CreateFontIndirectA(&font);
}

}  // namespace

void makeHyperlink(HWND dialog, int controlId, const char* url) {
    HWND control = GetDlgItem(dialog, controlId);
    if (!control) return;
    SetWindowTextA(control, url);

    if (HANDLE block = GetPropA(control, kLinkProperty)) {
        // Already a link: only the address changes.
        LinkData data{};
        if (readRecord(block, data)) {
            freeUrl(data.url);
            data.url = copyUrl(url);
            writeRecord(block, data);
        }
    } else {
        LinkData data{copyUrl(url), windowProcOf(control), nullptr, nullptr};
        if (HGLOBAL record = newRecord(data)) {
            SetPropA(control, kLinkProperty, record);
            subclass(control, hyperlinkProc);
        } else {
            freeUrl(data.url);
        }
    }

    // The dialog is subclassed once, however many links it holds.
    if (GetPropA(dialog, kLinkDialogProperty)) return;
    LinkData data{nullptr, windowProcOf(dialog), nullptr,
                  CreateSolidBrush(GetSysColor(COLOR_BTNFACE))};
    if (HGLOBAL record = newRecord(data)) {
        SetPropA(dialog, kLinkDialogProperty, record);
        subclass(dialog, hyperlinkDialogProc);
    } else if (data.backgroundBrush) {
        DeleteObject(data.backgroundBrush);
    }
}

LRESULT CALLBACK hyperlinkProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    HANDLE block = GetPropA(control, kLinkProperty);
    LinkData data{};
    if (!block || !readRecord(block, data)) return DefWindowProcA(control, message, wParam, lParam);

    switch (message) {
        case WM_NCHITTEST:
            // A static control lets the mouse through; a link must catch it.
            return HTCLIENT;
        case WM_SETCURSOR:
            SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(kHandCursor)));
            return TRUE;
        case WM_LBUTTONDOWN:
            if (!InetIsOffline(0)) {
                HWND owner = GetParent(control);
                if (!owner) owner = control;
                ShellExecuteA(owner, "open", data.url, nullptr, nullptr, SW_SHOWNORMAL);
            }
            break;
        case WM_DESTROY:
            RemovePropA(control, kLinkProperty);
            freeUrl(data.url);
            GlobalFree(block);
            break;
        default:
            break;
    }
    return CallWindowProcA(data.previousProc, control, message, wParam, lParam);
}

LRESULT CALLBACK hyperlinkDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    HANDLE block = GetPropA(dialog, kLinkDialogProperty);
    LinkData data{};
    if (!block || !readRecord(block, data)) return DefWindowProcA(dialog, message, wParam, lParam);

    switch (message) {
        case WM_CTLCOLORSTATIC: {
            HWND control = reinterpret_cast<HWND>(lParam);
            // Ordinary static texts keep the dialog's colours.
            if (!GetPropA(control, kLinkProperty)) break;
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, kLinkColour);
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            // A version 6 static control asks for its colours before it
            // selects its own font, and then draws over the font chosen here
            // with that one. So the link font is made from the control's own
            // font, and each link control is given the link font as its own.
            auto own = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
            if (!data.linkFont) {
                if (own) SelectObject(dc, own);
                data.linkFont = makeLinkFont(dc);
                writeRecord(block, data);
            }
            if (own != data.linkFont)
                SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(data.linkFont), FALSE);
            SelectObject(dc, data.linkFont);
            return reinterpret_cast<LRESULT>(data.backgroundBrush);
        }
        case WM_DESTROY:
            RemovePropA(dialog, kLinkDialogProperty);
            GlobalFree(block);
            if (data.backgroundBrush) DeleteObject(data.backgroundBrush);
            if (data.linkFont) DeleteObject(data.linkFont);
            break;
        default:
            break;
    }
    return CallWindowProcA(data.previousProc, dialog, message, wParam, lParam);
}

}  // namespace ostrel::platform::win32
