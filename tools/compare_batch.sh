#!/usr/bin/env bash
# Runs two builds of ammonite-batch on the same option sets and compares every
# file they write, byte for byte. Used when the code is reshaped without
# meaning to change any result.
#   tools/compare_batch.sh OLD_BATCH NEW_BATCH [WORK_DIR]
# Exit status 0 when every output is identical.
set -uo pipefail
old=$(realpath "$1")
new=$(realpath "$2")
work=${3:-$(mktemp -d)}
root=$(cd "$(dirname "$0")/.." && pwd)
export QT_QPA_PLATFORM=offscreen

sets=(
  "default|--tables T.csv --log L.txt --summary S.txt --png P.png --svg V.svg --stl M.stl"
  "second-start-shade|--runs 2 --shade --tables T.csv --log L.txt --summary S.txt --png P.png --svg V.svg"
  "options|--stages 500 --scale 3 --densities 0.7,1.2 --thresholds 150,350,-20,-60 --runs 2 --tables T.csv --log L.txt --summary S.txt --obj M.obj"
  "view|--orientation off --ribbing off --view 1,1,1 --light 0,1,1 --origin 400,300 --shade --summary S.txt --png P.png --ply M.ply"
  "profiles|--profiles $root/fuzz/corpus/short.txt --runs 3 --summary S.txt --tables T.csv --save-profiles F.txt"
  "early-stop|--stages 10 --summary S.txt --tables T.csv --stl M.stl"
  "sweep|--sweep alpha=1.001:1.01:4 --sweep density_body=1.1:1.5:3 --jobs 2 --sweep-out W.csv"
  "sweep-profiles|--sweep gamma=1.5:6:3 --sweep st1=100:300:2 --stages 400 --jobs 1 --sweep-out W.csv"
  "sweep-chart-error|--sweep gamma=1:2:3 --sweep ft2=-80:0:2 --stages 300 --sweep-out W.csv"
  "bars|--thresholds 100,500,-40,-10 --stages 900 --runs 2 --summary S.txt --png P.png --log L.txt --svg V.svg"
  "scale-text|--scale 2.5 --stages 1e3 --summary S.txt --png P.png"
  "stage-text|--stages 12abc --shade --summary S.txt --png P.png --tables T.csv"
  "overflow|--stages 1e9 --summary S.txt"
)

status=0
for entry in "${sets[@]}"; do
  name=${entry%%|*}
  args=${entry#*|}
  for side in old new; do
    dir=$work/$name/$side
    rm -rf "$dir"; mkdir -p "$dir"
    bin=$old; [ "$side" = new ] && bin=$new
    # shellcheck disable=SC2086
    (cd "$dir" && "$bin" $args > stdout.txt 2> /dev/null; echo "exit=$?" > exit.txt)
  done
  # A build that names itself in its files (the generator line of summaries
  # and sidecars, the SVG comment, the PNG text chunks) and the scenario the
  # results carry (the SVG metadata, the sidecar's closing block, a PNG text
  # chunk) are compared without those marks.
  for dir in "$work/$name/old" "$work/$name/new"; do
    for f in "$dir"/*; do
      case "$f" in
        *.txt|*.svg) sed -i -e '/^generator=/d' -e '/^<!-- generator=.* -->$/d' \
                       -e '/^<metadata id="ammonite-scenario">$/,/^<\/metadata>$/d' \
                       -e '/^# ammonite-scenario:/,$d' "$f" ;;
        *.png) /usr/bin/python3 "$root/tools/png_strip_text.py" "$f" ;;
      esac
    done
  done
  if diff -r "$work/$name/old" "$work/$name/new" > "$work/$name.diff"; then
    echo "same      $name ($(ls "$work/$name/old" | wc -l) files)"
  else
    echo "DIFFERENT $name: see $work/$name.diff"
    status=1
  fi
done
exit $status
