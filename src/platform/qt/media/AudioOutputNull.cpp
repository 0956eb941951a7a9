// The output without a sound device: each stream takes its samples at the
// pace a device would, on a thread of its own, and drops them, or writes them
// to a WAV file for tests to read back. What it takes counts as heard at once.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/qt/media/AudioOutput.h"

namespace ostrel::platform::qt::media {

namespace {

using Clock = std::chrono::steady_clock;

// The samples every stream played, one chunk after another, as one WAV file
// (16-bit stereo at the rate of the first stream).
class WavWriter {
public:
    explicit WavWriter(std::string path) : path_(std::move(path)) {}
    ~WavWriter() {
        if (file_) std::fclose(file_);
    }

    void write(const std::int16_t* frames, std::size_t count, int rate) {
        std::lock_guard lock(mutex_);
        if (!file_) {
            file_ = std::fopen(path_.c_str(), "wb");
            if (!file_) return;
            rate_ = rate;
            writeHeader();
        }
        std::fwrite(frames, 4, count, file_);
        dataBytes_ += static_cast<std::uint32_t>(count * 4);
        writeHeader();
        std::fseek(file_, 0, SEEK_END);
        std::fflush(file_);
    }

private:
    void put32(std::uint8_t* at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    void writeHeader() {
        std::uint8_t header[44] = {'R', 'I', 'F', 'F', 0,   0,   0,   0, 'W', 'A', 'V',
                                   'E', 'f', 'm', 't', ' ', 16,  0,   0, 0,   1,   0,
                                   2,   0,   0,   0,   0,   0,   0,   0, 0,   0,   4,
                                   0,   16,  0,   'd', 'a', 't', 'a', 0, 0,   0,   0};
        put32(header + 4, 36 + dataBytes_);
        put32(header + 24, static_cast<std::uint32_t>(rate_));
        put32(header + 28, static_cast<std::uint32_t>(rate_) * 4);
        put32(header + 40, dataBytes_);
        std::fseek(file_, 0, SEEK_SET);
        std::fwrite(header, 1, sizeof header, file_);
    }

    std::mutex mutex_;
    std::string path_;
    std::FILE* file_ = nullptr;
    int rate_ = 0;
    std::uint32_t dataBytes_ = 0;
};

class NullStream final : public AudioStream {
public:
    NullStream(int rate, Source source, WavWriter* writer)
        : rate_(rate), source_(std::move(source)), writer_(writer) {
        thread_ = std::thread([this] { run(); });
    }
    ~NullStream() override {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

    void play() override {
        std::lock_guard lock(mutex_);
        if (playing_) return;
        playing_ = true;
        playingSince_ = Clock::now();
        framesAtPlay_ = taken_;
        wake_.notify_all();
    }
    void pause() override {
        std::lock_guard lock(mutex_);
        playing_ = false;
    }
    std::int64_t heardFrames() override { return heard_.heard(takenNow()); }
    bool failed() override { return false; }

private:
    static constexpr auto kPeriod = std::chrono::milliseconds(10);

    std::int64_t takenNow() {
        std::lock_guard lock(mutex_);
        return taken_;
    }

    void run() {
        std::vector<std::int16_t> buffer;
        std::unique_lock lock(mutex_);
        while (!quit_) {
            if (!playing_) {
                wake_.wait(lock, [&] { return quit_ || playing_; });
                continue;
            }
            const auto elapsed = Clock::now() - playingSince_;
            const std::int64_t due =
                framesAtPlay_ +
                std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count() * rate_ /
                    1000000;
            const std::size_t count =
                static_cast<std::size_t>(std::max<std::int64_t>(0, due - taken_));
            if (count > 0) {
                buffer.assign(count * 2, 0);
                lock.unlock();
                const std::size_t filled = std::min(source_(buffer.data(), count).frames, count);
                heard_.wrote(filled, count);
                if (writer_) writer_->write(buffer.data(), count, rate_);
                lock.lock();
                taken_ += static_cast<std::int64_t>(count);
            }
            wake_.wait_for(lock, kPeriod, [&] { return quit_ || !playing_; });
        }
    }

    const int rate_;
    Source source_;
    WavWriter* writer_;
    HeardFrames heard_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool quit_ = false;
    bool playing_ = false;
    Clock::time_point playingSince_;
    std::int64_t framesAtPlay_ = 0;
    std::int64_t taken_ = 0;
    std::thread thread_;
};

class NullOutput final : public AudioOutput {
public:
    explicit NullOutput(const char* wavPath) {
        if (wavPath && *wavPath) writer_ = std::make_unique<WavWriter>(wavPath);
    }
    std::unique_ptr<AudioStream> openStream(int rate, AudioStream::Source source) override {
        if (rate <= 0 || !source) return nullptr;
        return std::make_unique<NullStream>(rate, std::move(source), writer_.get());
    }

private:
    std::unique_ptr<WavWriter> writer_;
};

}  // namespace

std::unique_ptr<AudioOutput> makeNullOutput(const char* wavPath) {
    return std::make_unique<NullOutput>(wavPath);
}

}  // namespace ostrel::platform::qt::media
