// The process entry's work: single instance, settings, window, first item,
// the main loop, and the end of the run.
#pragma once

#include "platform/Types.h"

namespace ostrel {

// Runs the player with the command line (the text after the program's name)
// and returns the process exit code.
int runPlayer(platform::InstanceHandle instance, const char* commandLine);

// The main loop: messages first; when none waits, one frame while there is
// input and playing is set; otherwise it waits for the next message.
int runMainLoop();

// The last step of every orderly end: restore the volume, post the quit
// message, shut the component library down. Runs its steps once per run.
void quitPlayer();

// The exit code of a run that ended: 0, or 1 when something failed.
int exitCodeFor(int loopResult);

// A one-line description of why the run failed (empty when it did not).
const char* failureText();

}  // namespace ostrel
