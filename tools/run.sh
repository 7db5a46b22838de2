#!/usr/bin/env bash
# Installs what is missing, builds the program and opens its main window.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build --target ammonite
exec ./build/ammonite "$@"
