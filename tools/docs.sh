#!/usr/bin/env bash
# Builds the Python package's HTML reference from its docstrings (Sphinx with
# autodoc and napoleon, Debian's python3-sphinx) into build/docs/python, with
# every warning an error. Builds the package first when it is missing.
#   bash tools/docs.sh [BUILD_DIR]     (default: build)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
if [ ! -d "$build/python/ammonite" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
    cmake --build "$build" --target ammonite_python
fi
out="$build/docs/python"
PYTHONPATH="$build/python${PYTHONPATH:+:$PYTHONPATH}" QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" \
    /usr/bin/python3 -m sphinx -W --keep-going -q -b html -d "$build/docs/doctrees" "$root/docs/python" "$out"
echo "the Python reference: $out/index.html"
