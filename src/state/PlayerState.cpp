#include "state/PlayerState.h"

#include "state/Text.h"

namespace ostrel {

PlayerState state;

void setFailure(Failure failure, const char* detail) {
    if (state.failure != Failure::None) return;
    state.failure = failure;
    copyText(state.failureDetail, detail ? detail : "");
}

platform::Status failStep(Failure failure, const char* detail) {
    setFailure(failure, detail);
    return platform::kFail;
}

int exitCodeFor(int loopResult) {
    return state.failure != Failure::None ? 1 : loopResult;
}

void requestEnd() {
    if (state.endRequested) return;
    state.endRequested = true;
    windows().postQuitMessage(exitCodeFor(0));
}

}  // namespace ostrel
