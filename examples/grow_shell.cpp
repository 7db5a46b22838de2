// Grows the default shell through the engine alone, with no window, surface
// or log, and prints the same summary lines as ammonite-batch.
//   build/examples/grow_shell [STARTS]
#include <cstdlib>
#include <iostream>
#include <memory>

#include "model/growth.h"
#include "model/stage_results.h"

int main(int argc, char** argv) {
    using namespace ammonite;
    const int starts = argc > 1 ? std::atoi(argv[1]) : 1;

    // The model and its run state are large (a row per stage): keep them on the heap.
    auto model = std::make_unique<ModelState>();
    auto run = std::make_unique<RunState>();
    LoadModelDefaults(*model, *run);
    ResetRegulation(*model, *run, ThresholdBars{});

    try {
        for (int k = 0; k < starts; ++k) Start(*model, *run, RunInputs{});
    } catch (const RuntimeError& e) {
        std::cerr << "grow_shell: " << e.what() << '\n';
        WriteRunSummary(std::cout, *model, *run);
        return 1;
    }
    WriteRunSummary(std::cout, *model, *run);
    return 0;
}
