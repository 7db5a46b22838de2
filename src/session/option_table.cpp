#include "session/option_table.h"

#include <algorithm>
#include <cmath>

namespace ammonite {

namespace {

const char* const kBefore = "Before the run (applied after the main window's defaults are loaded):";
const char* const kFit = "Fitting a specimen (see docs/fitting.md):";
const char* const kActions = "Actions:";
const char* const kResults = "Results:";
const char* const kFilms = "Films of the grown shell (after the last run):";
const char* const kSweeps = "Morphospace sweeps:";


OptionEntry batchPath(const char* name, const char* metavar, const char* help) {
    OptionEntry e;
    e.name = name;
    e.type = OptionType::Path;
    e.uses = kBatchOption;
    e.metavar = metavar;
    e.help = help;
    e.group = kResults;
    return e;
}

OptionEntry sweepInput(const char* name, SweepTarget target, OptionType type, ValueRange range, const char* unit,
                       const char* help, const std::string& menuFrom, const std::string& menuTo, int menuRank) {
    OptionEntry e;
    e.name = name;
    e.type = type;
    e.uses = kSweepInput;
    e.unit = unit;
    e.ranges = {range};
    e.help = help;
    e.target = target;
    e.menuFrom = menuFrom;
    e.menuTo = menuTo;
    e.menuRank = menuRank;
    return e;
}

std::vector<OptionEntry> buildTable() {
    std::vector<OptionEntry> t;
    auto add = [&t](OptionEntry e) -> OptionEntry& {
        t.push_back(std::move(e));
        return t.back();
    };
    const unsigned both = kBatchOption | kGrowKeyword;
    // ---- before the run ----
    {
        OptionEntry& e = add({});
        e.name = "stages", e.type = OptionType::BoxText, e.uses = both, e.ranges = {kStageBoxRange}, e.rounds = true;
        e.metavar = "TEXT", e.help = "text typed into the stage box (NUMtxt)", e.group = kBefore;
    }
    {
        OptionEntry& e = add({});
        e.name = "scale", e.type = OptionType::BoxText, e.uses = both, e.ranges = {kScaleBoxRange};
        e.unit = "pixels per model unit", e.defaultText = "2";
        e.metavar = "TEXT", e.help = "text typed into the scale box (SCLtxt)", e.group = kBefore;
    }
    {
        OptionEntry& e = add({});
        e.name = "view", e.type = OptionType::Numbers, e.uses = both, e.count = 3, e.ranges = {kModelFieldRange};
        e.defaultText = "0,1,0", e.metavar = "X,Y,Z", e.help = "view direction", e.group = kBefore;
    }
    {
        OptionEntry& e = add({});
        e.name = "light", e.type = OptionType::Numbers, e.uses = both, e.count = 3, e.ranges = {kModelFieldRange};
        e.defaultText = "1,0,1", e.metavar = "X,Y,Z", e.help = "light direction of the shaded rendering";
        e.group = kBefore;
    }
    {
        OptionEntry& e = add({});
        e.name = "origin", e.type = OptionType::Numbers, e.uses = both, e.count = 2, e.ranges = {kModelFieldRange};
        e.unit = "pixels", e.defaultText = "500,650", e.metavar = "X,Y", e.help = "drawing origin in pixels";
        e.group = kBefore;
    }
    {
        OptionEntry& e = add({});
        e.name = "densities", e.type = OptionType::Numbers, e.uses = both, e.count = 2;
        e.ranges = {{0, HUGE_VAL}}, e.rangeRule = "a density cannot be negative";
        e.unit = "g/cm3", e.defaultText = "0.6,1.3", e.metavar = "A,B";
        e.help = "densities of the air chamber and the body chamber\n(g/cm3, not negative)", e.group = kBefore;
    }
    {
        OptionEntry& e = add({});
        e.name = "orientation", e.type = OptionType::Switch, e.uses = both, e.choices = {"on", "off"};
        e.defaultText = "on", e.metavar = "on|off", e.help = "life orientation", e.group = kBefore;
    }
    {
        OptionEntry& e = add({});
        e.name = "ribbing", e.type = OptionType::Switch, e.uses = both, e.choices = {"on", "off"};
        e.defaultText = "on", e.metavar = "on|off", e.help = "ribs in the shaded rendering", e.group = kBefore;
    }
    {
        OptionEntry& e = add({});
        e.name = "thresholds", e.type = OptionType::Wholes, e.uses = both, e.count = 4;
        e.ranges = {kSizeBarRange, kSizeBarRange, kFatigueBarRange, kFatigueBarRange};
        e.labels = {"ST1", "ST2", "FT1", "FT2"};
        e.defaultText = "200,300,0,0", e.metavar = "ST1,ST2,FT1,FT2", e.group = kBefore;
        e.help = "positions of the threshold bars ST1hsc, ST2hsc (" + RangeText(kSizeBarRange) +
                 ")\nand FT1vsc, FT2vsc (" + RangeText(kFatigueBarRange) +
                 "); the bars are moved before\nthe first START, so their own chart redraw, which needs a\n"
                 "run, is not counted as an error";
    }
    {
        OptionEntry& e = add({});
        e.name = "profiles", e.type = OptionType::Path, e.uses = both, e.metavar = "FILE", e.group = kBefore;
        e.help = "profile data file read before the first run, as the\nprofile window loads it (its final stage "
                 "becomes the\nstage count unless --stages is given); a regular\nfile of at most 1 MiB";
    }
    {
        OptionEntry& e = add({});
        e.name = "scenario", e.type = OptionType::Path, e.uses = kBatchOption, e.metavar = "FILE", e.group = kBefore;
        e.help = "scenario file (TOML, see docs/scenario.md) grown from a\nfresh start; the other options override "
                 "its values";
    }
    {
        OptionEntry& e = add({});
        e.name = "scenario-from", e.type = OptionType::Path, e.uses = kBatchOption, e.metavar = "FILE";
        e.group = kBefore;
        e.help = "the scenario a PNG, SVG or mesh sidecar (_volumes.txt)\nwritten by this program carries, as "
                 "--scenario";
    }
    // ---- the fit to a measured specimen: the numbers are read by the fit's own checks ----
    add(batchPath("fit", "SPECIMEN.csv",
                  "fit the profiles to a measured specimen (x_mm,y_mm[,z_mm]\n[,radius_mm][,mark]); the fitted shell "
                  "is then run and\nevery output below describes it; the fit's verdict,\nRMS and transform join the "
                  "summary"))
        .group = kFit;
    add(batchPath("fit-knots", "N", "control points per profile, 4..12 (default 6)")).group = kFit;
    add(batchPath("fit-budget", "SECONDS", "stop the search after this time (default: its budget\nof engine runs only)"))
        .group = kFit;
    add(batchPath("fit-beta", "B", "body-chamber length in radii (default: from the marked\nlast septum, else 12)"))
        .group = kFit;
    add(batchPath("fit-out", "FILE.csv", "distance of every measured point to the fitted tube")).group = kFit;
    // ---- actions ----
    {
        OptionEntry& e = add({});
        e.name = "runs", e.type = OptionType::Wholes, e.uses = both, e.ranges = {kRunsRange};
        e.defaultText = "1", e.metavar = "K", e.help = "press START K times (default 1)", e.group = kActions;
    }
    {
        OptionEntry& e = add({});
        e.name = "shade", e.type = OptionType::Flag, e.uses = both, e.defaultText = "off";
        e.help = "press SHADE after the last run", e.group = kActions;
    }
    // ---- results ----
    add(batchPath("tables", "FILE.csv", "per-stage tables of the last run"));
    add(batchPath("log", "FILE.txt", "regulation log (UTF-8)"));
    add(batchPath("summary", "FILE.txt", "key=value summary (default: standard output)"));
    add(batchPath("png", "FILE.png", "the main window's drawing after the last action"));
    add(batchPath("save-profiles", "FILE", "profile data file of the model after the runs"));
    add(batchPath("save-scenario", "FILE",
                  "the scenario after the options, as a scenario file\n(with --sweep: the part every grid point shares)"));
    add(batchPath("svg", "FILE.svg", "the same drawing as vector graphics"));
    add(batchPath("stl", "FILE.stl",
                  "the grown shell as binary STL meshes, one file per\nobject: FILE_phragmocone.stl, "
                  "FILE_body_chamber.stl,\nand their volumes and densities in FILE_volumes.txt"));
    add(batchPath("ply", "FILE.ply", "the same as binary PLY meshes"));
    add(batchPath("obj", "FILE.obj", "the same as one OBJ file with two groups"));
    {
        OptionEntry& e = add({});
        e.name = "mesh-scale", e.type = OptionType::Numbers, e.uses = kBatchOption, e.ranges = {kMeshScaleRange};
        e.unit = "mm", e.defaultText = "1", e.metavar = "MM", e.group = kResults;
        e.help = "millimetres per model unit of the meshes (default 1)";
    }
    {
        OptionEntry& e = add({});
        e.name = "mesh-ring-points", e.type = OptionType::Wholes, e.uses = kBatchOption;
        e.ranges = {kMeshRingPointsRange}, e.divides = kMeshRingPointsDivide;
        e.defaultText = "360", e.metavar = "N", e.group = kResults;
        e.help = "points per ring of the meshes, a divisor of 360\n(default 360, as the shaded rendering builds them)";
    }
    // ---- films: the texts are read by the film's own parsers, which say what is wrong ----
    add(batchPath("film", "FILE",
                  "the shell growing in its life orientation as a video:\nFILE.mp4 (H.264), FILE.webm (VP9) or "
                  "FILE.gif, encoded\nby the ffmpeg program (apt-get install ffmpeg)"))
        .group = kFilms;
    add(batchPath("film-frames", "FOLDER", "the same frames as numbered PNG files\n(frame_00001.png, ...); needs no ffmpeg"))
        .group = kFilms;
    add(batchPath("film-kind", "KIND",
                  "growth (stage 1 to the last), turntable (one turn\nabout the vertical at the last stage) or "
                  "both\n(default growth)"))
        .group = kFilms;
    add(batchPath("film-size", "WxH", "frame size in pixels, both even (default 1280x720)")).group = kFilms;
    add(batchPath("film-fps", "N", "frames per second, 1..120 (default 30)")).group = kFilms;
    add(batchPath("film-seconds", "S",
                  "duration in seconds, up to 600 (default 10);\nprogress is shown on standard error"))
        .group = kFilms;
    // ---- sweeps ----
    {
        OptionEntry& e = add({});
        e.name = "sweep", e.type = OptionType::SweepAxis, e.uses = kBatchOption;
        e.ranges = {kSweepStepsRange}, e.metavar = "NAME=FROM:TO:STEPS", e.group = kSweeps;
        // The sweep inputs' names are filled in below, once they are in the table.
    }
    add(batchPath("sweep-out", "FILE.csv",
                  "one row per grid point (default: standard output);\nprogress is shown on standard error"))
        .group = kSweeps;
    {
        OptionEntry& e = add({});
        e.name = "jobs", e.type = OptionType::Wholes, e.uses = kBatchOption, e.ranges = {kJobsRange};
        e.defaultText = "0", e.metavar = "N", e.help = "threads of a sweep (default: all cores)", e.group = kSweeps;
    }
    {
        OptionEntry& e = add({});
        e.name = "help", e.type = OptionType::Flag, e.uses = kBatchOption, e.alias = "-h";
        e.help = "this text", e.group = kSweeps;
    }
    {
        OptionEntry& e = add({});
        e.name = "version", e.type = OptionType::Flag, e.uses = kBatchOption;
        e.help = "the program's name and version", e.group = kSweeps;
    }

    // ---- what a sweep point can set, in the order the usage text names them ----
    using T = OptionType;
    // MORPHO's menu offers a fatigue bar over its whole run.
    const std::string fatigueBarsFrom = formatNumber(kFatigueBarRange.lo);
    const std::string fatigueBarsTo = formatNumber(kFatigueBarRange.hi);
    add(sweepInput("stages", SweepTarget::Stages, T::Wholes, kStageCountRange, "",
                   "stage count typed into the stage box", "200", "1700", 8));
    add(sweepInput("alpha", SweepTarget::Alpha, T::Numbers, kAlphaRange, "",
                   "radius ratio per stage up to stage 200, set before every START", "1.002", "1.008", 1));
    add(sweepInput("density_air", SweepTarget::DensityAir, T::Numbers, kDensityRange, "g/cm3",
                   "density of the air chamber", "0.2", "1", 3));
    add(sweepInput("density_body", SweepTarget::DensityBody, T::Numbers, kDensityRange, "g/cm3",
                   "density of the body chamber", "1", "1.6", 2));
    add(sweepInput("st1", SweepTarget::St1, T::Wholes, kSizeBarRange, "", "position of the threshold bar ST1",
                   "100", "400", 4));
    add(sweepInput("st2", SweepTarget::St2, T::Wholes, kSizeBarRange, "", "position of the threshold bar ST2",
                   "200", "500", 5));
    add(sweepInput("ft1", SweepTarget::Ft1, T::Wholes, kFatigueBarRange, "", "position of the threshold bar FT1",
                   fatigueBarsFrom, fatigueBarsTo, 6));
    add(sweepInput("ft2", SweepTarget::Ft2, T::Wholes, kFatigueBarRange, "", "position of the threshold bar FT2",
                   fatigueBarsFrom, fatigueBarsTo, 7));
    add(sweepInput("gamma", SweepTarget::Gamma, T::Numbers, kProfileValueRange, "",
                   "the profile γ made constant", "2", "6", 9));
    add(sweepInput("C", SweepTarget::Curvature, T::Numbers, kProfileValueRange, "",
                   "the curvature profile made constant", "0", "1", 10));
    add(sweepInput("T", SweepTarget::Torsion, T::Numbers, kProfileValueRange, "",
                   "the torsion profile made constant", "-0.5", "0.5", 11));
    add(sweepInput("beta", SweepTarget::Beta, T::Numbers, kProfileValueRange, "",
                   "the profile β made constant", "6", "18", 12));

    std::string names;
    for (const OptionEntry& e : t) {
        if (!(e.uses & kSweepInput)) continue;
        if (!names.empty()) names += ", ";
        names += e.name;
    }
    for (OptionEntry& e : t) {
        if (e.name != "sweep") continue;
        e.help = "run the model for STEPS evenly spaced values of NAME\nfrom FROM to TO (both included); give it "
                 "twice for a\ngrid. NAME is one of: " + names +
                 "\n(st1..ft2: threshold bar positions; gamma, C, T, beta:\nthe profile made constant). Every grid "
                 "point is an\nindependent model; the points run on all cores.\nA grid has at most " +
                 std::to_string(kMaxSweepPoints) + " points.";
    }
    return t;
}

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

}  // namespace

const ValueRange* OptionEntry::rangeOf(size_t i) const {
    if (ranges.empty()) return nullptr;
    return ranges.size() == 1 ? &ranges[0] : &ranges[i < ranges.size() ? i : ranges.size() - 1];
}

std::string OptionEntry::oneLineHelp() const {
    std::string out = help;
    for (char& c : out)
        if (c == '\n') c = ' ';
    return out;
}

const std::vector<OptionEntry>& OptionTable() {
    static const std::vector<OptionEntry> table = buildTable();
    return table;
}

const OptionEntry* FindOption(const std::string& name, OptionUse use) {
    for (const OptionEntry& e : OptionTable()) {
        if (!(e.uses & use)) continue;
        if (e.name == name || (use == kBatchOption && !e.alias.empty() && e.alias == name)) return &e;
    }
    return nullptr;
}

std::vector<const OptionEntry*> OptionsFor(OptionUse use) {
    std::vector<const OptionEntry*> out;
    for (const OptionEntry& e : OptionTable())
        if (e.uses & use) out.push_back(&e);
    return out;
}

std::vector<const OptionEntry*> MorphoMenuInputs() {
    std::vector<const OptionEntry*> out = OptionsFor(kSweepInput);
    std::stable_sort(out.begin(), out.end(),
                     [](const OptionEntry* a, const OptionEntry* b) { return a->menuRank < b->menuRank; });
    return out;
}

const OptionEntry* SweepInput(SweepTarget target) {
    for (const OptionEntry& e : OptionTable())
        if ((e.uses & kSweepInput) && e.target == target) return &e;
    return nullptr;
}

bool ReadOptionText(const OptionEntry& e, const std::string& field, const std::string& text, OptionValue& value,
                    std::string& reason) {
    reason.clear();
    value = OptionValue{};
    value.text = text;
    switch (e.type) {
    case OptionType::Flag: value.on = true; return true;
    case OptionType::Path: return !text.empty();
    case OptionType::SweepAxis: return true;  // read by the sweep's own parser, which says what is wrong
    case OptionType::Switch:
        for (size_t i = 0; i < e.choices.size(); ++i) {
            if (text == e.choices[i]) {
                value.on = i == 0;
                return true;
            }
        }
        return false;
    case OptionType::BoxText:
        // Refused here when the box would refuse it, naming the field and the range.
        try {
            const ValueRange& r = *e.rangeOf(0);
            value.numbers = {ReadTypedNumber(field, text, r.lo, r.hi, e.rounds)};
            return true;
        } catch (const RuntimeError& error) {
            reason = error.what();
            return false;
        }
    case OptionType::Numbers:
    case OptionType::Wholes: {
        const std::vector<std::string> parts = splitCommas(text);
        if (parts.size() != static_cast<size_t>(e.count)) return false;
        // Every value is read before any range is checked.
        for (const std::string& part : parts) {
            double v = 0;
            if (!tryParseWholeNumber(part, v)) return false;
            if (e.whole() && v != std::floor(v)) return false;
            value.numbers.push_back(v);
        }
        for (size_t i = 0; i < value.numbers.size(); ++i) {
            const double v = value.numbers[i];
            const ValueRange* r = e.rangeOf(i);
            if (r && !r->contains(v)) {
                if (!e.rangeRule.empty()) reason = field + ": " + text + ": " + e.rangeRule;
                return false;
            }
            if (e.divides != 0 && std::fmod(static_cast<double>(e.divides), v) != 0) return false;
        }
        return true;
    }
    }
    return false;
}

std::string RangeText(const ValueRange& range) { return formatNumber(range.lo) + ".." + formatNumber(range.hi); }

std::string BatchOptionsUsage() {
    std::string out;
    std::string group;
    constexpr size_t kColumn = 23;  // the help column, after two blanks
    for (const OptionEntry* e : OptionsFor(kBatchOption)) {
        if (e->group != group) {
            group = e->group;
            out += group + '\n';
        }
        std::string head = "--" + e->name;
        if (!e->metavar.empty()) head += ' ' + e->metavar;
        std::vector<std::string> lines;
        std::string::size_type start = 0;
        for (;;) {
            const auto end = e->help.find('\n', start);
            lines.push_back(e->help.substr(start, end == std::string::npos ? std::string::npos : end - start));
            if (end == std::string::npos) break;
            start = end + 1;
        }
        const std::string indent(2 + kColumn, ' ');
        if (head.size() + 2 <= kColumn)
            out += "  " + head + std::string(kColumn - head.size(), ' ') + lines[0] + '\n';
        else
            out += "  " + head + '\n' + indent + lines[0] + '\n';
        for (size_t i = 1; i < lines.size(); ++i) out += indent + lines[i] + '\n';
    }
    return out;
}

}  // namespace ammonite
