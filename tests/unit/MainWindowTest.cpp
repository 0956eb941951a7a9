// The main window's procedure: the tool bar, activation, keys and the
// messages left to the default procedure, destruction, and the command
// line a second start or a dropped file hands over.
#include <cstring>

#include "PlayerFixture.h"

namespace ostrel::test {
namespace {

using MainWindowTest = UiTest;

TEST_F(MainWindowTest, TheSizeMessageMakesTheToolBarInGraphicAndNoneModes) {
    // The size message of the window's creation comes before start-up has
    // stored the main window: the tool bar goes on the window addressed. A
    // separator, the nine commands in menu order, a separator; for a
    // separator the image is its width.
    state.menuBarMode = kMenuGraphic;
    EXPECT_EQ(mainWindowProc(FakePlatform::window(0x4321), kWmSize, 0, 0), 0);
    EXPECT_EQ(logText(), "CreateToolbarEx(0x4321)");
    EXPECT_EQ(fake.toolBar,
              "50000000 5 9 400000 105 11 16 16 16 16 0:0:4:1 0:40001:4:0 1:40002:4:0 2:40003:4:0 "
              "3:40004:4:0 4:40005:4:0 5:40009:4:0 6:40010:4:0 7:40015:4:0 8:40016:4:0 9:0:4:1");
    // Each size message in a tool-bar mode makes another; the newest is kept.
    state.menuBarMode = kMenuNone;
    send(kWmSize);
    EXPECT_EQ(state.toolBar, FakePlatform::window(0x202));
    state.menuBarMode = kMenuText;
    fake.log.clear();
    send(kWmSize);
    EXPECT_TRUE(fake.log.empty());
}

TEST_F(MainWindowTest, ActivationStartsAndStopsThePumpOnly) {
    playList({clip("a.avi")});
    state.multiMediaStream->seek(1200000);
    fake.log.clear();
    // The high word carries the minimised flag; the low word decides.
    for (WParam inactive : {kWaInactive, WParam{1} << 16}) {
        state.playing = 1;
        EXPECT_EQ(send(kWmActivate, inactive), 0);
        EXPECT_EQ(state.playing, 0);
    }
    for (WParam active : {WParam{1}, WParam{2} | (WParam{1} << 16)}) {
        send(kWmActivate, active);
        EXPECT_EQ(state.playing, 1);  // from haveInput, whatever paused says
        state.playing = 0;
    }
    EXPECT_TRUE(fake.log.empty());  // no stream call, no default procedure
    state.haveInput = 0;
    send(kWmActivate, 1);
    EXPECT_EQ(state.playing, 0);

    // Deactivating the application suspends once; activating it does nothing.
    state.haveInput = state.playing = 1;
    send(kWmActivateApp, 1);
    send(kWmActivateApp, 0x10000);  // the whole word counts
    EXPECT_TRUE(fake.log.empty());
    send(kWmActivateApp, 0);
    send(kWmActivateApp, 0);
    EXPECT_EQ(playCalls(), "GetTime() SetState(Stop)");
    EXPECT_EQ(state.streamTime, 1200000);
    EXPECT_EQ(playState(), "011 0/1 0,0,0,0");
    send(kWmActivate, 1);  // the pump is let loose; nothing resumes the stream
    EXPECT_EQ(playState(), "111 0/1 0,0,0,0");
    state.haveInput = state.paused = 0;
    fake.log.clear();
    send(kWmActivateApp, 0);
    EXPECT_TRUE(fake.log.empty());
}

TEST_F(MainWindowTest, EscapeClosesOtherInputIsSwallowedTheRestGoesToTheDefault) {
    playList({clip("a.avi"), clip("b.avi")});
    setLimits(1, 2, 3, 4);
    std::string before = playState();
    for (WParam key : {WParam{0x20}, WParam{0x25}, WParam{0x0D}, WParam{0x41}, WParam{0x70}})
        EXPECT_EQ(send(kWmKeyDown, key, 0x00010001), 0);
    EXPECT_EQ(send(kWmLButtonDown, 1, 0x00200020), 0);
    // Identifiers without a command, and notifications in the high word.
    for (WParam id : {40000, 40006, 40007, 40008, 40011, 40012, 40013, 40014, 40017, 1,
                      40002 | (1 << 16), 40016 | (0x300 << 16)})
        EXPECT_EQ(send(kWmCommand, id), 0);
    EXPECT_TRUE(fake.log.empty() && fake.queue.empty());
    EXPECT_EQ(playState(), before);
    send(kWmCommand, IDM_PAUSE, reinterpret_cast<LParam>(state.toolBar));  // a tool bar button
    EXPECT_EQ(state.paused, 1);
    fake.log.clear();
    for (std::uint32_t message : {0x0001u, 0x000Fu, 0x0020u, 0x0200u, 0x0104u})
        send(message, 7, 9);
    EXPECT_EQ(logText(),
              "DefWindowProc(0x1) DefWindowProc(0xF) DefWindowProc(0x20) "
              "DefWindowProc(0x200) DefWindowProc(0x104)");
    fake.log.clear();
    EXPECT_EQ(mainWindowProc(FakePlatform::window(0x999), kWmKeyDown, kVkEscape, 0), 0);
    EXPECT_EQ(logText(), "PostMessage(0x999,0x10,0,0)");
}

TEST_F(MainWindowTest, DestroyWritesTheConfigurationThenEndsTheRun) {
    playList({clip("a.avi")});
    command(IDM_EXIT);  // Exit closes by destroying the window
    EXPECT_EQ(joined(fake.calls("SendMessage")), "SendMessage(0x2)");
    EXPECT_EQ(readFile(configPath()), goldenConfig());
    expectRunEnded(0x12345678, 0);
    EXPECT_NE(logText().find("ReplaceFile(ostrel.cfg.new,ostrel.cfg) PostQuitMessage(0)"),
              std::string::npos);
    // A folder that leaves no room for the name is cut, never overrun.
    char configFile[260];
    copyText(state.exeDir, std::string(255, 'd').c_str());
    configFilePath(configFile);
    EXPECT_EQ(configFile, std::string(255, 'd') + "ostr");
}

class HandOverTest : public UiTest {
public:
    // A second start's command line, `size` bytes of `text` as it sends them.
    void handOver(const std::string& text, std::size_t size) {
        CopyData record{0, static_cast<std::uint32_t>(size), text.data()};
        EXPECT_EQ(send(kWmCopyData, 0, reinterpret_cast<LParam>(&record)), 0);
    }
    void handOver(const std::string& text) { handOver(text, text.size() + 1); }
    bool ended() const { return fake.count("PostQuitMessage(1)") == 1; }
};

TEST_F(HandOverTest, AVideoReplacesTheCurrentItemAndRuns) {
    playList({clip("a.avi"), clip("b.avi")}, 1);
    handOver("-s 25 -t 75 " + clip("c.avi"));
    EXPECT_EQ(relative(joined({state.playlist[0], state.playlist[1]})), "a.avi c.avi");
    // 25 of 75 frames of a 3-second item: one second in.
    EXPECT_EQ(playCalls(),
              "Release(stream) OpenFile(c.avi,0) GetDuration() Seek(10000000) SetState(Run)");
    EXPECT_EQ(playState(), "101 1/2 25,0,75,0");
    // A quoted path keeps its blank; an empty text sets the item up again.
    fake.log.clear();
    handOver("\"" + clip("my clip.avi") + "\"");
    handOver("", 0);
    EXPECT_EQ(logOf({"OpenFile"}), "OpenFile(my clip.avi,0) OpenFile(my clip.avi,0)");
    // The text is read only within the size the sender gave: cut before a
    // missing path, and exactly the path's bytes on the heap, no terminator.
    std::string b = clip("b.avi");
    handOver(b + " " + path("missing.avi"), b.size());
    auto bytes = std::make_unique<char[]>(b.size());
    std::memcpy(bytes.get(), b.data(), b.size());
    CopyData record{0, static_cast<std::uint32_t>(b.size()), bytes.get()};
    send(kWmCopyData, 0, reinterpret_cast<LParam>(&record));
    EXPECT_EQ(
        logOf({"OpenFile"}),
        "OpenFile(my clip.avi,0) OpenFile(my clip.avi,0) OpenFile(b.avi,0) OpenFile(b.avi,0)");
    EXPECT_FALSE(ended());
}

TEST_F(HandOverTest, ARejectedTextEndsThePlayerWithoutTouchingTheStream) {
    std::string longText(100000, 'x');
    longText[0] = '/';
    for (const std::string& text :
         {path("missing.avi"), std::string("x"), path("my clip.avi"), longText}) {
        SCOPED_TRACE(text.substr(0, 60));
        state = PlayerState{};
        fake = FakePlatform{};
        startPlayer();
        playList({clip("a.avi"), clip("my clip.avi")});
        handOver(text, text.size());  // no terminator within the size
        expectRunEnded(0x12345678, 1);
        EXPECT_EQ(fake.count("SetState") + fake.count("OpenFile"), 0);
        EXPECT_NE(state.failure, Failure::None);
        EXPECT_LT(::strnlen(state.playlist[0], kPathSize), kPathSize);
    }
}

TEST_F(HandOverTest, ASoundWhileAVideoPlaysBlacksTheAreaAndLeavesTheStream) {
    playList({clip("a.avi")});
    state.trackPos = 300;
    handOver(file("ding.wav"));
    EXPECT_EQ(playCalls(), "sndPlaySound(ding.wav,1) BltFill");
    EXPECT_EQ(playState(), "000 0/1 0,0,0,0");
    EXPECT_EQ(state.audioOnly + state.trackPos + state.streamDuration, 0);
    EXPECT_TRUE(state.multiMediaStream && state.streamSample);
    EXPECT_FALSE(ended());
}

TEST_F(HandOverTest, ADroppedFileIsHandedOverAndTheDropFinished) {
    playList({clip("a.avi")});
    for (std::string dropped : {clip("b.avi"), path("gone.avi")}) {
        fake.log.clear();
        fake.droppedFile = dropped;
        EXPECT_EQ(send(kWmDropFiles, 0x7000), 0);
        EXPECT_EQ(fake.log.front(), "DragQueryFile(0,256)");
        EXPECT_EQ(fake.log.back(), "DragFinish()");
        EXPECT_EQ(logOf({"OpenFile"}), ended() ? "" : "OpenFile(b.avi,0)");
    }
    EXPECT_TRUE(ended());  // the second named nothing
}

TEST_F(HandOverTest, PlayWavFileAnswersWithTheSoundCallAndRecordsAMissingFile) {
    std::string wav = file("ding.wav");
    EXPECT_EQ(playWavFile(wav.c_str(), kSndAsync), 1);
    fake.script("sndPlaySound", {0});
    EXPECT_EQ(playWavFile(wav.c_str(), kSndSync), 0);
    EXPECT_FALSE(ended());
    playWavFile(path("gone.wav").c_str(), kSndAsync);  // the sound call still follows
    EXPECT_EQ(relative(fake.log.back()), "sndPlaySound(gone.wav,1)");
    EXPECT_EQ(state.failure, Failure::MissingItem);
}

}  // namespace
}  // namespace ostrel::test
