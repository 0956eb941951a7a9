// The nine commands of the menu bar and the tool bar, one row each in menu
// order: the identifier the menu item and the button send, the handler of
// ui/Commands.cpp, the menu text and the glyph in the tool-bar strip.
//
// It is a table of macro rows so that each reader takes the columns it
// needs: the core's dispatch takes the handlers, while a platform's menu
// takes the identifiers and texts of kCommandFaces without linking to the
// handlers. This header depends on nothing but the resource identifiers.
#pragma once

#include "resource_ids.h"

#define OSTREL_COMMANDS(ROW)                    \
    ROW(IDM_OPEN, openCommand, "Open", 0)       \
    ROW(IDM_START, startCommand, "Start", 1)    \
    ROW(IDM_PAUSE, pauseCommand, "Pause", 2)    \
    ROW(IDM_STOP, stopCommand, "Stop", 3)       \
    ROW(IDM_STREAM, streamCommand, "Stream", 4) \
    ROW(IDM_SAVE, saveCommand, "Save", 5)       \
    ROW(IDM_ABOUT, aboutCommand, "About", 6)    \
    ROW(IDM_SITE, siteCommand, "Site", 7)       \
    ROW(IDM_EXIT, exitCommand, "Exit", 8)

namespace ostrel {

// A command as menus and tool bars show it.
struct CommandFace {
    int id;
    const char* menuText;
    int toolBarImage;
};

#define OSTREL_COMMAND_FACE(id, handler, menuText, image) {id, menuText, image},
inline constexpr CommandFace kCommandFaces[] = {OSTREL_COMMANDS(OSTREL_COMMAND_FACE)};
#undef OSTREL_COMMAND_FACE

}  // namespace ostrel
