// A scenario: everything that defines a grown shell, as one value. The four
// profiles with α and the final stage, the stage count, the settings of the
// settings window, the positions of the four threshold bars, how many times
// START is pressed and whether SHADE follows. Growing a scenario always
// starts from the main window's load step, so a scenario gives the same
// shell wherever it is grown and whatever was grown before.
//
// Every input is checked before anything runs: numbers are finite and fit
// the field that stores them, counts are whole numbers in their range, and a
// profile has 1..51 points with non-decreasing stages from stage 0 to the
// final stage (one point means a constant). A refusal names the input, the
// value given and what is allowed.
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "model/model_state.h"

namespace ammonite {

// Whether a profile value is one a scenario (and the profile window) takes:
// finite and within -1e12..1e12, well inside what the four-decimal tables hold.
bool ProfileValueAllowed(double value);
// Those values as a message names them ("-1e12 to 1e12").
std::string ProfileValueRangeText();

// The version of the scenario file this program writes and reads.
constexpr int kScenarioFormat = 1;

// One control point of a profile: (stage, value).
using ScenarioPoint = std::pair<double, double>;

struct Scenario {
    // Free texts: a short name (shown in the window title), a heading and a
    // description (the gallery shows both). They do not change the shell.
    std::string name, heading, description;

    // ---- profiles ----
    double alpha = 1.005;      // radius ratio per stage up to stage 200
    int finalStage = 3000;     // last stage of the profiles (first is 0)
    std::vector<ScenarioPoint> gamma{{0, 4}, {3000, 4}};
    std::vector<ScenarioPoint> curvature{{0, 1},    {90, 1},    {91, 0},   {176, 0},
                                         {177, 0.93}, {190, 0.93}, {191, 0}, {3000, 0}};
    std::vector<ScenarioPoint> torsion{{0, 0}, {3000, 0}};
    std::vector<ScenarioPoint> beta{{0, 12}, {3000, 12}};

    // ---- the run ----
    int stages = 1700;         // stage count typed into the STAGE box
    int runs = 1;              // STARTs pressed one after the other
    bool shade = false;        // SHADE pressed after the last START

    // ---- settings ----
    double scale = 2;          // drawing scale, picture units per model unit
    std::array<double, 2> origin{500, 650};
    std::array<double, 3> view{0, 1, 0};
    std::array<double, 3> light{1, 0, 1};
    double densityAir = 0.6;   // g/cm³, the air chamber (phragmocone)
    double densityBody = 1.3;  // g/cm³, the body chamber
    bool ribbing = true;
    bool orientation = true;   // life orientation

    // ---- threshold bars (raw positions) ----
    int st1 = 200, st2 = 300;  // sizes ×100, 0..1000
    int ft1 = 0, ft2 = 0;      // fatigue thresholds ×100, -80..0

    // ---- the specimen a fit laid the shell over (0: none) ----
    // They do not change the shell; they say how it lies over the specimen.
    double mmPerUnit = 0;          // millimetres per model unit
    int firstMeasuredStage = 0;    // stage of the specimen's first measured point

    std::vector<ScenarioPoint>& profile(int index);              // 0 γ, 1 C, 2 T, 3 β
    const std::vector<ScenarioPoint>& profile(int index) const;

    bool operator==(const Scenario& o) const;
    bool operator!=(const Scenario& o) const { return !(*this == o); }
};

// A value as a reader gives it (a TOML file, a Python object), before it is
// checked. `given` is the value as the user wrote it, for messages.
struct ScenarioValue {
    enum class Kind { Bool, Integer, Float, Text, List };
    Kind kind = Kind::Integer;
    bool flag = false;
    double number = 0;
    std::string text;
    std::vector<ScenarioValue> items;

    static ScenarioValue ofBool(bool b);
    static ScenarioValue ofInteger(double n);
    static ScenarioValue ofFloat(double n);
    static ScenarioValue ofText(std::string t);
    static ScenarioValue ofList(std::vector<ScenarioValue> items);
    // The value written as the user would read it back (1200.5, "abc", [1, 2]).
    std::string shown() const;
};

// One key of the scenario: its name, unit, allowed values and help line (the
// documentation and the messages read them; each limit is written here once).
struct ScenarioKey {
    const char* name = "";
    const char* unit = "";
    std::string allowed;  // worded by the key's own check
    const char* help = "";
};
const std::vector<ScenarioKey>& ScenarioKeys();

// The names of the keys, in file order.
std::vector<std::string> ScenarioKeyNames();

// Sets the keys given in `values` on `into`, each checked on its own, then
// checks the whole (profiles against the final stage). On the first problem
// returns false with a one-line `error` naming the input, the value given and
// what is allowed; `into` is then left as it was. An unknown key is refused
// with its name. `where` prefixes the message (a file name, or "").
bool ApplyScenarioValues(const std::vector<std::pair<std::string, ScenarioValue>>& values, Scenario& into,
                         std::string& error, const std::string& where = "");

// Checks a whole scenario (as built in code); false with a one-line error.
bool CheckScenario(const Scenario& scenario, std::string& error);

// The values of a scenario, key by key, in file order (for Python and
// for the file writer).
std::vector<std::pair<std::string, ScenarioValue>> ScenarioValues(const Scenario& scenario);

// The profiles, α and final stage of a scenario put into a model as the
// profile window leaves them (a one-point profile becomes a constant over
// 0..final stage). The stage count is not touched.
void ApplyScenarioProfiles(const Scenario& scenario, ModelState& model);

// The profiles, α and final stage a model holds, as scenario fields; false
// with a one-line error when they break the scenario's rules (a profile data
// file may).
bool ScenarioProfilesFromModel(const ModelState& model, Scenario& into, std::string& error);

}  // namespace ammonite
