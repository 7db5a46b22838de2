#include "cli/batch_options.h"

#include <cmath>
#include <functional>
#include <map>

#include "core/numeric.h"
#include "model/fit.h"
#include "session/option_table.h"

namespace ammonite::batch {


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
    // Where each option's value goes, once the option table's rules have
    // read it; an option of the table without a store here is not the batch
    // tool's. A store returns false for a value it refuses (setting `reason`
    // when it can say more than "bad value").
    std::string reason;
    using Store = std::function<bool(const OptionValue&)>;
    auto path = [](std::optional<std::string>& target) {
        return [&target](const OptionValue& v) { return target = v.text, true; };
    };
    auto triple = [](std::optional<std::array<double, 3>>& target) {
        return [&target](const OptionValue& v) { return target = std::array<double, 3>{v.numbers[0], v.numbers[1], v.numbers[2]}, true; };
    };
    auto pair = [](std::optional<std::array<double, 2>>& target) {
        return [&target](const OptionValue& v) { return target = std::array<double, 2>{v.numbers[0], v.numbers[1]}, true; };
    };
    const std::map<std::string, Store> stores = {
        {"stages", [&](const OptionValue& v) { return o.stagesText = v.text, true; }},
        {"scale", [&](const OptionValue& v) { return o.scaleText = v.text, true; }},
        {"view", triple(o.view)},
        {"light", triple(o.light)},
        {"origin", pair(o.origin)},
        {"densities", pair(o.densities)},
        {"orientation", [&](const OptionValue& v) { return o.orientation = v.on, true; }},
        {"ribbing", [&](const OptionValue& v) { return o.ribbing = v.on, true; }},
        {"thresholds",
         [&](const OptionValue& v) {
             std::array<int, 4> a{};
             for (size_t i = 0; i < 4; ++i) a[i] = static_cast<int>(v.numbers[i]);
             return o.thresholds = a, true;
         }},
        {"profiles", path(o.profilesIn)},
        {"runs",
         [&](const OptionValue& v) {
             o.runsGiven = true;
             return o.runs = static_cast<int>(v.numbers[0]), true;
         }},
        {"scenario", path(o.scenarioIn)},
        {"scenario-from", path(o.scenarioFrom)},
        {"save-scenario", path(o.scenarioOut)},
        {"shade", [&](const OptionValue&) { return o.shade = true; }},
        {"tables", path(o.tablesPath)},
        {"log", path(o.logPath)},
        {"summary", path(o.summaryPath)},
        {"png", path(o.pngPath)},
        {"save-profiles", path(o.profilesOut)},
        {"svg", path(o.svgPath)},
        {"stl", path(o.stlPath)},
        {"ply", path(o.plyPath)},
        {"obj", path(o.objPath)},
        {"mesh-scale", [&](const OptionValue& v) { return o.meshScale = v.numbers[0], true; }},
        {"mesh-ring-points", [&](const OptionValue& v) { return o.meshRingPoints = static_cast<int>(v.numbers[0]), true; }},
        {"sweep",
         [&](const OptionValue& v) {
             SweepAxis axis;
             if (!ParseSweepAxis(v.text, axis, reason)) return false;
             o.sweeps.push_back(axis);
             return true;
         }},
        {"film", path(o.filmPath)},
        {"film-frames", path(o.filmFrames)},
        {"film-kind",
         [&](const OptionValue& v) {
             o.filmSettingsGiven = true;
             if (ParseFilmKind(v.text, o.film.kind)) return true;
             reason = "--film-kind: " + v.text + ": it must be growth, turntable or both";
             return false;
         }},
        {"fit", path(o.fitPath)},
        {"fit-knots",
         [&](const OptionValue& v) {
             double d = 0;
             if (!tryParseWholeNumber(v.text, d) || d != std::floor(d) || d < kMinFitKnots || d > kMaxFitKnots) {
                 reason = "--fit-knots: " + v.text + ": the knots per profile are a whole number from " +
                          std::to_string(kMinFitKnots) + " to " + std::to_string(kMaxFitKnots);
                 return false;
             }
             return o.fitKnots = static_cast<int>(d), true;
         }},
        {"fit-budget",
         [&](const OptionValue& v) {
             double d = 0;
             if (!tryParseWholeNumber(v.text, d) || !(d > 0) || d > 86400) {
                 reason = "--fit-budget: " + v.text + ": seconds above 0 (at most a day)";
                 return false;
             }
             return o.fitBudgetSeconds = d, true;
         }},
        {"fit-beta",
         [&](const OptionValue& v) {
             double d = 0;
             if (!tryParseWholeNumber(v.text, d) || !(d > 0) || d > 1000) {
                 reason = "--fit-beta: " + v.text + ": a body-chamber length in radii above 0 (at most 1000)";
                 return false;
             }
             return o.fitBeta = d, true;
         }},
        {"fit-out", path(o.fitOut)},
        {"film-size",
         [&](const OptionValue& v) {
             o.filmSettingsGiven = true;
             if (ParseFilmSize(v.text, o.film.width, o.film.height)) return true;
             reason = "--film-size: " + v.text + ": it must be WIDTHxHEIGHT in pixels, such as 1280x720";
             return false;
         }},
        {"film-fps",
         [&](const OptionValue& v) {
             o.filmSettingsGiven = true;
             double d = 0;
             if (!tryParseWholeNumber(v.text, d) || d != std::floor(d) || d < 1 || d > kFilmMaxFps) {
                 reason = "--film-fps: " + v.text + ": it must be a whole number of frames per second from 1 to " +
                          std::to_string(kFilmMaxFps);
                 return false;
             }
             return o.film.fps = static_cast<int>(d), true;
         }},
        {"film-seconds",
         [&](const OptionValue& v) {
             o.filmSettingsGiven = true;
             double d = 0;
             if (!tryParseWholeNumber(v.text, d) || !(d > 0) || d > kFilmMaxSeconds) {
                 reason = "--film-seconds: " + v.text + ": it must be a number of seconds above 0 and at most " +
                          formatNumber(kFilmMaxSeconds);
                 return false;
             }
             return o.film.seconds = d, true;
         }},
        {"sweep-out", path(o.sweepOut)},
        {"jobs", [&](const OptionValue& v) { return o.jobs = static_cast<int>(v.numbers[0]), true; }},
        {"help", [&](const OptionValue&) { return o.help = true; }},
        {"version", [&](const OptionValue&) { return o.version = true; }},
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
        const OptionEntry* entry = nullptr;
        if (name == "-h")
            entry = FindOption(name, kBatchOption);
        else if (name.rfind("--", 0) == 0)
            entry = FindOption(name.substr(2), kBatchOption);
        const auto store = entry ? stores.find(entry->name) : stores.end();
        if (store == stores.end()) {
            error = "unknown argument '" + args[i] + "' (see --help)";
            return false;
        }
        if (entry->type == OptionType::Flag) {
            if (value) {
                error = "option " + name + " takes no value";
                return false;
            }
            value = "";
        } else if (!value) {
            if (i + 1 >= args.size()) {
                error = "option " + name + " needs a value";
                return false;
            }
            value = args[++i];
        }
        OptionValue read;
        if (!ReadOptionText(*entry, name, *value, read, reason) || !store->second(read)) {
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
           "\n" +
           BatchOptionsUsage() +
           "\n"
           "The PNG, the SVG and the mesh sidecar carry the scenario that made them\n"
           "(see --scenario-from).\n"
           "\n"
           "Output targets: FILE may be - for the standard output. A regular file is\n"
           "written under a temporary name in its folder and moved into place only when\n"
           "complete; a file that cannot be written keeps its old contents. A symbolic\n"
           "link is written through; a file with other hard links is written in place\n"
           "once the new contents are complete, so every name sees them. A device, a\n"
           "FIFO or a pipe (/dev/null, /dev/stdout, /dev/stderr, /dev/fd/N) is written\n"
           "through, each write checked, and a file the standard output already goes to\n"
           "(--tables /dev/stdout > out.csv, or >>) is written through the standard\n"
           "output, so nothing printed there is lost. A folder, or a file you may not\n"
           "write, is refused. The meshes are a set of files and need a folder: -, a\n"
           "device or a FIFO is refused; the set is put in place together, the sidecar\n"
           "last with each mesh file's size and checksum as cksum prints them.\n"
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
