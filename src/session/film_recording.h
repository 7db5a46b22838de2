// Recording a film of a grown shell: the frames are drawn on all cores and
// handed on in order as they are made, to the `ffmpeg` program (MP4 with
// H.264, WebM with VP9, an animated GIF), fed raw frames through a pipe, and
// to a folder of numbered PNG files. The batch tool, VIEW and the Python
// package record through this one path.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/model_state.h"
#include "render/film.h"
#include "render/surface.h"

namespace ammonite {

enum class FilmFormat { Mp4, WebM, Gif };

// The format a film file's name asks for (.mp4, .webm, .gif, in any case);
// false with a one-line reason.
bool FilmFormatOf(const std::string& path, FilmFormat& format, std::string& error);

// The full path of a program found on PATH, or "" when there is none.
std::string FindProgram(const std::string& name);
// The message for a film file asked for where `ffmpeg` is not installed.
std::string MissingEncoderMessage();

// The text a film carries about what made it (the MP4/WebM comment tag, the
// PNG frames' "Description" chunk): the program and its version, the film's
// settings, the inputs the caller names (a command line, a call) and the
// scenario file's text of the shell, or, when no scenario is known, the
// model's profile data file.
std::string FilmMetadata(const ModelState& model, const FilmSettings& settings, const std::string& inputs,
                         const std::string& scenarioToml = "");


// What the layer above lends the recording: pictures that print the caption
// with the toolkit's fonts, and a PNG encoder that writes text chunks.
using FilmText = std::vector<std::pair<std::string, std::string>>;
struct FilmTools {
    std::function<std::unique_ptr<DrawingSurface>(int width, int height)> makeSurface;
    std::function<bool(const PixelBuffer& pixels, const FilmText& text, std::string& png, std::string& error)>
        encodePng;
};

// Where a film goes: a video file, a folder of PNG frames, or both.
struct FilmTarget {
    std::optional<std::string> file;
    std::optional<std::string> framesFolder;
    std::string metadata;
};

struct FilmControl {
    int jobs = 0;  // drawing threads (0: all cores)
    // Called on the caller's thread after each frame is handed on.
    std::function<void(int done, int total)> progress;
    const std::atomic<bool>* cancel = nullptr;
};

struct FilmReport {
    int frames = 0;             // frames handed on
    int threads = 0;
    double seconds = 0;         // wall time of the whole recording
    std::vector<std::string> written;  // files written
    bool cancelled = false;
};

// The name of frame k (0-based) in a folder of frames: "frame_00001.png".
std::string FilmFrameName(int index);

// Draws the plan's frames on all cores and hands them to `sink` in order.
// False with a one-line reason (a frame that cannot be drawn, a sink that
// fails, "cancelled"); the sink is then abandoned.
bool DrawFilm(const FilmPlan& plan, const FilmTools& tools, FilmSink& sink, const FilmControl& control,
              FilmReport& report, std::string& error);

// Records the film to its target. The file is checked before any frame is
// drawn, encoded into a scratch file and then written over the target through
// the safe writer; a missing `ffmpeg` is reported by name. False with a
// one-line reason; nothing is left under the target's name then.
bool RecordFilm(const FilmPlan& plan, const FilmTarget& target, const FilmTools& tools, const FilmControl& control,
                FilmReport& report, std::string& error);

// Frames first .. first + count - 1 (clipped to the film), drawn on all
// cores, as rows of R, G, B bytes each.
bool DrawFilmFrames(const FilmPlan& plan, const FilmTools& tools, int first, int count, int jobs,
                    std::vector<std::vector<unsigned char>>& frames, std::string& error);

}  // namespace ammonite
