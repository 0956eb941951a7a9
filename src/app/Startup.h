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

// The last step of a run whose end was asked for (requestEnd): release the
// stream and the display objects, restore the volume, shut the component
// library down. Only start-up calls it, once, when the run ends.
void quitPlayer();

// A one-line description of why the run failed (empty when it did not).
// When start-up's own command line failed, the line ends with the usage.
const char* failureText();

}  // namespace ostrel
