// The player's one record: settings, descriptive texts, the playlist, the
// state of the current item and its stream, the output volume and the
// platform objects of the video path. Everything runs on the user-interface
// thread, so every part reads and writes the fields directly. It is the
// bottom of the core: every other part includes it, and it includes nothing
// of the core but its texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/Platform.h"

namespace ostrel {

using platform::StreamTime;

inline constexpr int kPlaylistSlots = 98;
inline constexpr std::size_t kPathSize = 260;  // a path of at most 259 characters
inline constexpr const char* kVersionText = "2.03";
inline constexpr double kVersion = 2.03;
inline constexpr const char* kWindowClassName = " ostrelwin";
inline constexpr const char* kWindowTitle = " ostrel v2.03";
inline constexpr const char* kConfigFileName = "ostrel.cfg";
// The maker's web host, and the page that the default author site points to.
inline constexpr const char* kMakerHost = "ostrel.org";
inline constexpr const char* kMakerSite = "ostrel.org/products.html";
inline constexpr const char* kMakerUrl = "http://ostrel.org";

enum MenuBarMode : std::int32_t { kMenuText = 0, kMenuGraphic = 1, kMenuNone = 2 };

// Why a run ended early. Any cause but None makes the process exit with 1;
// `failureDetail` names the path, option or line concerned.
enum class Failure {
    None,
    ConfigUnreadable,   // the configuration file exists but cannot be read
    ConfigMissingItem,  // a FileName line names a missing file
    BadCommandLine,     // a missing path, or an option's number is 0 or missing
    MissingItem,        // an item or sound to play does not exist
    NoWindow,           // the main window could not be created
    NoVideoSurface,     // the display objects could not be made
    NoWaveDevice,       // the wave output cannot be opened or its volume read
    ItemSetupFailed,    // an item could not be opened, sampled or run
    BlitFailed,         // a frame could not be put on the screen
    HandOverRejected,   // a handed-over or dropped command line failed
};

struct PlayerState {
    PlayerState() = default;
    PlayerState(const PlayerState&) = delete;
    PlayerState& operator=(const PlayerState&) = delete;
    PlayerState(PlayerState&&) = default;
    PlayerState& operator=(PlayerState&&) = default;

    // Window placement.
    std::int32_t windowX = 200;
    std::int32_t windowY = 200;
    std::int32_t windowWidth = 462;
    std::int32_t windowHeight = 386;

    // Settings and flags.
    std::int32_t soundOn = 1;
    std::int32_t menuBarMode = kMenuGraphic;
    std::int32_t readOnly = 0;
    std::int32_t fullScreen = 0;
    std::int32_t forceNet = 0;
    std::int32_t tracking = 0;

    // Descriptive texts.
    char authorId[260] = {};
    char discTitle[260] = {};
    char authorSite[264] = {};
    char authorNet[272] = {};

    // Environment of the process.
    platform::InstanceHandle instance = nullptr;
    platform::WindowHandle mainWindow = nullptr;
    platform::WindowHandle toolBar = nullptr;
    platform::CursorHandle arrowCursor = nullptr;
    char exeDir[kPathSize] = {};
    char versionText[12] = {};
    char urlBuffer[264] = {};

    // Playlist and item state.
    char playlist[kPlaylistSlots][kPathSize] = {};
    std::int32_t itemCount = 0;
    std::int32_t currentItem = 0;
    std::int32_t selectedItem = 0;
    std::int32_t haveInput = 0;
    std::int32_t audioOnly = 0;
    std::int32_t playing = 0;
    std::int32_t paused = 0;

    // Frame limits.
    std::int32_t startFrame = 0;
    std::int32_t endFrame = 0;
    std::int32_t totalFrames = 0;
    std::int32_t frameCount = 0;

    // Stream position.
    StreamTime streamDuration = 0;
    StreamTime seekTime = 0;
    StreamTime streamTime = 0;
    std::int32_t trackPos = 0;

    // Video geometry.
    platform::Rect sampleRect;
    platform::Rect destRect;

    // Output volume.
    std::uint32_t currentVolume = 0;
    std::uint32_t initialVolume = 0;
    std::unique_ptr<platform::WaveOutDevice> waveOut;
    platform::WaveFormat probeFormat;
    std::int32_t volumeLevel = 0;
    std::int32_t volumePos = 0;

    // Video surface objects.
    std::unique_ptr<platform::DirectDrawFactory> directDrawFactory;
    std::unique_ptr<platform::DirectDraw> directDraw;
    std::unique_ptr<platform::DirectDrawSurface> primarySurface;
    std::unique_ptr<platform::DirectDrawSurface> offscreenSurface;
    std::unique_ptr<platform::DirectDrawClipper> clipper;

    // Media stream objects of the current item.
    std::unique_ptr<platform::MultiMediaStream> multiMediaStream;
    std::unique_ptr<platform::MediaStream> videoStream;
    std::unique_ptr<platform::DirectDrawMediaStream> ddStream;
    std::unique_ptr<platform::StreamSample> streamSample;

    // The end of the run: whether it was asked for (requestEnd), and whether
    // the probe found a volume for the end to write back.
    bool endRequested = false;
    bool volumeProbed = false;
    Failure failure = Failure::None;
    char failureDetail[kPathSize + 64] = {};
    // Start-up's own command line failed: the line that says why ends with
    // the usage.
    bool commandLineRejected = false;
};

// The one instance, shared by every part of the player.
extern PlayerState state;

// Records why the run is ending (the first cause wins). Recording ends
// nothing by itself: the caller reports the failure upward.
void setFailure(Failure failure, const char* detail);

// Records the failure and answers kFail, for the steps that report a
// platform status.
platform::Status failStep(Failure failure, const char* detail);

// The exit code of a run that ended: 0, or 1 when something failed.
int exitCodeFor(int loopResult);

// Asks for the end of the run; later requests change nothing. The quit
// message is posted now: it ends the main loop, and first the loop of a
// dialog that may be open, so that nothing more is played; the program's
// top then releases everything once (quitPlayer).
void requestEnd();

}  // namespace ostrel
