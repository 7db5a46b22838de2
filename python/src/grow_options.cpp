#include "grow_options.h"

#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "session/option_table.h"

namespace py = pybind11;

namespace ammonite::python {

namespace {

bool IsNumber(const py::handle& value) {
    static const py::object real = py::module_::import("numbers").attr("Real");
    return !py::isinstance<py::bool_>(value) && PyObject_IsInstance(value.ptr(), real.ptr()) == 1;
}

bool IsIntegral(const py::handle& value) {
    static const py::object integral = py::module_::import("numbers").attr("Integral");
    return PyObject_IsInstance(value.ptr(), integral.ptr()) == 1;
}

std::string Repr(const py::handle& value) { return py::repr(value).cast<std::string>(); }

// The text a user would type for a number: whole numbers without a point.
std::string NumberText(double v) {
    if (std::isfinite(v) && v == std::floor(v)) return py::str(py::int_(py::float_(v))).cast<std::string>();
    return Repr(py::float_(v));
}

std::string GrowNames() {
    std::string out;
    for (const OptionEntry* e : OptionsFor(kGrowKeyword)) out += (out.empty() ? "" : ", ") + e->name;
    return out;
}

// The items of a list of `count` values, or none.
bool Items(const py::handle& value, int count, std::vector<py::object>& items) {
    if (py::isinstance<py::str>(value) || py::isinstance<py::bytes>(value)) return false;
    try {
        for (const py::handle item : py::iter(value)) items.push_back(py::reinterpret_borrow<py::object>(item));
    } catch (const py::error_already_set&) {
        return false;
    }
    return items.size() == static_cast<size_t>(count);
}

// A number checked against its range, the message naming `what`.
double Number(const OptionEntry& e, size_t i, const std::string& what, const py::handle& item) {
    if (!IsNumber(item) || !std::isfinite(item.cast<double>()))
        throw py::value_error(what + ": " + Repr(item) + " is not a finite number");
    const double v = item.cast<double>();
    const ValueRange* r = e.rangeOf(i);
    if (r && !r->contains(v)) {
        if (!e.rangeRule.empty()) throw py::value_error(what + ": " + NumberText(v) + ": " + e.rangeRule);
        char bound[32];
        std::snprintf(bound, sizeof bound, "%g", std::max(std::fabs(r->lo), std::fabs(r->hi)));
        throw py::value_error(what + ": " + NumberText(v) + " is too large for the model (at most " + bound +
                              " in size)");
    }
    return v;
}

long Whole(const OptionEntry& e, size_t i, const std::string& what, const py::handle& value) {
    if (!IsNumber(value) || !std::isfinite(value.cast<double>()) ||
        value.cast<double>() != std::floor(value.cast<double>()))
        throw py::value_error(what + ": " + Repr(value) + " is not a whole number");
    const double v = value.cast<double>();
    const ValueRange* r = e.rangeOf(i);
    if (r && !r->contains(v))
        throw py::value_error(what + ": " + NumberText(v) + " is outside " + RangeText(*r));
    return static_cast<long>(v);
}

bool Switch(const OptionEntry& e, const py::handle& value) {
    if (py::isinstance<py::str>(value)) {
        const std::string text = value.cast<std::string>();
        for (size_t i = 0; i < e.choices.size(); ++i)
            if (text == e.choices[i]) return i == 0;
    } else if (py::isinstance<py::bool_>(value) || (IsIntegral(value) && (value.cast<double>() == 0 ||
                                                                          value.cast<double>() == 1))) {
        return value.cast<double>() != 0;
    }
    throw py::value_error(e.name + " must be True or False (or 'on'/'off'), not " + Repr(value));
}

}  // namespace

py::dict CheckGrowOptions(const py::dict& options, const std::function<void(const py::handle&)>& checkProfiles) {
    std::vector<std::string> unknown;
    for (const auto& item : options) {
        const std::string name = py::str(item.first).cast<std::string>();
        if (!FindOption(name, kGrowKeyword)) unknown.push_back(name);
    }
    if (!unknown.empty()) {
        std::sort(unknown.begin(), unknown.end());
        throw py::type_error("unknown option " + Repr(py::str(unknown[0])) + " (options: " + GrowNames() + ")");
    }
    py::dict out;
    for (const OptionEntry* e : OptionsFor(kGrowKeyword)) {
        if (!options.contains(e->name)) continue;
        const py::object value = options[e->name.c_str()];
        if (value.is_none()) continue;
        const std::string& name = e->name;
        switch (e->type) {
        case OptionType::BoxText: {
            std::string text;
            if (py::isinstance<py::str>(value)) {
                text = value.cast<std::string>();
            } else if (IsNumber(value)) {
                if (!std::isfinite(value.cast<double>()))
                    throw py::value_error(name + ": " + py::str(value).cast<std::string>() + " is not a finite number");
                text = NumberText(value.cast<double>());
            } else {
                throw py::type_error(name + " must be a number or the text typed into the box, not " +
                                     py::str(py::type::of(value).attr("__name__")).cast<std::string>());
            }
            OptionValue read;
            std::string reason;
            if (!ReadOptionText(*e, name, text, read, reason)) throw py::value_error(reason);
            out[name.c_str()] = text;
            break;
        }
        case OptionType::Numbers: {
            std::vector<py::object> items;
            if (!Items(value, e->count, items))
                throw py::value_error(name + " must be " + std::to_string(e->count) + " numbers, not " + Repr(value));
            py::tuple numbers(items.size());
            for (size_t i = 0; i < items.size(); ++i) numbers[i] = Number(*e, i, name, items[i]);
            out[name.c_str()] = numbers;
            break;
        }
        case OptionType::Wholes: {
            if (e->count == 1) {
                out[name.c_str()] = Whole(*e, 0, name, value);
                break;
            }
            std::vector<py::object> items;
            if (!Items(value, e->count, items)) {
                std::string labels;
                for (const std::string& l : e->labels) labels += (labels.empty() ? " " : ", ") + l;
                throw py::value_error(name + " must be " + std::to_string(e->count) + " whole numbers" + labels +
                                      ", not " + Repr(value));
            }
            py::tuple numbers(items.size());
            for (size_t i = 0; i < items.size(); ++i)
                numbers[i] = Whole(*e, i, name + (i < e->labels.size() ? " " + e->labels[i] : ""), items[i]);
            out[name.c_str()] = numbers;
            break;
        }
        case OptionType::Switch:
        case OptionType::Flag: out[name.c_str()] = Switch(*e, value); break;
        case OptionType::Path: {
            static const py::object pathLike = py::module_::import("os").attr("PathLike");
            if (py::isinstance<py::str>(value) || PyObject_IsInstance(value.ptr(), pathLike.ptr()) == 1) {
                const std::string path = py::module_::import("os").attr("fspath")(value).cast<std::string>();
                if (path.empty()) throw py::value_error(name + ": the path is empty");
                out[name.c_str()] = path;
            } else if (py::isinstance<py::dict>(value)) {
                // Checked (and copied) by the engine's own reading.
                checkProfiles(value);
                out[name.c_str()] = py::dict(value);
            } else {
                throw py::type_error(name + " must be a path to a profile data file or a dict as read_profiles() "
                                            "returns, not " +
                                     py::str(py::type::of(value).attr("__name__")).cast<std::string>());
            }
            break;
        }
        case OptionType::SweepAxis: break;
        }
    }
    return out;
}

SessionOptions GrowSessionOptions(const py::dict& checked,
                                  const std::function<std::shared_ptr<const ModelState>(const py::handle&)>& profiles) {
    SessionOptions o;
    auto numbers = [&](const char* name) { return checked[name].cast<std::vector<double>>(); };
    if (checked.contains("stages")) o.stagesText = checked["stages"].cast<std::string>();
    if (checked.contains("scale")) o.scaleText = checked["scale"].cast<std::string>();
    if (checked.contains("view")) {
        const auto v = numbers("view");
        o.view = std::array<double, 3>{v.at(0), v.at(1), v.at(2)};
    }
    if (checked.contains("light")) {
        const auto v = numbers("light");
        o.light = std::array<double, 3>{v.at(0), v.at(1), v.at(2)};
    }
    if (checked.contains("origin")) {
        const auto v = numbers("origin");
        o.origin = std::array<double, 2>{v.at(0), v.at(1)};
    }
    if (checked.contains("densities")) {
        const auto v = numbers("densities");
        o.densities = std::array<double, 2>{v.at(0), v.at(1)};
    }
    if (checked.contains("orientation")) o.orientation = checked["orientation"].cast<bool>();
    if (checked.contains("ribbing")) o.ribbing = checked["ribbing"].cast<bool>();
    if (checked.contains("thresholds")) {
        const auto v = checked["thresholds"].cast<std::vector<int>>();
        o.thresholds = std::array<int, 4>{v.at(0), v.at(1), v.at(2), v.at(3)};
    }
    if (checked.contains("runs")) o.runs = checked["runs"].cast<int>();
    if (checked.contains("shade")) o.shade = checked["shade"].cast<bool>();
    if (checked.contains("profiles")) {
        const py::object p = checked["profiles"];
        if (py::isinstance<py::dict>(p))
            o.profiles = profiles(p);
        else
            o.profilesIn = p.cast<std::string>();
    }
    return o;
}

py::list OptionTableToPython() {
    static const char* const kTypes[] = {"flag", "box_text", "numbers", "wholes", "switch", "path", "sweep_axis"};
    py::list out;
    for (const OptionEntry& e : OptionTable()) {
        py::dict d;
        d["name"] = e.name;
        d["type"] = kTypes[static_cast<int>(e.type)];
        py::list uses;
        if (e.uses & kBatchOption) uses.append("batch");
        if (e.uses & kGrowKeyword) uses.append("grow");
        if (e.uses & kSweepInput) uses.append("sweep");
        d["uses"] = uses;
        d["count"] = e.count;
        d["unit"] = e.unit;
        py::list ranges;
        for (const ValueRange& r : e.ranges) ranges.append(py::make_tuple(r.lo, r.hi));
        d["ranges"] = ranges;
        d["choices"] = e.choices;
        d["default"] = e.defaultText;
        d["metavar"] = e.metavar;
        d["help"] = e.oneLineHelp();
        out.append(d);
    }
    return out;
}

py::object ReadGrowOptionText(const std::string& name, const std::string& text) {
    const OptionEntry* e = FindOption(name, kBatchOption);
    if (!e) throw py::value_error("unknown option --" + name);
    OptionValue read;
    std::string reason;
    if (!ReadOptionText(*e, "--" + name, text, read, reason))
        throw py::value_error(!reason.empty() ? reason : "bad value '" + text + "' for --" + name);
    switch (e->type) {
    case OptionType::Numbers:
        if (e->count == 1) return py::float_(read.numbers[0]);
        return py::tuple(py::cast(read.numbers));
    case OptionType::Wholes: {
        if (e->count == 1) return py::int_(static_cast<long>(read.numbers[0]));
        py::tuple t(read.numbers.size());
        for (size_t i = 0; i < read.numbers.size(); ++i) t[i] = static_cast<long>(read.numbers[i]);
        return t;
    }
    case OptionType::Switch:
    case OptionType::Flag: return py::bool_(read.on);
    default: return py::str(text);
    }
}

}  // namespace ammonite::python
