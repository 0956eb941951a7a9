// A whole session on the fake, from start-up to Exit: a three-item list plays
// into its second item, is paused, item 3 is picked in the settings dialog,
// paused and resumed, a WAV is handed over by a second start, then Stop,
// Save and Exit. The user's actions arrive as window messages while the
// player's own loop runs; each step checks state, calls and the file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UiFixture.h"
#include "app/Startup.h"
#include "ui/Dialogs.h"

namespace ostrel::uitest {
namespace {

using Lines = std::vector<std::string>;

class UiScenarioTest : public UiTest {
protected:
    std::size_t mark = 0;

    // Log lines since the last checkpoint that start with one of `prefixes`.
    Lines since(std::initializer_list<const char*> prefixes) {
        Lines out;
        for (std::size_t i = mark; i < fake.log.size(); ++i)
            for (const char* p : prefixes)
                if (fake.log[i].rfind(p, 0) == 0) {
                    out.push_back(fake.log[i]);
                    break;
                }
        return out;
    }
    int countSince(const std::string& prefix) {
        int n = 0;
        for (std::size_t i = mark; i < fake.log.size(); ++i)
            if (fake.log[i].rfind(prefix, 0) == 0) ++n;
        return n;
    }
    void checkpoint() { mark = fake.log.size(); }

    // The user's action, queued for the player's loop.
    void user(std::uint32_t message, WParam wParam = 0, LParam lParam = 0) {
        fake.queue.push_back({mainWindow, message, wParam, lParam});
    }
};

TEST_F(UiScenarioTest, ThreeItemsPauseSettingsResumeHandOverStopSaveExit) {
    // Start from nothing but the folder: start-up sets everything.
    state = PlayerState{};
    fake.windowProc = nullptr;
    fake.mainWindow = nullptr;
    fake.modulePath = (dir / "ostrel").string();

    MediaInfo five, ten, eight;
    five.frames = 5;
    ten.frames = 10;
    eight.frames = 8;
    std::string a = clip("a.avi", five), b = clip("b.avi", ten), c = clip("c.avi", eight);
    std::string wav = clip("tune.wav");
    std::ofstream(configPath(), std::ios::binary)
        << "# a disc of three clips\r\n"
        << "AuthorId     Lena\r\n"
        << "DiscTitle    Road Movies   \r\n"
        << "SoundOn      no\r\n"
        << "MenuBar      graphic\r\n"
        << "FileName     " << a << "\r\n"
        << "FileName     " << b << "\r\n"
        << "FileName     " << c << "\r\n"
        << "XCoord       120\r\nYCoord       80\r\nWidth        500\r\nHeight       400\r\n";

    ConfigValues saved;
    saved.authorId = "Lena";
    saved.discTitle = "Road Movies";
    saved.soundOn = false;
    saved.menuBar = "text";  // the run reads the menu bar as text
    saved.x = 120;
    saved.y = 80;
    saved.width = 500;
    saved.height = 400;

    // The hand-over of a second start, as its record arrives.
    std::string handed = wav;
    CopyData record;
    record.size = static_cast<std::uint32_t>(handed.size() + 1);
    record.data = handed.c_str();

    // Actions taken while a clip plays, at the frame the stream is about to deliver.
    bool pausedB = false, pausedC = false, handedOver = false;
    fake.onUpdate = [&](const std::string& path, std::int64_t frame) {
        if (path == b && frame == 4 && !pausedB) {
            pausedB = true;
            user(kWmCommand, kCmdPause);
        } else if (path == c && frame == 3 && !pausedC) {
            pausedC = true;
            user(kWmCommand, kCmdPause);
        } else if (path == c && frame == 6 && !handedOver) {
            handedOver = true;
            user(kWmCopyData, 0, reinterpret_cast<LParam>(&record));
        }
    };

    int steps = 0;
    // 1. Paused in the second item after its fifth frame.
    fake.idleScript.push_back([&] {
        ++steps;
        EXPECT_EQ(state.itemCount, 3);
        EXPECT_EQ(state.menuBarMode, kMenuText);
        EXPECT_EQ(fake.count("CreateToolbarEx(parent=0x100)"), 1);
        // The first item played out its five frames, then the second was set up.
        int openA = fake.indexOf("OpenFile(" + a + ",0)");
        int openB = fake.indexOf("OpenFile(" + b + ",0)");
        ASSERT_GE(openA, 0);
        ASSERT_GT(openB, openA);
        int blitsOfA = 0, stops = 0;
        for (int i = openA; i < openB; ++i) {
            if (fake.log[i].rfind("Blt(primary<-offscreen", 0) == 0) ++blitsOfA;
            if (fake.log[i] == "SetState(Stop)") ++stops;
        }
        EXPECT_EQ(blitsOfA, 5);
        EXPECT_EQ(stops, 1);
        EXPECT_EQ(state.currentItem, 1);
        EXPECT_EQ(state.playing, 0);
        EXPECT_EQ(state.paused, 1);
        EXPECT_EQ(state.haveInput, 1);
        EXPECT_EQ(state.streamTime, 5 * 400000);
        EXPECT_EQ(state.frameCount, 10);
        // The idle turn came right after the pause stopped the stream.
        ASSERT_GE(fake.log.size(), 2u);
        EXPECT_EQ(fake.log[fake.log.size() - 2], "SetState(Stop)");
        EXPECT_FALSE(std::filesystem::exists(dir / "ostrel.cfg.tmp"));
        checkpoint();

        // 2. The settings dialog: the item after the second is the third.
        fake.dialogScript = [&](fake::FakeDialogView& view) {
            EXPECT_EQ(view.texts[kIdItemNumber], " 2");
            EXPECT_EQ(view.scrollPos[kIdVolumeBar], 10000);  // full volume at start
            view.command(kIdItemNext);
            EXPECT_EQ(view.texts[kIdItemNumber], " 3");
            view.command(kIdOk);
        };
        user(kWmCommand, kCmdStream);
    });
    // 3. Item 3 plays from the dialog on, and is paused after its fourth frame.
    fake.idleScript.push_back([&] {
        ++steps;
        EXPECT_EQ(countSince("DialogBox(SET_DLG,0x100)"), 1);
        EXPECT_EQ(since({"OpenFile("}), Lines{"OpenFile(" + c + ",0)"});
        EXPECT_EQ(countSince("Blt(primary<-offscreen"), 4);
        EXPECT_EQ(state.currentItem, 2);
        EXPECT_EQ(state.selectedItem, 0);
        EXPECT_EQ(state.paused, 1);
        EXPECT_EQ(state.playing, 0);
        EXPECT_EQ(state.streamTime, 4 * 400000);
        checkpoint();
        user(kWmCommand, kCmdStart);
    });
    // 4. Resumed where it stood; at its seventh frame a WAV is handed over:
    //    the sound starts, the area turns black, the video stream stays.
    //    Frames 5 to 7 were shown in between.
    fake.idleScript.push_back([&] {
        ++steps;
        EXPECT_EQ(since({"Seek(", "SetState("}), (Lines{"Seek(1600000)", "SetState(Run)"}));
        EXPECT_EQ(countSince("Blt(primary<-offscreen"), 3);
        EXPECT_EQ(since({"sndPlaySound(", "BltFill("}),
                  (Lines{"sndPlaySound(" + wav + ",1)",
                         "BltFill(primary 204,250,658,580 src=204,250,658,580 flags=0x400 "
                         "fill=0/100)"}));
        EXPECT_EQ(std::string(state.playlist[2]), wav);
        EXPECT_EQ(std::string(state.playlist[0]), a);
        EXPECT_EQ(state.itemCount, 3);
        EXPECT_EQ(state.playing, 0);
        EXPECT_EQ(state.haveInput, 0);
        EXPECT_EQ(state.audioOnly, 0);
        EXPECT_EQ(state.streamDuration, 0);
        EXPECT_TRUE(state.multiMediaStream && state.streamSample);
        EXPECT_EQ(countSince("Release("), 0);
        checkpoint();
        user(kWmCommand, kCmdStop);
    });
    // 5. Stop silences the sound; without input nothing else moves.
    fake.idleScript.push_back([&] {
        ++steps;
        EXPECT_EQ(fake.log[mark], "sndPlaySound(null,0)");
        EXPECT_TRUE(since({"Seek(", "SetState(", "Release("}).empty());
        EXPECT_EQ(state.playing, 0);
        EXPECT_EQ(state.currentItem, 2);
        EXPECT_EQ(state.frameCount, 0);
        checkpoint();
        user(kWmCommand, kCmdSave);
    });
    // 6. Save writes the fixed layout with the window's placement.
    fake.idleScript.push_back([&] {
        ++steps;
        EXPECT_EQ(readBytes(configPath()), expectedConfig(saved));
        EXPECT_EQ(countSince("PostQuitMessage"), 0);
        std::filesystem::remove(configPath());
        checkpoint();
        user(kWmCommand, kCmdExit);
    });

    EXPECT_EQ(runPlayer(instance, ""), 0);

    // 7. Exit wrote the file again, released everything while the library
    //    was up, restored the volume and ended the loop with 0.
    EXPECT_EQ(steps, 5);
    EXPECT_TRUE(fake.idleScript.empty());
    EXPECT_EQ(fake.log[mark], "SendMessage(0x2)");
    EXPECT_EQ(readBytes(configPath()), expectedConfig(saved));
    EXPECT_EQ(since({"Release("}),
              (Lines{"Release(stream)", "Release(sample)", "Release(ddStream)",
                     "Release(videoStream)", "Release(factory)", "Release(primary)",
                     "Release(offscreen)", "Release(clipper)", "Release(directDraw)"}));
    EXPECT_EQ(since({"waveOutSetVolume", "PostQuitMessage", "CoUninitialize"}),
              (Lines{"waveOutSetVolume(0xFFFFFFFF)", "PostQuitMessage(0)", "CoUninitialize"}));
    EXPECT_EQ(fake.liveObjects, 0);
    EXPECT_EQ(state.failure, Failure::None);
}

}  // namespace
}  // namespace ostrel::uitest
