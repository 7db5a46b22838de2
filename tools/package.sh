#!/usr/bin/env bash
# Builds the Debian package of ammonite from this source tree (a fresh clone
# is enough): installs what is missing, configures a build of its own in
# build-package/ for the prefix /usr, without tests, benchmarks or the source
# tree's gallery fallback, and writes ammonite_VERSION-1_ARCH.deb at the top of
# the tree. Install it with: apt-get install ./ammonite_*.deb
# Environment: JOBS (parallel build jobs, default: all cores),
#              BUILD_DIR (default: build-package).
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
bash tools/deps.sh

build=${BUILD_DIR:-build-package}
rm -rf "$build"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DAMMONITE_BUILD_TESTS=OFF -DAMMONITE_BUILD_BENCH=OFF -DAMMONITE_SOURCE_GALLERY_FALLBACK=OFF \
      -DPython3_EXECUTABLE=/usr/bin/python3 --no-warn-unused-cli "${launcher[@]}"
cmake --build "$build" -j"${JOBS:-$(nproc)}"
(cd "$build" && cpack -G DEB)

shopt -s nullglob
debs=("$build"/ammonite_*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "package.sh: expected one .deb in $build, found ${#debs[@]}" >&2; exit 1; }
rm -f "$top"/ammonite_*.deb
cp "${debs[0]}" "$top/"
deb="$top/$(basename "${debs[0]}")"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
echo "written: $deb"
