// The platform calls that need no window: files and paths, the wave output
// as the player's own volume, the offline test, the display objects' records.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/qt/QtDirectDraw.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/media/AudioOutput.h"

namespace ostrel::platform::qt {
namespace {

namespace fs = std::filesystem;

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("ostrel-platform-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        previous = fs::current_path();
        fs::current_path(folder);
    }
    void TearDown() override {
        fs::current_path(previous);
        fs::remove_all(folder);
        unsetenv("OSTREL_NO_WAVE_DEVICE");
        unsetenv("OSTREL_NETWORK");
    }
    QtPlatform platform;
    fs::path folder, previous;
};

TEST_F(PlatformTest, FullPathNameResolvesAgainstTheCurrentFolder) {
    std::string expected = (folder / "clip one.avi").string();
    // Asking with no buffer gives the size needed, terminator included.
    std::uint32_t needed = platform.files().getFullPathName("clip one.avi", 0, nullptr);
    EXPECT_EQ(needed, expected.size() + 1);
    std::vector<char> buffer(needed);
    EXPECT_EQ(platform.files().getFullPathName("clip one.avi", needed, buffer.data()),
              expected.size());
    EXPECT_EQ(std::string(buffer.data()), expected);
    // One byte short is too small again.
    EXPECT_EQ(platform.files().getFullPathName("clip one.avi", needed - 1, buffer.data()), needed);
    EXPECT_EQ(platform.files().getFullPathName("", 10, buffer.data()), 0u);

    char small[64];
    EXPECT_EQ(platform.files().getFullPathName("/a/./b/../c", sizeof small, small), 4u);
    EXPECT_STREQ(small, "/a/c");
}

TEST_F(PlatformTest, FileExistsForFilesAndFolders) {
    std::ofstream("present.wav") << "x";
    EXPECT_TRUE(platform.files().fileExists("present.wav"));
    EXPECT_TRUE(platform.files().fileExists(folder.c_str()));
    EXPECT_FALSE(platform.files().fileExists("absent.wav"));
    EXPECT_FALSE(platform.files().fileExists(""));
    EXPECT_FALSE(platform.files().fileExists(nullptr));
}

TEST_F(PlatformTest, ModuleFileNameIsThisProgramAndIsCutToTheBuffer) {
    char path[4096];
    std::uint32_t length = platform.files().getModuleFileName(path, sizeof path);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(std::strlen(path), length);
    EXPECT_EQ(fs::path(path).filename(), "ostrel_qt_tests");
    EXPECT_TRUE(fs::equivalent(path, "/proc/self/exe"));

    char cut[8];
    EXPECT_EQ(platform.files().getModuleFileName(cut, sizeof cut), 8u);
    EXPECT_EQ(std::strlen(cut), 7u);
    EXPECT_EQ(std::string(cut), std::string(path, 7));
}

TEST_F(PlatformTest, ReplaceFileRenamesOverTheTarget) {
    std::ofstream("new.cfg") << "new";
    std::ofstream("ostrel.cfg") << "old";
    EXPECT_TRUE(platform.files().replaceFile("new.cfg", "ostrel.cfg"));
    EXPECT_FALSE(fs::exists("new.cfg"));
    std::ifstream in("ostrel.cfg");
    std::string text;
    in >> text;
    EXPECT_EQ(text, "new");
    EXPECT_FALSE(platform.files().replaceFile("missing.cfg", "ostrel.cfg"));
}

TEST_F(PlatformTest, LocalTimeIsTheCalendarsFields) {
    LocalTime now = platform.files().localTime();
    EXPECT_GE(now.year, 2024);
    EXPECT_LT(now.month, 12);
    EXPECT_GE(now.day, 1);
    EXPECT_LE(now.day, 31);
    EXPECT_LT(now.weekday, 7);
    EXPECT_LT(now.hour, 24);
}

TEST_F(PlatformTest, WaveOutputVolumeIsThePlayersOwnValue) {
    WaveFormat pcm{kWaveFormatPcm, 2, 44100, 88200, 2, 8, 0};
    std::unique_ptr<WaveOutDevice> device;
    ASSERT_EQ(platform.sound().waveOutOpen(pcm, device), kMmNoError);
    std::uint32_t volume = 0;
    device->setVolume(0xFFFFFFFFu);
    ASSERT_EQ(device->getVolume(volume), kMmNoError);
    EXPECT_EQ(volume, 0xFFFFFFFFu);
    device->setVolume(0x40004000u);
    device.reset();
    // Another opening reads what was written last.
    ASSERT_EQ(platform.sound().waveOutOpen(pcm, device), kMmNoError);
    device->getVolume(volume);
    EXPECT_EQ(volume, 0x40004000u);
    EXPECT_EQ(media::outputVolume(), 0x40004000u);
    device->setVolume(0xFFFFFFFFu);
}

TEST_F(PlatformTest, WaveOutputCanBeMadeMissingForTests) {
    WaveFormat pcm{kWaveFormatPcm, 2, 44100, 88200, 2, 8, 0};
    std::unique_ptr<WaveOutDevice> device;
    setenv("OSTREL_NO_WAVE_DEVICE", "1", 1);
    EXPECT_NE(platform.sound().waveOutOpen(pcm, device), kMmNoError);
    EXPECT_EQ(device, nullptr);
    unsetenv("OSTREL_NO_WAVE_DEVICE");
    WaveFormat notPcm = pcm;
    notPcm.formatTag = 3;
    EXPECT_NE(platform.sound().waveOutOpen(notPcm, device), kMmNoError);
}

TEST_F(PlatformTest, OfflineCanBeSetForTestsAndUnknownCountsAsOnline) {
    setenv("OSTREL_NETWORK", "offline", 1);
    EXPECT_EQ(platform.files().inetIsOffline(), 1);
    setenv("OSTREL_NETWORK", "online", 1);
    EXPECT_EQ(platform.files().inetIsOffline(), 0);
}

TEST_F(PlatformTest, SoundsThatCannotBePlayedAnswerFailure) {
    EXPECT_EQ(platform.sound().sndPlaySound("/no/such/sound.wav", kSndAsync), 0);
    EXPECT_EQ(platform.sound().sndPlaySound(nullptr, 0), 1);
    EXPECT_EQ(platform.sound().playSound("#130", kSndResource | kSndAsync), 0);
    EXPECT_EQ(platform.sound().playSound("#129", kSndAsync), 0);
}

TEST_F(PlatformTest, IntroSoundComesFromTheProgramsResources) {
    // Started in the background: the call answers at once, the sound plays on.
    EXPECT_EQ(platform.sound().playSound("#129", kSndResource | kSndAsync), 1);
    EXPECT_EQ(platform.sound().sndPlaySound(nullptr, 0), 1);
    // A second time uses the copy made the first time.
    EXPECT_EQ(platform.sound().playSound("#129", kSndResource | kSndAsync), 1);
    EXPECT_EQ(platform.sound().sndPlaySound(nullptr, 0), 1);
}

TEST_F(PlatformTest, DisplayObjectsDescribeTheScreenIn32BitRgb) {
    std::unique_ptr<DirectDrawFactory> factory;
    ASSERT_EQ(platform.media().createDirectDrawFactory(factory), kOk);
    std::unique_ptr<DirectDraw> directDraw;
    EXPECT_EQ(factory->createDirectDraw(nullptr, 0x11, directDraw), kFail);
    ASSERT_EQ(factory->createDirectDraw(WindowSystem::desktopHandle(), kDdsclNormal, directDraw),
              kOk);

    SurfaceDesc desc;
    desc.flags = kDdsdCaps;
    desc.caps = kDdsCapsPrimarySurface;
    std::unique_ptr<DirectDrawSurface> primary;
    ASSERT_EQ(directDraw->createSurface(desc, primary), kOk);
    SurfaceDesc wrongSize;
    wrongSize.size = 100;
    EXPECT_EQ(primary->getSurfaceDesc(wrongSize), kFail);
    ASSERT_EQ(primary->getSurfaceDesc(desc), kOk);
    QSize screen = platform.windows().screenSize();
    EXPECT_EQ(desc.width, static_cast<std::uint32_t>(screen.width()));
    EXPECT_EQ(desc.height, static_cast<std::uint32_t>(screen.height()));
    std::uint32_t words[8];
    std::memcpy(words, desc.pixelFormat.bytes, 32);
    EXPECT_EQ(words[0], 32u);          // record size
    EXPECT_EQ(words[1], 0x40u);        // RGB
    EXPECT_EQ(words[3], 32u);          // bits per pixel
    EXPECT_EQ(words[4], 0x00FF0000u);  // red
    EXPECT_EQ(words[5], 0x0000FF00u);  // green
    EXPECT_EQ(words[6], 0x000000FFu);  // blue

    // An off-screen surface of the same size and format; no other format.
    SurfaceDesc off;
    off.flags = kDdsdCaps | kDdsdHeight | kDdsdWidth | kDdsdPixelFormat;
    off.width = desc.width;
    off.height = desc.height;
    off.pixelFormat = desc.pixelFormat;
    off.caps = kDdsCapsOffscreenPlain;
    std::unique_ptr<DirectDrawSurface> offscreen;
    ASSERT_EQ(directDraw->createSurface(off, offscreen), kOk);
    SurfaceDesc made;
    ASSERT_EQ(offscreen->getSurfaceDesc(made), kOk);
    EXPECT_EQ(QSize(made.width, made.height), screen);
    // The part a clip's frames use is kept in rows of its own width, black
    // at first, starting on the 64-byte boundaries the video converter
    // writes fastest to; growing it keeps what was drawn.
    auto* surface = static_cast<QtOffscreenSurface*>(offscreen.get());
    ASSERT_TRUE(surface->cover(QRect(0, 0, 100, 50)));
    const QImage& image = *surface->image();
    EXPECT_EQ(image.size(), QSize(100, 50));
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    EXPECT_EQ(image.pixel(99, 49), qRgb(0, 0, 0));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(image.constBits()) % 64, 0u);
    EXPECT_EQ(image.bytesPerLine(), 448);
    surface->image()->setPixel(99, 49, qRgb(1, 2, 3));
    ASSERT_TRUE(surface->cover(QRect(0, 0, 120, 60)));
    EXPECT_EQ(image.size(), QSize(120, 60));
    EXPECT_EQ(image.pixel(99, 49), qRgb(1, 2, 3));
    EXPECT_FALSE(surface->cover(QRect(0, 0, screen.width() + 1, 1)));
    SurfaceDesc other = off;
    other.pixelFormat.bytes[12] = 16;
    std::unique_ptr<DirectDrawSurface> refused;
    EXPECT_EQ(directDraw->createSurface(other, refused), kFail);
    EXPECT_EQ(refused, nullptr);
    // The off-screen surface takes no clipper.
    std::unique_ptr<DirectDrawClipper> clipper;
    ASSERT_EQ(directDraw->createClipper(0, clipper), kOk);
    EXPECT_EQ(offscreen->setClipper(clipper.get()), kFail);
}

TEST_F(PlatformTest, StreamWithoutAFileAnswersFailures) {
    std::unique_ptr<MultiMediaStream> stream;
    ASSERT_EQ(platform.media().createMultiMediaStream(stream), kOk);
    EXPECT_EQ(stream->initialize(1, 0), kFail);
    ASSERT_EQ(stream->initialize(kStreamTypeRead, 0), kOk);
    StreamTime time = 0;
    EXPECT_EQ(stream->getDuration(time), kFail);
    EXPECT_EQ(stream->setState(StreamState::Run), kFail);
    std::unique_ptr<MediaStream> video;
    EXPECT_EQ(stream->getMediaStream(MediaPurpose::PrimaryVideo, video), kFail);
    // A folder is no media file.
    std::unique_ptr<DirectDrawFactory> factory;
    platform.media().createDirectDrawFactory(factory);
    std::unique_ptr<DirectDraw> directDraw;
    factory->createDirectDraw(nullptr, kDdsclNormal, directDraw);
    ASSERT_EQ(stream->addMediaStream(directDraw.get(), MediaPurpose::PrimaryVideo, 0), kOk);
    ASSERT_EQ(stream->addMediaStream(nullptr, MediaPurpose::PrimaryAudio, kAddDefaultRenderer),
              kOk);
    EXPECT_LT(stream->openFile(folder.c_str(), 0), 0);
}

TEST_F(PlatformTest, DroppedFilesAreCountedMeasuredAndCopied) {
    auto* drop = new DroppedFiles{{"/tmp/first clip.avi", "/tmp/b.avi"}};
    auto handle = reinterpret_cast<DropHandle>(drop);
    EXPECT_EQ(platform.windows().dragQueryFile(handle, 0xFFFFFFFFu, nullptr, 0), 2u);
    EXPECT_EQ(platform.windows().dragQueryFile(handle, 0, nullptr, 0), 19u);
    char buffer[256];
    EXPECT_EQ(platform.windows().dragQueryFile(handle, 0, buffer, sizeof buffer), 19u);
    EXPECT_STREQ(buffer, "/tmp/first clip.avi");
    char small[6];
    EXPECT_EQ(platform.windows().dragQueryFile(handle, 1, small, sizeof small), 5u);
    EXPECT_STREQ(small, "/tmp/");
    EXPECT_EQ(platform.windows().dragQueryFile(handle, 2, buffer, sizeof buffer), 0u);
    platform.windows().dragFinish(handle);
}

}  // namespace
}  // namespace ostrel::platform::qt
