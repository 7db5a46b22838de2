#!/usr/bin/env bash
# Regenerates the gallery: grows every scenario file gallery/NAME.toml (its
# profiles and options together; the profile file gallery/NAME.txt holds the
# same profiles for D-Load) with the batch tool, paints docs/gallery/NAME.png
# (SHADE) and rewrites docs/gallery.md with the pictures, the hydrostatics of
# each run and the command that reproduces it.
#   bash tools/gallery.sh [path of ammonite-batch]   (default build/ammonite-batch)
set -euo pipefail
cd "$(dirname "$0")/.."
batch=${1:-build/ammonite-batch}
if [[ ! -x $batch ]]; then
    echo "gallery.sh: no batch tool at $batch (build it: cmake --build build --target ammonite-batch)" >&2
    exit 2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p docs/gallery
page=$work/gallery.md

cat > "$page" <<'HEAD'
# Gallery of heteromorph forms

Each form is a scenario file in `gallery/` (`NAME.toml`, see [scenario.md](scenario.md)):
its profiles, α, stage count, scale, origin, view and the other settings together. Open it
with File ▸ Open scenario in the main window, give it to `ammonite-batch --scenario`, or to
`ammonite.Scenario.load` in Python. The profiles alone are also a profile data file
(`NAME.txt`, for D-Load in the profile window). The pictures are SHADE renderings made by
`tools/gallery.sh`, which also writes this page; run it again after a change of the model
so that the pictures stay true. Each picture carries its scenario, so
`ammonite-batch --scenario-from docs/gallery/NAME.png` grows the form again.

The hydrostatics line gives what the main window shows after the (last) run: the
orientation angle, the mean density, the P/T ratio and the stability index, and the
number of stages built. The reproducing command prints the full summary on standard output.

From stage 201 the regulation model sets γ, the curvature and the torsion itself: the tube
runs straight, with ribs, and bends only into its half-turn hook once the shell has tipped
over (from stage 801). So most of each form is drawn by the profiles of stages 1 to 200;
forms that stop by stage 200 may use another α, the others keep α = 1.005 (a run that
reaches stage 201 leaves α at 1.005, so a second START with `--runs 2` would grow another
shell). `runs = 2` draws the shell in its life orientation, as a second START does.
HEAD

for file in gallery/*.toml; do
    name=$(basename "$file" .toml)
    # The texts of the form, read with Python's own TOML reader.
    field() { /usr/bin/python3 -c 'import sys, tomllib; print(tomllib.load(open(sys.argv[1], "rb")).get(sys.argv[2], ""))' "$file" "$1"; }
    heading=$(field heading)
    text=$(field description)
    "$batch" --scenario "$file" --png "docs/gallery/$name.png" --summary "$work/$name.txt"
    value() { sed -n "s/^$1=//p" "$work/$name.txt"; }
    {
        echo
        echo "## $heading"
        echo
        echo "![$heading](gallery/$name.png)"
        echo
        echo "$text"
        echo
        echo "Hydrostatics: orientation $(value orientation_label)°, density $(value density_label)," \
             "P/T $(value pt_ratio_text) %, stability $(value stability_label)," \
             "$(value shown_stage) stages."
        echo
        echo '```sh'
        echo "ammonite-batch --scenario gallery/$name.toml --png docs/gallery/$name.png"
        echo '```'
    } >> "$page"
    echo "gallery.sh: $name" >&2
done

mv "$page" docs/gallery.md
