// The main window's procedure: the tool bar, activation, keys and the
// messages left to the default procedure, destruction, and the command
// line a second start or a dropped file hands over.
#include "PlayerFixture.h"

namespace ostrel::test {
namespace {

using MainWindowTest = UiTest;

TEST_F(MainWindowTest, ActivationStartsAndStopsThePumpOnly) {
    playList({clip("a.avi")});
    state.multiMediaStream->seek(1200000);
    // Message (6 activate, 1C the application's), wParam, then playing,
    // paused and input before => the three after => the calls. Activation's
    // low word decides, from input, whatever paused says; the application's
    // whole word counts and only its deactivation suspends, once, with input.
    for (const char* row :
         {"6 0 1 0 1 => 001 => ", "6 10000 1 0 1 => 001 => ", "6 1 0 0 1 => 101 => ",
          "6 10002 0 0 1 => 101 => ", "6 1 1 0 0 => 000 => ", "6 1 0 1 1 => 111 => ",
          "1C 1 1 0 1 => 101 => ", "1C 10000 1 0 1 => 101 => ",
          "1C 0 1 0 1 => 011 => GetTime() SetState(Stop)", "1C 0 1 1 1 => 111 => ",
          "1C 0 1 0 0 => 100 => "}) {
        SCOPED_TRACE(row);
        Lines c = split(row);
        unsigned message, wParam;
        std::sscanf(row, "%x %x %d %d %d", &message, &wParam, &state.playing, &state.paused,
                    &state.haveInput);
        fake.log.clear();
        EXPECT_EQ(send(message, wParam), 0);
        EXPECT_EQ(format("%d%d%d", state.playing, state.paused, state.haveInput), c[1]);
        EXPECT_EQ(logText(), c[2]);
    }
    EXPECT_EQ(state.streamTime, 1200000);
}

TEST_F(MainWindowTest, SizeMakesTheToolBarEscapeClosesOtherInputIsSwallowedTheRestGoesToDefault) {
    // The creation's size message comes before start-up stores the main
    // window: the tool bar goes on the window addressed. A separator (its
    // image is its width), the nine commands in menu order, a separator.
    // Each size message in a tool-bar mode makes another; the newest is kept.
    state.menuBarMode = kMenuGraphic;
    EXPECT_EQ(mainWindowProc(window(0x4321), kWmSize, 0, 0), 0);
    EXPECT_EQ(logText() + " " + fake.toolBar,
              "CreateToolbarEx(0x4321) 50000000 5 9 400000 105 11 16 16 16 16 0:0:4:1 0:40001:4:0 "
              "1:40002:4:0 2:40003:4:0 3:40004:4:0 4:40005:4:0 5:40009:4:0 6:40010:4:0 7:40015:4:0 "
              "8:40016:4:0 9:0:4:1");
    state.menuBarMode = kMenuNone;
    send(kWmSize);
    EXPECT_EQ(state.toolBar, window(0x202));
    playList({clip("a.avi"), clip("b.avi")});
    setLimits(1, 2, 3, 4);
    std::string before = playState();
    for (WParam key : {0x20, 0x25, 0x0D, 0x41, 0x70})
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
    for (U32 message : {0x0001u, 0x000Fu, 0x0020u, 0x0200u, 0x0104u})
        send(message, 7, 9);
    EXPECT_EQ(mainWindowProc(window(0x999), kWmKeyDown, kVkEscape, 0), 0);
    EXPECT_EQ(logText(),
              "DefWindowProc(0x1) DefWindowProc(0xF) DefWindowProc(0x20) "
              "DefWindowProc(0x200) DefWindowProc(0x104) PostMessage(0x999,0x10,0,0)");
}

TEST_F(MainWindowTest, DestroyWritesTheConfigurationThenEndsTheRun) {
    playList({clip("a.avi")});
    command(IDM_EXIT);  // Exit closes by destroying the window
    EXPECT_EQ(logOf({"SendMessage"}), "SendMessage(0x2,0,0)");
    EXPECT_EQ(readFile(configPath()), goldenConfig());
    expectRunEnded(0x12345678, 0);
    // A folder that leaves no room for the name is cut, never overrun.
    char configFile[260];
    copyText(state.exeDir, std::string(255, 'd').c_str());
    configFilePath(configFile);
    EXPECT_EQ(configFile, std::string(255, 'd') + "ostr");
    EXPECT_EQ(send(kWmDestroy), 0);  // handled
}

using HandOverTest = UiTest;

TEST_F(HandOverTest, AVideoReplacesTheCurrentItemAndRunsAndASoundLeavesTheStream) {
    playList({clip("a.avi"), clip("b.avi")}, 1);
    handOver("-s 25 -t 75 " + clip("c.avi"));
    EXPECT_EQ(relative(joined({state.playlist[0], state.playlist[1]})), "a.avi c.avi");
    // 25 of 75 frames of a 3-second item: one second in.
    EXPECT_EQ(playCalls() + " " + playState(),
              "Release(stream) OpenFile(c.avi,0) GetDuration() "
              "Seek(10000000) SetState(Run) 101 1/2 25,0,75,0");
    // A quoted path keeps its blank; an empty text sets the item up again;
    // only the size the sender gave is read, terminator or not.
    fake.log.clear();
    std::string b = clip("b.avi");
    handOver("\"" + clip("my clip.avi") + "\"");
    handOver("", 0);
    handOver(b + " " + path("missing.avi"), b.size());
    EXPECT_EQ(logOf({"OpenFile"}),
              "OpenFile(my clip.avi,0) OpenFile(my clip.avi,0) OpenFile(b.avi,0)");
    // A sound while a video plays blacks the area and leaves the stream.
    fake.log.clear();
    state.trackPos = 300;
    handOver(file("ding.wav"));
    EXPECT_EQ(playCalls() + " " + playState(),
              "sndPlaySound(ding.wav,1) BltFill 000 1/2 25,0,75,0");
    EXPECT_EQ(state.audioOnly + state.trackPos + state.streamDuration, 0);
    EXPECT_TRUE(state.multiMediaStream && state.streamSample && !state.endRequested);
}

TEST_F(HandOverTest, ARejectedTextEndsThePlayerWithoutTouchingTheStream) {
    std::string longText(100000, 'x');
    longText[0] = '/';
    // A name cut by a byte other than the terminator names no file.
    for (const std::string& text : {path("missing.avi"), std::string("x"), path("my clip.avi"),
                                    longText, path("a.avi\x01")}) {
        SCOPED_TRACE(text.substr(0, 60));
        startPlayer();
        playList({clip("a.avi"), clip("my clip.avi")});
        handOver(text, text.size());    // no terminator within the size
        expectRunEnded(0x12345678, 1);  // quit code 1: a failure is recorded
        EXPECT_EQ(fake.count("SetState") + fake.count("OpenFile"), 0);
        EXPECT_LT(::strnlen(state.playlist[0], kPathSize), kPathSize);
    }
}

TEST_F(HandOverTest, ADroppedFileIsHandedOverAndTheDropFinishedAndAMissingSoundRecorded) {
    playList({clip("a.avi")});
    // A name that fills the drop buffer is whole.
    for (std::string dropped : {clip("b.avi"), fileOfLength("drop", 255), path("gone.avi")}) {
        fake.log.clear();
        fake.droppedFile = dropped;
        EXPECT_EQ(send(kWmDropFiles, 0x7000), 0);
        EXPECT_EQ(fake.log.front() + " " + fake.log.back(), "DragQueryFile(0,256) DragFinish()");
        EXPECT_EQ(logOf({"OpenFile", "PostQuit"}), dropped == path("gone.avi")
                                                       ? "PostQuitMessage(1)"
                                                       : "OpenFile(" + relative(dropped) + ",0)");
    }
    state.failure = Failure::None;
    playWavFile(path("gone.wav").c_str(), kSndAsync);  // the sound call still follows
    EXPECT_EQ(relative(fake.log.back()), "sndPlaySound(gone.wav,1)");
    EXPECT_EQ(state.failure, Failure::MissingItem);
}

}  // namespace
}  // namespace ostrel::test
