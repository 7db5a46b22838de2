// The fit of the profiles to a specimen, for Python: the whole fit on local
// threads, or its pieces (one starting guess, one refinement, the finish) so
// that the package can spread the guesses over a Dask cluster. The
// interpreter lock is released while the engine runs.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <limits>

#include "core/numeric.h"
#include "model/fit.h"
#include "model/profile_file.h"

namespace py = pybind11;
using namespace ammonite;

namespace {

// The specimen and the options, as the package passes them: coordinates row
// by row (2 or 3 columns) or a CSV path, radii (empty: none; NaN: not
// measured), and the fit's options.
struct FitJob {
    Specimen specimen;
    FitOptions options;
    FitSession session;
};

std::unique_ptr<FitJob> makeJob(const py::object& points, int columns, const std::vector<double>& radii,
                                const py::dict& o) {
    auto job = std::make_unique<FitJob>();
    std::string error;
    if (py::isinstance<py::str>(points)) {
        if (!ReadSpecimenFile(points.cast<std::string>(), job->specimen, error)) throw py::value_error(error);
    } else if (!MakeSpecimen(points.cast<std::vector<double>>(), columns, radii, job->specimen, error)) {
        throw py::value_error(error);
    }
    FitOptions& f = job->options;
    f.knots = o["knots"].cast<int>();
    if (!o["beta"].is_none()) f.beta = o["beta"].cast<double>();
    if (!o["budget"].is_none()) f.budgetSeconds = o["budget"].cast<double>();
    if (!o["evaluations"].is_none()) f.maxEvaluations = o["evaluations"].cast<int>();
    if (!o["densities"].is_none()) f.densities = o["densities"].cast<std::array<double, 2>>();
    if (!o["missing_share"].is_none()) f.missingShare = o["missing_share"].cast<double>();
    if (!o["threads"].is_none()) f.threads = o["threads"].cast<int>();
    if (!job->session.prepare(job->specimen, f, error)) throw py::value_error(error);
    return job;
}

py::dict resultToPython(const FitResult& r) {
    py::dict d;
    d["alpha"] = r.alpha;
    d["stages"] = r.stages;
    d["first_stage"] = r.firstStage;
    d["mm_per_unit"] = r.mmPerUnit;
    d["gamma"] = r.gamma;
    d["beta"] = r.beta;
    d["planar"] = r.planar;
    d["transform"] = std::vector<double>(r.transform.begin(), r.transform.end());
    d["rms_mm"] = r.rmsMm;
    d["max_mm"] = r.maxMm;
    d["radius_rms_mm"] = r.radiusRmsMm;
    d["specimen_length_mm"] = r.specimenLengthMm;
    d["verdict"] = FitVerdictText(r.verdict);
    d["converged"] = r.converged;
    d["cancelled"] = r.cancelled;
    d["message"] = r.message;
    d["final_density"] = r.finalDensity;
    d["final_orientation"] = r.finalOrientation;
    d["evaluations"] = r.evaluations;
    d["seconds"] = r.seconds;
    py::list residuals;
    for (const FitResidual& e : r.residuals)
        residuals.append(py::make_tuple(e.row, e.measured.x, e.measured.y, e.measured.z, e.fitted.x, e.fitted.y,
                                        e.fitted.z, e.stage, e.distanceMm, e.radiusMm, e.fittedRadiusMm));
    d["residuals"] = residuals;
    py::list stages;
    for (const FitStageRow& s : r.stagesTable)
        stages.append(py::make_tuple(s.stage, s.density, s.orientation, s.stability, s.ptRatio));
    d["stage_rows"] = stages;
    // The profiles as the profile data file holds them.
    ModelState model;
    r.applyTo(model);
    d["profile_file"] = py::bytes(FormatProfileFile(model));
    return d;
}

py::tuple startToPython(const FitStartResult& s) {
    return py::make_tuple(s.start, s.parameters, s.cost, s.evaluations, s.converged, s.layout);
}
FitStartResult startFromPython(const py::tuple& t) {
    FitStartResult s;
    s.start = t[0].cast<int>();
    s.parameters = t[1].cast<std::vector<double>>();
    s.cost = t[2].cast<double>();
    s.evaluations = t[3].cast<int>();
    s.converged = t[4].cast<bool>();
    // Where the knots of the parameters lie (a refined result's own).
    if (t.size() > 5) s.layout = t[5].cast<int>();
    return s;
}

}  // namespace

void BindFit(py::module_& m) {
    m.attr("fit_default_evaluations") = kDefaultFitEvaluations;
    // The whole fit on local threads.
    m.def("fit", [](const py::object& points, int columns, const std::vector<double>& radii, const py::dict& o) {
        auto job = makeJob(points, columns, radii, o);
        FitResult r;
        std::string error;
        bool ok;
        {
            py::gil_scoped_release unlocked;
            ok = FitSpecimen(job->specimen, job->options, r, error);
        }
        if (!ok) throw py::value_error(error);
        return resultToPython(r);
    });
    // The pieces, for a cluster.
    m.def("fit_start_count", [](const py::object& points, int columns, const std::vector<double>& radii,
                                const py::dict& o) { return makeJob(points, columns, radii, o)->session.startCount(); });
    m.def("fit_start", [](const py::object& points, int columns, const std::vector<double>& radii, const py::dict& o,
                          int start, int evaluations) {
        auto job = makeJob(points, columns, radii, o);
        if (start < 0 || start >= job->session.startCount()) throw py::index_error("no such starting guess");
        FitStartResult s;
        {
            py::gil_scoped_release unlocked;
            s = job->session.runStart(start, evaluations);
        }
        return startToPython(s);
    });
    m.def("fit_refine", [](const py::object& points, int columns, const std::vector<double>& radii, const py::dict& o,
                           const py::tuple& from, int evaluations) {
        auto job = makeJob(points, columns, radii, o);
        FitStartResult s = startFromPython(from);
        {
            py::gil_scoped_release unlocked;
            s = job->session.refine(s, evaluations);
        }
        return startToPython(s);
    });
    m.def("fit_finish", [](const py::object& points, int columns, const std::vector<double>& radii, const py::dict& o,
                           const py::tuple& best) {
        auto job = makeJob(points, columns, radii, o);
        FitResult r;
        {
            py::gil_scoped_release unlocked;
            r = job->session.finish(startFromPython(best));
        }
        return resultToPython(r);
    });
}
