// The frame pump: one frame a call onto the whole video area, the end-frame
// limit, the end of an item and the walk through the list, a failing blit
// ending the run. The output volume in nine levels: probe, setter, restore.
#include "PlayerFixture.h"

namespace ostrel::test {
namespace {

class FramePumpTest : public UiTest {
protected:
    // Items of `each` frames in slots 0..n-1, item `index` running; the log empty.
    void list(int n, int each, int index = 0) {
        Lines paths;
        for (int i = 0; i < n; ++i)
            paths.push_back(clip(format("item%d.avi", i), {each}));
        playList(paths, index);
    }
};

TEST_F(FramePumpTest, EachFrameIsScaledOntoTheVideoAreaTakenAfreshAndAFailingBlitEndsTheRun) {
    list(1, 75);
    fake.script("Blt", {kEndOfStream, 1});  // a positive answer shows the frame too
    EXPECT_EQ(pumpFrame(), kOk);
    EXPECT_EQ(logText(), kFrame + " SetCursor(null)");
    EXPECT_EQ(pumpFrame(), kOk);
    EXPECT_EQ(fake.count("SetCursor(null)") + state.frameCount, 4);
    for (Status error : {kSurfaceLost, kFail, static_cast<Status>(0x88760096u)}) {
        fake.log.clear();
        fake.script("Blt", {error});
        EXPECT_EQ(pumpFrame(), kFail);
        // Nothing is released, restored or posted: the process end reclaims it.
        EXPECT_EQ(logText() + format(" %d", state.frameCount), kFrame + " 2");
        EXPECT_EQ(state.failure, Failure::BlitFailed);
    }
    fake.clientOrigin = {-100, 10};       // the window moved
    fake.clientRect = {3, 40, 803, 640};  // and grew
    pumpFrame();
    EXPECT_EQ(fake.log.end()[-2],
              "Blt(primary,offscreen,-97,50,703,650,0,0,320,240,0x1000000,no fx)");
    // Without a stream the item ends instead of a missing object being used.
    releaseMediaStream();
    fake.log.clear();
    EXPECT_EQ(pumpFrame(), kOk);
    EXPECT_EQ(logText() + playState(), "SetCursor(null)001 0/1 0,0,0,3");
}

TEST_F(FramePumpTest, TheEndFrameAndTheEndOfTheListStopTheStreamAndTheCountRunsOnAcrossItems) {
    // Items, frames each, end, start, total => frames shown, updates,
    // releases, the dialog's choice (3 before) => seeks => playState(). The
    // limit, tested before the update, stops the stream only; 101 frames of 3
    // items of 40 end in the third; a list plays through to its first entry;
    // frame 2 of 5 is sought in each item; a command-line item is a list of
    // none. The stopped stream is kept until something replaces it.
    for (const char* row : {"1 75 5 0 0 => 6 6 0 3 =>  => 001 0/1 0,5,0,6",
                            "3 40 100 0 0 => 101 103 8 3 =>  => 001 2/3 0,100,0,101",
                            "3 4 0 0 0 => 12 15 8 0 =>  => 001 0/3 0,0,0,12",
                            "3 5 0 2 5 => 9 12 8 0 => Seek(800000) Seek(800000) => 001 0/3 2,0,5,9",
                            "0 3 0 0 0 => 3 4 0 0 =>  => 001 0/0 0,0,0,3"}) {
        SCOPED_TRACE(row);
        int items, each, end, start, total;
        std::sscanf(row, "%d %d %d %d %d", &items, &each, &end, &start, &total);
        Lines c = split(row);
        setLimits(start, end, total, 0);
        list(std::max(items, 1), each);
        state.itemCount = items, state.selectedItem = 3;
        // As the main loop: pump while there is input and playback is on.
        for (int calls = 0; state.haveInput && state.playing && calls < 10000; ++calls)
            ASSERT_EQ(pumpFrame(), kOk);
        EXPECT_EQ(format("%d %d %d %d => ", fake.count("Blt("), fake.count("Update("),
                         fake.count("Release("), state.selectedItem + state.trackPos) +
                      logOf({"Seek"}) + " => " + playState(),
                  c[1] + " => " + c[2] + " => " + c[3]);
        EXPECT_EQ(joined(Lines(fake.log.end() - 2, fake.log.end())),
                  end ? "SetCursor(null) SetState(Stop)" : "SetState(Stop) SetCursor(null)");
        EXPECT_TRUE(state.multiMediaStream && state.streamSample);
    }
}

TEST_F(FramePumpTest, AnyUpdateAnswerButANewFrameEndsTheItemWhichGoesOnOrWrapsOrStays) {
    // Items, the one running, the update's answer => the next, set up after
    // the one before is released; the dialog's choice is dropped once the
    // list wraps, its position once the item changes.
    for (const char* row : {"5 1 40003 => 2", "5 4 40003 => 0", "98 97 40003 => 97", "2 0 1 => 1",
                            "2 0 80004005 => 1", "2 0 8004025F => 1"}) {
        SCOPED_TRACE(row);
        int items, index, next = std::stoi(split(row)[1]);
        unsigned answer;
        std::sscanf(row, "%d %d %x", &items, &index, &answer);
        list(items, 2, index);
        state.selectedItem = 12, state.trackPos = 3333;
        fake.script("Update", {static_cast<Status>(answer)});
        EXPECT_EQ(pumpFrame(), kOk);
        std::string item = format("item%d.avi", next);
        EXPECT_EQ(playState(), format("%d01 %d/%d 0,0,0,0", next == index + 1, next, items));
        EXPECT_EQ(
            logOf({"Update", "SetState", "Release", "Exists", "OpenFile", "SetCursor", "Blt"}),
            next == index + 1
                ? "Update(0) SetState(Stop) Release(stream) Release(sample) Release(ddStream) "
                  "Release(videoStream) Exists(" +
                      item + ") OpenFile(" + item + ",0) SetState(Run) SetCursor(null)"
                : "Update(0) SetState(Stop) SetCursor(null)");
        EXPECT_EQ(state.selectedItem * 10000 + state.trackPos,
                  (next ? 120000 : 0) + (next == index ? 3333 : 0));
    }
    // A next item that is gone ends the run.
    list(2, 3);
    fs::remove(path("item1.avi"));
    fake.script("Update", {kEndOfStream});
    EXPECT_EQ(pumpFrame(), kOk);
    EXPECT_EQ(state.failure, Failure::MissingItem);
    expectRunEnded(0x12345678, 1);
}

// ---------------------------------------------------------------- volume

using VolumeTest = PlayerTest;

TEST_F(VolumeTest, TheProbeReadsTheLevelTheSetterWritesItAndTheEndRestoresTheProbedValue) {
    // A failing probe leaves nothing to restore: never an unprobed zero.
    fake.script("waveOutGetVolume", {kMmError});
    EXPECT_FALSE(probeVolume());
    quitPlayer();
    EXPECT_EQ(logText(), kWave + " waveOutGetVolume() waveOutClose() CoUninitialize()");
    // Both ends of every band. The whole value is compared unsigned, so the
    // right channel (the high half) decides.
    for (auto [volume, level] :
         {std::pair{0x00000000u, 0}, {0x00000001u, 1}, {0x22222222u, 1}, {0x22222223u, 2},
          {0x44444444u, 2},          {0x44444445u, 3}, {0x66666666u, 3}, {0x66666667u, 4},
          {0x88888888u, 4},          {0x88888889u, 5}, {0xAAAAAAAAu, 5}, {0xAAAAAAABu, 6},
          {0xCCCCCCCCu, 6},          {0xCCCCCCCDu, 7}, {0xEEEEEEEEu, 7}, {0xEEEEEEEFu, 8},
          {0xFFFFFFFFu, 8},          {0x0000FFFFu, 1}, {0xFFFF0000u, 8}, {0x2222FFFFu, 2},
          {0x22220000u, 1},          {0x1234ABCDu, 1}}) {  // last, unbalanced: no level gives it
        SCOPED_TRACE(volume);
        fake.log.clear();
        fake.deviceVolume = volume;
        ASSERT_TRUE(probeVolume());
        EXPECT_EQ(logText(), kWave + " waveOutGetVolume() waveOutClose()");
        EXPECT_EQ(state.initialVolume, volume);
        EXPECT_EQ(state.volumeLevel * 10000 + state.volumePos, level * 11250);
    }
    // The level => the value written; outside the table the value before again.
    for (const char* row :
         {"0 00000000", "1 11111111", "2 33333333", "3 55555555", "4 77777777", "5 99999999",
          "6 BBBBBBBB", "7 DDDDDDDD", "8 FFFFFFFF", "9 FFFFFFFF", "3 55555555", "-1 55555555"}) {
        U32 value;
        std::sscanf(row, "%d %x", &state.volumeLevel, &value);
        fake.log.clear();
        setVolumeLevel();
        EXPECT_EQ(logText(), kWave + format(" waveOutSetVolume(0x%X) waveOutClose()", value));
    }
    for (auto [failing, level] : {std::pair{"waveOutOpen", 4}, {"waveOutSetVolume", 6}}) {
        fake.script(failing, {kMmError});  // failures are ignored
        state.volumeLevel = level;
        setVolumeLevel();
    }
    EXPECT_EQ(format("%X %X", state.currentVolume, fake.deviceVolume), "BBBBBBBB 55555555");
    // quitPlayer restores exactly what the probe found and shuts the library
    // down; a restore that cannot open is let go.
    fake.log.clear();
    quitPlayer();
    fake.script("waveOutOpen", {kMmError});
    quitPlayer();
    EXPECT_EQ(logText(), kWave + " waveOutSetVolume(0x1234ABCD) waveOutClose() CoUninitialize() " +
                             kWave + " CoUninitialize()");
    EXPECT_EQ(fake.deviceVolume, 0x1234ABCDu);
}

}  // namespace
}  // namespace ostrel::test
