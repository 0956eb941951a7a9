#include "platform/qt/media/AudioOutput.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace ostrel::platform::qt::media {

namespace {

std::atomic<std::uint32_t> gOutputVolume{0xFFFFFFFFu};

std::once_flag gOutputOnce;
std::unique_ptr<AudioOutput> gOutput;

void makeOutput() {
    const char* chosen = std::getenv("OSTREL_AUDIO_OUT");
    const std::string name = chosen ? chosen : "";
    if (name == "null") {
        gOutput = makeNullOutput(nullptr);
    } else if (name.rfind("pcm:", 0) == 0) {
        gOutput = makeNullOutput(name.c_str() + 4);
    } else {
        gOutput = makePulseOutput();
        if (!gOutput) gOutput = makeNullOutput(nullptr);
    }
}

}  // namespace

void setOutputVolume(std::uint32_t waveVolume) {
    gOutputVolume.store(waveVolume, std::memory_order_relaxed);
}

std::uint32_t outputVolume() {
    return gOutputVolume.load(std::memory_order_relaxed);
}

void applyOutputVolume(std::int16_t* frames, std::size_t count) {
    const std::uint32_t volume = outputVolume();
    const std::int32_t left = static_cast<std::int32_t>(volume & 0xFFFFu);
    const std::int32_t right = static_cast<std::int32_t>(volume >> 16);
    if (left == 0xFFFF && right == 0xFFFF) return;
    for (std::size_t i = 0; i < count; ++i) {
        frames[2 * i] = static_cast<std::int16_t>(frames[2 * i] * left / 0xFFFF);
        frames[2 * i + 1] = static_cast<std::int16_t>(frames[2 * i + 1] * right / 0xFFFF);
    }
}

AudioOutput& AudioOutput::instance() {
    std::call_once(gOutputOnce, makeOutput);
    return *gOutput;
}

void AudioOutput::prepare() {
    std::thread([] { instance(); }).detach();
}

void HeardFrames::wrote(std::size_t fromSource, std::size_t count) {
    std::lock_guard lock(mutex_);
    auto append = [&](std::int64_t length, bool silence) {
        if (length <= 0) return;
        if (!runs_.empty() && runs_.back().silence == silence) {
            runs_.back().length += length;
        } else {
            runs_.push_back({written_, length, sourceWritten_, silence});
        }
        written_ += length;
        if (!silence) sourceWritten_ += length;
    };
    fromSource = std::min(fromSource, count);
    append(static_cast<std::int64_t>(fromSource), false);
    append(static_cast<std::int64_t>(count - fromSource), true);
}

std::int64_t HeardFrames::heard(std::int64_t played) {
    std::lock_guard lock(mutex_);
    while (!runs_.empty() && runs_.front().outputStart + runs_.front().length <= played) {
        const Run& run = runs_.front();
        heard_ = std::max(heard_, run.sourceStart + (run.silence ? 0 : run.length));
        runs_.pop_front();
    }
    if (!runs_.empty() && runs_.front().outputStart <= played && !runs_.front().silence) {
        const Run& run = runs_.front();
        heard_ = std::max(heard_, run.sourceStart + (played - run.outputStart));
    }
    return heard_;
}

}  // namespace ostrel::platform::qt::media
