#!/usr/bin/env bash
# Builds everything with the address and undefined-behaviour sanitizers in
# build-sanitize/ and runs the whole test suite under them. Any report fails
# the test that caused it.
#   tools/sanitize.sh            (FUZZ_SECONDS: the fuzzing run's time, default 5)
set -euo pipefail
cd "$(dirname "$0")/.."
# The test lists are read from the programs while building: same options then.
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Release -DAMMONITE_SANITIZE=ON \
      -DAMMONITE_BUILD_BENCH=OFF -DAMMONITE_FUZZ_SECONDS="${FUZZ_SECONDS:-5}" "${launcher[@]}"
cmake --build build-sanitize -j"${JOBS:-2}"
# The fit's recovery of every form is checked in the ordinary run; under the
# sanitizers three forms (hamites, scaphites and the made helix) take the
# fit through its planar and its 3D paths in a quarter of the time.
ctest --test-dir build-sanitize --output-on-failure -j"${JOBS:-2}" --timeout 900 \
      -E 'Recovery\.FitsTheCentreLineDensityAndOrientation/("(baculites|crioceratites|ancyloceras|turrilites|didymoceras|nipponites)"|[02])$'

