// What no configuration file and no command line may break, for the fuzz
// targets alone (it opens the player's names to them): a broken rule is
// printed as written and aborts, which the fuzzer keeps.
#pragma once

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "fake/FakePlatform.h"

#define REQUIRE(rule) \
    ((rule) ? void() : (std::fprintf(stderr, "invariant broken: %s\n", #rule), std::abort()))

using namespace ostrel;

template <std::size_t... N>
bool terminated(const char (&... texts)[N]) {
    return (... && (std::memchr(texts, '\0', N) != nullptr));
}

inline void checkState(int result) {
    REQUIRE((result == 0 || result == 1) && (result == 1) == (state.failure == Failure::None));
    REQUIRE(state.itemCount >= 0 && state.itemCount <= kPlaylistSlots);
    REQUIRE(state.currentItem >= 0 && state.currentItem < kPlaylistSlots);
    REQUIRE(terminated(state.authorId, state.discTitle, state.authorSite, state.authorNet,
                       state.exeDir, state.versionText, state.urlBuffer, state.failureDetail));
    for (const auto& slot : state.playlist)
        REQUIRE(terminated(slot));
    for (std::int32_t flag : {state.soundOn, state.readOnly, state.fullScreen, state.forceNet,
                              state.haveInput, state.audioOnly})
        REQUIRE(flag == 0 || flag == 1);
    REQUIRE(state.tracking == 0 && state.menuBarMode >= kMenuText &&
            state.menuBarMode <= kMenuNone);
}
