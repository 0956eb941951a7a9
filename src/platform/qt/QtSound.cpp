// Sound on Linux: the player's own output volume as the wave output, and
// WAV files and the intro sound played through the media engine's sound
// player.
#include "platform/qt/QtSound.h"

#include <QByteArray>
#include <QFile>
#include <cstdlib>
#include <cstring>

#include "platform/qt/media/AudioOutput.h"
#include "platform/qt/media/SoundPlayer.h"
#include "resource_ids.h"

namespace ostrel::platform::qt {

namespace {

constexpr MmResult kWaveBadFormat = 32;
constexpr const char* kIntroSoundName = OSTREL_RESOURCE_NAME(IDW_INTRO);

bool environmentIs(const char* name, const char* value) {
    const char* set = std::getenv(name);
    return set && std::strcmp(set, value) == 0;
}

// The wave output as the player's own output volume: the value last
// written is the value read back, and it is applied to every stream and
// sound the player plays.
class QtWaveOutDevice final : public WaveOutDevice {
public:
    MmResult getVolume(std::uint32_t& volume) override {
        volume = media::outputVolume();
        return kMmNoError;
    }
    MmResult setVolume(std::uint32_t volume) override {
        media::setOutputVolume(volume);
        return kMmNoError;
    }
};

}  // namespace

QtSound::QtSound() = default;

QtSound::~QtSound() {
    if (sounds_) sounds_->stopAll();
}

MmResult QtSound::waveOutOpen(const WaveFormat& format, std::unique_ptr<WaveOutDevice>& device) {
    // Tests stand for a machine without any output device.
    if (environmentIs("OSTREL_NO_WAVE_DEVICE", "1")) return kMmError;
    if (format.formatTag != kWaveFormatPcm || format.channels == 0 || format.channels > 2 ||
        (format.bitsPerSample != 8 && format.bitsPerSample != 16)) {
        return kWaveBadFormat;
    }
    device = std::make_unique<QtWaveOutDevice>();
    return kMmNoError;
}

media::SoundPlayer& QtSound::sounds() {
    if (!sounds_) sounds_ = std::make_unique<media::SoundPlayer>();
    return *sounds_;
}

std::int32_t QtSound::sndPlaySound(const char* path, std::uint32_t flags) {
    if (!path) {
        if (sounds_) sounds_->stopAll();
        return 1;
    }
    bool synchronous = (flags & kSndAsync) == 0;
    return sounds().play(path, synchronous) ? 1 : 0;
}

std::int32_t QtSound::playSound(const char* name, std::uint32_t flags) {
    if (!name || (flags & kSndResource) != kSndResource) return 0;
    if (std::strcmp(name, kIntroSoundName) != 0) return 0;
    if (!introSound_) {
        // Played from the program's own copy, read once.
        QFile resource(QStringLiteral(":/sounds/intro.wav"));
        if (!resource.open(QIODevice::ReadOnly)) return 0;
        const QByteArray bytes = resource.readAll();
        introSound_ = std::make_shared<const std::vector<std::uint8_t>>(bytes.begin(), bytes.end());
    }
    bool synchronous = (flags & kSndAsync) == 0;
    return sounds().playBytes(introSound_, synchronous) ? 1 : 0;
}

}  // namespace ostrel::platform::qt
