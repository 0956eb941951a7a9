#include "EngineMedia.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <stdexcept>

namespace ostrel::engine_test {

namespace {

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

void run(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        throw std::runtime_error("command failed: " + command);
    }
}

std::string output(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) throw std::runtime_error("cannot run: " + command);
    std::string text;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0)
        text.append(buffer, n);
    return text;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// Holds an exclusive lock on a file in the media folder, so that test
// processes running side by side make each file once.
class FolderLock {
public:
    explicit FolderLock(const std::string& dir) {
        fd_ = ::open((dir + "/.engine-tests.lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
        if (fd_ < 0 || ::flock(fd_, LOCK_EX) != 0) {
            throw std::runtime_error("cannot lock the media folder " + dir);
        }
    }
    ~FolderLock() { ::close(fd_); }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_ = -1;
};

// An AVI whose video stream names a codec nobody has: the MJPEG clip with
// its four-character codes in the headers changed.
void makeUnknownCodecClip(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t header = std::min<std::size_t>(data.size(), 8192);
    int replaced = 0;
    for (std::size_t at = data.find("MJPG"); at != std::string::npos && at < header;
         at = data.find("MJPG", at + 4)) {
        data.replace(at, 4, "ZZZZ");
        ++replaced;
    }
    if (replaced == 0) throw std::runtime_error("no MJPG code in " + from);
    const std::string partial = to + ".partial";
    std::ofstream(partial, std::ios::binary) << data;
    if (std::rename(partial.c_str(), to.c_str()) != 0) throw std::runtime_error("rename " + to);
}

void makeMedia(const std::string& dir) {
    FolderLock lock(dir);
    run("bash " + quoted(OSTREL_MAKE_TEST_MEDIA) + " " + quoted(dir) + " >&2");
    if (!exists(dir + "/unknown-codec.avi")) {
        makeUnknownCodecClip(dir + "/clip-mjpeg.avi", dir + "/unknown-codec.avi");
    }
    if (!exists(dir + "/notes.txt")) {
        std::ofstream(dir + "/notes.txt") << "These are not the frames you are looking for.\n";
    }
    ::mkdir((dir + "/a-folder.avi").c_str(), 0755);
}

}  // namespace

const std::string& mediaDir() {
    static const std::string dir = [] {
        if (const char* given = std::getenv("OSTREL_TEST_MEDIA"); given && *given) {
            std::string d = given;
            ::mkdir(d.c_str(), 0755);
            makeMedia(d);
            return d;
        }
        std::string d = OSTREL_ENGINE_MEDIA_DIR;
        ::mkdir(d.c_str(), 0755);
        makeMedia(d);
        return d;
    }();
    return dir;
}

std::string mediaPath(const std::string& name) {
    return mediaDir() + "/" + name;
}

std::string makeScratchDir() {
    std::string pattern = "/tmp/ostrel-engine-test-XXXXXX";
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    return pattern;
}

int countFrames(const std::string& path) {
    const std::string text = output(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames "
        "-of default=noprint_wrappers=1:nokey=1 " +
        quoted(path));
    return std::atoi(text.c_str());
}

namespace {

// A time base as ffprobe prints it ("1/90000"), in seconds per tick.
double secondsPerTick(const std::string& text) {
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos) return 0;
    const double den = std::atof(text.c_str() + slash + 1);
    return den == 0 ? 0 : std::atof(text.c_str()) / den;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        while (!line.empty() && (line.back() == '\r' || line.back() == ','))
            line.pop_back();
        if (!line.empty()) result.push_back(line);
        at = end + 1;
    }
    return result;
}

}  // namespace

std::vector<std::int64_t> frameStarts(const std::string& name) {
    // In ticks of the stream's time base, so that nothing is rounded to the
    // microsecond on the way.
    const double tick = secondsPerTick(
        output("ffprobe -v error -select_streams v:0 -show_entries stream=time_base -of csv=p=0 " +
               quoted(mediaPath(name))));
    std::vector<std::int64_t> starts;
    double first = 0;
    for (const std::string& line :
         lines(output("ffprobe -v error -select_streams v:0 -show_entries "
                      "frame=best_effort_timestamp -of csv=p=0 " +
                      quoted(mediaPath(name))))) {
        if (starts.empty()) first = std::atof(line.c_str());
        const double units = (std::atof(line.c_str()) - first) * tick * 1e7;
        starts.push_back(static_cast<std::int64_t>(std::ceil(units - 1e-3)));
    }
    return starts;
}

namespace {

DecodedClip decode(const std::string& name, const std::string& filter, int width, int height) {
    const std::string raw =
        mediaPath(name) +
        (filter.empty() ? "" : "." + std::to_string(width) + "x" + std::to_string(height)) +
        ".bgr0";
    {
        FolderLock lock(mediaDir());
        struct stat clip {
        }, decoded{};
        if (::stat(raw.c_str(), &decoded) != 0 ||
            (::stat(mediaPath(name).c_str(), &clip) == 0 && clip.st_mtime >= decoded.st_mtime)) {
            run("ffmpeg -nostdin -v error -y -i " + quoted(mediaPath(name)) + filter +
                " -f rawvideo -pix_fmt bgr0 " + quoted(raw + ".partial") + " && mv -f " +
                quoted(raw + ".partial") + " " + quoted(raw));
        }
    }
    DecodedClip clip;
    clip.width = width;
    clip.height = height;
    const std::size_t frameBytes = static_cast<std::size_t>(width) * height * 4;
    std::ifstream in(raw, std::ios::binary);
    std::vector<std::uint8_t> frame(frameBytes);
    while (
        in.read(reinterpret_cast<char*>(frame.data()), static_cast<std::streamsize>(frameBytes))) {
        clip.frames.push_back(frame);
    }
    return clip;
}

}  // namespace

const DecodedClip& decodeClip(const std::string& name) {
    static std::map<std::string, DecodedClip> cache;
    if (auto found = cache.find(name); found != cache.end()) return found->second;
    const std::string size = output(
        "ffprobe -v error -select_streams v:0 -show_entries stream=width,height "
        "-of csv=p=0:s=x " +
        quoted(mediaPath(name)));
    const int width = std::atoi(size.c_str());
    const int height = std::atoi(size.c_str() + size.find('x') + 1);
    return cache.emplace(name, decode(name, "", width, height)).first->second;
}

const DecodedClip& decodeClipScaled(const std::string& name, int width, int height) {
    static std::map<std::string, DecodedClip> cache;
    const std::string key = name + "@" + std::to_string(width) + "x" + std::to_string(height);
    if (auto found = cache.find(key); found != cache.end()) return found->second;
    const std::string filter = " -vf scale=" + std::to_string(width) + ":" + std::to_string(height);
    return cache.emplace(key, decode(name, filter, width, height)).first->second;
}

double meanSquaredError(const std::uint8_t* picture, int stride,
                        const std::vector<std::uint8_t>& reference, int width, int height) {
    double sum = 0;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = picture + static_cast<std::size_t>(y) * stride;
        const std::uint8_t* ref = reference.data() + static_cast<std::size_t>(y) * width * 4;
        for (int x = 0; x < width * 4; ++x) {
            if (x % 4 == 3) continue;
            const double d = static_cast<double>(row[x]) - static_cast<double>(ref[x]);
            sum += d * d;
        }
    }
    return sum / (static_cast<double>(width) * height * 3);
}

double psnr(const std::uint8_t* picture, int stride, const std::vector<std::uint8_t>& reference,
            int width, int height) {
    const double mse = meanSquaredError(picture, stride, reference, width, height);
    if (mse == 0) return std::numeric_limits<double>::infinity();
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}

namespace {

// The file every sound of the process is played into, set before the first
// one plays.
const std::string& capturePath() {
    static const std::string path =
        "/tmp/ostrel-engine-sound-" + std::to_string(::getpid()) + ".wav";
    return path;
}

class CaptureSound : public ::testing::Environment {
public:
    void SetUp() override { ::setenv("OSTREL_AUDIO_OUT", ("pcm:" + capturePath()).c_str(), 1); }
    void TearDown() override { std::remove(capturePath().c_str()); }
};
const auto* const kCaptureSound = ::testing::AddGlobalTestEnvironment(new CaptureSound);

constexpr std::size_t kWavHeader = 44;

}  // namespace

PcmCapture::PcmCapture() {
    struct stat info {};
    if (::stat(capturePath().c_str(), &info) == 0 &&
        static_cast<std::size_t>(info.st_size) > kWavHeader) {
        from_ = static_cast<std::size_t>(info.st_size) - kWavHeader;
    }
}

PcmPeak PcmCapture::played() const {
    return wavPeak(capturePath(), from_);
}

PcmPeak wavPeak(const std::string& path, std::size_t from) {
    std::ifstream in(path, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    PcmPeak result;
    if (data.size() < 12 || data.compare(0, 4, "RIFF") != 0 || data.compare(8, 4, "WAVE") != 0) {
        return result;
    }
    auto u16 = [&](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(data[at])) |
               static_cast<unsigned>(static_cast<unsigned char>(data[at + 1])) << 8;
    };
    auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    bool pcm16 = false;
    for (std::size_t at = 12; at + 8 <= data.size();) {
        const std::string id = data.substr(at, 4);
        const std::size_t size = u32(at + 4);
        const std::size_t body = at + 8;
        if (id == "fmt " && body + 16 <= data.size()) {
            const unsigned tag = u16(body);
            const bool extensible = tag == 0xFFFE && size >= 26 && u16(body + 24) == 1;
            pcm16 = (tag == 1 || extensible) && u16(body + 14) == 16;
        } else if (id == "data" && pcm16) {
            // A writer that could not seek back leaves the size open.
            const std::size_t end = std::min(data.size(), size == 0 ? data.size() : body + size);
            result.peak = 0;
            for (std::size_t i = body + from; i + 1 < end; i += 2) {
                const auto sample = static_cast<std::int16_t>(u16(i));
                result.peak = std::max(result.peak, std::abs(static_cast<int>(sample)));
                ++result.samples;
            }
            return result;
        }
        at = body + size + (size & 1);
    }
    return result;
}

}  // namespace ostrel::engine_test
