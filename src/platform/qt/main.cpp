// The Linux player's entry: the program's arguments become the player's
// command-line text, and the player runs on the Qt platform.
#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <string>
#include <vector>

#include "app/PlayerState.h"
#include "app/Startup.h"
#include "platform/qt/QtPaths.h"
#include "platform/qt/QtPlatform.h"

int main(int argc, char** argv) {
    // Every argument is the player's: Qt is given none of them, so a clip
    // named like one of Qt's options still reaches the player.
    std::vector<std::string> arguments(argv + (argc > 0 ? 1 : argc), argv + argc);
    std::string commandLine = ostrel::platform::qt::joinCommandLine(arguments);

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
        ostrel::installPlatform(&platform);
        exitCode = ostrel::runPlayer(nullptr, commandLine.c_str());
        ostrel::installPlatform(nullptr);
    }
    if (exitCode == 1) std::fprintf(stderr, "ostrel: %s\n", ostrel::failureText());
    return exitCode;
}
