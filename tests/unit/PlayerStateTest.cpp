#include <gtest/gtest.h>

#include <cstring>

#include "app/PlayerState.h"
#include "app/Text.h"
#include "fake/FakePlatform.h"

namespace ostrel {
namespace {

TEST(PlayerStateTest, StartsWithTheDefaults) {
    PlayerState s;
    EXPECT_EQ(s.windowX, 200);
    EXPECT_EQ(s.windowY, 200);
    EXPECT_EQ(s.windowWidth, 462);
    EXPECT_EQ(s.windowHeight, 386);
    EXPECT_EQ(s.soundOn, 1);
    EXPECT_EQ(s.menuBarMode, kMenuGraphic);
    EXPECT_EQ(s.readOnly | s.fullScreen | s.forceNet | s.tracking, 0);
    EXPECT_EQ(s.haveInput | s.audioOnly | s.playing | s.paused, 0);
    EXPECT_EQ(s.itemCount, 0);
    EXPECT_EQ(s.currentItem, 0);
    EXPECT_EQ(s.probeFormat, platform::WaveFormat{});
    EXPECT_EQ(s.authorId[0], '\0');
    EXPECT_EQ(s.failure, Failure::None);
    EXPECT_FALSE(s.directDraw || s.primarySurface || s.multiMediaStream || s.streamSample);
    // Fields have the sizes the configuration and paths rely on.
    EXPECT_EQ(sizeof s.authorSite, 264u);
    EXPECT_EQ(sizeof s.authorNet, 272u);
    EXPECT_EQ(sizeof s.playlist, 98u * 260u);
    EXPECT_EQ(sizeof s.versionText, 12u);
}

TEST(TextTest, CopyNeverWritesPastTheField) {
    char field[8];
    std::memset(field, 'x', sizeof field);
    EXPECT_TRUE(copyText(field, "abc"));
    EXPECT_STREQ(field, "abc");
    EXPECT_FALSE(copyText(field, "abcdefghij"));
    EXPECT_STREQ(field, "abcdefg");
    EXPECT_FALSE(appendText(field, "zz"));
    EXPECT_STREQ(field, "abcdefg");
    copyText(field, "ab");
    EXPECT_TRUE(appendText(field, "cd"));
    EXPECT_STREQ(field, "abcd");
}

TEST(FailureTest, TheFirstCauseIsKept) {
    fake::FakeFixtureState fixture;
    setFailure(Failure::MissingItem, "/media/a.avi");
    setFailure(Failure::BlitFailed, nullptr);
    EXPECT_EQ(state.failure, Failure::MissingItem);
    EXPECT_STREQ(state.failureDetail, "/media/a.avi");
}

}  // namespace
}  // namespace ostrel
