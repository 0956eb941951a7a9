#include "app/PlayerState.h"

#include "app/Text.h"

namespace ostrel {

PlayerState state;

void setFailure(Failure failure, const char* detail) {
    if (state.failure != Failure::None) return;
    state.failure = failure;
    copyText(state.failureDetail, detail ? detail : "");
}

}  // namespace ostrel
