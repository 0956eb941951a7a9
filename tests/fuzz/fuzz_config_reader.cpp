// Reads arbitrary bytes as the configuration file, then writes what was read
// and reads it again: the state must stay sound, a failed read leaves no
// items, and a file the player wrote must read back with the same settings,
// no items, no full screen and not read only.
#include <tuple>

#include "config/Configuration.h"
#include "fuzz/FuzzChecks.h"

static auto settings() {
    return std::tuple(state.windowX, state.windowY, state.windowWidth, state.windowHeight,
                      state.soundOn, state.menuBarMode, state.forceNet, std::string(state.authorId),
                      std::string(state.discTitle), std::string(state.authorSite),
                      std::string(state.authorNet));
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static char folder[] = "/tmp/ostrel-fuzz-cfg-XXXXXX";
    static const bool made = ::mkdtemp(folder) != nullptr;
    const std::string dir = folder, input = dir + "/ostrel.cfg", output = dir + "/written.cfg";
    std::FILE* file = std::fopen(input.c_str(), "wb");
    REQUIRE(made && file && (size == 0 || std::fwrite(data, 1, size, file) == size));
    std::fclose(file);

    fake::FakeFixtureState fixture;
    const int result = readConfiguration(input.c_str());
    checkState(result);
    REQUIRE(result == 1 || state.itemCount == 0);
    if (result == 0 || state.readOnly) return 0;

    const auto before = settings();
    std::remove(output.c_str());
    writeConfiguration(output.c_str());
    state = PlayerState{};
    checkState(readConfiguration(output.c_str()));
    REQUIRE(before == settings());
    REQUIRE(state.failure == Failure::None && state.itemCount == 0 && state.haveInput == 0 &&
            state.fullScreen == 0 && state.readOnly == 0);
    return 0;
}
