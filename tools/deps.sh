#!/usr/bin/env bash
# Installs the build and test dependencies that are missing (Debian 12, as root).
set -euo pipefail
packages=(build-essential cmake ninja-build qt6-base-dev libgl-dev libgtest-dev libbenchmark-dev
          fonts-ipafont-gothic clang libclang-rt-14-dev
          dpkg-dev file desktop-file-utils man-db
          # scenario files (TOML)
          libtomlplusplus-dev
          # the Python package, its tests, Dask sweeps and the example's figure
          pybind11-dev python3-dev python3-numpy python3-pandas python3-distributed python3-pytest
          python3-matplotlib
          # the Python package's HTML reference (tools/docs.sh) and sweeps as datasets
          python3-sphinx python3-xarray
          # films: the encoder the batch tool, VIEW and Python pipe their frames to
          ffmpeg
          # the fit of the profiles to a specimen
          libnlopt-cxx-dev
          # the windows' title bars under a window manager on a virtual screen
          xvfb openbox)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "${missing[@]}"
fi
