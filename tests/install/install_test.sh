#!/usr/bin/env bash
# Installs the build into a temporary root (DESTDIR) and runs the installed
# programs from a folder of their own, far from the build and source trees:
# the version, a default run, a gallery form found under the prefix, the
# desktop entry, the manual page and, when built, the Python package.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
version=$(sed -n 's/^inline constexpr char kVersion\[\] = "\(.*\)";$/\1/p' "$build/generated/core/version.h")
[ -n "$version" ] || { echo "no version in $build/generated/core/version.h"; exit 1; }

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$root/dest" cmake --install "$build" --prefix /usr >"$root/install.log" || {
    cat "$root/install.log"; fail "cmake --install"; }
prefix="$root/dest/usr"
for f in bin/ammonite bin/ammonite-batch share/applications/ammonite.desktop \
         share/icons/hicolor/scalable/apps/ammonite.svg share/man/man1/ammonite-batch.1.gz \
         share/doc/ammonite/README.md share/doc/ammonite/LICENSE share/doc/ammonite/copyright \
         share/ammonite/gallery/baculites.txt; do
    [ -f "$prefix/$f" ] || fail "not installed: $f"
done
[ -x "$prefix/bin/ammonite-batch" ] || fail "ammonite-batch is not executable"

# The installed programs are not tied to the build folder.
if grep -qaF "$build" "$prefix/bin/ammonite" "$prefix/bin/ammonite-batch"; then
    fail "an installed program holds the build folder's path $build"
fi

# Run from another folder, with the source and build trees out of reach of the
# working directory.
work="$root/work"
mkdir -p "$work"
cd "$work"
export QT_QPA_PLATFORM=offscreen
[ "$("$prefix/bin/ammonite-batch" --version)" = "ammonite $version" ] || fail "ammonite-batch --version"
[ "$("$prefix/bin/ammonite" --version 2>/dev/null)" = "ammonite $version" ] || fail "ammonite --version"

"$prefix/bin/ammonite-batch" --summary summary.txt --svg shell.svg --stl shell.stl --mesh-ring-points 12 \
    >out.txt 2>err.txt || { cat err.txt; fail "default run"; }
grep -qx "last_stage=3000" summary.txt || fail "default run: no last_stage=3000 in the summary"
[ "$(tail -n 1 summary.txt)" = "generator=ammonite $version" ] || fail "summary: generator is not the last line"
grep -qx "generator=ammonite $version" shell_volumes.txt || fail "mesh sidecar: no generator line"
grep -qF "<!-- generator=ammonite $version -->" shell.svg || fail "SVG: no generator comment"

# A form of the installed gallery runs (its files are readable from there).
"$prefix/bin/ammonite-batch" --profiles "$prefix/share/ammonite/gallery/baculites.txt" --stages 400 \
    >baculites.txt 2>err.txt || { cat err.txt; fail "gallery form"; }
grep -q "^last_stage=" baculites.txt && ! grep -qx "last_stage=3000" baculites.txt ||
    fail "gallery form: its profiles were not read (last_stage of the default shell)"

# Every option of --help is in the manual page, and the page renders cleanly.
zcat "$prefix/share/man/man1/ammonite-batch.1.gz" >manual.1
for option in $("$prefix/bin/ammonite-batch" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    grep -qF -- "$(printf '%s' "$option" | sed 's/-/\\-/g')" manual.1 || fail "manual page lacks $option"
done
grep -qF "ammonite $version" manual.1 || fail "manual page: no version"
if command -v man >/dev/null; then
    warnings=$(MANWIDTH=80 man --warnings -l manual.1 2>&1 >/dev/null || true)
    [ -z "$warnings" ] || fail "manual page warnings: $warnings"
fi

if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate --no-hints "$prefix/share/applications/ammonite.desktop" || fail "desktop entry"
fi
grep -qx "Categories=Education;Science;" "$prefix/share/applications/ammonite.desktop" || fail "desktop categories"

# The Python package, when the build has it.
pydir="$prefix/lib/python3/dist-packages"
if [ -d "$pydir/ammonite" ]; then
    got=$(PYTHONPATH="$pydir" /usr/bin/python3 -c "import ammonite; print(ammonite.__version__)") ||
        fail "import ammonite from $pydir"
    [ "$got" = "$version" ] || fail "ammonite.__version__ is '$got', not $version"
    # Type checkers read the package's hints only where it says it has them.
    [ -f "$pydir/ammonite/py.typed" ] || fail "the Python package has no py.typed"
fi
echo "installed tree in $prefix: all checks passed"
