#include "platform/qt/QtPaths.h"

#include <cctype>
#include <cstring>

namespace ostrel::platform::qt {

std::string lexicalFullPath(const std::string& path, const std::string& currentFolder) {
    if (path.empty()) return {};
    std::string whole = path.front() == '/' ? path : currentFolder + "/" + path;
    bool trailingSlash = whole.back() == '/';

    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= whole.size()) {
        std::size_t end = whole.find('/', start);
        if (end == std::string::npos) end = whole.size();
        std::string part = whole.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }

    std::string result;
    for (const std::string& part : parts)
        result += "/" + part;
    if (result.empty()) return "/";
    if (trailingSlash) result += "/";
    return result;
}

std::uint32_t copyPathResult(const std::string& path, std::uint32_t bufferSize, char* buffer) {
    if (path.empty()) return 0;
    auto length = static_cast<std::uint32_t>(path.size());
    if (buffer == nullptr || length + 1 > bufferSize) return length + 1;
    std::memcpy(buffer, path.c_str(), length + 1);
    return length;
}

std::string joinCommandLine(const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& argument : arguments) {
        if (!text.empty()) text += ' ';
        bool quote = argument.empty() || argument.find_first_of(" \t\n\r\v\f") != std::string::npos;
        if (quote) text += '"';
        text += argument;
        if (quote) text += '"';
    }
    return text;
}

std::string clipArgument(const std::vector<std::string>& arguments,
                         const std::string& currentFolder) {
    std::string clip;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (word == "-fs") continue;
        if (word == "-s" || word == "-e" || word == "-t") {
            ++i;
            continue;
        }
        clip = word;
    }
    if (clip.empty()) return clip;
    std::string extension = clip.size() >= 4 ? clip.substr(clip.size() - 4) : "";
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".wav") return {};
    return lexicalFullPath(clip, currentFolder);
}

}  // namespace ostrel::platform::qt
