// The MORPHO window's sweep against the batch tool's: 30 × 30 default shells
// (α × the body chamber's density). The window runs the grid on all cores
// with every finished point handed on, as the window receives them; the
// batch tool runs the same grid with --jobs 2, once inside this process (its
// options, its sweep, its CSV) and once as the program itself. Each reports
// points per second per thread from the wall time of the whole grid, and
// points per CPU second (what one core does when it is not shared: on a
// loaded machine the wall figures fall, this one holds).
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "session/log_sink.h"
#include "app/main_window_logic.h"
#include "app/morpho_logic.h"
#include "session/sweep.h"
#include "cli/batch_options.h"

using namespace ammonite;

namespace {

constexpr double kPoints = 900;

void report(benchmark::State& state, double points, double wall, double cpu, int threads) {
    state.counters["threads"] = threads;
    state.counters["points_per_s"] = wall > 0 ? points / wall : 0;
    state.counters["points_per_s_per_core"] = wall > 0 ? points / wall / threads : 0;
    state.counters["points_per_cpu_s"] = cpu > 0 ? points / cpu : 0;
}

// CPU time of the finished child processes, in seconds.
double childrenCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void BM_MorphoWindowSweep30x30(benchmark::State& state) {
    ModelState model;
    NullSurface surface;
    MemoryLog log;
    MainWindowLogic main(model, surface, log);
    main.Load();
    MorphoLogic morpho(main);
    std::string error;
    if (!morpho.SetAxes({"alpha", "1.002", "1.008", "30"}, {"density_body", "0.9", "1.6", "30"}, error))
        std::abort();
    double points = 0, wall = 0, cpu = 0;
    int threads = 0;
    for (auto _ : state) {
        morpho.BeginRun();
        // The window's thread receives each point; here it is taken under a lock.
        std::mutex mutex;
        std::vector<std::pair<size_t, SweepRow>> arrived;
        SweepControl control;
        control.jobs = 0;
        control.pointDone = [&](size_t index, const SweepRow& row) {
            std::lock_guard<std::mutex> lock(mutex);
            arrived.emplace_back(index, row);
        };
        SweepTiming timing;
        const auto rows = RunSweep(morpho.CurrentOptions(), morpho.axes(), control, timing);
        for (const auto& [index, row] : arrived) morpho.PointDone(index, row);
        morpho.RunFinished(rows);
        points += kPoints;
        wall += timing.wallSeconds;
        cpu += timing.cpuSeconds;
        threads = timing.threads;
    }
    report(state, points, wall, cpu, threads);
}
BENCHMARK(BM_MorphoWindowSweep30x30)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_BatchSweep30x30Jobs2(benchmark::State& state) {
    batch::Options options;
    std::string error;
    if (!batch::ParseArguments({"--sweep", "alpha=1.002:1.008:30", "--sweep", "density_body=0.9:1.6:30", "--jobs", "2"},
                               options, error))
        std::abort();
    double points = 0, wall = 0, cpu = 0;
    int threads = 0;
    for (auto _ : state) {
        SweepControl control;
        control.jobs = options.jobs;
        SweepTiming timing;
        const auto start = std::chrono::steady_clock::now();
        const auto rows = RunSweep(options, options.sweeps, control, timing);
        std::ostringstream csv;
        WriteSweepCsv(csv, options.sweeps, rows);
        benchmark::DoNotOptimize(csv.str().data());
        points += kPoints;
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        cpu += timing.cpuSeconds;
        threads = timing.threads;
    }
    report(state, points, wall, cpu, threads);
}
BENCHMARK(BM_BatchSweep30x30Jobs2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5)
    ->ReportAggregatesOnly(true);

#ifdef AMMONITE_BATCH_PROGRAM
// The batch program as a user starts it, its table written to a file.
void BM_BatchProgram30x30Jobs2(benchmark::State& state) {
    const std::string command = std::string("'") + AMMONITE_BATCH_PROGRAM +
                                "' --sweep alpha=1.002:1.008:30 --sweep density_body=0.9:1.6:30 --jobs 2"
                                " --sweep-out /tmp/ammonite_morpho_bench.csv 2>/dev/null";
    double points = 0, wall = 0, cpu = 0;
    for (auto _ : state) {
        const double cpuStart = childrenCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("the batch program failed");
            return;
        }
        points += kPoints;
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        cpu += childrenCpuSeconds() - cpuStart;
    }
    std::remove("/tmp/ammonite_morpho_bench.csv");
    report(state, points, wall, cpu, 2);
}
BENCHMARK(BM_BatchProgram30x30Jobs2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5)
    ->ReportAggregatesOnly(true);
#endif

}  // namespace
