// Cuts arbitrary text into tokens and applies it as a command line: tokens
// must account for the text exactly (each one ending at white space or the
// end, only white space left over), and the state must stay sound.
#include "config/CommandLine.h"
#include "fuzz/FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const char *cursor = text.c_str(), *before = cursor, *end = cursor + std::strlen(cursor);
    std::size_t length = 0;
    for (; auto token = nextToken(cursor, length); before = cursor) {
        REQUIRE(cursor > before && cursor <= end && std::strlen(token.get()) == length);
        REQUIRE(length <= static_cast<std::size_t>(cursor - before));
        REQUIRE(cursor == end || std::isspace(static_cast<unsigned char>(*cursor)));
    }
    REQUIRE(cursor == before);
    while (cursor < end)
        REQUIRE(std::isspace(static_cast<unsigned char>(*cursor++)));

    fake::FakeFixtureState fixture;
    // The last slot: a path written past it would show at once.
    state.currentItem = kPlaylistSlots - 1;
    checkState(parseCommandLine(text.c_str()));
    // A failing option leaves its field at 0; the command line never counts
    // items nor moves the item, and gives input exactly when it writes a path.
    REQUIRE(state.failure != Failure::BadCommandLine || state.startFrame == 0 ||
            state.endFrame == 0 || state.totalFrames == 0);
    REQUIRE(state.itemCount == 0 && state.currentItem == kPlaylistSlots - 1);
    for (int i = 0; i < kPlaylistSlots - 1; ++i)
        REQUIRE(state.playlist[i][0] == '\0');
    REQUIRE(state.haveInput == (state.playlist[kPlaylistSlots - 1][0] != '\0' ? 1 : 0));
    return 0;
}
