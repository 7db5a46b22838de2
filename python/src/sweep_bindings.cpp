// Sweeps for Python: grid points run on the engine's threads and come back as
// columns of numbers (one NumPy array per result, the error texts as a list),
// and the sweep table written row by row through the safe writer, so that a
// grid of any size goes to a file without being held whole.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "core/safe_file.h"
#include "model/model_state.h"
#include "session/sweep.h"
#include "sweep_bindings.h"

namespace py = pybind11;

namespace ammonite::python {

namespace {

// The angle as the tables write it: the engine keeps it in single precision,
// and the tables give the shortest decimal that reads back as that float, so
// 76.72f is 76.72 here too, not 76.72000122070312.
double AsWritten(float value) {
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, value);
    double out = 0;
    std::from_chars(text, written.ptr, out);
    return out;
}

// The columns of a block of rows: the engine's own values, unrounded.
py::dict RowsToColumns(const std::vector<SweepRow>& rows, size_t axisCount) {
    const auto n = static_cast<py::ssize_t>(rows.size());
    py::array_t<double> values({n, static_cast<py::ssize_t>(axisCount)});
    py::array_t<bool> computed(n);
    py::array_t<std::int64_t> shownStage(n), ribs(n);
    py::array_t<double> orientation(n), density(n), ptRatio(n), stability(n);
    auto v = values.mutable_unchecked<2>();
    auto c = computed.mutable_unchecked<1>();
    auto s = shownStage.mutable_unchecked<1>();
    auto r = ribs.mutable_unchecked<1>();
    auto o = orientation.mutable_unchecked<1>();
    auto d = density.mutable_unchecked<1>();
    auto p = ptRatio.mutable_unchecked<1>();
    auto b = stability.mutable_unchecked<1>();
    py::list errors;
    for (py::ssize_t i = 0; i < n; ++i) {
        const SweepRow& row = rows[static_cast<size_t>(i)];
        for (size_t k = 0; k < axisCount; ++k) v(i, static_cast<py::ssize_t>(k)) = row.values[k];
        c(i) = row.computed;
        s(i) = row.shownStage;
        r(i) = row.ribs;
        o(i) = AsWritten(row.orientationAngle);
        d(i) = row.meanDensity;
        p(i) = row.ptRatio;
        b(i) = row.stabilityIndex;
        errors.append(py::str(row.error));
    }
    py::dict out;
    out["values"] = values;
    out["computed"] = computed;
    out["error"] = errors;
    out["shown_stage"] = shownStage;
    out["orientation_angle"] = orientation;
    out["mean_density"] = density;
    out["pt_ratio"] = ptRatio;
    out["stability_index"] = stability;
    out["ribs"] = ribs;
    return out;
}

// The rows back from their columns (columns made by RowsToColumns, maybe on
// another machine), for the table's text.
// Columns unpickled from a worker's message may lie at any byte offset in
// it; reading a double there is undefined, so such columns are copied to
// aligned memory first.
template <typename T>
using AlignedColumn = py::array_t<T, py::array::c_style | py::array::forcecast |
                                         py::detail::npy_api::NPY_ARRAY_ALIGNED_>;

std::vector<SweepRow> ColumnsToRows(const py::dict& columns) {
    const auto values = columns["values"].cast<AlignedColumn<double>>();
    const auto stage = columns["shown_stage"].cast<AlignedColumn<std::int64_t>>();
    const auto ribs = columns["ribs"].cast<AlignedColumn<std::int64_t>>();
    const auto orientation = columns["orientation_angle"].cast<AlignedColumn<double>>();
    const auto density = columns["mean_density"].cast<AlignedColumn<double>>();
    const auto ptRatio = columns["pt_ratio"].cast<AlignedColumn<double>>();
    const auto stability = columns["stability_index"].cast<AlignedColumn<double>>();
    const auto errors = columns["error"].cast<std::vector<std::string>>();
    if (values.ndim() != 2) throw py::value_error("sweep columns: values must have one row per point");
    const auto n = values.shape(0);
    for (const py::array* a : {static_cast<const py::array*>(&stage), static_cast<const py::array*>(&ribs),
                               static_cast<const py::array*>(&orientation), static_cast<const py::array*>(&density),
                               static_cast<const py::array*>(&ptRatio), static_cast<const py::array*>(&stability)})
        if (a->ndim() != 1 || a->shape(0) != n) throw py::value_error("sweep columns of different lengths");
    if (static_cast<py::ssize_t>(errors.size()) != n) throw py::value_error("sweep columns of different lengths");
    auto v = values.unchecked<2>();
    std::vector<SweepRow> rows(static_cast<size_t>(n));
    for (py::ssize_t i = 0; i < n; ++i) {
        SweepRow& row = rows[static_cast<size_t>(i)];
        for (py::ssize_t k = 0; k < values.shape(1); ++k) row.values.push_back(v(i, k));
        row.computed = true;
        row.error = errors[static_cast<size_t>(i)];
        row.shownStage = static_cast<int>(stage.at(i));
        row.ribs = static_cast<int>(ribs.at(i));
        row.orientationAngle = static_cast<float>(orientation.at(i));
        row.meanDensity = density.at(i);
        row.ptRatio = ptRatio.at(i);
        row.stabilityIndex = stability.at(i);
    }
    return rows;
}

// The package's WriteError (an OSError), set when the sweeps are bound.
PyObject* writeErrorType = nullptr;

// A file failure, raised as WriteError.
[[noreturn]] void WriteFailed(const std::string& error) {
    PyErr_SetString(writeErrorType ? writeErrorType : PyExc_OSError, error.c_str());
    throw py::error_already_set();
}

// The sweep table as a file: the header, then blocks of rows as they are
// done, made public only by commit(); until then the old file stays.
class SweepFile {
public:
    explicit SweepFile(const std::string& path) : file_(std::make_unique<SafeFileWriter>(path)) {
        if (!file_->open()) WriteFailed(file_->error());
    }
    void writeHeader(const std::vector<SweepAxis>& axes) { write(SweepCsvHeader(axes)); }
    void writeRows(const std::vector<SweepRow>& rows) {
        std::string text;
        for (const SweepRow& row : rows) text += SweepCsvRow(row);
        write(text);
    }
    void writeColumns(const py::dict& columns) { writeRows(ColumnsToRows(columns)); }
    void commit() {
        live();
        bool ok;
        {
            py::gil_scoped_release unlocked;
            ok = file_->commit();
        }
        if (!ok) {
            const std::string error = file_->error();
            file_.reset();
            WriteFailed(error);
        }
        file_.reset();
    }
    void discard() {
        if (file_) file_->discard();
        file_.reset();
    }

private:
    void live() const {
        if (!file_) throw py::value_error("the sweep file is already closed");
    }
    void write(const std::string& text) {
        live();
        file_->write(text);
        if (file_->failed()) {
            // The reason is kept by the writer and given by finish().
            file_->finish();
            const std::string error = file_->error();
            file_->discard();
            file_.reset();
            WriteFailed(error);
        }
    }
    std::unique_ptr<SafeFileWriter> file_;
};

// Runs the points on `jobs` threads while the caller waits without the
// interpreter lock; every tenth of a second, and once at the end,
// `progress(done, total)` is called and Ctrl+C is looked for: it cancels the
// points not yet started and raises. With a `file` the rows are also written
// to it, in order.
py::dict RunPoints(const SessionOptions& options, const std::vector<SweepAxis>& axes,
                   const std::vector<std::vector<double>>& points, int jobs, const py::object& progress,
                   SweepFile* file) {
    std::vector<SweepRow> rows(points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        if (points[i].size() != axes.size())
            throw py::value_error("a sweep point has " + std::to_string(points[i].size()) + " values for " +
                                  std::to_string(axes.size()) + " axes");
        rows[i].values = points[i];
        for (size_t k = 0; k < axes.size(); ++k) {
            std::string error;
            if (!CheckSweepValue(axes[k], rows[i].values[k], error)) throw py::value_error(error);
        }
    }
    std::atomic<bool> cancel{false};
    std::atomic<size_t> done{0};
    std::mutex mutex;
    std::condition_variable changed;
    bool finished = false;
    std::exception_ptr failure;
    SweepControl control;
    control.jobs = jobs;
    control.cancel = &cancel;
    control.pointDone = [&](size_t, const SweepRow&) { done.fetch_add(1); };
    SweepTiming timing;
    std::thread runner;
    {
        py::gil_scoped_release unlocked;
        runner = std::thread([&] {
            try {
                RunSweepRows(options, axes, rows, control, timing);
            } catch (...) {
                failure = std::current_exception();  // raised in the caller's thread
            }
            std::lock_guard<std::mutex> lock(mutex);
            finished = true;
            changed.notify_all();
        });
    }
    auto waitForRunner = [&] {
        py::gil_scoped_release unlocked;
        runner.join();
    };
    for (;;) {
        bool over = false;
        size_t reported = 0;
        {
            py::gil_scoped_release unlocked;
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait_for(lock, std::chrono::milliseconds(100), [&] { return finished; });
            over = finished;
            reported = done.load();
        }
        try {
            if (!progress.is_none()) progress(reported, points.size());
            if (PyErr_CheckSignals() != 0) throw py::error_already_set();
        } catch (...) {
            cancel = true;
            waitForRunner();
            throw;
        }
        if (over) break;
    }
    waitForRunner();
    if (failure) std::rethrow_exception(failure);
    if (file) file->writeRows(rows);
    return RowsToColumns(rows, axes.size());
}

}  // namespace

void BindSweeps(py::module_& m) {
    // Kept for the life of the process, as the module's own types are.
    writeErrorType = py::object(m.attr("WriteError")).release().ptr();
    m.attr("SEA_WATER_DENSITY") = kSeaWaterDensity;
    py::class_<SweepFile>(m, "SweepFile")
        .def(py::init<const std::string&>(), py::arg("path"))
        .def("write_header", &SweepFile::writeHeader)
        .def("write_columns", &SweepFile::writeColumns)
        .def("commit", &SweepFile::commit)
        .def("discard", &SweepFile::discard);
    m.def("run_points", &RunPoints, py::arg("options"), py::arg("axes"), py::arg("points"), py::arg("jobs") = 0,
          py::arg("progress") = py::none(), py::arg("file") = nullptr);
}

}  // namespace ammonite::python
