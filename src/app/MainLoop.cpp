// The main loop: window messages first; when none waits, one frame while
// there is input and playback is on; otherwise wait for the next message.
#include "app/Startup.h"
#include "playback/FramePump.h"
#include "state/PlayerState.h"

namespace ostrel {

int runMainLoop() {
    for (;;) {
        if (windows().peekMessage()) {
            platform::Message message;
            if (windows().getMessage(message) == 0) return static_cast<int>(message.wParam);
            windows().translateAndDispatch(message);
        } else if (state.haveInput && state.playing) {
            // Never blocks here beyond the sample update, so the pace of
            // playback is that of the stream. A frame that cannot be shown
            // ends the run at once; the process end reclaims everything.
            if (platform::failed(pumpFrame())) return 0;
        } else {
            // Nothing to play: sleep until a message arrives instead of
            // asking again and again.
            windows().waitMessage();
        }
    }
}

}  // namespace ostrel
