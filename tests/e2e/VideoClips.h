// Video clips for the tests, made with Debian's ffmpeg at test time: solid colours one after
// the other, with a sine tone as sound, in the container and codecs asked for.
#pragma once

#include "Run.h"

#include <QColor>
#include <string>
#include <vector>

namespace pictorelle::test {

struct ClipFormat {
    std::string extension;           // ".wmv", ...
    std::vector<std::string> codecs; // ffmpeg's options for the video and audio codecs
};

inline const ClipFormat kWmv{".wmv", {"-c:v", "msmpeg4v2", "-c:a", "wmav2"}};
inline const ClipFormat kAsf{".asf", {"-c:v", "msmpeg4v2", "-c:a", "wmav2"}};
inline const ClipFormat kAvi{".avi", {"-c:v", "mpeg4", "-c:a", "libmp3lame"}};
inline const ClipFormat kMpg{".mpg", {"-c:v", "mpeg1video", "-c:a", "mp2"}};
inline const ClipFormat kMp4{".mp4", {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"}};

// Writes a clip of width x height that shows each colour for secondsEach, with a tone of
// toneHz all along. Returns ffmpeg's complaint, empty on success.
inline std::string MakeClip(const std::string& path, const ClipFormat& format, int width,
                            int height, const std::vector<QColor>& colours, double secondsEach,
                            double toneHz = 1000) {
    std::vector<std::string> args{"-loglevel", "error", "-y"};
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    for (const QColor& c : colours) {
        args.insert(args.end(), {"-f", "lavfi", "-i",
                                 "color=c=" + c.name().toStdString() + ":s=" + size +
                                     ":r=25:d=" + std::to_string(secondsEach)});
    }
    const double total = secondsEach * static_cast<double>(colours.size());
    args.insert(args.end(), {"-f", "lavfi", "-i",
                             "sine=frequency=" + std::to_string(toneHz) +
                                 ":sample_rate=44100:duration=" + std::to_string(total)});
    std::string graph;
    for (size_t i = 0; i < colours.size(); ++i)
        graph += "[" + std::to_string(i) + ":v]";
    graph += "concat=n=" + std::to_string(colours.size()) + ":v=1:a=0,format=yuv420p[v]";
    args.insert(args.end(), {"-filter_complex", graph, "-map", "[v]", "-map",
                             std::to_string(colours.size()) + ":a", "-b:v", "2M"});
    args.insert(args.end(), format.codecs.begin(), format.codecs.end());
    args.push_back(path);
    const RunResult r = RunProgram("ffmpeg", args);
    return r.status == 0 ? std::string() : "ffmpeg failed: " + r.err;
}

} // namespace pictorelle::test
