// Invariants of the player state that no configuration file and no command
// line may break, shared by the fuzz targets.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "state/PlayerState.h"

namespace ostrel::fuzz {

[[noreturn]] inline void broken(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

inline void require(bool holds, const char* what) {
    if (!holds) broken(what);
}

template <std::size_t N>
bool terminated(const char (&text)[N]) {
    return std::memchr(text, '\0', N) != nullptr;
}

inline bool isFlag(std::int32_t value) {
    return value == 0 || value == 1;
}

inline void checkState() {
    require(state.itemCount >= 0 && state.itemCount <= kPlaylistSlots, "itemCount in 0..98");
    require(state.currentItem >= 0 && state.currentItem < kPlaylistSlots, "currentItem in 0..97");
    require(terminated(state.authorId), "authorId terminated");
    require(terminated(state.discTitle), "discTitle terminated");
    require(terminated(state.authorSite), "authorSite terminated");
    require(terminated(state.authorNet), "authorNet terminated");
    require(terminated(state.exeDir), "exeDir terminated");
    require(terminated(state.versionText), "versionText terminated");
    require(terminated(state.urlBuffer), "urlBuffer terminated");
    require(terminated(state.failureDetail), "failureDetail terminated");
    for (const auto& slot : state.playlist)
        require(terminated(slot), "playlist slot terminated");
    require(isFlag(state.soundOn) && isFlag(state.readOnly) && isFlag(state.fullScreen) &&
                isFlag(state.forceNet) && isFlag(state.haveInput) && isFlag(state.audioOnly),
            "flags hold 0 or 1");
    require(state.tracking == 0, "tracking stays off");
    require(state.menuBarMode >= kMenuText && state.menuBarMode <= kMenuNone,
            "menuBarMode in 0..2");
}

}  // namespace ostrel::fuzz
