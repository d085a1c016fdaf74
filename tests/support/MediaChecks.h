#pragma once
// What a user gets, read back with real tools: ffprobe and ffmpeg for movies,
// djpeg for stills, and the exact text of the settings file.
#include "RunCommand.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

// A path as one shell word.
inline std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

struct MovieFacts {
    bool probed = false; // ffprobe read the file
    std::string format;  // container, e.g. "asf"
    std::string codec;   // e.g. "wmv2"
    int width = 0;
    int height = 0;
    double duration = 0;        // of the container, seconds
    std::vector<int64_t> pts;   // of the video packets, in file order, milliseconds
    int64_t decodedFrames = -1; // frames ffprobe decoded
    std::string decodeErrors;   // what a full decode by ffmpeg complained about
};

inline MovieFacts ProbeMovie(const std::string& path) {
    MovieFacts facts;
    const std::string file = ShellQuoted(path);
    const CommandResult info =
        RunCommand("ffprobe -v error -select_streams v:0 -show_entries "
                   "format=format_name,duration:stream=codec_name,width,height "
                   "-of default=nw=1 " +
                   file + " 2>/dev/null");
    if (info.exitCode != 0)
        return facts;
    facts.probed = true;
    std::istringstream lines(info.output);
    for (std::string line; std::getline(lines, line);) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "format_name")
            facts.format = value;
        else if (key == "codec_name")
            facts.codec = value;
        else if (key == "width")
            facts.width = std::atoi(value.c_str());
        else if (key == "height")
            facts.height = std::atoi(value.c_str());
        else if (key == "duration")
            facts.duration = std::atof(value.c_str());
    }
    // The container's time base is 1 ms, so the stamps print as whole numbers.
    const CommandResult packets =
        RunCommand("ffprobe -v error -select_streams v:0 -show_entries packet=pts -of csv=p=0 " +
                   file + " 2>/dev/null");
    std::istringstream stamps(packets.output);
    for (std::string line; std::getline(stamps, line);)
        if (!line.empty())
            facts.pts.push_back(std::stoll(line));
    const CommandResult counted =
        RunCommand("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                   "stream=nb_read_frames -of csv=p=0 " +
                   file + " 2>/dev/null");
    if (counted.exitCode == 0 && !counted.output.empty())
        facts.decodedFrames = std::atoll(counted.output.c_str());
    facts.decodeErrors =
        RunCommand("ffmpeg -nostdin -v error -i " + file + " -f null - 2>&1").output;
    return facts;
}

// Frame k of a movie at `fps` frames a second is stamped floor(k * 1000 / fps) ms.
inline std::vector<int64_t> ExpectedStamps(size_t frames, int fps) {
    std::vector<int64_t> stamps;
    for (size_t k = 0; k < frames; ++k)
        stamps.push_back(static_cast<int64_t>(k) * 1000 / fps);
    return stamps;
}

// A finished movie: WMV 8 in ASF, `frames` frames each stamped by its number
// at `fps`, decoding without errors. Call under ASSERT_NO_FATAL_FAILURE when
// later checks need it.
inline void ExpectPlayableMovie(const std::string& path, int frames, int fps) {
    SCOPED_TRACE(path);
    const MovieFacts movie = ProbeMovie(path);
    ASSERT_TRUE(movie.probed);
    EXPECT_EQ(movie.format, "asf");
    EXPECT_EQ(movie.codec, "wmv2");
    EXPECT_EQ(movie.pts, ExpectedStamps(static_cast<size_t>(frames), fps));
    EXPECT_EQ(movie.decodedFrames, frames);
    EXPECT_EQ(movie.decodeErrors, "");
}

// Width and height of a JPEG decoded by djpeg; {0, 0} when it does not decode.
inline std::pair<int, int> JpegSize(const std::string& path) {
    const CommandResult pnm = RunCommand("djpeg -pnm " + ShellQuoted(path) + " 2>/dev/null");
    int w = 0, h = 0, maxval = 0;
    char magic[3] = {};
    if (pnm.exitCode != 0 ||
        std::sscanf(pnm.output.c_str(), "%2s %d %d %d", magic, &w, &h, &maxval) != 4)
        return {0, 0};
    return {w, h};
}

// `text` (a settings file) with the values of some lines replaced: an integer
// key is given with its "=" ("CAPTURE_FPS="), a string key as its opening tag
// ("<VIDEO_SRC>").
inline std::string WithSettings(std::string text,
                                const std::vector<std::pair<std::string, std::string>>& values) {
    for (const auto& [key, value] : values) {
        const size_t at = text.find("\n" + key);
        if (at == std::string::npos)
            continue;
        const size_t start = at + 1 + key.size();
        const size_t end = key[0] == '<' ? text.find("</", start) : text.find('\n', start);
        text.replace(start, end - start, value);
    }
    return text;
}
