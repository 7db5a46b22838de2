#include "cli/batch_options.h"

#include <functional>
#include <map>

#include "core/numeric.h"
#include "model/fit.h"

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
    if (!o.fitPath) {
        const std::pair<bool, const char*> fitOnly[] = {{o.fitKnots != 6, "--fit-knots"},
                                                       {o.fitBudgetSeconds.has_value(), "--fit-budget"},
                                                       {o.fitBeta.has_value(), "--fit-beta"},
                                                       {o.fitOut.has_value(), "--fit-out"}};
        for (const auto& [given, name] : fitOnly) {
            if (given) {
                error = std::string(name) + " needs --fit";
                return false;
            }
        }
    } else {
        if (!o.sweeps.empty()) {
            error = "--fit cannot be combined with --sweep";
            return false;
        }
        if (o.profilesIn) {
            error = "--fit cannot be combined with --profiles: the fit makes the profiles";
            return false;
        }
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
        {o.profilesOut.has_value(), "--save-profiles"}, {o.shade, "--shade"}};
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
        // ---- profile data files: read before the runs, written after them ----
        {"--profiles", [&](const std::string& v) { return !v.empty() && (o.profilesIn = v, true); }},
        {"--save-profiles", [&](const std::string& v) { return !v.empty() && (o.profilesOut = v, true); }},
        // ---- the fit to a specimen ----
        {"--fit", [&](const std::string& v) { return !v.empty() && (o.fitPath = v, true); }},
        {"--fit-knots",
         [&](const std::string& v) {
             long n = 0;
             if (!parseWhole(v, kMinFitKnots, kMaxFitKnots, n)) {
                 reason = "--fit-knots: " + v + ": the knots per profile are a whole number from " +
                          std::to_string(kMinFitKnots) + " to " + std::to_string(kMaxFitKnots);
                 return false;
             }
             return o.fitKnots = static_cast<int>(n), true;
         }},
        {"--fit-budget",
         [&](const std::string& v) {
             double d = 0;
             if (!tryParseWholeNumber(v, d) || !(d > 0) || d > 86400) {
                 reason = "--fit-budget: " + v + ": seconds above 0 (at most a day)";
                 return false;
             }
             return o.fitBudgetSeconds = d, true;
         }},
        {"--fit-beta",
         [&](const std::string& v) {
             double d = 0;
             if (!tryParseWholeNumber(v, d) || !(d > 0) || d > 1000) {
                 reason = "--fit-beta: " + v + ": a body-chamber length in radii above 0 (at most 1000)";
                 return false;
             }
             return o.fitBeta = d, true;
         }},
        {"--fit-out", [&](const std::string& v) { return !v.empty() && (o.fitOut = v, true); }},
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
           "Fitting a specimen (see docs/specimen.md):\n"
           "  --fit SPECIMEN.csv     fit the profiles to a measured specimen (x_mm,y_mm[,z_mm]\n"
           "                         [,radius_mm][,mark]); the fitted shell is then run and\n"
           "                         every output below describes it; the fit's verdict,\n"
           "                         RMS and transform join the summary\n"
           "  --fit-knots N          control points per profile, 4..12 (default 6)\n"
           "  --fit-budget SECONDS   stop the search after this time (default: its budget\n"
           "                         of engine runs only)\n"
           "  --fit-beta B           body-chamber length in radii (default: from the marked\n"
           "                         last septum, else 12)\n"
           "  --fit-out FILE.csv     distance of every measured point to the fitted tube\n"
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
           "  2  bad arguments, a bad --profiles file or a specimen the fit refuses;\n"
           "     nothing is run or written\n"
           "  3  an output (a file or the standard output) could not be written; this\n"
           "     outranks 1: the runtime error is still printed, the other outputs are\n"
           "     still written\n";
}

}  // namespace ammonite::batch
