#!/bin/sh
# Builds the profile file reader's fuzz target with clang (libFuzzer, address
# and undefined-behaviour sanitizers) and runs it for a bounded time.
#   fuzz/run_profile_file_fuzz.sh [build-dir]     (FUZZ_SECONDS, default 25)
# Exit status 0: no crash, no sanitizer report, no broken property.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=${1:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-25}
mkdir -p "$out/profile_file_corpus"
clang++ -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$root/src" "$here/profile_file_fuzz.cpp" "$root/src/model/profile_file.cpp" \
    "$root/src/core/numeric.cpp" "$root/src/core/safe_file.cpp" "$root/src/model/model_state.cpp" -o "$out/profile_file_fuzz"
# New inputs go to the build folder; the seeds in fuzz/corpus stay as they are.
"$out/profile_file_fuzz" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -max_len=4096 \
    -artifact_prefix="$out/" "$out/profile_file_corpus" "$here/corpus"
