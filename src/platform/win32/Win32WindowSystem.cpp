// Window class, windows, messages and the message loop.
#include <array>

#include "platform/win32/Win32Platform.h"

namespace ostrel::platform::win32 {

namespace {

// The core's window procedures, by the atom of the class they were
// registered with. The system calls one procedure for every class; it finds
// the core's by the class of the window the message is for.
struct ClassProc {
    ATOM atom = 0;
    WindowProc proc = nullptr;
};
std::array<ClassProc, 8> classProcs;

WindowProc coreProcFor(HWND window) {
    ATOM atom = static_cast<ATOM>(GetClassWord(window, GCW_ATOM));
    for (const ClassProc& entry : classProcs)
        if (entry.atom == atom) return entry.proc;
    return nullptr;
}

LRESULT CALLBACK windowProcThunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowProc proc = coreProcFor(window);
    if (!proc) return DefWindowProcA(window, message, wParam, lParam);
    return proc(fromHwnd(window), message, wParam, lParam);
}

bool rememberClassProc(ATOM atom, WindowProc proc) {
    for (ClassProc& entry : classProcs) {
        if (entry.atom == 0 || entry.atom == atom) {
            entry = ClassProc{atom, proc};
            return true;
        }
    }
    return false;
}

}  // namespace

CursorHandle Win32Windows::loadArrowCursor() {
    return reinterpret_cast<CursorHandle>(LoadCursorA(nullptr, IDC_ARROW));
}

IconHandle Win32Windows::loadIcon(InstanceHandle instance, int resource) {
    return reinterpret_cast<IconHandle>(
        LoadIconA(toHinstance(instance), MAKEINTRESOURCEA(resource)));
}

std::uint16_t Win32Windows::registerClass(const WindowClass& windowClass) {
    // The core fills in the x86 size of WNDCLASSEXA; the system refuses a
    // wrong size, and so do we.
    if (windowClass.size != 48) return 0;
    WNDCLASSEXA system{};
    system.cbSize = sizeof(WNDCLASSEXA);
    system.style = windowClass.style;
    system.lpfnWndProc = windowProcThunk;
    system.cbClsExtra = 0;
    system.cbWndExtra = 0;
    system.hInstance = toHinstance(windowClass.instance);
    system.hIcon = reinterpret_cast<HICON>(windowClass.icon);
    system.hIconSm = reinterpret_cast<HICON>(windowClass.smallIcon);
    system.hCursor = reinterpret_cast<HCURSOR>(windowClass.cursor);
    system.hbrBackground =
        windowClass.blackBackground ? static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)) : nullptr;
    system.lpszMenuName =
        windowClass.menuResource ? MAKEINTRESOURCEA(windowClass.menuResource) : nullptr;
    system.lpszClassName = windowClass.className;
    ATOM atom = RegisterClassExA(&system);
    if (atom == 0) return 0;
    if (!rememberClassProc(atom, windowClass.windowProc)) {
        UnregisterClassA(windowClass.className, system.hInstance);
        return 0;
    }
    return atom;
}

WindowHandle Win32Windows::createWindow(std::uint32_t exStyle, const char* className,
                                        const char* title, std::uint32_t style, int x, int y,
                                        int width, int height, InstanceHandle instance) {
    // No parent, no menu handle (the class menu applies), no creation data.
    return fromHwnd(CreateWindowExA(exStyle, className, title, style, x, y, width, height, nullptr,
                                    nullptr, toHinstance(instance), nullptr));
}

bool Win32Windows::showWindow(WindowHandle window, int command) {
    return ShowWindow(toHwnd(window), command) != 0;
}

bool Win32Windows::updateWindow(WindowHandle window) {
    return UpdateWindow(toHwnd(window)) != 0;
}

bool Win32Windows::getClientRect(WindowHandle window, Rect& rect) {
    RECT system{};
    if (!GetClientRect(toHwnd(window), &system)) return false;
    rect = fromRect(system);
    return true;
}

bool Win32Windows::clientToScreen(WindowHandle window, Point& point) {
    POINT system{point.x, point.y};
    if (!ClientToScreen(toHwnd(window), &system)) return false;
    point = Point{system.x, system.y};
    return true;
}

bool Win32Windows::getWindowRect(WindowHandle window, Rect& rect) {
    RECT system{};
    if (!GetWindowRect(toHwnd(window), &system)) return false;
    rect = fromRect(system);
    return true;
}

WindowHandle Win32Windows::findWindow(const char* className, const char* title) {
    return fromHwnd(FindWindowA(className, title));
}

WindowHandle Win32Windows::getParent(WindowHandle window) {
    return fromHwnd(GetParent(toHwnd(window)));
}

WindowHandle Win32Windows::getDesktopWindow() {
    return fromHwnd(GetDesktopWindow());
}

bool Win32Windows::setForegroundWindow(WindowHandle window) {
    return SetForegroundWindow(toHwnd(window)) != 0;
}

CursorHandle Win32Windows::setCursor(CursorHandle cursor) {
    return reinterpret_cast<CursorHandle>(SetCursor(reinterpret_cast<HCURSOR>(cursor)));
}

bool Win32Windows::postMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                               LParam lParam) {
    return PostMessageA(toHwnd(window), message, wParam, lParam) != 0;
}

LResult Win32Windows::sendMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                                  LParam lParam) {
    return SendMessageA(toHwnd(window), message, wParam, lParam);
}

LResult Win32Windows::sendCopyData(WindowHandle window, const CopyData& data) {
    COPYDATASTRUCT record{};
    record.dwData = data.tag;
    record.cbData = data.size;
    record.lpData = const_cast<void*>(data.data);
    // The system copies the record's bytes into the receiving process and
    // returns once its window procedure has handled them.
    return SendMessageA(toHwnd(window), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record));
}

void Win32Windows::postQuitMessage(int exitCode) {
    PostQuitMessage(exitCode);
}

LResult Win32Windows::defWindowProc(WindowHandle window, std::uint32_t message, WParam wParam,
                                    LParam lParam) {
    return DefWindowProcA(toHwnd(window), message, wParam, lParam);
}

// Message loop.

bool Win32Windows::peekMessage() {
    MSG waiting{};
    return PeekMessageA(&waiting, nullptr, 0, 0, PM_NOREMOVE) != 0;
}

int Win32Windows::getMessage(Message& message) {
    int result = GetMessageA(&lastMessage_, nullptr, 0, 0);
    message.window = fromHwnd(lastMessage_.hwnd);
    message.message = lastMessage_.message;
    message.wParam = lastMessage_.wParam;
    message.lParam = lastMessage_.lParam;
    return result;
}

void Win32Windows::translateAndDispatch(const Message& message) {
    MSG system = lastMessage_;
    if (system.hwnd != toHwnd(message.window) || system.message != message.message ||
        system.wParam != message.wParam || system.lParam != message.lParam) {
        // Not the message taken last: dispatch it as given, stamped now.
        system = MSG{};
        system.hwnd = toHwnd(message.window);
        system.message = message.message;
        system.wParam = message.wParam;
        system.lParam = message.lParam;
        system.time = GetMessageTime();
        GetCursorPos(&system.pt);
    }
    TranslateMessage(&system);
    DispatchMessageA(&system);
}

void Win32Windows::waitMessage() {
    WaitMessage();
}

}  // namespace ostrel::platform::win32
