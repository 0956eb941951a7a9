// The Windows end-to-end tests' hands and eyes on a running ostrel.exe under the same Wine server:
// finds the player's window and its dialogs (by exact caption), sends what a user's clicks and keys
// would, prints what it reads. One command a start: wait-window (prints client area and window,
// "X Y W H" each) | is-window | command ID | key VK | drop PATH | find-dialog TITLE [MS]
//   wait-dialog-gone TITLE [MS] | dialog-text TITLE ID | dialog-set-text TITLE ID TEXT
//   dialog-command TITLE ID | dialog-key TITLE VK | dialog-close TITLE | dialog-click TITLE ID
//   scroll-pos TITLE ID | dialog-scroll TITLE ID CODE [POS] | hit-test TITLE ID
// Status 0 done, 1 not found or timed out, 2 bad usage, 3 a call failed.
#include <shlobj.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

template <class Test>
bool waitFor(DWORD milliseconds, Test test) {
    for (DWORD start = GetTickCount(); !test(); Sleep(20))
        if (GetTickCount() - start >= milliseconds) return false;
    return true;
}

// Sends a message, printing the answer as an int (-1 stays -1) when asked to;
// status 3 when the player does not answer: a hung player fails a test
// instead of hanging it.
int send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool print = false) {
    DWORD_PTR result = 0;
    bool ok = SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result);
    if (print) std::printf("%d\n", static_cast<int>(result));
    return ok ? 0 : 3;
}

int post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return PostMessageA(window, message, wParam, lParam) ? 0 : 3;
}

// The dropped-file record is written into the player's own memory: a drop
// handle only means something in the process that gets it, and Wine's drop
// functions read a handle that is a plain pointer as the record itself.
int drop(HWND window, const char* path) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, processId);
    if (!process) return 3;
    DROPFILES header{sizeof(DROPFILES), {10, 10}, FALSE, FALSE};
    std::string block = std::string(reinterpret_cast<char*>(&header), sizeof header) + path;
    block.append(2, '\0');
    void* remote =
        VirtualAllocEx(process, nullptr, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    bool ok = remote && WriteProcessMemory(process, remote, block.data(), block.size(), nullptr);
    CloseHandle(process);
    return ok ? post(window, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0) : 3;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    auto number = [](const char* text) { return std::strtol(text, nullptr, 0); };
    auto player = [] { return FindWindowA(" ostrelwin", " ostrel v2.03"); };
    const std::string name = argv[1];
    HWND window = player();
    if (name == "is-window") return window ? 0 : 1;
    RECT rect{}, outer{};
    if (name == "wait-window") {
        if (!waitFor(30000, [&] { return (window = player()) != nullptr; })) return 1;
        POINT origin{0, 0};
        GetClientRect(window, &rect);
        ClientToScreen(window, &origin);
        GetWindowRect(window, &outer);
        std::printf("%ld %ld %ld %ld %ld %ld %ld %ld\n", origin.x, origin.y, rect.right,
                    rect.bottom, outer.left, outer.top, outer.right - outer.left,
                    outer.bottom - outer.top);
        return 0;
    }
    if (argc < 3) return window ? 2 : 1;
    if (!window && (name == "command" || name == "key" || name == "drop")) return 1;
    if (name == "command") return post(window, WM_COMMAND, number(argv[2]), 0);
    if (name == "key") return post(window, WM_KEYDOWN, number(argv[2]), 1);
    if (name == "drop") return drop(window, argv[2]);
    // The rest work on a dialog of the player, a top-level window of that caption.
    const char* title = argv[2];
    DWORD wait = argc > 3 ? number(argv[3]) : 10000;
    auto found = [&] { return FindWindowA(nullptr, title) != nullptr; };
    if (name == "find-dialog") return waitFor(wait, found) ? 0 : 1;
    if (name == "wait-dialog-gone") return waitFor(wait, [&] { return !found(); }) ? 0 : 1;
    HWND dialog = FindWindowA(nullptr, title);
    if (!dialog) return 1;
    if (name == "dialog-close") return post(dialog, WM_CLOSE, 0, 0);
    if (argc < 4) return 2;
    if (name == "dialog-key") return post(dialog, WM_KEYDOWN, number(argv[3]), 1);
    int id = static_cast<int>(number(argv[3]));
    HWND control = GetDlgItem(dialog, id);
    if (!control) return 1;
    LPARAM handle = reinterpret_cast<LPARAM>(control);
    if (name == "dialog-text") {
        char text[1024] = {};
        send(control, WM_GETTEXT, sizeof text - 1, reinterpret_cast<LPARAM>(text));
        return std::printf("%s\n", text), 0;
    }
    if (name == "dialog-set-text" && argc > 4)
        return send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]));
    if (name == "dialog-command")
        return post(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), handle);
    if (name == "scroll-pos") return send(control, SBM_GETPOS, 0, 0, true);
    if (name == "dialog-scroll" && argc > 4) {
        WORD code = static_cast<WORD>(number(argv[4]));
        WORD position = argc > 5 ? static_cast<WORD>(number(argv[5])) : 0;
        // A released thumb leaves the bar at its place before the dialog
        // hears of it; the dialog reads the place back from the bar.
        if (code == SB_THUMBPOSITION && argc > 5) send(control, SBM_SETPOS, position, TRUE);
        return send(dialog, WM_HSCROLL, MAKEWPARAM(code, position), handle);
    }
    // A click at the control's middle, in its own coordinates; hit-testing takes the screen's.
    GetWindowRect(control, &rect);
    POINT middle{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    if (name == "hit-test")
        return send(control, WM_NCHITTEST, 0, MAKELPARAM(middle.x, middle.y), true);
    if (name != "dialog-click" || !ScreenToClient(control, &middle)) return 2;
    LPARAM at = MAKELPARAM(middle.x, middle.y);
    return post(control, WM_LBUTTONDOWN, MK_LBUTTON, at) | post(control, WM_LBUTTONUP, 0, at);
}
