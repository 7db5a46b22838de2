// _ammonite: the engine for Python. Thin wrappers over the headless session,
// the sweeps, the stage tables, the meshes, the picture and the profile data
// file; the pure-Python package around it (ammonite/*.py) gives them their
// pandas and NumPy shapes. The interpreter lock is released while the engine
// runs.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <charconv>
#include <cmath>
#include <optional>

#include "session/sweep.h"
#include "session/film_recording.h"
#include "core/numeric.h"
#include "core/safe_file.h"
#include "core/stage_table.h"
#include "core/input_limits.h"
#include "session/option_table.h"
#include "model/profile_file.h"
#include "model/stage_results.h"
#include "grow_options.h"
#include "picture/film_pictures.h"
#include "scenario_bindings.h"
#include "shell_result.h"
#include "sweep_bindings.h"

namespace py = pybind11;
using namespace ammonite;

// The fit of the profiles to a specimen (fit_bindings.cpp).
void BindFit(py::module_& m);

namespace {

// ---- profiles as plain Python values ----
// {"alpha": float, "stage_range": (first, final),
//  "gamma"|"C"|"T"|"beta": [(stage, value), ...]} with 1 to 51 points each.

const char* const kProfileKeys[4] = {"gamma", "C", "T", "beta"};

py::dict ProfilesToPython(const ProfileFileContents& c) {
    py::dict d;
    d["alpha"] = c.alpha;
    d["stage_range"] = py::make_tuple(c.stageRange[0], c.stageRange[1]);
    for (size_t p = 0; p < 4; ++p) {
        py::list points;
        const ParameterProfile& prof = c.profiles[p];
        for (int i = 0; i <= prof.count && i <= ParameterProfile::kMaxCount; ++i)
            points.append(py::make_tuple(prof.stages[static_cast<size_t>(i)], prof.values[static_cast<size_t>(i)]));
        d[kProfileKeys[p]] = points;
    }
    return d;
}

double NumberIn(const py::handle& value, const std::string& what) {
    const double v = PyFloat_AsDouble(value.ptr());
    if (PyErr_Occurred() || py::isinstance<py::str>(value) || py::isinstance<py::bytes>(value)) {
        PyErr_Clear();
        throw py::value_error("profiles: " + what + " is not a number");
    }
    // A profile data file cannot hold NaN or an infinity (its reader refuses them).
    if (!std::isfinite(v)) throw py::value_error("profiles: " + what + " = " + NumberText(v) + " is not a finite number");
    return v;
}

double StageIn(const py::handle& value, const std::string& what) {
    const double s = NumberIn(value, what);
    if (!(s >= 0 && s <= kMaxStage)) throw py::value_error("profiles: " + what + " " + NumberText(s) + " is outside 0..4000");
    return s;
}

ProfileFileContents ProfilesFromPython(const py::handle& object) {
    if (!py::isinstance<py::dict>(object))
        throw py::type_error("profiles must be a path or a dict with alpha, stage_range, gamma, C, T and beta");
    const py::dict d = py::reinterpret_borrow<py::dict>(object);
    for (const char* key : {"alpha", "stage_range", "gamma", "C", "T", "beta"})
        if (!d.contains(key)) throw py::value_error(std::string("profiles: the key '") + key + "' is missing");
    ProfileFileContents c;
    c.alpha = NumberIn(d["alpha"], "alpha");
    const py::sequence range = py::reinterpret_borrow<py::sequence>(d["stage_range"]);
    if (!py::isinstance<py::sequence>(d["stage_range"]) || py::len(range) != 2)
        throw py::value_error("profiles: stage_range must be (first, final)");
    c.stageRange = {StageIn(range[0], "stage_range first"), StageIn(range[1], "stage_range final")};
    for (size_t p = 0; p < 4; ++p) {
        const std::string name = kProfileKeys[p];
        const py::object points = d[kProfileKeys[p]];
        if (!py::isinstance<py::sequence>(points) || py::isinstance<py::str>(points))
            throw py::value_error("profiles: " + name + " must be a list of (stage, value) points");
        const py::sequence seq = py::reinterpret_borrow<py::sequence>(points);
        const size_t n = py::len(seq);
        if (n < 1 || n > static_cast<size_t>(ParameterProfile::kSlots))
            throw py::value_error("profiles: " + name + " has " + std::to_string(n) + " points, not 1 to " +
                                  std::to_string(ParameterProfile::kSlots));
        ParameterProfile& prof = c.profiles[p];
        prof.count = static_cast<std::int16_t>(n - 1);
        for (size_t i = 0; i < n; ++i) {
            const std::string what = name + " point " + std::to_string(i);
            const py::object point = seq[i];
            if (!py::isinstance<py::sequence>(point) || py::len(point) != 2)
                throw py::value_error("profiles: " + what + " must be (stage, value)");
            const py::sequence pair = py::reinterpret_borrow<py::sequence>(point);
            prof.setPoint(static_cast<int>(i), StageIn(pair[0], what + " stage"), NumberIn(pair[1], what + " value"));
        }
    }
    return c;
}

std::shared_ptr<const ModelState> ProfileModel(const ProfileFileContents& c) {
    auto model = std::make_shared<ModelState>();
    c.commitTo(*model);
    return model;
}

// ---- sweeps ----

SweepAxis AxisNamed(const std::string& name) {
    SweepAxis axis;
    std::string error;
    if (!SweepAxisNamed(name, axis, error)) throw py::value_error(error);
    return axis;
}

// ---- the shell ----

py::dict MeshToPython(const ShellMesh& mesh) {
    auto object = [](const MeshObject& o) {
        py::array_t<double> vertices({static_cast<py::ssize_t>(o.vertices.size()), py::ssize_t(3)});
        auto v = vertices.mutable_unchecked<2>();
        for (size_t i = 0; i < o.vertices.size(); ++i)
            for (size_t k = 0; k < 3; ++k) v(static_cast<py::ssize_t>(i), static_cast<py::ssize_t>(k)) = o.vertices[i][k];
        py::array_t<std::int64_t> faces({static_cast<py::ssize_t>(o.triangles.size()), py::ssize_t(3)});
        auto f = faces.mutable_unchecked<2>();
        for (size_t i = 0; i < o.triangles.size(); ++i)
            for (size_t k = 0; k < 3; ++k) f(static_cast<py::ssize_t>(i), static_cast<py::ssize_t>(k)) = o.triangles[i][k];
        return py::make_tuple(vertices, faces);
    };
    py::dict d;
    d["phragmocone"] = object(mesh.phragmocone);
    d["body_chamber"] = object(mesh.bodyChamber);
    return d;
}

// A file that could not be written (OSError in Python).
struct WriteFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void Check(bool ok, const std::string& error) {
    if (!ok) throw WriteFailure(error);
}

// A single-precision value as the files write it (its shortest text), read
// back as a double: the number a reader of the batch tool's CSV gets.
double AsWritten(float v) {
    const std::string text = NumberText(v);
    double out = 0;
    std::from_chars(text.data(), text.data() + text.size(), out);
    return out;
}

// The mesh options given to Shell.mesh() and Shell.save(), checked by the
// option table's entries for --mesh-scale and --mesh-ring-points; the
// messages name the Python keywords.
MeshOptions CheckedMeshOptions(const py::handle& mmPerUnit, const py::handle& ringPoints) {
    static const py::object real = py::module_::import("numbers").attr("Real");
    static const py::object integral = py::module_::import("numbers").attr("Integral");
    auto repr = [](const py::handle& v) { return py::repr(v).cast<std::string>(); };
    auto number = [](double v) {
        return v == std::floor(v) && std::fabs(v) < 1e15 ? std::to_string(static_cast<long long>(v)) : NumberText(v);
    };
    auto interval = [&number](const ValueRange& r) {
        return std::string(r.lowOpen ? "(" : "[") + number(r.lo) + ", " + number(r.hi) + (r.highOpen ? ")" : "]");
    };
    const OptionEntry* scale = FindOption("mesh-scale", kBatchOption);
    const OptionEntry* ring = FindOption("mesh-ring-points", kBatchOption);
    MeshOptions out;
    const ValueRange* scaleRange = scale->rangeOf(0);
    if (py::isinstance<py::bool_>(mmPerUnit) || PyObject_IsInstance(mmPerUnit.ptr(), real.ptr()) != 1 ||
        !scaleRange->contains(mmPerUnit.cast<double>()))
        throw py::value_error("mm_per_unit must be a number of millimetres per model unit in " +
                              interval(*scaleRange) + ", not " + repr(mmPerUnit));
    out.mmPerUnit = mmPerUnit.cast<double>();
    const ValueRange* ringRange = ring->rangeOf(0);
    const bool whole = !py::isinstance<py::bool_>(ringPoints) && PyObject_IsInstance(ringPoints.ptr(), integral.ptr()) == 1;
    const long n = whole ? ringPoints.cast<long>() : 0;
    if (!whole || !ringRange->contains(static_cast<double>(n)) || (ring->divides && ring->divides % n != 0))
        throw py::value_error("ring_points must be a divisor of " + std::to_string(ring->divides) + " in " +
                              interval(*ringRange) + ", not " + repr(ringPoints));
    out.ringPoints = static_cast<int>(n);
    return out;
}

// The regulation's events of the last START as columns of NumPy arrays.
py::dict EventsToPython(const std::vector<RegulationEvent>& events) {
    const py::ssize_t n = static_cast<py::ssize_t>(events.size());
    auto column = [n, &events](auto value) {
        using T = decltype(value(events.front()));
        py::array_t<T> a(n);
        auto out = a.template mutable_unchecked<1>();
        for (py::ssize_t i = 0; i < n; ++i) out(i) = value(events[static_cast<size_t>(i)]);
        return a;
    };
    py::dict d;
    if (events.empty()) {
        for (const char* name : {"stage", "event", "rib_mark", "pending_ribs"}) d[name] = py::array_t<std::int64_t>(0);
        for (const char* name : {"gamma", "step", "fatigue_clock", "schedule_clock", "rib_clock", "fatigue_threshold",
                                 "previous_orientation_angle_deg"})
            d[name] = py::array_t<double>(0);
        return d;
    }
    d["stage"] = column([](const RegulationEvent& e) { return std::int64_t{e.stage}; });
    d["event"] = column([](const RegulationEvent& e) { return std::int64_t{e.event}; });
    d["rib_mark"] = column([](const RegulationEvent& e) { return std::int64_t{e.ribMark}; });
    d["gamma"] = column([](const RegulationEvent& e) { return e.gamma; });
    d["step"] = column([](const RegulationEvent& e) { return e.step; });
    d["fatigue_clock"] = column([](const RegulationEvent& e) { return e.fatigueClock; });
    d["schedule_clock"] = column([](const RegulationEvent& e) { return e.scheduleClock; });
    d["rib_clock"] = column([](const RegulationEvent& e) { return e.ribClock; });
    d["fatigue_threshold"] = column([](const RegulationEvent& e) { return e.fatigueThreshold; });
    d["pending_ribs"] = column([](const RegulationEvent& e) { return std::int64_t{e.pendingRibs}; });
    d["previous_orientation_angle_deg"] =
        column([](const RegulationEvent& e) { return AsWritten(e.orientationAngle); });
    return d;
}

// The run's final numbers, named as the package names them. A run that
// stopped on a runtime error never reached its final report: its
// orientation, density and P/T ratio are NaN, as in a sweep row. Without a
// run (no START) there are no volumes or masses either.
py::dict RunNumbers(const Session& session) {
    const ModelState& m = *session.model;
    const RunState& r = *session.run;
    const bool finished = session.runtimeError.empty() && r.hasRun;
    const double nan = std::nan("");
    auto ran = [&r, nan](double v) { return r.hasRun ? v : nan; };
    int hydrostatic = 0;
    for (int s = r.lastBuiltStage; s > 0; --s)
        if (r.hydrostaticsByStage[s].valid) {
            hydrostatic = s;
            break;
        }
    const double d0 = m.densities[0], d1 = m.densities[1];
    py::dict d;
    d["orientation_angle_deg"] = finished ? AsWritten(r.orientationAngle) : nan;
    d["mean_density_g_cm3"] = finished ? r.meanDensity : nan;
    d["pt_ratio_percent"] = finished ? 100 * r.ptRatio : nan;
    d["ribs"] = CountRibs(r);
    d["built_stage"] = static_cast<int>(r.lastBuiltStage);
    d["hydrostatic_stage"] = hydrostatic;
    d["air_volume_mm3"] = ran(r.airVolume);
    d["body_volume_mm3"] = ran(r.bodyVolume);
    d["total_volume_mm3"] = ran(r.totalVolume);
    // Grams at one millimetre per unit, as the mesh sidecar's run_mass_g.
    d["air_mass_g"] = ran(r.airVolume * d0 / 1000);
    d["body_mass_g"] = ran(r.bodyVolume * d1 / 1000);
    d["total_mass_g"] = ran((r.airVolume * d0 + r.bodyVolume * d1) / 1000);
    return d;
}

}  // namespace

PYBIND11_MODULE(_ammonite, m) {
    BindFit(m);
    m.doc() = "The ammonite growth engine (use the package `ammonite`, not this module)";
    py::register_exception<WriteFailure>(m, "WriteError", PyExc_OSError);
    // A runtime error of the model, such as a box text out of range.
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const RuntimeError& e) {
            PyErr_SetString(PyExc_ValueError, e.what());
        }
    });

    py::class_<SessionOptions>(m, "SessionOptions")
        .def(py::init<>())
        .def_readwrite("stages_text", &SessionOptions::stagesText)
        .def_readwrite("scale_text", &SessionOptions::scaleText)
        .def_readwrite("view", &SessionOptions::view)
        .def_readwrite("light", &SessionOptions::light)
        .def_readwrite("origin", &SessionOptions::origin)
        .def_readwrite("densities", &SessionOptions::densities)
        .def_readwrite("orientation", &SessionOptions::orientation)
        .def_readwrite("ribbing", &SessionOptions::ribbing)
        .def_readwrite("thresholds", &SessionOptions::thresholds)
        .def_readwrite("runs", &SessionOptions::runs)
        .def_readwrite("shade", &SessionOptions::shade)
        .def_readwrite("profiles_path", &SessionOptions::profilesIn)
        .def("set_profiles", [](SessionOptions& o, const py::object& d) { o.profiles = ProfileModel(ProfilesFromPython(d)); });

    // grow()'s keywords, read by the program's option table.
    m.def("check_options", [](const py::dict& options) {
        return python::CheckGrowOptions(options, [](const py::handle& d) { ProfilesFromPython(d); });
    });
    m.def("session_options", [](const py::dict& checked) {
        return python::GrowSessionOptions(checked, [](const py::handle& d) { return ProfileModel(ProfilesFromPython(d)); });
    });
    m.def("option_table", &python::OptionTableToPython);
    m.attr("MAX_SWEEP_POINTS") = kMaxSweepPoints;
    m.def("read_option", &python::ReadGrowOptionText);
    // Checks Shell.mesh()'s millimetres per unit and ring points by the option table.
    m.def("check_mesh_options", [](const py::object& mmPerUnit, const py::object& ringPoints) {
        const MeshOptions o = CheckedMeshOptions(mmPerUnit, ringPoints);
        return py::make_tuple(o.mmPerUnit, o.ringPoints);
    });

    py::class_<python::ShellResult>(m, "ShellResult")
        .def_property_readonly("runtime_error", &python::ShellResult::runtimeError)
        .def("tables_csv", &python::ShellResult::tablesCsv)
        .def("summary_text", &python::ShellResult::summaryText)
        .def("log_lines", &python::ShellResult::logLines)
        .def("picture", [](const python::ShellResult& s) {
            const std::vector<unsigned char> rgb = s.pictureRgb();
            py::array_t<std::uint8_t> out({py::ssize_t(python::kPictureHeight), py::ssize_t(python::kPictureWidth), py::ssize_t(3)});
            std::copy(rgb.begin(), rgb.end(), out.mutable_data());
            return out;
        })
        .def("events", [](const python::ShellResult& s) { return EventsToPython(s.events()); })
        .def("numbers", [](const python::ShellResult& s) { return RunNumbers(s.session()); })
        .def("mesh", [](const python::ShellResult& s, const py::object& mmPerUnit, const py::object& ringPoints,
                        std::optional<bool> ribbing) {
            const MeshOptions options = CheckedMeshOptions(mmPerUnit, ringPoints);
            ShellMesh mesh;
            std::string error;
            bool ok = false;
            {
                py::gil_scoped_release unlocked;
                ok = s.mesh(options, ribbing, mesh, error);
            }
            if (!ok) throw py::value_error(error);
            return MeshToPython(mesh);
        })
        .def("film", [](const python::ShellResult& s, std::optional<std::string> path, std::optional<std::string> folder,
                        const std::string& kind, int width, int height, int fps, double seconds,
                        const std::string& inputs, const std::string& scenarioToml) {
            FilmSettings settings;
            if (!ParseFilmKind(kind, settings.kind))
                throw py::value_error("kind must be 'growth', 'turntable' or 'both', not " + py::repr(py::str(kind)).cast<std::string>());
            settings.width = width, settings.height = height, settings.fps = fps, settings.seconds = seconds;
            python::EnsureToolkit();
            std::string error;
            FilmReport report;
            bool planned = false, ok = false;
            {
                py::gil_scoped_release unlocked;
                FilmPlan plan;
                planned = plan.prepare(*s.session().model, *s.session().run, settings, error);
                if (planned) {
                    FilmTarget target{path, folder, FilmMetadata(*s.session().model, settings, inputs, scenarioToml)};
                    ok = RecordFilm(plan, target, FilmTools{MakeFilmPicture, EncodeFilmPng}, FilmControl{}, report, error);
                }
            }
            if (!planned) throw py::value_error(error);
            if (!ok && error == MissingEncoderMessage()) throw std::runtime_error(error);
            Check(ok, error);
            return report.written;
        })
        .def("film_frames", [](const python::ShellResult& s, const std::string& kind, int width, int height, int fps,
                               double seconds, int first, int count) {
            FilmSettings settings;
            if (!ParseFilmKind(kind, settings.kind))
                throw py::value_error("kind must be 'growth', 'turntable' or 'both', not " + py::repr(py::str(kind)).cast<std::string>());
            settings.width = width, settings.height = height, settings.fps = fps, settings.seconds = seconds;
            python::EnsureToolkit();
            std::string error;
            std::vector<std::vector<unsigned char>> frames;
            int total = 0;
            bool planned = false, ok = false;
            {
                py::gil_scoped_release unlocked;
                FilmPlan plan;
                planned = plan.prepare(*s.session().model, *s.session().run, settings, error);
                if (planned) {
                    total = plan.frameCount();
                    ok = DrawFilmFrames(plan, FilmTools{MakeFilmPicture, EncodeFilmPng}, first, count, 0, frames, error);
                }
            }
            if (!planned || !ok) throw py::value_error(error);
            py::list out;
            for (const auto& rgb : frames) {
                py::array_t<std::uint8_t> a({py::ssize_t(height), py::ssize_t(width), py::ssize_t(3)});
                std::copy(rgb.begin(), rgb.end(), a.mutable_data());
                out.append(a);
            }
            return py::make_tuple(total, out);
        })
        .def("picture_png", [](const python::ShellResult& s) { return py::bytes(s.pictureAsPng()); })
        .def("profile_file_bytes", [](const python::ShellResult& s) { return py::bytes(s.profileFileBytes()); })
        .def("save_png", [](const python::ShellResult& s, const std::string& path) {
            std::string error;
            bool ok;
            { py::gil_scoped_release unlocked; ok = s.savePng(path, error); }
            Check(ok, error);
        })
        .def("save_svg", [](const python::ShellResult& s, const std::string& path) {
            std::string error;
            bool ok;
            { py::gil_scoped_release unlocked; ok = s.saveSvg(path, error); }
            Check(ok, error);
        })
        .def("save_tables", [](const python::ShellResult& s, const std::string& path) {
            std::string error;
            bool ok;
            { py::gil_scoped_release unlocked; ok = s.saveTables(path, error); }
            Check(ok, error);
        })
        .def("save_mesh", [](const python::ShellResult& s, const std::string& format, const std::string& path,
                             const py::object& mmPerUnit, const py::object& ringPoints, std::optional<bool> ribbing) {
            const MeshFormat f = format == "stl" ? MeshFormat::Stl : format == "ply" ? MeshFormat::Ply : MeshFormat::Obj;
            const MeshOptions options = CheckedMeshOptions(mmPerUnit, ringPoints);
            std::vector<std::string> written;
            std::string error;
            bool ok;
            { py::gil_scoped_release unlocked; ok = s.saveMesh(f, path, options, ribbing, written, error); }
            if (!ok) {
                // A mesh needs a finished run: that is a fault of the shell, not of the file.
                if (error.find("cannot write") == std::string::npos) throw py::value_error(error);
                Check(false, error);
            }
            return written;
        });

    // Grows one shell; ValueError for a bad profile data file.
    m.def("grow", [](const SessionOptions& options) {
        python::EnsureToolkit();
        auto shell = std::make_unique<python::ShellResult>();
        std::string error;
        bool ok;
        { py::gil_scoped_release unlocked; ok = shell->grow(options, error); }
        if (!ok) throw py::value_error(error);
        return shell;
    });

    m.def("read_profiles", [](const std::string& path) {
        // Read as the profile window loads a file: the whole file or nothing.
        ModelState model;
        std::string error;
        if (!ReadProfileFile(path, model, error)) throw py::value_error(error);
        return ProfilesToPython(ProfileFileContents::from(model));
    });
    m.def("parse_profiles", [](const std::string& bytes) {
        ProfileFileContents c;
        std::string error;
        if (!ParseProfileFile(bytes, c, error)) throw py::value_error(error);
        return ProfilesToPython(c);
    });
    m.def("format_profiles", [](const py::object& d) { return py::bytes(FormatProfileFile(*ProfileModel(ProfilesFromPython(d)))); });
    m.def("write_profiles", [](const std::string& path, const py::object& d) {
        const std::string bytes = FormatProfileFile(*ProfileModel(ProfilesFromPython(d)));
        std::string error;
        Check(WriteFileSafely(path, bytes, error), error);
    });
    // Any file through the safe writer (WriteError when it cannot be written).
    m.def("write_file", [](const std::string& path, const py::bytes& bytes) {
        const std::string data = bytes;
        std::string error;
        bool ok;
        { py::gil_scoped_release unlocked; ok = WriteFileSafely(path, data, error); }
        Check(ok, error);
    });
    // Checks that `path` can be written, before long work whose result goes there.
    m.def("check_writable", [](const std::string& path) {
        SafeFileWriter file(path);
        const bool ok = file.open();
        file.discard();
        Check(ok, file.error());
    });
    // The profiles as the main window starts (its load step, before any START).
    m.def("default_profiles", [] {
        Session session;
        SessionOptions none;
        none.runs = 0;
        std::string error;
        PerformSession(none, session, {}, error);
        return ProfilesToPython(ProfileFileContents::from(*session.model));
    });

    py::class_<SweepAxis>(m, "SweepAxis")
        .def_readonly("name", &SweepAxis::name)
        .def_readonly("start", &SweepAxis::from)
        .def_readonly("stop", &SweepAxis::to)
        .def_readonly("steps", &SweepAxis::steps)
        .def_readonly("integral", &SweepAxis::integral)
        .def("values", [](const SweepAxis& a) {
            std::vector<double> v;
            for (int i = 0; i < a.steps; ++i) v.push_back(a.valueAt(i));
            return v;
        });
    m.def("parse_axis", [](const std::string& text) {
        SweepAxis axis;
        std::string error;
        if (!ParseSweepAxis(text, axis, error)) throw py::value_error(error);
        return axis;
    });
    m.def("axis_named", &AxisNamed);
    m.def("check_value", [](const SweepAxis& axis, double value) {
        std::string error;
        if (!CheckSweepValue(axis, value, error)) throw py::value_error(error);
        return value;
    });
    python::BindScenario(m);
    m.def("sweep_names", &SweepNames);
    m.def("sweep_csv_header", &SweepCsvHeader);
    python::BindSweeps(m);
}
