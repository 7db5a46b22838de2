// The film of the default shell (one START, 1700 stages): a 10 s growth film
// at 1080p and 30 frames per second (300 frames). The whole recording to MP4
// (frames drawn on all cores with their captions, piped to ffmpeg, the file
// written through the safe writer), the same frames drawn on all cores and
// dropped, and, as the baseline, a tenth of them drawn on one thread.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "session/film_recording.h"
#include "session/log_sink.h"
#include "app/main_window_logic.h"
#include "bench_window.h"
#include "picture/film_pictures.h"

using namespace ammonite;

namespace {

struct FilmShell {
    FilmShell() : logic(model, surface, log) {
        logic.Load();
        logic.ClickStart();
        if (!logic.run.hasRun) std::fprintf(stderr, "film bench: the default run did not complete\n");
        FilmSettings settings;
        settings.width = 1920;
        settings.height = 1080;
        settings.fps = 30;
        settings.seconds = 10;
        std::string error;
        if (!plan.prepare(model, logic.run, settings, error)) std::fprintf(stderr, "film bench: %s\n", error.c_str());
    }
    ModelState model;
    RecordingSurface surface;
    MemoryLog log;
    MainWindowLogic logic;
    FilmPlan plan;
};

FilmShell& filmShell() {
    bench::ensureGuiApplication();
    static FilmShell s;
    return s;
}

class DropFrames : public FilmSink {
public:
    bool frame(int, const PixelBuffer&, std::string&) override { return true; }
    bool finish(std::string&) override { return true; }
};

void report(benchmark::State& state, const FilmReport& r) {
    state.counters["frames"] = r.frames;
    state.counters["frames_per_s"] = r.seconds > 0 ? r.frames / r.seconds : 0;
    state.counters["threads"] = r.threads;
}

void BM_Film1080pGrowthToMp4(benchmark::State& state) {
    FilmShell& s = filmShell();
    if (FindProgram("ffmpeg").empty()) {
        state.SkipWithError("ffmpeg is not installed");
        return;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "ammonite_film_bench_XXXXXX").string();
    const std::filesystem::path dir = mkdtemp(pattern.data());
    FilmTarget target;
    target.file = (dir / "growth.mp4").string();
    target.metadata = FilmMetadata(s.model, s.plan.settings(), "film bench");
    const FilmTools tools{MakeFilmPicture, EncodeFilmPng};
    FilmReport r;
    for (auto _ : state) {
        std::string error;
        if (!RecordFilm(s.plan, target, tools, FilmControl{}, r, error)) state.SkipWithError(error.c_str());
    }
    report(state, r);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

void BM_Film1080pGrowthDrawnAllCores(benchmark::State& state) {
    FilmShell& s = filmShell();
    const FilmTools tools{MakeFilmPicture, EncodeFilmPng};
    FilmReport r;
    for (auto _ : state) {
        DropFrames sink;
        std::string error;
        if (!DrawFilm(s.plan, tools, sink, FilmControl{}, r, error)) state.SkipWithError(error.c_str());
    }
    report(state, r);
}

// The baseline: every tenth frame of the same film, one thread.
void BM_Film1080pGrowthDrawnOneThreadTenth(benchmark::State& state) {
    FilmShell& s = filmShell();
    FilmReport r;
    for (auto _ : state) {
        std::vector<std::vector<unsigned char>> frames;
        std::string error;
        const auto start = std::chrono::steady_clock::now();
        for (int k = 0; k < s.plan.frameCount(); k += 10)
            if (!DrawFilmFrames(s.plan, FilmTools{MakeFilmPicture, EncodeFilmPng}, k, 1, 1, frames, error))
                state.SkipWithError(error.c_str());
        r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        r.frames = (s.plan.frameCount() + 9) / 10;
        r.threads = 1;
    }
    report(state, r);
}

}  // namespace

BENCHMARK(BM_Film1080pGrowthToMp4)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_Film1080pGrowthDrawnAllCores)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)
    ->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_Film1080pGrowthDrawnOneThreadTenth)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)
    ->Repetitions(3)->ReportAggregatesOnly(true);
