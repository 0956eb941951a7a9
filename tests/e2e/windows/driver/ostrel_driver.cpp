// The end-to-end tests' hands and eyes on a running ostrel.exe: a console
// program, run under the same Wine server as the player, that finds the
// player's window and its dialogs, sends them what a user's clicks and keys
// would send, and prints what it reads back.
//
//   ostrel_driver.exe COMMAND [ARGS...] [; COMMAND [ARGS...]]...
//
// Several commands may be chained with a lone ";" (one Wine start for all);
// the chain stops at the first that fails, and that command's status is the
// program's. Results go to standard output, one line each. Statuses: 0 done,
// 1 not found or timed out, 2 bad usage, 3 a call failed.
//
// Commands (times in milliseconds; TITLE is a dialog's exact caption, e.g.
// " Stream settings"; ID, VK, CODE, POS are decimal or 0x hexadecimal):
//   wait-window [MS]           wait for the player's window, print its handle
//   wait-gone [MS]             wait until the player's window is gone
//   is-window                  status 0 if the player's window exists, else 1
//   command ID                 post WM_COMMAND ID to the player's window
//   key VK                     post WM_KEYDOWN VK to the player's window
//   close                      post WM_CLOSE to the player's window
//   client-rect                "X Y W H": the client area in screen pixels
//   window-rect                "L T R B": the outer rectangle
//   find-dialog TITLE [MS]     wait for a top-level window with that caption
//   wait-dialog-gone TITLE [MS]
//   dialog-text TITLE ID       the text of control ID
//   dialog-texts TITLE         the text of every child window, one a line
//   dialog-set-text TITLE ID TEXT
//                              put TEXT into control ID (WM_SETTEXT)
//   scroll-pos TITLE ID        "POS MIN MAX" of scroll bar control ID
//   dialog-command TITLE ID    post WM_COMMAND (BN_CLICKED) for control ID
//   dialog-key TITLE VK        post WM_KEYDOWN VK to the dialog
//   dialog-close TITLE         post WM_CLOSE to the dialog (its close box)
//   dialog-scroll TITLE ID CODE [POS]
//                              send WM_HSCROLL with the bar as lParam; with
//                              SB_THUMBPOSITION (4) the bar is first set to POS
//   dialog-click TITLE ID      a left click in the middle of control ID
//   hit-test TITLE ID          what control ID answers WM_NCHITTEST over its
//                              middle (1 client, -1 transparent)
//   drop PATH                  drop PATH on the player's window (WM_DROPFILES)
//   wave-volume                waveOutGetVolume of device 0 and of the mapper
//   inet-offline               what InetIsOffline(0) reports here
//   sleep MS
// clang-format off
// windows.h first: the others build on its types.
#include <windows.h>
#include <intshcut.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <shlobj.h>
// clang-format on

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kPlayerClass = " ostrelwin";
constexpr const char* kPlayerTitle = " ostrel v2.03";
// No answer from the player within this time counts as a failure, so that a
// hung player fails a test instead of hanging it.
constexpr UINT kSendTimeout = 5000;

enum Status { kDone = 0, kNotFound = 1, kUsage = 2, kCallFailed = 3 };

using Args = std::vector<std::string>;

long number(const std::string& text) {
    return std::strtol(text.c_str(), nullptr, 0);
}

void say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
}

HWND playerWindow() {
    return FindWindowA(kPlayerClass, kPlayerTitle);
}

// A dialog of the player: a top-level window with exactly this caption. The
// class is not fixed, so that message boxes are found the same way.
HWND findDialog(const std::string& title) {
    return FindWindowA(nullptr, title.c_str());
}

template <class Test>
bool waitFor(DWORD milliseconds, Test test) {
    DWORD start = GetTickCount();
    for (;;) {
        if (test()) return true;
        if (GetTickCount() - start >= milliseconds) return false;
        Sleep(20);
    }
}

DWORD timeoutArg(const Args& args, std::size_t index, DWORD fallback) {
    return args.size() > index ? static_cast<DWORD>(number(args[index])) : fallback;
}

bool sendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeout,
                               result ? result : &ignored) != 0;
}

std::string windowText(HWND window) {
    char text[1024] = {};
    DWORD_PTR length = 0;
    if (!sendWithTimeout(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), &length))
        return std::string();
    text[sizeof text - 1] = '\0';
    return text;
}

int needPlayer(HWND& window) {
    window = playerWindow();
    if (!window) {
        say("no player window\n");
        return kNotFound;
    }
    return kDone;
}

int needDialog(const std::string& title, HWND& dialog) {
    dialog = findDialog(title);
    if (!dialog) {
        say("no window titled \"%s\"\n", title.c_str());
        return kNotFound;
    }
    return kDone;
}

int needControl(const std::string& title, const std::string& id, HWND& dialog, HWND& control) {
    if (int status = needDialog(title, dialog)) return status;
    control = GetDlgItem(dialog, static_cast<int>(number(id)));
    if (!control) {
        say("dialog \"%s\" has no control %s\n", title.c_str(), id.c_str());
        return kNotFound;
    }
    return kDone;
}

int postToPlayer(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window;
    if (int status = needPlayer(window)) return status;
    return PostMessageA(window, message, wParam, lParam) ? kDone : kCallFailed;
}

// The dropped-file record is built in the player's own memory: a drop
// handle is only meaningful in the process that receives it, and the drop
// functions read a handle that is a plain pointer as the block itself.
int dropFile(const std::string& path) {
    HWND window;
    if (int status = needPlayer(window)) return status;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ, FALSE, processId);
    if (!process) {
        say("cannot open the player's process\n");
        return kCallFailed;
    }
    // The record, then the file names, each with its zero, then one more zero.
    std::vector<char> block(sizeof(DROPFILES) + path.size() + 2, '\0');
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.pt.x = 10;
    header.pt.y = 10;
    header.fNC = FALSE;
    header.fWide = FALSE;
    std::memcpy(block.data(), &header, sizeof header);
    std::memcpy(block.data() + sizeof header, path.data(), path.size());
    void* remote =
        VirtualAllocEx(process, nullptr, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    SIZE_T written = 0;
    bool ok = remote && WriteProcessMemory(process, remote, block.data(), block.size(), &written) &&
              written == block.size();
    CloseHandle(process);
    if (!ok) {
        say("cannot write the drop record into the player\n");
        return kCallFailed;
    }
    return PostMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0) ? kDone
                                                                                   : kCallFailed;
}

int waveVolume() {
    DWORD device = 0;
    MMRESULT byId = waveOutGetVolume(reinterpret_cast<HWAVEOUT>(0), &device);
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.nAvgBytesPerSec = 88200;
    format.nBlockAlign = 2;
    format.wBitsPerSample = 8;
    HWAVEOUT mapper = nullptr;
    DWORD mapped = 0;
    MMRESULT opened = waveOutOpen(&mapper, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL);
    MMRESULT byHandle = opened == MMSYSERR_NOERROR ? waveOutGetVolume(mapper, &mapped) : opened;
    if (opened == MMSYSERR_NOERROR) waveOutClose(mapper);
    say("device0 %u 0x%08lX mapper %u 0x%08lX\n", byId, device, byHandle, mapped);
    return byHandle == MMSYSERR_NOERROR ? kDone : kCallFailed;
}

int runCommand(const Args& args) {
    const std::string& name = args[0];
    auto need = [&](std::size_t count) { return args.size() >= count + 1; };

    if (name == "wait-window") {
        HWND window = nullptr;
        if (!waitFor(timeoutArg(args, 1, 15000), [&] { return (window = playerWindow()); })) {
            say("no player window\n");
            return kNotFound;
        }
        say("%p\n", static_cast<void*>(window));
        return kDone;
    }
    if (name == "wait-gone") {
        if (!waitFor(timeoutArg(args, 1, 15000), [] { return !playerWindow(); })) {
            say("the player window is still there\n");
            return kNotFound;
        }
        return kDone;
    }
    if (name == "is-window") return playerWindow() ? kDone : kNotFound;
    if (name == "command" && need(1))
        return postToPlayer(WM_COMMAND, static_cast<WPARAM>(number(args[1])), 0);
    if (name == "key" && need(1))
        return postToPlayer(WM_KEYDOWN, static_cast<WPARAM>(number(args[1])), 1);
    if (name == "close") return postToPlayer(WM_CLOSE, 0, 0);
    if (name == "client-rect") {
        HWND window;
        if (int status = needPlayer(window)) return status;
        RECT client{};
        POINT origin{0, 0};
        if (!GetClientRect(window, &client) || !ClientToScreen(window, &origin)) return kCallFailed;
        say("%ld %ld %ld %ld\n", origin.x, origin.y, client.right - client.left,
            client.bottom - client.top);
        return kDone;
    }
    if (name == "window-rect") {
        HWND window;
        if (int status = needPlayer(window)) return status;
        RECT outer{};
        if (!GetWindowRect(window, &outer)) return kCallFailed;
        say("%ld %ld %ld %ld\n", outer.left, outer.top, outer.right, outer.bottom);
        return kDone;
    }
    if (name == "find-dialog" && need(1)) {
        HWND dialog = nullptr;
        if (!waitFor(timeoutArg(args, 2, 10000), [&] { return (dialog = findDialog(args[1])); })) {
            say("no window titled \"%s\"\n", args[1].c_str());
            return kNotFound;
        }
        say("%p\n", static_cast<void*>(dialog));
        return kDone;
    }
    if (name == "wait-dialog-gone" && need(1)) {
        if (!waitFor(timeoutArg(args, 2, 10000), [&] { return !findDialog(args[1]); })) {
            say("the window titled \"%s\" is still there\n", args[1].c_str());
            return kNotFound;
        }
        return kDone;
    }
    if (name == "dialog-text" && need(2)) {
        HWND dialog, control;
        if (int status = needControl(args[1], args[2], dialog, control)) return status;
        say("%s\n", windowText(control).c_str());
        return kDone;
    }
    if (name == "dialog-texts" && need(1)) {
        HWND dialog;
        if (int status = needDialog(args[1], dialog)) return status;
        for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            say("%d %s\n", GetDlgCtrlID(child), windowText(child).c_str());
        return kDone;
    }
    if (name == "dialog-set-text" && need(3)) {
        HWND dialog, control;
        if (int status = needControl(args[1], args[2], dialog, control)) return status;
        return sendWithTimeout(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(args[3].c_str()),
                               nullptr)
                   ? kDone
                   : kCallFailed;
    }
    if (name == "scroll-pos" && need(2)) {
        HWND dialog, bar;
        if (int status = needControl(args[1], args[2], dialog, bar)) return status;
        DWORD_PTR position = 0;
        if (!sendWithTimeout(bar, SBM_GETPOS, 0, 0, &position)) return kCallFailed;
        int minimum = 0, maximum = 0;
        GetScrollRange(bar, SB_CTL, &minimum, &maximum);
        say("%d %d %d\n", static_cast<int>(position), minimum, maximum);
        return kDone;
    }
    if (name == "dialog-command" && need(2)) {
        HWND dialog, control;
        if (int status = needControl(args[1], args[2], dialog, control)) return status;
        WPARAM wParam = MAKEWPARAM(static_cast<WORD>(number(args[2])), BN_CLICKED);
        return PostMessageA(dialog, WM_COMMAND, wParam, reinterpret_cast<LPARAM>(control))
                   ? kDone
                   : kCallFailed;
    }
    if (name == "dialog-key" && need(2)) {
        HWND dialog;
        if (int status = needDialog(args[1], dialog)) return status;
        return PostMessageA(dialog, WM_KEYDOWN, static_cast<WPARAM>(number(args[2])), 1)
                   ? kDone
                   : kCallFailed;
    }
    if (name == "dialog-close" && need(1)) {
        HWND dialog;
        if (int status = needDialog(args[1], dialog)) return status;
        return PostMessageA(dialog, WM_CLOSE, 0, 0) ? kDone : kCallFailed;
    }
    if (name == "dialog-scroll" && need(3)) {
        HWND dialog, bar;
        if (int status = needControl(args[1], args[2], dialog, bar)) return status;
        WORD code = static_cast<WORD>(number(args[3]));
        WORD position = args.size() > 4 ? static_cast<WORD>(number(args[4])) : 0;
        // A released thumb leaves the bar at its place before the dialog
        // hears of it; the dialog reads the place back from the bar.
        if (code == SB_THUMBPOSITION && args.size() > 4 &&
            !sendWithTimeout(bar, SBM_SETPOS, position, TRUE, nullptr))
            return kCallFailed;
        return sendWithTimeout(dialog, WM_HSCROLL, MAKEWPARAM(code, position),
                               reinterpret_cast<LPARAM>(bar), nullptr)
                   ? kDone
                   : kCallFailed;
    }
    if (name == "dialog-click" && need(2)) {
        HWND dialog, control;
        if (int status = needControl(args[1], args[2], dialog, control)) return status;
        RECT area{};
        GetClientRect(control, &area);
        LPARAM at = MAKELPARAM((area.right - area.left) / 2, (area.bottom - area.top) / 2);
        bool ok = PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, at) &&
                  PostMessageA(control, WM_LBUTTONUP, 0, at);
        return ok ? kDone : kCallFailed;
    }
    if (name == "hit-test" && need(2)) {
        HWND dialog, control;
        if (int status = needControl(args[1], args[2], dialog, control)) return status;
        RECT area{};
        GetWindowRect(control, &area);
        DWORD_PTR answer = 0;
        LPARAM at = MAKELPARAM((area.left + area.right) / 2, (area.top + area.bottom) / 2);
        if (!sendWithTimeout(control, WM_NCHITTEST, 0, at, &answer)) return kCallFailed;
        say("%d\n", static_cast<int>(static_cast<LRESULT>(answer)));
        return kDone;
    }
    if (name == "drop" && need(1)) return dropFile(args[1]);
    if (name == "wave-volume") return waveVolume();
    if (name == "inet-offline") {
        say("%d\n", InetIsOffline(0) ? 1 : 0);
        return kDone;
    }
    if (name == "sleep" && need(1)) {
        Sleep(static_cast<DWORD>(number(args[1])));
        return kDone;
    }
    say("bad command: %s\n", name.c_str());
    return kUsage;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: ostrel_driver.exe COMMAND [ARGS...] [; COMMAND ...]\n");
        return kUsage;
    }
    Args command;
    for (int i = 1; i <= argc; ++i) {
        if (i == argc || std::strcmp(argv[i], ";") == 0) {
            if (command.empty()) continue;
            if (int status = runCommand(command)) return status;
            command.clear();
        } else {
            command.emplace_back(argv[i]);
        }
    }
    return kDone;
}
