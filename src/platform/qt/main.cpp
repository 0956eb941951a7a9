// The Linux player's entry: the program's arguments become the player's
// command-line text, and the player runs on the Qt platform.
#include <dlfcn.h>

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "state/PlayerState.h"
#include "app/Startup.h"
#include "platform/qt/QtPaths.h"
#include "platform/qt/QtPlatform.h"

namespace {

// Qt's own notes and warnings (fonts, runtime folder, desktop portals) are
// not the player's to tell: a run that fails says so in one line of its own.
// OSTREL_QT_MESSAGES=1 lets them through.
void quietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtDebugMsg || type == QtInfoMsg || type == QtWarningMsg) return;
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

bool environmentSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// Whether the X server that `name` names takes a connection. The toolkit
// ends the process (an abort, a core file) when its display cannot be
// opened, so the player asks first. The client library is the one the
// toolkit's X plugin loads anyway; without it the toolkit decides.
bool xDisplayOpens(const char* name) {
    void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!xcb) return true;
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    auto connect = reinterpret_cast<Connect>(dlsym(xcb, "xcb_connect"));
    auto hasError = reinterpret_cast<HasError>(dlsym(xcb, "xcb_connection_has_error"));
    auto disconnect = reinterpret_cast<Disconnect>(dlsym(xcb, "xcb_disconnect"));
    bool opens = true;
    if (connect && hasError && disconnect) {
        void* connection = connect(name, nullptr);
        opens = hasError(connection) == 0;
        disconnect(connection);
    }
    dlclose(xcb);
    return opens;
}

// The display the toolkit would open and cannot: its name ("" when there
// is none to open, or it opens).
std::string displayThatFails() {
    const char* chosen = std::getenv("QT_QPA_PLATFORM");
    const bool x = chosen && *chosen ? std::strncmp(chosen, "xcb", 3) == 0
                                     : !environmentSet("WAYLAND_DISPLAY");
    const char* display = std::getenv("DISPLAY");
    if (!x || !display || !*display || xDisplayOpens(display)) return {};
    return display;
}

}  // namespace

static int runOnQt(int argc, char** argv) {
    // Every argument is the player's: Qt is given none of them, so a clip
    // named like one of Qt's options still reaches the player.
    std::vector<std::string> arguments(argv + (argc > 0 ? 1 : argc), argv + argc);
    std::string commandLine = ostrel::platform::qt::joinCommandLine(arguments);

    if (!environmentSet("OSTREL_QT_MESSAGES")) qInstallMessageHandler(quietQtMessages);
    // Without any display, or with one that cannot be opened, a lone sound
    // can still be played; a window cannot be made, and the run says so
    // instead of Qt ending the process.
    const std::string failingDisplay = displayThatFails();
    bool noDisplay = !failingDisplay.empty() ||
                     (!environmentSet("DISPLAY") && !environmentSet("WAYLAND_DISPLAY") &&
                      !environmentSet("QT_QPA_PLATFORM"));
    if (noDisplay) setenv("QT_QPA_PLATFORM", "offscreen", 1);

    int qtArgc = argc > 0 ? 1 : 0;
    char* qtArgv[] = {argc > 0 ? argv[0] : nullptr, nullptr};
    QApplication application(qtArgc, qtArgv);
    QApplication::setApplicationName(QStringLiteral("ostrel"));
    QApplication::setDesktopFileName(QStringLiteral("ostrel"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/ostrel.png")));
    // The player ends its run itself; closing windows never quits Qt.
    QApplication::setQuitOnLastWindowClosed(false);

    int exitCode = 0;
    {
        ostrel::platform::qt::QtPlatform platform;
        if (noDisplay) platform.windows().setWindowsAvailable(false);
        // A first start opens this clip while its window is made.
        std::error_code noFolder;
        platform.setFirstClip(ostrel::platform::qt::clipArgument(
            arguments, std::filesystem::current_path(noFolder).string()));
        ostrel::installPlatform(platform.seam());
        exitCode = ostrel::runPlayer(nullptr, commandLine.c_str());
        ostrel::installPlatform({});
    }
    // One line saying what failed (the text names the player itself).
    if (exitCode == 1 && ostrel::state.failure == ostrel::Failure::NoWindow &&
        !failingDisplay.empty()) {
        std::fprintf(stderr, "ostrel: cannot open the display %s\n", failingDisplay.c_str());
    } else if (exitCode == 1) {
        std::fprintf(stderr, "%s\n", ostrel::failureText());
    }
    return exitCode;
}

int main(int argc, char** argv) {
    int exitCode = runOnQt(argc, argv);
    // A run that ended at a failed frame keeps its objects: the process end
    // reclaims them, without the player's record being torn down after Qt.
    std::fflush(nullptr);
    std::_Exit(exitCode);
}
