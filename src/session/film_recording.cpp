#include "session/film_recording.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "core/safe_file.h"
#include "core/version.h"
#include "model/profile_file.h"

extern char** environ;

namespace ammonite {

namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return s;
}

std::string systemReason(int number) { return std::strerror(number); }

// ---- a folder of numbered PNG frames ----

class PngFolderSink : public FilmSink {
public:
    PngFolderSink(std::string folder, const FilmTools& tools, std::string metadata, int total)
        : folder_(std::move(folder)), tools_(tools), metadata_(std::move(metadata)), total_(total) {}

    // Makes the folder when it is missing; refuses a path that is not a folder.
    bool open(std::string& error) {
        struct stat st {};
        if (::stat(folder_.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) {
                error = "cannot write frames to " + folder_ + ": it is not a folder";
                return false;
            }
            return true;
        }
        if (::mkdir(folder_.c_str(), 0777) != 0) {
            error = "cannot make the frames folder " + folder_ + ": " + systemReason(errno);
            return false;
        }
        return true;
    }

    bool frame(int index, const PixelBuffer& pixels, std::string& error) override {
        const FilmText text = {{"Software", kGenerator},
                               {"Title", "Frame " + std::to_string(index + 1) + " of " + std::to_string(total_)},
                               {"Description", metadata_}};
        std::string png;
        if (!tools_.encodePng || !tools_.encodePng(pixels, text, png, error)) {
            if (error.empty()) error = "no PNG encoder";
            error = "cannot write frame " + std::to_string(index + 1) + ": " + error;
            return false;
        }
        const std::string path = folder_ + "/" + FilmFrameName(index);
        if (!WriteFileSafely(path, png, error)) return false;
        written_.push_back(path);
        return true;
    }

    bool finish(std::string&) override {
        // Frames of an earlier, longer film in the same folder would play on
        // after this one: they go.
        for (int k = total_;; ++k) {
            const std::string stale = folder_ + "/" + FilmFrameName(k);
            if (::unlink(stale.c_str()) != 0) break;
        }
        return true;
    }

    const std::vector<std::string>& written() const { return written_; }

private:
    std::string folder_;
    const FilmTools& tools_;
    std::string metadata_;
    int total_;
    std::vector<std::string> written_;
};

// ---- the ffmpeg program, fed raw frames through a pipe ----

class FfmpegSink : public FilmSink {
public:
    FfmpegSink(std::string path, FilmFormat format, const FilmSettings& settings, std::string metadata)
        : path_(std::move(path)), format_(format), settings_(settings), metadata_(std::move(metadata)),
          output_(path_) {}
    ~FfmpegSink() override { abandon(); }

    bool open(std::string& error) {
        const std::string program = FindProgram("ffmpeg");
        if (program.empty()) {
            error = MissingEncoderMessage();
            return false;
        }
        // The target is checked before a frame is drawn.
        if (!output_.open()) {
            error = output_.error();
            return false;
        }
        if (!scratchFile(scratch_, ".film", error) || !scratchFile(log_, ".log", error)) return false;
        std::vector<std::string> args = {program, "-hide_banner", "-loglevel", "error", "-y",
                                         "-f", "rawvideo", "-pix_fmt", "bgra",
                                         "-s", std::to_string(settings_.width) + "x" + std::to_string(settings_.height),
                                         "-r", std::to_string(settings_.fps), "-i", "pipe:0"};
        const char* title = "ammonite film";
        switch (format_) {
        case FilmFormat::Mp4:
            args.insert(args.end(), {"-c:v", "libx264", "-preset", "veryfast", "-crf", "20", "-pix_fmt", "yuv420p",
                                     "-movflags", "+faststart", "-metadata", std::string("title=") + title,
                                     "-metadata", "comment=" + metadata_, "-f", "mp4"});
            break;
        case FilmFormat::WebM:
            args.insert(args.end(), {"-c:v", "libvpx-vp9", "-b:v", "0", "-crf", "34", "-deadline", "realtime",
                                     "-cpu-used", "8", "-row-mt", "1", "-pix_fmt", "yuv420p", "-metadata",
                                     std::string("title=") + title, "-metadata", "comment=" + metadata_, "-f",
                                     "webm"});
            break;
        case FilmFormat::Gif:
            args.insert(args.end(), {"-filter_complex", "split[a][b];[a]palettegen=stats_mode=diff[p];[b][p]paletteuse",
                                     "-loop", "0", "-f", "gif"});
            break;
        }
        args.push_back(scratch_);

        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            error = "cannot start ffmpeg: " + systemReason(errno);
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, log_.c_str(), O_WRONLY | O_TRUNC, 0600);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int spawned = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[0]);
        if (spawned != 0) {
            ::close(fds[1]);
            pid_ = -1;
            error = "cannot start " + program + ": " + systemReason(spawned);
            return false;
        }
        pipe_ = fds[1];
        return true;
    }

    bool frame(int index, const PixelBuffer& pixels, std::string& error) override {
        const size_t row = static_cast<size_t>(pixels.width) * 4;
        for (int y = 0; y < pixels.height; ++y) {
            const char* data =
                reinterpret_cast<const char*>(pixels.pixels + static_cast<size_t>(y) * static_cast<size_t>(pixels.stride));
            if (!writeAll(data, row)) {
                error = "ffmpeg stopped taking frames at frame " + std::to_string(index + 1) + ": " + encoderReason();
                return false;
            }
        }
        return true;
    }

    bool finish(std::string& error) override {
        ::close(pipe_);
        pipe_ = -1;
        const int status = waitChild();
        if (!(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
            error = "ffmpeg could not encode " + path_ + ": " + encoderReason();
            cleanUp();
            return false;
        }
        // The encoded film goes over the target through the safe writer.
        std::ifstream in(scratch_, std::ios::binary);
        std::vector<char> chunk(1 << 20);
        while (in) {
            in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            if (in.gcount() > 0) output_.write(chunk.data(), static_cast<size_t>(in.gcount()));
        }
        const bool read = in.eof();
        cleanUp();
        if (!read) {
            output_.discard();
            error = "cannot write " + path_ + ": the encoded film could not be read back";
            return false;
        }
        if (!output_.commit()) {
            error = output_.error();
            return false;
        }
        return true;
    }

    void abandon() override {
        if (pipe_ >= 0) ::close(pipe_);
        pipe_ = -1;
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            waitChild();
        }
        cleanUp();
        output_.discard();
    }

private:
    static bool scratchFile(std::string& path, const char* suffix, std::string& error) {
        const char* dir = std::getenv("TMPDIR");
        std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/ammonite-film-XXXXXX" + suffix;
        const int fd = ::mkstemps(pattern.data(), static_cast<int>(std::strlen(suffix)));
        if (fd < 0) {
            error = "cannot make a scratch file for the film in " + std::string(dir && *dir ? dir : "/tmp") + ": " +
                    systemReason(errno);
            return false;
        }
        ::close(fd);
        path = pattern;
        return true;
    }

    // Writes with SIGPIPE held back on this thread: a pipe whose reader
    // died answers EPIPE instead of ending the program.
    bool writeAll(const char* data, size_t size) {
        sigset_t pipeSignal, old;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, &old);
        bool ok = true;
        while (size > 0) {
            const ssize_t n = ::write(pipe_, data, size);
            if (n < 0) {
                if (errno == EINTR) continue;
                ok = false;
                if (errno == EPIPE) {
                    const timespec none{0, 0};
                    sigtimedwait(&pipeSignal, nullptr, &none);
                }
                break;
            }
            data += n;
            size -= static_cast<size_t>(n);
        }
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
        return ok;
    }

    int waitChild() {
        int status = -1;
        if (pid_ > 0) {
            while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
            pid_ = -1;
        }
        return status;
    }

    // The last line ffmpeg wrote on its standard error.
    std::string encoderReason() const {
        std::ifstream in(log_);
        std::string line, last;
        while (std::getline(in, line))
            if (!line.empty()) last = line;
        return last.empty() ? "it ended without saying why" : last;
    }

    void cleanUp() {
        if (!scratch_.empty()) ::unlink(scratch_.c_str());
        if (!log_.empty()) ::unlink(log_.c_str());
        scratch_.clear();
        log_.clear();
    }

    std::string path_;
    FilmFormat format_;
    FilmSettings settings_;
    std::string metadata_;
    SafeFileWriter output_;
    std::string scratch_, log_;
    pid_t pid_ = -1;
    int pipe_ = -1;
};

// Several sinks fed the same frames.
class TeeSink : public FilmSink {
public:
    std::vector<FilmSink*> sinks;
    bool frame(int index, const PixelBuffer& pixels, std::string& error) override {
        for (FilmSink* s : sinks)
            if (!s->frame(index, pixels, error)) return false;
        return true;
    }
    bool finish(std::string& error) override {
        for (FilmSink* s : sinks)
            if (!s->finish(error)) return false;
        return true;
    }
    void abandon() override {
        for (FilmSink* s : sinks) s->abandon();
    }
};

// Frames kept as rows of R, G, B bytes.
class RgbSink : public FilmSink {
public:
    explicit RgbSink(std::vector<std::vector<unsigned char>>& out) : out_(out) {}
    bool frame(int, const PixelBuffer& p, std::string&) override {
        std::vector<unsigned char> rgb(static_cast<size_t>(p.width) * static_cast<size_t>(p.height) * 3);
        unsigned char* d = rgb.data();
        for (int y = 0; y < p.height; ++y) {
            const std::uint32_t* row = p.pixels + static_cast<size_t>(y) * static_cast<size_t>(p.stride);
            for (int x = 0; x < p.width; ++x) {
                *d++ = static_cast<unsigned char>(row[x] >> 16);
                *d++ = static_cast<unsigned char>(row[x] >> 8);
                *d++ = static_cast<unsigned char>(row[x]);
            }
        }
        out_.push_back(std::move(rgb));
        return true;
    }
    bool finish(std::string&) override { return true; }

private:
    std::vector<std::vector<unsigned char>>& out_;
};

// The frames first .. first + count - 1 drawn on `jobs` threads, handed to
// the sink in order on the caller's thread.
bool drawRange(const FilmPlan& plan, const FilmTools& tools, FilmSink& sink, const FilmControl& control, int first,
               int count, FilmReport& report, std::string& error) {
    const auto start = std::chrono::steady_clock::now();
    int threads = control.jobs > 0 ? control.jobs : static_cast<int>(std::thread::hardware_concurrency());
    threads = std::clamp(threads, 1, std::max(1, count));
    report.threads = threads;
    // At most this many frames wait, drawn, to be handed on.
    const int window = 2 * threads + 2;
    const int width = plan.settings().width, height = plan.settings().height;

    std::mutex mutex;
    std::condition_variable changed;
    std::map<int, std::vector<std::uint32_t>> ready;
    int next = first, delivered = first;
    bool stop = false;
    std::string workerError;

    auto worker = [&] {
        std::unique_ptr<DrawingSurface> surface;
        try {
            surface = tools.makeSurface ? tools.makeSurface(width, height)
                                        : std::make_unique<RasterSurface>(width, height);
        } catch (const std::exception& e) {
            std::lock_guard<std::mutex> lock(mutex);
            if (workerError.empty()) workerError = std::string("cannot make a frame's picture: ") + e.what();
            stop = true;
            changed.notify_all();
            return;
        }
        FilmScratch scratch;
        for (;;) {
            int k = 0;
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [&] { return stop || next >= first + count || next < delivered + window; });
                if (stop || next >= first + count) return;
                k = next++;
            }
            std::string why;
            bool ok = false;
            try {
                ok = plan.render(k, *surface, scratch, why);
            } catch (const std::exception& e) {
                why = std::string("frame ") + std::to_string(k + 1) + " could not be drawn: " + e.what();
            }
            std::vector<std::uint32_t> pixels;
            if (ok) {
                const PixelBuffer* p = surface->pixelBuffer();
                pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
                for (int y = 0; y < height; ++y)
                    std::copy_n(p->pixels + static_cast<size_t>(y) * static_cast<size_t>(p->stride), width,
                                pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width));
            }
            std::lock_guard<std::mutex> lock(mutex);
            if (!ok) {
                if (workerError.empty()) workerError = why;
                stop = true;
            } else {
                ready.emplace(k, std::move(pixels));
            }
            changed.notify_all();
        }
    };
    std::vector<std::thread> pool;
    for (int i = 0; i < threads; ++i) pool.emplace_back(worker);

    bool ok = true;
    while (delivered < first + count) {
        std::vector<std::uint32_t> pixels;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait_for(lock, std::chrono::milliseconds(100),
                             [&] { return stop || ready.count(delivered) > 0; });
            if (control.cancel && control.cancel->load()) {
                stop = true;
                report.cancelled = true;
                error = "cancelled";
                ok = false;
            } else if (stop) {
                error = workerError;
                ok = false;
            } else if (ready.count(delivered) == 0) {
                continue;
            } else {
                pixels = std::move(ready[delivered]);
                ready.erase(delivered);
            }
        }
        if (!ok) break;
        PixelBuffer buffer{pixels.data(), width, height, width};
        std::string why;
        if (!sink.frame(delivered, buffer, why)) {
            error = why;
            ok = false;
            break;
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            ++delivered;
            changed.notify_all();
        }
        ++report.frames;
        if (control.progress) control.progress(delivered - first, count);
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        stop = true;
        changed.notify_all();
    }
    for (std::thread& t : pool) t.join();
    if (ok && !sink.finish(error)) ok = false;
    if (!ok) sink.abandon();
    report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return ok;
}

}  // namespace

bool FilmFormatOf(const std::string& path, FilmFormat& format, std::string& error) {
    const auto dot = path.find_last_of('.');
    const auto slash = path.find_last_of('/');
    const std::string ext = dot == std::string::npos || (slash != std::string::npos && dot < slash)
                                ? std::string()
                                : lower(path.substr(dot + 1));
    if (ext == "mp4") format = FilmFormat::Mp4;
    else if (ext == "webm") format = FilmFormat::WebM;
    else if (ext == "gif") format = FilmFormat::Gif;
    else {
        error = "Bad film file name: " + path + "; it must end in .mp4, .webm or .gif";
        return false;
    }
    return true;
}

std::string FindProgram(const std::string& name) {
    const char* pathVariable = std::getenv("PATH");
    if (!pathVariable || name.empty()) return {};
    std::stringstream folders(pathVariable);
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (folder.empty()) continue;
        const std::string candidate = folder + "/" + name;
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

std::string MissingEncoderMessage() {
    return "cannot make a video: the program ffmpeg is not installed or not on PATH (on Debian: apt-get install "
           "ffmpeg); PNG frames can still be written without it";
}

std::string FilmMetadata(const ModelState& model, const FilmSettings& s, const std::string& inputs,
                         const std::string& scenarioToml) {
    std::ostringstream out;
    out << kGenerator << "\n";
    out << "film=" << FilmKindName(s.kind) << " " << s.width << "x" << s.height << " " << s.fps << " fps "
        << formatNumber(s.seconds) << " s";
    if (s.turnStage > 0) out << " turntable stage " << s.turnStage;
    out << "\n";
    if (!inputs.empty()) out << "inputs=" << inputs << "\n";
    out << "stages=" << model.shownStage << "\n";
    if (!scenarioToml.empty()) {
        out << "scenario:\n" << scenarioToml;
    } else {
        out << "densities=" << formatNumber(model.densities[0]) << "," << formatNumber(model.densities[1]) << "\n";
        out << "profiles:\n" << FormatProfileFile(model);
    }
    return out.str();
}

std::string FilmFrameName(int index) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%05d.png", index + 1);
    return name;
}

bool DrawFilm(const FilmPlan& plan, const FilmTools& tools, FilmSink& sink, const FilmControl& control,
              FilmReport& report, std::string& error) {
    return drawRange(plan, tools, sink, control, 0, plan.frameCount(), report, error);
}

bool RecordFilm(const FilmPlan& plan, const FilmTarget& target, const FilmTools& tools, const FilmControl& control,
                FilmReport& report, std::string& error) {
    report = FilmReport{};
    if (!target.file && !target.framesFolder) {
        error = "No film file or frames folder was given";
        return false;
    }
    TeeSink tee;
    std::unique_ptr<FfmpegSink> video;
    std::unique_ptr<PngFolderSink> frames;
    if (target.framesFolder) {
        frames = std::make_unique<PngFolderSink>(*target.framesFolder, tools, target.metadata, plan.frameCount());
        if (!frames->open(error)) return false;
        tee.sinks.push_back(frames.get());
    }
    // Without ffmpeg the frames asked for are still written; the film is not.
    bool encoderMissing = false;
    if (target.file) {
        FilmFormat format{};
        if (!FilmFormatOf(*target.file, format, error)) return false;
        encoderMissing = FindProgram("ffmpeg").empty();
        if (encoderMissing && !frames) {
            error = MissingEncoderMessage();
            return false;
        }
    }
    if (target.file && !encoderMissing) {
        FilmFormat format{};
        FilmFormatOf(*target.file, format, error);
        video = std::make_unique<FfmpegSink>(*target.file, format, plan.settings(), target.metadata);
        if (!video->open(error)) return false;
        tee.sinks.push_back(video.get());
    }
    const bool ok = DrawFilm(plan, tools, tee, control, report, error);
    if (frames) report.written = frames->written();
    if (ok && video) report.written.push_back(*target.file);
    if (ok && encoderMissing) {
        error = MissingEncoderMessage();
        return false;
    }
    return ok;
}

bool DrawFilmFrames(const FilmPlan& plan, const FilmTools& tools, int first, int count, int jobs,
                    std::vector<std::vector<unsigned char>>& frames, std::string& error) {
    frames.clear();
    first = std::max(0, first);
    count = std::min(count, plan.frameCount() - first);
    if (count <= 0) return true;
    RgbSink sink(frames);
    FilmControl control;
    control.jobs = jobs;
    FilmReport report;
    return drawRange(plan, tools, sink, control, first, count, report, error);
}

}  // namespace ammonite
