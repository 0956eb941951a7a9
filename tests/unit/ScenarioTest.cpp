// A whole session on the fake, from start-up to Exit: a three-item list plays
// into its second item, is paused, item 3 is picked in the settings dialog,
// paused and resumed, a WAV is handed over by a second start, then Stop,
// Save and Exit. The user's actions arrive as window messages while the
// player's own loop runs; each step checks state, calls and the file.
#include "PlayerFixture.h"

namespace ostrel::test {
namespace {

class ScenarioTest : public PlayerTest {
public:
    std::size_t mark = 0;  // where the current step's log begins
    // This step's log lines that start with `prefix`.
    Lines since(const std::string& prefix) const {
        Lines out;
        for (std::size_t i = mark; i < fake.log.size(); ++i)
            if (fake.log[i].rfind(prefix, 0) == 0) out.push_back(fake.log[i]);
        return relative(out);
    }
    // Ends a step: the next one's log starts here, with the user's action.
    void next(std::uint32_t message, WParam wParam, LParam lParam = 0) {
        mark = fake.log.size();
        fake.queue.push_back({mainWindow, message, wParam, lParam});
    }
};

TEST_F(ScenarioTest, ThreeItemsPauseSettingsResumeHandOverStopSaveExit) {
    std::string a = clip("a.avi", frames(5)), b = clip("b.avi", frames(10));
    std::string c = clip("c.avi", frames(8)), wav = file("tune.wav");
    file("ostrel.cfg",
         "# a disc of three clips\r\nAuthorId     Lena\r\nDiscTitle    Road Movies   \r\n"
         "SoundOn      no\r\nMenuBar      graphic\r\nFileName     " +
             a + "\r\nFileName     " + b + "\r\nFileName     " + c +
             "\r\nXCoord       120\r\nYCoord       80\r\nWidth        500\r\nHeight       400\r\n");
    // The run reads the menu bar as text; the placement is the window's.
    const std::string saved = defaultConfig({{"AuthorId", "Lena"},
                                             {"DiscTitle", "Road Movies"},
                                             {"SoundOn", "no"},
                                             {"XCoord", "120"},
                                             {"YCoord", "80"},
                                             {"Width", "500"},
                                             {"Height", "400"}});
    CopyData handOver{0, static_cast<std::uint32_t>(wav.size() + 1), wav.c_str()};

    // The user's actions while a clip plays, at the frame about to come.
    bool pausedB = false, pausedC = false, handedOver = false;
    fake.onUpdate = [&](const std::string& clipPath, std::int64_t frame) {
        if ((clipPath == b && frame == 4 && !std::exchange(pausedB, true)) ||
            (clipPath == c && frame == 3 && !std::exchange(pausedC, true)))
            fake.queue.push_back({mainWindow, kWmCommand, IDM_PAUSE, 0});
        if (clipPath == c && frame == 6 && !std::exchange(handedOver, true))
            fake.queue.push_back({mainWindow, kWmCopyData, 0, reinterpret_cast<LParam>(&handOver)});
    };
    int steps = 0;
    // 1. Paused in the second item after its fifth frame; the first played
    //    its five frames. Then the settings dialog picks the third item.
    fake.idleScript.push_back([&] {
        ++steps;
        EXPECT_EQ(fake.count("CreateToolbarEx(parent=0x100)"), 1);
        EXPECT_EQ(since("OpenFile"), (Lines{"OpenFile(a.avi,0)", "OpenFile(b.avi,0)"}));
        int openB = fake.indexOf("OpenFile(" + b + ",0)");
        EXPECT_EQ(std::count_if(fake.log.begin(), fake.log.begin() + openB,
                                [](const std::string& l) { return l.rfind("Blt(", 0) == 0; }),
                  5);
        EXPECT_EQ(playState(), "play=0 pause=1 input=1 item=1/3 limits=0,0,0,10");
        EXPECT_EQ(state.streamTime, 5 * 400000);
        EXPECT_EQ(fake.log.end()[-2], "SetState(Stop)");  // the pause, then the idle turn
        fake.dialogScript = [&](FakeDialogView& view) {
            EXPECT_EQ(view.texts[IDC_ITEM_NUMBER], " 2");
            EXPECT_EQ(view.scrollPos[IDC_VOLUME_BAR], 10000);  // full volume at start
            view.command(IDC_ITEM_NEXT);
            EXPECT_EQ(view.texts[IDC_ITEM_NUMBER], " 3");
            view.command(IDOK);
        };
        next(kWmCommand, IDM_STREAM);
    });
    // 2. Item 3 plays from the dialog on, and is paused after its fourth frame.
    fake.idleScript.push_back([&] {
        ++steps;
        EXPECT_EQ(since("DialogBox"), Lines{"DialogBox(SET_DLG,0x100)"});
        EXPECT_EQ(since("OpenFile"), Lines{"OpenFile(c.avi,0)"});
        EXPECT_EQ(since("Blt(").size(), 4u);
        EXPECT_EQ(playState(), "play=0 pause=1 input=1 item=2/3 limits=0,0,0,4");
        EXPECT_EQ(state.selectedItem, 0);
        EXPECT_EQ(state.streamTime, 4 * 400000);
        next(kWmCommand, IDM_START);
    });
    // 3. Resumed where it stood; frames 5 to 7 shown, then at the seventh the
    //    WAV hand-over: the sound starts, the area turns black, the video's
    //    stream stays where it is.
    fake.idleScript.push_back([&] {
        ++steps;
        EXPECT_EQ(since("Seek("), Lines{"Seek(1600000)"});
        EXPECT_EQ(since("Blt(").size(), 3u);
        EXPECT_EQ(since("sndPlaySound"), Lines{"sndPlaySound(tune.wav,1)"});
        EXPECT_EQ(since("BltFill").size(), 1u);
        EXPECT_EQ(slots(3), (Lines{"a.avi", "b.avi", "tune.wav"}));
        EXPECT_EQ(playState(), "play=0 pause=0 input=0 item=2/3 limits=0,0,0,3");
        EXPECT_EQ(state.audioOnly + state.streamDuration, 0);
        EXPECT_TRUE(state.multiMediaStream && state.streamSample);
        EXPECT_TRUE(since("Release(").empty());
        next(kWmCommand, IDM_STOP);
    });
    // 4. Stop silences the sound; without input nothing else moves.
    fake.idleScript.push_back([&] {
        ++steps;
        EXPECT_EQ(fake.log[mark], "sndPlaySound(null,0)");
        EXPECT_TRUE(since("Seek(").empty() && since("SetState(").empty());
        EXPECT_EQ(playState(), "play=0 pause=0 input=0 item=2/3 limits=0,0,0,0");
        next(kWmCommand, IDM_SAVE);
    });
    // 5. Save writes the fixed layout with the window's placement.
    fake.idleScript.push_back([&] {
        ++steps;
        EXPECT_EQ(readFile(configPath()), saved);
        std::filesystem::remove(configPath());
        next(kWmCommand, IDM_EXIT);
    });

    EXPECT_EQ(run(), 0);

    // 6. Exit wrote the file again, released everything while the library
    //    was up, restored the volume and ended the loop with 0.
    EXPECT_EQ(steps, 5);
    EXPECT_EQ(fake.log[mark], "SendMessage(0x2)");
    EXPECT_EQ(readFile(configPath()), saved);
    EXPECT_EQ(since("Release("),
              (Lines{"Release(stream)", "Release(sample)", "Release(ddStream)",
                     "Release(videoStream)", "Release(factory)", "Release(primary)",
                     "Release(offscreen)", "Release(clipper)", "Release(directDraw)"}));
    expectRunEnded(0xFFFFFFFF, 0);
    EXPECT_EQ(state.failure, Failure::None);
}

}  // namespace
}  // namespace ostrel::test
