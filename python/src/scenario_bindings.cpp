// Scenarios for Python: the checks, the file text and the growth of the C++
// scenario, so that a Python value is refused for exactly what a scenario
// file is refused for, with the same message.
#include "scenario_bindings.h"

#include <pybind11/stl.h>

#include <algorithm>

#include "session/scenario_session.h"
#include "session/start_rules.h"
#include "core/numeric.h"
#include "model/profile_file.h"
#include "model/scenario_file.h"
#include "shell_result.h"

namespace py = pybind11;

namespace ammonite::python {

namespace {

ScenarioValue ValueFromPython(const py::handle& v, const std::string& key) {
    static const py::object numbers = py::module_::import("numbers");
    static const py::object integral = numbers.attr("Integral"), real = numbers.attr("Real");
    static const py::object numpyBool = py::module_::import("numpy").attr("bool_");
    if (py::isinstance<py::bool_>(v) || py::isinstance(v, numpyBool)) return ScenarioValue::ofBool(v.cast<bool>());
    if (py::isinstance(v, integral)) return ScenarioValue::ofInteger(py::float_(py::reinterpret_borrow<py::object>(v)));
    if (py::isinstance(v, real)) return ScenarioValue::ofFloat(v.cast<double>());
    if (py::isinstance<py::str>(v)) return ScenarioValue::ofText(v.cast<std::string>());
    if (!py::isinstance<py::bytes>(v) && !py::isinstance<py::dict>(v) && py::hasattr(v, "__iter__")) {
        std::vector<ScenarioValue> items;
        for (const py::handle& item : v) items.push_back(ValueFromPython(item, key));
        return ScenarioValue::ofList(std::move(items));
    }
    throw py::type_error(key + " = " + py::repr(v).cast<std::string>() + ": a " +
                         py::str(v.get_type().attr("__name__")).cast<std::string>() +
                         " is not a value a scenario takes (numbers, true/false, texts and lists)");
}

py::object ValueToPython(const ScenarioValue& v) {
    switch (v.kind) {
    case ScenarioValue::Kind::Bool: return py::bool_(v.flag);
    case ScenarioValue::Kind::Integer: return py::int_(static_cast<long long>(v.number));
    case ScenarioValue::Kind::Float: return py::float_(v.number);
    case ScenarioValue::Kind::Text: return py::str(v.text);
    case ScenarioValue::Kind::List: {
        py::list items;
        for (const ScenarioValue& item : v.items) items.append(ValueToPython(item));
        return py::tuple(items);
    }
    }
    return py::none();
}

py::dict ScenarioToPython(const Scenario& s) {
    py::dict d;
    for (const auto& [key, value] : ScenarioValues(s)) {
        if (key == "format") continue;
        py::object v = ValueToPython(value);
        // A profile is a list of (stage, value) pairs.
        if (key == "gamma" || key == "C" || key == "T" || key == "beta") v = py::list(v);
        d[py::str(key)] = v;
    }
    return d;
}

}  // namespace

Scenario ScenarioFromPython(const py::dict& values, const std::string& where, bool needsFormat) {
    std::vector<std::pair<std::string, ScenarioValue>> given;
    bool hasFormat = false;
    for (const auto& [k, v] : values) {
        if (!py::isinstance<py::str>(k)) throw py::type_error("a scenario key is a text, not " + py::repr(k).cast<std::string>());
        const std::string key = k.cast<std::string>();
        hasFormat = hasFormat || key == "format";
        given.emplace_back(key, ValueFromPython(v, key));
    }
    const std::string prefix = where.empty() ? "" : where + ": ";
    if (needsFormat && !hasFormat)
        throw py::value_error(prefix + "no format key (a scenario file starts with format = " +
                              std::to_string(kScenarioFormat) + ")");
    // The format first, so that a newer file is refused for what it is.
    std::stable_partition(given.begin(), given.end(), [](const auto& kv) { return kv.first == "format"; });
    Scenario s;
    std::string error;
    if (!ApplyScenarioValues(given, s, error, where)) throw py::value_error(error);
    return s;
}

void BindScenario(py::module_& m) {
    m.def("scenario_keys", [] {
        py::list out;
        for (const ScenarioKey& k : ScenarioKeys())
            if (std::string(k.name) != "format") out.append(py::make_tuple(k.name, k.unit, k.allowed, k.help));
        return out;
    });
    m.def("scenario_defaults", [] { return ScenarioToPython(Scenario{}); });
    // The checked scenario of a dict of keys (missing keys take their
    // defaults); ValueError names the key, the value and what is allowed.
    m.def(
        "check_scenario",
        [](const py::dict& values, const std::string& where, bool needsFormat) {
            return ScenarioToPython(ScenarioFromPython(values, where, needsFormat));
        },
        py::arg("values"), py::arg("where") = "", py::arg("needs_format") = false);
    m.def("scenario_toml", [](const py::dict& values) { return ScenarioToml(ScenarioFromPython(values, "", false)); });
    m.def("read_scenario_from", [](const std::string& path) {
        Scenario s;
        std::string error;
        if (!ReadScenarioFrom(path, s, error)) throw py::value_error(error);
        return ScenarioToPython(s);
    });
    // The scenario of a profile data file read as D-Load reads it: its α,
    // final stage and profiles, and the final stage as the stage count.
    // ValueError when the file is bad or breaks a scenario's rules.
    m.def("scenario_of_profile_file", [](const std::string& path) {
        SessionOptions options;
        options.profilesIn = path;
        Scenario s;
        std::string error;
        if (!ScenarioOfOptions(options, s, error)) throw py::value_error("profiles: " + error);
        return ScenarioToPython(s);
    });
    m.def("grow_scenario", [](const py::dict& values) {
        const Scenario s = ScenarioFromPython(values, "", false);
        EnsureToolkit();
        auto shell = std::make_unique<ShellResult>();
        shell->setScenarioToml(ScenarioToml(s));
        std::string error;
        // Ctrl+C is looked for before every START: it stops the runs and raises.
        shell->setCancelCheck([] {
            py::gil_scoped_acquire held;
            return PyErr_CheckSignals() != 0;
        });
        { py::gil_scoped_release unlocked; shell->grow(SessionOptionsFor(s), error); }
        shell->setCancelCheck(nullptr);
        if (PyErr_Occurred()) throw py::error_already_set();
        return shell;
    });
    // A scale text that is not a number: the window's words for it, or None.
    m.def("scale_text_refusal", [](const std::string& text) -> py::object {
        double v = 0;
        if (tryParseWholeNumber(text, v)) return py::none();
        return py::str(ScaleTextRefusal(text));
    });
    m.def("scenario_session_options", [](const py::dict& values) {
        return SessionOptionsFor(ScenarioFromPython(values, "", false));
    });
}

}  // namespace ammonite::python
