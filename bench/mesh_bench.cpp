// The mesh export of the default shell (one START, 1700 stages, ribbing on,
// 360 points per ring: about 1.2 million triangles): building the mesh,
// writing its two binary STL files, and the whole STL export (build, both
// files and the sidecar through temporary names).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "session/log_sink.h"
#include "app/main_window_logic.h"
#include "render/mesh_files.h"
#include "render/shell_mesh.h"

using namespace ammonite;

namespace {

struct MeshShell {
    MeshShell() : logic(model, surface, log) {
        logic.Load();
        logic.ClickStart();
        if (!logic.run.hasRun || !logic.statusLine.caption().empty())
            std::fprintf(stderr, "mesh bench: the default run did not complete (%s)\n",
                         logic.statusLine.caption().c_str());
    }
    ModelState model;
    RecordingSurface surface;
    MemoryLog log;
    MainWindowLogic logic;
};

MeshShell& meshShell() {
    static MeshShell s;
    return s;
}

// A folder for the files, removed when the benchmark ends.
struct BenchDir {
    std::filesystem::path path;
    BenchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "ammonite_mesh_bench_XXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~BenchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

void counters(benchmark::State& state, const ShellMesh& mesh) {
    state.counters["triangles"] =
        static_cast<double>(mesh.phragmocone.triangles.size() + mesh.bodyChamber.triangles.size());
}

void BM_MeshBuildDefaultShell(benchmark::State& state) {
    MeshShell& s = meshShell();
    ShellMesh mesh;
    std::string error;
    for (auto _ : state) {
        if (!BuildShellMesh(s.model, s.logic.run, MeshOptions{}, mesh, error)) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(mesh.bodyChamber.vertices.data());
    }
    counters(state, mesh);
}

void BM_MeshWriteStlDefaultShell(benchmark::State& state) {
    MeshShell& s = meshShell();
    ShellMesh mesh;
    std::string error;
    if (!BuildShellMesh(s.model, s.logic.run, MeshOptions{}, mesh, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    BenchDir dir;
    const std::string air = (dir.path / "shell_phragmocone.stl").string();
    const std::string body = (dir.path / "shell_body_chamber.stl").string();
    for (auto _ : state) {
        if (!WriteMeshStl(air, "phragmocone", mesh.phragmocone, error) ||
            !WriteMeshStl(body, "body_chamber", mesh.bodyChamber, error))
            state.SkipWithError(error.c_str());
    }
    counters(state, mesh);
    const auto bytes = std::filesystem::file_size(air) + std::filesystem::file_size(body);
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_MeshExportStlDefaultShell(benchmark::State& state) {
    MeshShell& s = meshShell();
    BenchDir dir;
    const std::string path = (dir.path / "shell.stl").string();
    std::vector<std::string> written;
    std::string error;
    for (auto _ : state) {
        if (!ExportShellMesh(MeshFormat::Stl, path, s.model, s.logic.run, MeshOptions{}, written, error))
            state.SkipWithError(error.c_str());
    }
}

}  // namespace

BENCHMARK(BM_MeshBuildDefaultShell)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_MeshWriteStlDefaultShell)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_MeshExportStlDefaultShell)->Unit(benchmark::kMillisecond)->MinTime(1.0);
