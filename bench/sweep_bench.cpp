// A morphospace sweep of the batch tool: 2 values of α × 10 densities of the
// body chamber over the default shell, 20 independent models. Wall time and
// the process's CPU time over all threads are both reported, so the share of
// the work the cores take together can be read off (wall ≈ CPU / threads).
#include <benchmark/benchmark.h>

#include <string>

#include "cli/batch_options.h"
#include "session/sweep.h"

using namespace ammonite;

namespace {

batch::Options sweepOptions() {
    batch::Options options;
    std::string error;
    if (!batch::ParseArguments({"--sweep", "alpha=1.004:1.006:2", "--sweep", "density_body=1.0:1.5:10"}, options,
                               error))
        std::abort();
    return options;
}

void BM_Sweep2x10(benchmark::State& state) {
    const batch::Options options = sweepOptions();
    const int jobs = static_cast<int>(state.range(0));
    double wall = 0, cpu = 0;
    for (auto _ : state) {
        batch::SweepTiming timing;
        ammonite::SweepControl control;
        control.jobs = jobs;
        auto rows = ammonite::RunSweep(options, options.sweeps, control, timing);
        benchmark::DoNotOptimize(rows.data());
        wall += timing.wallSeconds;
        cpu += timing.cpuSeconds;
    }
    state.counters["cpu_over_wall"] = wall > 0 ? cpu / wall : 0;
}
BENCHMARK(BM_Sweep2x10)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

}  // namespace

namespace {

// The same grid with its rows streamed in grid order as CSV text and none
// kept, as the batch tool's --sweep-out writes it; compare with the kept
// grid on two threads above.
void BM_Sweep2x10Streamed(benchmark::State& state) {
    const batch::Options options = sweepOptions();
    for (auto _ : state) {
        batch::SweepTiming timing;
        ammonite::SweepControl control;
        control.jobs = static_cast<int>(state.range(0));
        control.keepRows = false;
        std::string csv = ammonite::SweepCsvHeader(options.sweeps);
        control.rowInOrder = [&](size_t, const ammonite::SweepRow& row) { csv += ammonite::SweepCsvRow(row); };
        ammonite::RunSweep(options, options.sweeps, control, timing);
        benchmark::DoNotOptimize(csv.data());
    }
}
BENCHMARK(BM_Sweep2x10Streamed)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

}  // namespace
