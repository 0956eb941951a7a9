// Reads arbitrary bytes as the configuration file, then writes what was read
// and reads it again: the state must stay sound, and a file the player wrote
// must give back the same settings.
#include <unistd.h>

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
    static const std::string folder = [] {
        char pattern[] = "/tmp/ostrel-fuzz-cfg-XXXXXX";
        require(::mkdtemp(pattern) != nullptr, "a temporary folder");
        return std::string(pattern);
    }();
    const std::string input = folder + "/ostrel.cfg", output = folder + "/written.cfg";
    std::FILE* file = std::fopen(input.c_str(), "wb");
    require(file && (size == 0 || std::fwrite(data, 1, size, file) == size),
            "the input file is written");
    std::fclose(file);

    fake::FakeFixtureState fixture;
    int result = readConfiguration(input.c_str());
    require(result == 0 || result == 1, "result is 0 or 1");
    require((result == 1) == (state.failure == Failure::None), "a failure has a cause");
    fuzz::checkState();
    require(result == 1 || state.itemCount == 0, "a failed read leaves no items");
    if (result == 0 || state.readOnly) return 0;

    const auto before = settings();
    std::remove(output.c_str());
    writeConfiguration(output.c_str());
    state = PlayerState{};
    require(readConfiguration(output.c_str()) == 1, "a written file reads back");
    fuzz::checkState();
    require(before == settings(), "a written file gives back the same settings");
    require(state.itemCount == 0 && state.haveInput == 0 && state.fullScreen == 0 &&
                state.readOnly == 0,
            "a written file has no items, no full screen and is not read only");
    return 0;
}
