#include "state/PlayerState.h"

#include "state/Text.h"

namespace ostrel {

PlayerState state;

namespace {
platform::Platform* installed = nullptr;
}

platform::Platform& os() {
    return *installed;
}

void installPlatform(platform::Platform* platform) {
    installed = platform;
}

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
    os().postQuitMessage(exitCodeFor(0));
}

}  // namespace ostrel
