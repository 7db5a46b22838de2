#include "cli/batch_options.h"

#include <functional>
#include <map>

#include "core/numeric.h"

namespace ammonite::batch {

namespace {

std::vector<std::string> splitCommas(const std::string& text) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (;;) {
        auto comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return parts;
}

// A list of exactly N numbers separated by commas.
template <size_t N>
bool parseNumbers(const std::string& text, std::array<double, N>& out) {
    auto parts = splitCommas(text);
    if (parts.size() != N) return false;
    for (size_t i = 0; i < N; ++i)
        if (!tryParseWholeNumber(parts[i], out[i])) return false;
    return true;
}

bool parseWhole(const std::string& text, long lo, long hi, long& out) {
    double v = 0;
    if (!tryParseWholeNumber(text, v) || v != static_cast<double>(static_cast<long>(v))) return false;
    if (v < static_cast<double>(lo) || v > static_cast<double>(hi)) return false;
    out = static_cast<long>(v);
    return true;
}

bool parseSwitch(const std::string& text, bool& out) {
    if (text == "on") {
        out = true;
        return true;
    }
    if (text == "off") {
        out = false;
        return true;
    }
    return false;
}

// A value that fits a four-decimal model field.
bool fitsFixed4(double v) { return v > -9.0e14 && v < 9.0e14; }

}  // namespace

bool CheckCombinations(const Options& o, std::string& error) {
    if (o.scenarioIn && o.scenarioFrom) {
        error = "--scenario and --scenario-from cannot be combined (give one scenario)";
        return false;
    }
    if (o.sweeps.size() > 2) {
        error = "at most two --sweep options";
        return false;
    }
    for (size_t i = 1; i < o.sweeps.size(); ++i) {
        if (o.sweeps[i].name == o.sweeps[0].name) {
            error = "--sweep " + o.sweeps[i].name + " is given twice";
            return false;
        }
    }
    // Every grid point is a model run and a row of the table: a grid beyond
    // kMaxSweepPoints is refused before anything runs.
    double points = 1;
    for (const SweepAxis& axis : o.sweeps) points *= axis.steps;
    if (points > kMaxSweepPoints) {
        error = "--sweep: the grid has " + std::to_string(static_cast<long long>(points)) +
                " points, more than " + std::to_string(kMaxSweepPoints) + " (fewer STEPS)";
        return false;
    }
    if (o.filmSettingsGiven && !o.filmPath && !o.filmFrames) {
        error = "--film-kind, --film-size, --film-fps and --film-seconds need --film or --film-frames";
        return false;
    }
    if (o.filmPath || o.filmFrames) {
        // Checked here so that a bad film is refused before the shell grows.
        if (!CheckFilmSettings(o.film, error)) return false;
        FilmFormat format{};
        if (o.filmPath && !FilmFormatOf(*o.filmPath, format, error)) return false;
    }
    if (o.sweeps.empty()) {
        if (o.sweepOut) error = "--sweep-out needs --sweep";
        if (o.jobs != 0) error = "--jobs needs --sweep";
        return error.empty();
    }
    // A sweep writes one row per grid point; the outputs of a single run
    // would be ambiguous, so they are refused rather than silently dropped.
    const std::pair<bool, const char*> single[] = {
        {o.tablesPath.has_value(), "--tables"}, {o.logPath.has_value(), "--log"},
        {o.summaryPath.has_value(), "--summary"}, {o.pngPath.has_value(), "--png"},
        {o.svgPath.has_value(), "--svg"},        {o.stlPath.has_value(), "--stl"},
        {o.plyPath.has_value(), "--ply"},        {o.objPath.has_value(), "--obj"},
        {o.profilesOut.has_value(), "--save-profiles"}, {o.shade, "--shade"},
        {o.filmPath.has_value(), "--film"},      {o.filmFrames.has_value(), "--film-frames"}};
    for (const auto& [given, name] : single) {
        if (given) {
            error = std::string(name) + " cannot be combined with --sweep";
            return false;
        }
    }
    return true;
}

bool ParseArguments(const std::vector<std::string>& args, Options& o, std::string& error) {
    using Handler = std::function<bool(const std::string&)>;
    std::string reason;  // why a value was refused, when more can be said than "bad value"
    // A text typed into a box of the main window, refused here when the box
    // would refuse it, naming the option and the range.
    auto typedInRange = [&](const char* option, const std::string& v, double lo, double hi, bool whole) {
        try {
            ReadTypedNumber(option, v, lo, hi, whole);
            return true;
        } catch (const RuntimeError& e) {
            reason = e.what();
            return false;
        }
    };
    // Options that take a value; each handler returns false for a bad value.
    const std::map<std::string, Handler> valued = {
        {"--stages",
         [&](const std::string& v) {
             if (!typedInRange("--stages", v, -32768, 32767, true)) return false;
             return o.stagesText = v, true;
         }},
        {"--scale",
         [&](const std::string& v) {
             if (!typedInRange("--scale", v, -kFixed4Limit, kFixed4Limit, false)) return false;
             return o.scaleText = v, true;
         }},
        {"--view",
         [&](const std::string& v) {
             std::array<double, 3> a{};
             if (!parseNumbers(v, a) || !fitsFixed4(a[0]) || !fitsFixed4(a[1]) || !fitsFixed4(a[2])) return false;
             return o.view = a, true;
         }},
        {"--light",
         [&](const std::string& v) {
             std::array<double, 3> a{};
             if (!parseNumbers(v, a) || !fitsFixed4(a[0]) || !fitsFixed4(a[1]) || !fitsFixed4(a[2])) return false;
             return o.light = a, true;
         }},
        {"--origin",
         [&](const std::string& v) {
             std::array<double, 2> a{};
             if (!parseNumbers(v, a) || !fitsFixed4(a[0]) || !fitsFixed4(a[1])) return false;
             return o.origin = a, true;
         }},
        {"--densities",
         [&](const std::string& v) {
             std::array<double, 2> a{};
             if (!parseNumbers(v, a)) return false;
             for (double d : a) {
                 if (d < 0) {
                     reason = "--densities: " + v + ": a density cannot be negative";
                     return false;
                 }
             }
             return o.densities = a, true;
         }},
        {"--orientation",
         [&](const std::string& v) {
             bool b = false;
             if (!parseSwitch(v, b)) return false;
             return o.orientation = b, true;
         }},
        {"--ribbing",
         [&](const std::string& v) {
             bool b = false;
             if (!parseSwitch(v, b)) return false;
             return o.ribbing = b, true;
         }},
        {"--thresholds",
         [&](const std::string& v) {
             auto parts = splitCommas(v);
             if (parts.size() != 4) return false;
             // ST1hsc, ST2hsc run 0..1000; FT1vsc, FT2vsc run -80..0.
             const long lo[4] = {0, 0, -80, -80}, hi[4] = {1000, 1000, 0, 0};
             std::array<int, 4> a{};
             for (size_t i = 0; i < 4; ++i) {
                 long n = 0;
                 if (!parseWhole(parts[i], lo[i], hi[i], n)) return false;
                 a[i] = static_cast<int>(n);
             }
             return o.thresholds = a, true;
         }},
        {"--runs",
         [&](const std::string& v) {
             long n = 0;
             if (!parseWhole(v, 0, 100000, n)) return false;
             o.runsGiven = true;
             return o.runs = static_cast<int>(n), true;
         }},
        {"--tables", [&](const std::string& v) { return !v.empty() && (o.tablesPath = v, true); }},
        {"--log", [&](const std::string& v) { return !v.empty() && (o.logPath = v, true); }},
        {"--summary", [&](const std::string& v) { return !v.empty() && (o.summaryPath = v, true); }},
        {"--png", [&](const std::string& v) { return !v.empty() && (o.pngPath = v, true); }},
        {"--svg", [&](const std::string& v) { return !v.empty() && (o.svgPath = v, true); }},
        {"--stl", [&](const std::string& v) { return !v.empty() && (o.stlPath = v, true); }},
        {"--ply", [&](const std::string& v) { return !v.empty() && (o.plyPath = v, true); }},
        {"--obj", [&](const std::string& v) { return !v.empty() && (o.objPath = v, true); }},
        {"--mesh-scale",
         [&](const std::string& v) {
             double d = 0;
             if (!tryParseWholeNumber(v, d) || !(d > 0) || d > 1e6) return false;
             return o.meshScale = d, true;
         }},
        {"--mesh-ring-points",
         [&](const std::string& v) {
             long n = 0;
             if (!parseWhole(v, 3, 360, n) || 360 % n != 0) return false;
             return o.meshRingPoints = static_cast<int>(n), true;
         }},
        {"--sweep",
         [&](const std::string& v) {
             SweepAxis axis;
             if (!ParseSweepAxis(v, axis, reason)) return false;
             o.sweeps.push_back(axis);
             return true;
         }},
        {"--sweep-out", [&](const std::string& v) { return !v.empty() && (o.sweepOut = v, true); }},
        {"--jobs",
         [&](const std::string& v) {
             long n = 0;
             if (!parseWhole(v, 1, 256, n)) return false;
             return o.jobs = static_cast<int>(n), true;
         }},
        // ---- a film of the grown shell ----
        {"--film", [&](const std::string& v) { return !v.empty() && (o.filmPath = v, true); }},
        {"--film-frames", [&](const std::string& v) { return !v.empty() && (o.filmFrames = v, true); }},
        {"--film-kind",
         [&](const std::string& v) {
             o.filmSettingsGiven = true;
             if (ParseFilmKind(v, o.film.kind)) return true;
             reason = "--film-kind: " + v + ": it must be growth, turntable or both";
             return false;
         }},
        {"--film-size",
         [&](const std::string& v) {
             o.filmSettingsGiven = true;
             if (ParseFilmSize(v, o.film.width, o.film.height)) return true;
             reason = "--film-size: " + v + ": it must be WIDTHxHEIGHT in pixels, such as 1280x720";
             return false;
         }},
        {"--film-fps",
         [&](const std::string& v) {
             o.filmSettingsGiven = true;
             long n = 0;
             if (!parseWhole(v, 1, kFilmMaxFps, n)) {
                 reason = "--film-fps: " + v + ": it must be a whole number of frames per second from 1 to " +
                          std::to_string(kFilmMaxFps);
                 return false;
             }
             return o.film.fps = static_cast<int>(n), true;
         }},
        {"--film-seconds",
         [&](const std::string& v) {
             o.filmSettingsGiven = true;
             double d = 0;
             if (!tryParseWholeNumber(v, d) || !(d > 0) || d > kFilmMaxSeconds) {
                 reason = "--film-seconds: " + v + ": it must be a number of seconds above 0 and at most " +
                          formatNumber(kFilmMaxSeconds);
                 return false;
             }
             return o.film.seconds = d, true;
         }},
        // ---- profile data files: read before the runs, written after them ----
        {"--profiles", [&](const std::string& v) { return !v.empty() && (o.profilesIn = v, true); }},
        {"--save-profiles", [&](const std::string& v) { return !v.empty() && (o.profilesOut = v, true); }},
        // ---- scenarios ----
        {"--scenario", [&](const std::string& v) { return !v.empty() && (o.scenarioIn = v, true); }},
        {"--scenario-from", [&](const std::string& v) { return !v.empty() && (o.scenarioFrom = v, true); }},
        {"--save-scenario", [&](const std::string& v) { return !v.empty() && (o.scenarioOut = v, true); }},
    };

    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (name.rfind("--", 0) == 0) {
            auto eq = name.find('=');
            if (eq != std::string::npos) {
                value = name.substr(eq + 1);
                name = name.substr(0, eq);
            }
        }
        if (name == "--help" || name == "-h") {
            if (value) {
                error = "option " + name + " takes no value";
                return false;
            }
            o.help = true;
            continue;
        }
        if (name == "--version") {
            if (value) {
                error = "option --version takes no value";
                return false;
            }
            o.version = true;
            continue;
        }
        if (name == "--shade") {
            if (value) {
                error = "option --shade takes no value";
                return false;
            }
            o.shade = true;
            continue;
        }
        auto it = valued.find(name);
        if (it == valued.end()) {
            error = "unknown argument '" + args[i] + "' (see --help)";
            return false;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                error = "option " + name + " needs a value";
                return false;
            }
            value = args[++i];
        }
        if (!it->second(*value)) {
            error = !reason.empty() ? reason : "bad value '" + *value + "' for " + name + " (see --help)";
            return false;
        }
    }
    return CheckCombinations(o, error);
}

std::string UsageText() {
    return "Usage: ammonite-batch [options]\n"
           "Runs the ammonite growth model headless, as the main window's START does,\n"
           "and writes its results.\n"
           "\n"
           "Before the run (applied after the main window's defaults are loaded):\n"
           "  --stages TEXT          text typed into the stage box (NUMtxt)\n"
           "  --scale TEXT           text typed into the scale box (SCLtxt)\n"
           "  --view X,Y,Z           view direction\n"
           "  --light X,Y,Z          light direction of the shaded rendering\n"
           "  --origin X,Y           drawing origin in pixels\n"
           "  --densities A,B        densities of the air chamber and the body chamber\n"
           "                         (g/cm3, not negative)\n"
           "  --orientation on|off   life orientation\n"
           "  --ribbing on|off       ribs in the shaded rendering\n"
           "  --thresholds ST1,ST2,FT1,FT2\n"
           "                         positions of the threshold bars ST1hsc, ST2hsc (0..1000)\n"
           "                         and FT1vsc, FT2vsc (-80..0); the bars are moved before\n"
           "                         the first START, so their own chart redraw, which needs a\n"
           "                         run, is not counted as an error\n"
           "  --profiles FILE        profile data file read before the first run, as the\n"
           "                         profile window loads it (its final stage becomes the\n"
           "                         stage count unless --stages is given); a regular\n"
           "                         file of at most 1 MiB\n"
           "  --scenario FILE        scenario file (TOML, see docs/scenario.md) grown from a\n"
           "                         fresh start; the other options override its values\n"
           "  --scenario-from FILE   the scenario a PNG, SVG or mesh sidecar (_volumes.txt)\n"
           "                         written by this program carries, as --scenario\n"
           "Actions:\n"
           "  --runs K               press START K times (default 1)\n"
           "  --shade                press SHADE after the last run\n"
           "Results:\n"
           "  --tables FILE.csv      per-stage tables of the last run\n"
           "  --log FILE.txt         regulation log (UTF-8)\n"
           "  --summary FILE.txt     key=value summary (default: standard output)\n"
           "  --png FILE.png         the main window's drawing after the last action\n"
           "  --save-profiles FILE   profile data file of the model after the runs\n"
           "  --save-scenario FILE   the scenario after the options, as a scenario file\n"
           "                         (with --sweep: the part every grid point shares)\n"
           "  --svg FILE.svg         the same drawing as vector graphics\n"
           "  --stl FILE.stl         the grown shell as binary STL meshes, one file per\n"
           "                         object: FILE_phragmocone.stl, FILE_body_chamber.stl,\n"
           "                         and their volumes and densities in FILE_volumes.txt\n"
           "  --ply FILE.ply         the same as binary PLY meshes\n"
           "  --obj FILE.obj         the same as one OBJ file with two groups\n"
           "  --mesh-scale MM        millimetres per model unit of the meshes (default 1)\n"
           "  --mesh-ring-points N   points per ring of the meshes, a divisor of 360\n"
           "                         (default 360, as the shaded rendering builds them)\n"
           "Films of the grown shell (after the last run):\n"
           "  --film FILE            the shell growing in its life orientation as a video:\n"
           "                         FILE.mp4 (H.264), FILE.webm (VP9) or FILE.gif, encoded\n"
           "                         by the ffmpeg program (apt-get install ffmpeg)\n"
           "  --film-frames FOLDER   the same frames as numbered PNG files\n"
           "                         (frame_00001.png, ...); needs no ffmpeg\n"
           "  --film-kind KIND       growth (stage 1 to the last), turntable (one turn\n"
           "                         about the vertical at the last stage) or both\n"
           "                         (default growth)\n"
           "  --film-size WxH        frame size in pixels, both even (default 1280x720)\n"
           "  --film-fps N           frames per second, 1..120 (default 30)\n"
           "  --film-seconds S       duration in seconds, up to 600 (default 10);\n"
           "                         progress is shown on standard error\n"
           "Morphospace sweeps:\n"
           "  --sweep NAME=FROM:TO:STEPS\n"
           "                         run the model for STEPS evenly spaced values of NAME\n"
           "                         from FROM to TO (both included); give it twice for a\n"
           "                         grid. NAME is one of: " + SweepNames() + "\n"
           "                         (st1..ft2: threshold bar positions; gamma, C, T, beta:\n"
           "                         the profile made constant). Every grid point is an\n"
           "                         independent model; the points run on all cores.\n"
           "                         A grid has at most 10000000 points.\n"
           "  --sweep-out FILE.csv   one row per grid point (default: standard output);\n"
           "                         progress is shown on standard error\n"
           "  --jobs N               threads of a sweep (default: all cores)\n"
           "  --help                 this text\n"
           "  --version              the program's name and version\n"
           "\n"
           "The PNG, the SVG and the mesh sidecar carry the scenario that made them\n"
           "(see --scenario-from).\n"
           "\n"
           "Every file is written under a temporary name in its folder and moved into\n"
           "place only when complete; a file that cannot be written keeps its old\n"
           "contents. A target that is a folder, a device or a FIFO, or that you may not\n"
           "write, is refused; a symbolic link is written through.\n"
           "\n"
           "Exit status:\n"
           "  0  done\n"
           "  1  the model stopped with a runtime error; every output asked for is still\n"
           "     written with what the run reached, except the meshes, which need a\n"
           "     finished run (a message says so)\n"
           "  2  bad arguments or a bad --profiles file; nothing is run or written\n"
           "  3  an output (a file or the standard output) could not be written; this\n"
           "     outranks 1: the runtime error is still printed, the other outputs are\n"
           "     still written\n";
}

}  // namespace ammonite::batch
