// What no configuration file and no command line may break, for the fuzz
// targets alone (it opens the player's names to them): a broken rule is
// reported and aborts, which the fuzzer keeps.
#pragma once

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fake/FakePlatform.h"
#include "state/PlayerState.h"

namespace ostrel::fuzz {

inline void require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

template <std::size_t... N>
bool terminated(const char (&... texts)[N]) {
    return (... && (std::memchr(texts, '\0', N) != nullptr));
}

inline void checkState() {
    require(state.itemCount >= 0 && state.itemCount <= kPlaylistSlots, "itemCount in 0..98");
    require(state.currentItem >= 0 && state.currentItem < kPlaylistSlots, "currentItem in 0..97");
    require(terminated(state.authorId, state.discTitle, state.authorSite, state.authorNet,
                       state.exeDir, state.versionText, state.urlBuffer, state.failureDetail),
            "texts terminated");
    for (const auto& slot : state.playlist)
        require(terminated(slot), "playlist slots terminated");
    for (std::int32_t flag : {state.soundOn, state.readOnly, state.fullScreen, state.forceNet,
                              state.haveInput, state.audioOnly})
        require(flag == 0 || flag == 1, "flags hold 0 or 1");
    require(state.tracking == 0, "tracking stays off");
    require(state.menuBarMode >= kMenuText && state.menuBarMode <= kMenuNone,
            "menuBarMode in 0..2");
}

}  // namespace ostrel::fuzz

using namespace ostrel;
using fuzz::require;
