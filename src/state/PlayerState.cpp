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

}  // namespace ostrel
