// The nine commands of the menu bar and the tool bar, one row each in menu
// order: the identifier the menu item and the button send, the handler of
// ui/Commands.cpp, the menu text, the glyph in the tool-bar strip, and the
// place in the text of the letter that Alt chooses it by where the window
// system gives menus letters (five commands start with S, so each has a
// letter of its own).
//
// It is a table of macro rows so that each reader takes the columns it
// needs: the core's dispatch takes the handlers, while a platform's menu
// takes the identifiers and texts of kCommandFaces without linking to the
// handlers, and the Windows resource file makes its menu of the rows. This
// header depends on nothing but the resource identifiers.
#pragma once

#include "resource_ids.h"

#define OSTREL_COMMANDS(ROW)                       \
    ROW(IDM_OPEN, openCommand, "Open", 0, 0)       \
    ROW(IDM_START, startCommand, "Start", 1, 0)    \
    ROW(IDM_PAUSE, pauseCommand, "Pause", 2, 0)    \
    ROW(IDM_STOP, stopCommand, "Stop", 3, 1)       \
    ROW(IDM_STREAM, streamCommand, "Stream", 4, 2) \
    ROW(IDM_SAVE, saveCommand, "Save", 5, 2)       \
    ROW(IDM_ABOUT, aboutCommand, "About", 6, 0)    \
    ROW(IDM_SITE, siteCommand, "Site", 7, 1)       \
    ROW(IDM_EXIT, exitCommand, "Exit", 8, 1)

#ifndef RC_INVOKED

namespace ostrel {

// A command as menus and tool bars show it.
struct CommandFace {
    int id;
    const char* menuText;
    int toolBarImage;
    int altLetter;
};

#define OSTREL_COMMAND_FACE(id, handler, menuText, image, altLetter) \
    {id, menuText, image, altLetter},
inline constexpr CommandFace kCommandFaces[] = {OSTREL_COMMANDS(OSTREL_COMMAND_FACE)};
#undef OSTREL_COMMAND_FACE

}  // namespace ostrel

#endif
