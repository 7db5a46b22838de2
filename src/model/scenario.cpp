#include "model/scenario.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <map>

#include "core/input_limits.h"
#include "core/stage_table.h"

namespace ammonite {

namespace {

// The limits are those of every other reader of the inputs (core/input_limits.h).
constexpr int kMaxPoints = ParameterProfile::kSlots;
// A fitted specimen's scale (0: no fit) and the stage of its first measured
// point, one of the profile-driven stages.
constexpr ValueRange kSpecimenScaleRange{0, 1e6};
constexpr ValueRange kFirstMeasuredStageRange{0, 200};

const char* const kProfileKeys[4] = {"gamma", "C", "T", "beta"};

// Shortest text that reads back as the same double.
std::string exactText(double v) {
    if (v == std::floor(v) && std::fabs(v) < 9007199254740992.0) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.0f", v);
        return buf;
    }
    char buf[40];
    for (int digits = 15; digits <= 17; ++digits) {
        std::snprintf(buf, sizeof buf, "%.*g", digits, v);
        if (std::strtod(buf, nullptr) == v) break;
    }
    return buf;
}

// A limit as people write it: 1e12 rather than 1000000000000.
std::string limitText(double v) {
    if (v == std::floor(v) && std::fabs(v) >= 1e6 && std::fabs(v) < 1e18) {
        long long whole = static_cast<long long>(v);
        int zeros = 0;
        while (whole % 10 == 0) whole /= 10, ++zeros;
        if (zeros >= 6) return std::to_string(whole) + "e" + std::to_string(zeros);
    }
    return exactText(v);
}

std::string rangeText(const ValueRange& r) {
    const std::string text = "from " + limitText(r.lo) + " to " + limitText(r.hi);
    if (r.lowOpen && r.highOpen) return text + " (both excluded)";
    if (r.lowOpen || r.highOpen) return text + " (" + limitText(r.lowOpen ? r.lo : r.hi) + " excluded)";
    return text;
}

// A refusal: "WHERE: KEY = VALUE: WHAT IS ALLOWED".
struct Refusal {
    std::string where;
    std::string operator()(const std::string& key, const ScenarioValue& v, const std::string& allowed) const {
        return (where.empty() ? "" : where + ": ") + key + " = " + v.shown() + ": " + allowed;
    }
};

// A number: an integer or a float, or a text that is a whole valid number.
bool numberOf(const ScenarioValue& v, double& out) {
    switch (v.kind) {
    case ScenarioValue::Kind::Integer:
    case ScenarioValue::Kind::Float: out = v.number; return std::isfinite(out);
    case ScenarioValue::Kind::Text: return tryParseWholeNumber(v.text, out);
    default: return false;
    }
}

bool realIn(const ScenarioValue& v, const ValueRange& range, double& out) {
    double d = 0;
    if (!numberOf(v, d) || !range.contains(d)) return false;
    out = d;
    return true;
}

bool wholeIn(const ScenarioValue& v, const ValueRange& range, int& out) {
    double d = 0;
    if (!numberOf(v, d) || d != std::floor(d) || !range.contains(d)) return false;
    out = static_cast<int>(d);
    return true;
}

bool numbersIn(const ScenarioValue& v, size_t n, const ValueRange& range, double* out) {
    if (v.kind != ScenarioValue::Kind::List || v.items.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (!realIn(v.items[i], range, out[i])) return false;
    return true;
}

bool flagOf(const ScenarioValue& v, bool& out) {
    if (v.kind != ScenarioValue::Kind::Bool) return false;
    out = v.flag;
    return true;
}

// A profile's points as given; their order and ends are checked with the
// final stage, once every key is known.
bool pointsOf(const ScenarioValue& v, std::vector<ScenarioPoint>& out, std::string& allowed) {
    allowed = "a list of 1 to " + std::to_string(kMaxPoints) + " [stage, value] pairs (stages " +
              rangeText(ValueRange{0, kMaxStage}) + ", values " + rangeText(kProfileValueRange) + ")";
    if (v.kind != ScenarioValue::Kind::List || v.items.empty() || v.items.size() > static_cast<size_t>(kMaxPoints))
        return false;
    std::vector<ScenarioPoint> points;
    for (const ScenarioValue& p : v.items) {
        double sv[2];
        if (p.kind != ScenarioValue::Kind::List || p.items.size() != 2) return false;
        if (!realIn(p.items[0], ValueRange{0, kMaxStage}, sv[0])) return false;
        if (!realIn(p.items[1], kProfileValueRange, sv[1])) return false;
        points.emplace_back(sv[0], sv[1]);
    }
    out = std::move(points);
    return true;
}

using Setter = std::function<bool(const ScenarioValue&, Scenario&, std::string& allowed)>;

struct KeyRule {
    ScenarioKey doc;
    Setter set;
    std::function<ScenarioValue(const Scenario&)> get;
};

ScenarioValue listOf(const double* v, size_t n) {
    std::vector<ScenarioValue> items;
    for (size_t i = 0; i < n; ++i) items.push_back(ScenarioValue::ofFloat(v[i]));
    return ScenarioValue::ofList(std::move(items));
}

ScenarioValue pointsValue(const std::vector<ScenarioPoint>& points) {
    std::vector<ScenarioValue> items;
    for (const ScenarioPoint& p : points)
        items.push_back(ScenarioValue::ofList({ScenarioValue::ofFloat(p.first), ScenarioValue::ofFloat(p.second)}));
    return ScenarioValue::ofList(std::move(items));
}

Setter text(std::string Scenario::*field) {
    return [field](const ScenarioValue& v, Scenario& s, std::string& allowed) {
        allowed = "a text";
        if (v.kind != ScenarioValue::Kind::Text) return false;
        s.*field = v.text;
        return true;
    };
}

Setter real(double Scenario::*field, ValueRange range, const char* what) {
    return [=](const ScenarioValue& v, Scenario& s, std::string& allowed) {
        allowed = std::string("must be ") + what + " " + rangeText(range);
        return realIn(v, range, s.*field);
    };
}

Setter whole(int Scenario::*field, ValueRange range) {
    return [=](const ScenarioValue& v, Scenario& s, std::string& allowed) {
        allowed = "must be a whole number " + rangeText(range);
        return wholeIn(v, range, s.*field);
    };
}

template <size_t N>
Setter reals(std::array<double, N> Scenario::*field, ValueRange range) {
    return [=](const ScenarioValue& v, Scenario& s, std::string& allowed) {
        allowed = "must be " + std::to_string(N) + " numbers, each " + rangeText(range);
        std::array<double, N> a{};
        if (!numbersIn(v, N, range, a.data())) return false;
        s.*field = a;
        return true;
    };
}

Setter flag(bool Scenario::*field) {
    return [field](const ScenarioValue& v, Scenario& s, std::string& allowed) {
        allowed = "must be true or false";
        return flagOf(v, s.*field);
    };
}

Setter points(int index) {
    return [index](const ScenarioValue& v, Scenario& s, std::string& allowed) {
        return pointsOf(v, s.profile(index), allowed);
    };
}

KeyRule rule(const char* name, const char* unit, const char* help, Setter set,
             std::function<ScenarioValue(const Scenario&)> get) {
    KeyRule r;
    r.doc.name = name;
    r.doc.unit = unit;
    r.doc.help = help;
    r.set = std::move(set);
    r.get = std::move(get);
    return r;
}

const std::vector<KeyRule>& rules() {
    static const std::vector<KeyRule> table = [] {
        std::vector<KeyRule> r;
        auto textGet = [](std::string Scenario::*f) {
            return [f](const Scenario& s) { return ScenarioValue::ofText(s.*f); };
        };
        auto realGet = [](double Scenario::*f) {
            return [f](const Scenario& s) { return ScenarioValue::ofFloat(s.*f); };
        };
        auto wholeGet = [](int Scenario::*f) {
            return [f](const Scenario& s) { return ScenarioValue::ofInteger(s.*f); };
        };
        auto flagGet = [](bool Scenario::*f) {
            return [f](const Scenario& s) { return ScenarioValue::ofBool(s.*f); };
        };
        r.push_back(rule("format", "", "version of the scenario file",
                     [](const ScenarioValue& v, Scenario&, std::string& allowed) {
                         int f = 0;
                         allowed = "this program reads format " + std::to_string(kScenarioFormat);
                         return wholeIn(v, ValueRange{kScenarioFormat, kScenarioFormat}, f);
                     },
                     [](const Scenario&) { return ScenarioValue::ofInteger(kScenarioFormat); }));
        r.push_back(rule("name", "", "short name of the shell, shown in the window title",
                     text(&Scenario::name), textGet(&Scenario::name)));
        r.push_back(rule("heading", "", "one-line heading (the gallery shows it)",
                     text(&Scenario::heading), textGet(&Scenario::heading)));
        r.push_back(rule("description", "", "what the form shows (the gallery shows it)",
                     text(&Scenario::description), textGet(&Scenario::description)));
        r.push_back(rule("alpha", "ratio", "α: ratio of the tube radius from one stage to the next up to stage 200",
                     real(&Scenario::alpha, kAlphaRange, "a number"), realGet(&Scenario::alpha)));
        r.push_back(rule("final_stage", "stage", "last stage of the profiles (the first is 0)",
                     whole(&Scenario::finalStage, kFinalStageRange), wholeGet(&Scenario::finalStage)));
        const char* profileHelp[4] = {"γ profile: [[stage, value], ...]", "C (curvature) profile, per tube radius",
                                      "T (torsion) profile, per tube radius", "β profile: body-chamber length in radii"};
        for (int i = 0; i < 4; ++i)
            r.push_back(rule(kProfileKeys[i], "", profileHelp[i],
                         points(i), [i](const Scenario& s) { return pointsValue(s.profile(i)); }));
        r.push_back(rule("stages", "stages", "stage count typed into the STAGE box (a run stops at final_stage)",
                     whole(&Scenario::stages, kStageCountRange), wholeGet(&Scenario::stages)));
        r.push_back(rule("runs", "", "how many times START is pressed",
                     whole(&Scenario::runs, kRunsRange), wholeGet(&Scenario::runs)));
        r.push_back(rule("shade", "", "SHADE pressed after the last START", flag(&Scenario::shade),
                     flagGet(&Scenario::shade)));
        r.push_back(rule("scale", "picture units per model unit", "drawing scale (the SCALE box)",
                     real(&Scenario::scale, kScaleBoxRange, "a number"), realGet(&Scenario::scale)));
        r.push_back(rule("origin", "picture units", "[x, y] of the model origin on the picture",
                     reals(&Scenario::origin, kModelFieldRange),
                     [](const Scenario& s) { return listOf(s.origin.data(), 2); }));
        r.push_back(rule("view", "direction", "[x, y, z] view direction",
                     reals(&Scenario::view, kModelFieldRange),
                     [](const Scenario& s) { return listOf(s.view.data(), 3); }));
        r.push_back(rule("light", "direction", "[x, y, z] light direction of SHADE",
                     reals(&Scenario::light, kModelFieldRange),
                     [](const Scenario& s) { return listOf(s.light.data(), 3); }));
        r.push_back(rule("density_air", "g/cm³", "density of the air chamber (phragmocone)",
                     real(&Scenario::densityAir, kDensityRange, "a density"), realGet(&Scenario::densityAir)));
        r.push_back(rule("density_body", "g/cm³", "density of the body chamber",
                     real(&Scenario::densityBody, kDensityRange, "a density"), realGet(&Scenario::densityBody)));
        r.push_back(rule("ribbing", "", "ribs in the shaded rendering", flag(&Scenario::ribbing),
                     flagGet(&Scenario::ribbing)));
        r.push_back(rule("orientation", "", "life orientation", flag(&Scenario::orientation),
                     flagGet(&Scenario::orientation)));
        r.push_back(rule("st1", "size ×100", "position of the ST1 bar (size low = st1/100)",
                     whole(&Scenario::st1, kSizeBarRange), wholeGet(&Scenario::st1)));
        r.push_back(rule("st2", "size ×100", "position of the ST2 bar (size high = st2/100)",
                     whole(&Scenario::st2, kSizeBarRange), wholeGet(&Scenario::st2)));
        r.push_back(rule("ft1", "fatigue ×100", "position of the FT1 bar (fatigue at size low)",
                     whole(&Scenario::ft1, kFatigueBarRange), wholeGet(&Scenario::ft1)));
        r.push_back(rule("ft2", "fatigue ×100", "position of the FT2 bar (fatigue at size high)",
                     whole(&Scenario::ft2, kFatigueBarRange), wholeGet(&Scenario::ft2)));
        // Written only when a fit set them (ScenarioToml leaves out a 0).
        r.push_back(rule("mm_per_unit", "mm per model unit",
                     "scale of the specimen the profiles were fitted to (0: none)",
                     real(&Scenario::mmPerUnit, kSpecimenScaleRange, "a number"), realGet(&Scenario::mmPerUnit)));
        r.push_back(rule("first_measured_stage", "stage",
                     "stage of the fitted specimen's first measured point (0: from the apex, or no fit)",
                     whole(&Scenario::firstMeasuredStage, kFirstMeasuredStageRange),
                     wholeGet(&Scenario::firstMeasuredStage)));
        // What each key allows, as its own check words it.
        for (KeyRule& rule : r) {
            Scenario scratch;
            std::string allowed;
            rule.set(ScenarioValue::ofList({}), scratch, allowed);
            const std::string mustBe = "must be ";
            if (allowed.compare(0, mustBe.size(), mustBe) == 0) allowed = allowed.substr(mustBe.size());
            rule.doc.allowed = allowed;
        }
        return r;
    }();
    return table;
}

// The order and ends of every profile against the final stage.
bool checkProfiles(const Scenario& s, std::string& error, const std::string& where) {
    const std::string prefix = where.empty() ? "" : where + ": ";
    for (int i = 0; i < 4; ++i) {
        const auto& p = s.profile(i);
        const std::string name = kProfileKeys[i];
        if (p.empty() || p.size() > static_cast<size_t>(kMaxPoints)) {
            error = prefix + name + " has " + std::to_string(p.size()) + " points: a profile has 1 to " +
                    std::to_string(kMaxPoints);
            return false;
        }
        for (const ScenarioPoint& pt : p) {
            if (!std::isfinite(pt.first) || !std::isfinite(pt.second) || !kProfileValueRange.contains(pt.second) ||
                pt.first < 0 || pt.first > s.finalStage) {
                error = prefix + name + ": point [" + exactText(pt.first) + ", " + exactText(pt.second) +
                        "]: stages run from 0 to final_stage (" + std::to_string(s.finalStage) +
                        "), values " + rangeText(kProfileValueRange);
                return false;
            }
        }
        if (p.front().first != 0) {
            error = prefix + name + " starts at stage " + exactText(p.front().first) + ": a profile starts at stage 0";
            return false;
        }
        for (size_t k = 1; k < p.size(); ++k) {
            if (p[k].first < p[k - 1].first) {
                error = prefix + name + ": stage " + exactText(p[k].first) + " follows stage " +
                        exactText(p[k - 1].first) + ": stages must not decrease";
                return false;
            }
        }
        if (p.size() > 1 && p.back().first != s.finalStage) {
            error = prefix + name + " ends at stage " + exactText(p.back().first) +
                    ": a profile ends at final_stage (" + std::to_string(s.finalStage) + ")";
            return false;
        }
    }
    return true;
}

}  // namespace

bool ProfileValueAllowed(double value) { return kProfileValueRange.contains(value); }

std::string ProfileValueRangeText() { return limitText(kProfileValueRange.lo) + " to " + limitText(kProfileValueRange.hi); }

std::vector<ScenarioPoint>& Scenario::profile(int index) {
    switch (index) {
    case 0: return gamma;
    case 1: return curvature;
    case 2: return torsion;
    default: return beta;
    }
}

const std::vector<ScenarioPoint>& Scenario::profile(int index) const {
    return const_cast<Scenario*>(this)->profile(index);
}

bool Scenario::operator==(const Scenario& o) const {
    return name == o.name && heading == o.heading && description == o.description && alpha == o.alpha &&
           finalStage == o.finalStage && gamma == o.gamma && curvature == o.curvature && torsion == o.torsion &&
           beta == o.beta && stages == o.stages && runs == o.runs && shade == o.shade && scale == o.scale &&
           origin == o.origin && view == o.view && light == o.light && densityAir == o.densityAir &&
           densityBody == o.densityBody && ribbing == o.ribbing && orientation == o.orientation && st1 == o.st1 &&
           st2 == o.st2 && ft1 == o.ft1 && ft2 == o.ft2 && mmPerUnit == o.mmPerUnit &&
           firstMeasuredStage == o.firstMeasuredStage;
}

ScenarioValue ScenarioValue::ofBool(bool b) {
    ScenarioValue v;
    v.kind = Kind::Bool;
    v.flag = b;
    return v;
}
ScenarioValue ScenarioValue::ofInteger(double n) {
    ScenarioValue v;
    v.kind = Kind::Integer;
    v.number = n;
    return v;
}
ScenarioValue ScenarioValue::ofFloat(double n) {
    ScenarioValue v;
    v.kind = Kind::Float;
    v.number = n;
    return v;
}
ScenarioValue ScenarioValue::ofText(std::string t) {
    ScenarioValue v;
    v.kind = Kind::Text;
    v.text = std::move(t);
    return v;
}
ScenarioValue ScenarioValue::ofList(std::vector<ScenarioValue> items) {
    ScenarioValue v;
    v.kind = Kind::List;
    v.items = std::move(items);
    return v;
}

std::string ScenarioValue::shown() const {
    switch (kind) {
    case Kind::Bool: return flag ? "true" : "false";
    case Kind::Integer:
    case Kind::Float:
        if (std::isnan(number)) return "nan";
        if (std::isinf(number)) return number > 0 ? "inf" : "-inf";
        return exactText(number);
    case Kind::Text: return "\"" + text + "\"";
    case Kind::List: {
        std::string out = "[";
        for (size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + items[i].shown();
        return out + "]";
    }
    }
    return "";
}

const std::vector<ScenarioKey>& ScenarioKeys() {
    static const std::vector<ScenarioKey> keys = [] {
        std::vector<ScenarioKey> k;
        for (const KeyRule& r : rules()) k.push_back(r.doc);
        return k;
    }();
    return keys;
}

std::vector<std::string> ScenarioKeyNames() {
    std::vector<std::string> names;
    for (const KeyRule& r : rules()) names.push_back(r.doc.name);
    return names;
}

bool ApplyScenarioValues(const std::vector<std::pair<std::string, ScenarioValue>>& values, Scenario& into,
                         std::string& error, const std::string& where) {
    const Refusal refuse{where};
    Scenario s = into;
    for (const auto& [key, value] : values) {
        const KeyRule* rule = nullptr;
        for (const KeyRule& r : rules())
            if (key == r.doc.name) rule = &r;
        if (!rule) {
            std::string names;
            for (const KeyRule& r : rules()) names += (names.empty() ? "" : ", ") + std::string(r.doc.name);
            error = (where.empty() ? "" : where + ": ") + "unknown key '" + key + "' (keys: " + names + ")";
            return false;
        }
        std::string allowed;
        if (!rule->set(value, s, allowed)) {
            error = refuse(key, value, allowed);
            return false;
        }
    }
    if (!checkProfiles(s, error, where)) return false;
    into = std::move(s);
    return true;
}

bool CheckScenario(const Scenario& scenario, std::string& error) {
    // Every field goes through its key's rule, so code and files share them.
    Scenario copy = scenario;
    return ApplyScenarioValues(ScenarioValues(scenario), copy, error);
}

std::vector<std::pair<std::string, ScenarioValue>> ScenarioValues(const Scenario& scenario) {
    std::vector<std::pair<std::string, ScenarioValue>> out;
    for (const KeyRule& r : rules()) out.emplace_back(r.doc.name, r.get(scenario));
    return out;
}

void ApplyScenarioProfiles(const Scenario& s, ModelState& model) {
    model.alpha = s.alpha;
    model.stageRange = {0, static_cast<double>(s.finalStage)};
    ParameterProfile* targets[4] = {&model.gammaProfile, &model.curvatureProfile, &model.torsionProfile,
                                    &model.betaProfile};
    for (int i = 0; i < 4; ++i) {
        const auto& points = s.profile(i);
        ParameterProfile p;
        if (points.size() == 1) {
            // One point: the value holds over the whole stage range.
            p.count = 1;
            p.setPoint(0, 0, points[0].second);
            p.setPoint(1, s.finalStage, points[0].second);
        } else {
            p.count = static_cast<std::int16_t>(points.size() - 1);
            for (size_t k = 0; k < points.size(); ++k)
                p.setPoint(static_cast<int>(k), points[k].first, points[k].second);
        }
        *targets[i] = p;
    }
}

bool ScenarioProfilesFromModel(const ModelState& model, Scenario& into, std::string& error) {
    Scenario s = into;
    s.alpha = model.alpha;
    const double fin = model.stageRange[1];
    if (model.stageRange[0] != 0 || !(fin >= 1 && fin <= kMaxStage) || fin != std::floor(fin)) {
        error = "the stage range " + exactText(model.stageRange[0]) + ".." + exactText(fin) +
                " is not one a scenario holds (from 0 to a whole final stage from 1 to 4000)";
        return false;
    }
    s.finalStage = static_cast<int>(fin);
    const ParameterProfile* sources[4] = {&model.gammaProfile, &model.curvatureProfile, &model.torsionProfile,
                                          &model.betaProfile};
    for (int i = 0; i < 4; ++i) {
        const ParameterProfile& p = *sources[i];
        if (p.count < 0 || p.count > ParameterProfile::kMaxCount) {
            error = std::string("the ") + kProfileKeys[i] + " profile has " + std::to_string(p.count) +
                    " segments (at most 50)";
            return false;
        }
        auto& points = s.profile(i);
        points.clear();
        for (int k = 0; k <= p.count; ++k)
            points.emplace_back(p.stages[static_cast<size_t>(k)], p.values[static_cast<size_t>(k)]);
    }
    if (!CheckScenario(s, error)) return false;
    into = std::move(s);
    return true;
}

}  // namespace ammonite
