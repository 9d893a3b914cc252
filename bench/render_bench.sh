#!/usr/bin/env bash
# Renders the bench scenes with our renderer (`rz --batch`) and with POV-Ray
# at the same size, antialiasing and thread count, and prints the times.
#
#   bench/render_bench.sh                 # every scene, 1 and 2 threads, with and without AA
#   SCENES="s3_glass" THREADS="2" AA="0" RUNS=3 bench/render_bench.sh
#
# The scene generator (gen_scenes.py) is taken from the shared bench folder
# beside the repository, or named by SCENE_GEN. It writes NAME.pov, NAME.dxf
# and NAME.json. A scene file holds at most 65535 faces before its last
# faceted object, and an imported object at most 32767 points (three per
# triangle), so S1 is generated at 0.87 of its size (75 936 triangles) for
# both renderers; a scene still above the limit is skipped with a note.
#
# For each scene: `qmx --batch` imports the DXF and applies materials,
# colours, lamps and the camera (bench/scene_to_qmx.py); a render project
# next to the scene file sets size, square pixels, sky, ground and depth.
# Wall time is taken around the whole process of either renderer; "POV
# trace s" is POV-Ray's own "Trace Time". "ours 2/1" divides the medians of
# the thread counts, "best 2/1" their shortest runs (the runs least slowed
# by the rest of the machine). Covered pixels (not sky) of both
# pictures are counted on the no-AA renders.
#
# Then the machine's own two-thread ratio (bench/parallel_probe.cpp), on
# work with no serial part at all, against which "ours 2/1" is read.
#
# Last, with S1 among the scenes, the primary-ray throughput of one thread:
# the pixels of a 640 x 480 render less those of a 320 x 240 one, over the
# difference of their times, so that reading and preparing the scene (the
# same for both) drop out. Each such ray is traced as in a render (the
# primary ray, its shading and its shadow ray). Beside it stand the figures
# of the Embree 3 probe (bench/embree_probe.cpp, built when Embree is
# installed) on the same rays, and the ratio of ours to Embree's.
#
# Environment: SCENES ["s1_mesh s2_mirrors s3_glass"], THREADS ["1 2"],
# AA ["0 3"] (3: our antialias level 3 against POV-Ray +A0.3 +AM2 +R3 -J),
# RUNS [1] (the median is kept), OUT [build/release/bench-render], W [640], H [480],
# BIN_DIR, SCENE_GEN.
set -euo pipefail
# Times and ratios are written and read with a decimal point.
export LC_ALL=C
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(cd "$HERE/.." && pwd)"
SCENES=${SCENES:-"s1_mesh s2_mirrors s3_glass"}
THREADS=${THREADS:-"1 2"}
AA=${AA:-"0 3"}
RUNS=${RUNS:-1}
W=${W:-640}
H=${H:-480}
OUT=${OUT:-"$ROOT/build/release/bench-render"}
S1_SCALE=${S1_SCALE:-0.87}
HELPER="$HERE/scene_to_qmx.py"
GEN=${SCENE_GEN:-"$ROOT/../shared/bench/gen_scenes.py"}

if ! command -v povray >/dev/null; then
  echo "installing povray" >&2
  apt-get install -y povray >/dev/null
fi
[ -f "$GEN" ] || { echo "render_bench: no scene generator at $GEN (set SCENE_GEN)" >&2; exit 2; }

# BIN_DIR: the programs of another Release build (default: build/release,
# built here when missing).
BIN=${BIN_DIR:-"$ROOT/build/release/bin"}
if [ -z "${BIN_DIR:-}" ] && { [ ! -x "$BIN/rz" ] || [ ! -x "$BIN/qmx" ]; }; then
  cmake -S "$ROOT" -B "$ROOT/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
  cmake --build "$ROOT/build/release" -j"$(nproc)" --target rz qmx
  cmake --build "$ROOT/build/release" -j"$(nproc)" --target embree_probe 2>/dev/null || true
fi
if [ -z "${BIN_DIR:-}" ] && [ ! -x "$BIN/parallel_probe" ]; then
  cmake --build "$ROOT/build/release" -j"$(nproc)" --target parallel_probe
fi

mkdir -p "$OUT/scenes" "$OUT/renders"
if [ ! -f "$OUT/scenes/s3_glass.json" ]; then
  python3 "$GEN" --outdir "$OUT/scenes" --scale-s1 "$S1_SCALE" >/dev/null
fi

calc() { awk "BEGIN { print $* }"; }
median() { sort -g | awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
shortest() { sort -g | head -1; }

# One timed run of a command; prints the wall seconds; its stderr goes to $LOG.
# The shell's own clock: reading it starts no process, so the time is the
# command's alone.
timed() {
  local t0 t1
  t0=$EPOCHREALTIME
  "$@" >>"$LOG" 2>&1 || { echo "render_bench: failed: $*" >&2; tail -5 "$LOG" >&2; return 1; }
  t1=$EPOCHREALTIME
  calc "$t1 - $t0"
}

povflags() {
  if [ "$1" = 0 ]; then echo "-A"; else echo "+A0.3 +AM2 +R3 -J"; fi
}

declare -A OURS BEST
printf '%-11s %7s %3s %10s %10s %12s %7s %9s %9s\n' scene threads AA "ours s" "POV s" "POV trace s" ratio "ours 2/1" \
  "best 2/1"
for scene in $SCENES; do
  json="$OUT/scenes/$scene.json"
  work="$OUT/renders/$scene"
  mkdir -p "$work"
  LOG="$work/log.txt"
  : >"$LOG"
  maq="$work/$scene.MAQ"
  t0=$EPOCHREALTIME
  mapfile -t args < <(python3 "$HELPER" qmx-args "$json" "$maq")
  if ! "$BIN/qmx" --batch "${args[@]}" >>"$LOG" 2>&1 || ! "$BIN/qmx" --batch --info "$maq" >>"$LOG" 2>&1; then
    faces=$(python3 -c "import json,sys; print(sum(o['triangles'] for o in json.load(open(sys.argv[1]))['objects']))" "$json")
    echo "$scene: skipped, the modeler's scene file cannot hold it ($faces faces; see $LOG)"
    continue
  fi
  t1=$EPOCHREALTIME
  echo "$scene: DXF import and scene file $(printf '%.2f' "$(calc "$t1 - $t0")") s" >&2
  for aa in $AA; do
    python3 "$HELPER" project "$json" "$work/$scene.RPJ" "$aa"
    # Runs alternate between the thread counts, so that a slow spell of the
    # machine weighs on every count alike and not on one of them.
    declare -A ours=() pov=() trace=()
    for ((run = 0; run < RUNS; run++)); do
      for threads in $THREADS; do
        rm -rf "$work/out_t$threads"
        ours[$threads]+=" $(timed "$BIN/rz" --batch "$maq" --size "${W}x$H" --aa "$aa" --mode raytrace \
                              --threads "$threads" --format24 BMP24 --no-resume --out "$work/out_t$threads")"
        ppm="$work/pov_aa${aa}_t$threads.ppm"
        # shellcheck disable=SC2046
        pov[$threads]+=" $(timed povray "$OUT/scenes/$scene.pov" +W$W +H$H -D +WT$threads $(povflags "$aa") \
                             +O"$ppm" +FP)"
        trace[$threads]+=" $(grep -a 'Trace Time' "$LOG" | tail -1 | sed 's/.*(\([0-9.]*\) seconds).*/\1/')"
      done
    done
    for threads in $THREADS; do
      o=$(printf '%s\n' ${ours[$threads]} | median)
      p=$(printf '%s\n' ${pov[$threads]} | median)
      tr=$(printf '%s\n' ${trace[$threads]} | median)
      OURS[$scene,$aa,$threads]=$o
      BEST[$scene,$aa,$threads]=$(printf '%s\n' ${ours[$threads]} | shortest)
      scaling="" best=""
      if [ "$threads" != 1 ] && [ -n "${OURS[$scene,$aa,1]:-}" ]; then
        scaling=$(printf '%.2f' "$(calc "$o / ${OURS[$scene,$aa,1]}")")
        best=$(printf '%.2f' "$(calc "${BEST[$scene,$aa,$threads]} / ${BEST[$scene,$aa,1]}")")
      fi
      printf '%-11s %7s %3s %10.3f %10.3f %12.3f %7.2f %9s %9s\n' "$scene" "$threads" "$aa" "$o" "$p" "$tr" \
        "$(calc "$o / $p")" "$scaling" "$best"
      if [ "$aa" = 0 ]; then
        bmp=$(ls "$work/out_t$threads"/*.BMP | head -1)
        cp "$bmp" "$work/ours_t$threads.BMP"
        echo "$scene: covered pixels $(python3 "$HELPER" coverage "$bmp" "$work/pov_aa0_t$threads.ppm")" >&2
      fi
    done
  done
done

# The two-thread ratio of this machine on work with no serial part: what
# "ours 2/1" is to be read against.
if [[ " $THREADS " == *" 1 "* && " $THREADS " == *" 2 "* && -x "$BIN/parallel_probe" ]]; then
  "$BIN/parallel_probe" "$((RUNS > 9 ? RUNS : 9))"
fi

s1="$OUT/renders/s1_mesh/s1_mesh.MAQ"
if [[ " $SCENES " == *" s1_mesh "* ]] && [ -f "$s1" ]; then
  LOG="$OUT/renders/s1_mesh/rays_log.txt"
  : >"$LOG"
  declare -A rays=()
  for ((run = 0; run < RUNS; run++)); do
    for size in 640x480 320x240; do
      rm -rf "$OUT/renders/s1_mesh/rays_$size"
      rays[$size]+=" $(timed "$BIN/rz" --batch "$s1" --size "$size" --aa 0 --mode raytrace --threads 1 \
                        --format24 BMP24 --no-resume --out "$OUT/renders/s1_mesh/rays_$size")"
    done
  done
  big=$(printf '%s\n' ${rays[640x480]} | median)
  small=$(printf '%s\n' ${rays[320x240]} | median)
  ours_rate=$(calc "(307200 - 76800) / ($big - $small) / 1e6")
  printf 's1_mesh primary rays, 1 thread: %.2f M rays/s (%.3f s at 640 x 480, %.3f s at 320 x 240)\n' \
    "$ours_rate" "$big" "$small"
  # The probe casts the same camera rays at the same facets with Embree 3
  # (and with our nearest cast alone); it is built when Embree is found.
  if [ -x "$BIN/embree_probe" ]; then
    "$BIN/embree_probe" "$s1" 640 480 "$((RUNS > 3 ? RUNS : 3))" >"$OUT/renders/s1_mesh/embree.txt"
    cat "$OUT/renders/s1_mesh/embree.txt"
    embree_rate=$(sed -n 's/^embree: \([0-9.]*\) M rays.*/\1/p' "$OUT/renders/s1_mesh/embree.txt")
    printf 's1_mesh primary rays (traced and shaded as in a render) / embree rays: %.3f\n' \
      "$(calc "$ours_rate / $embree_rate")"
  elif [ -d /usr/include/embree3 ]; then
    echo "Embree 3 is installed but $BIN has no embree_probe: configure the build again to make it"
  else
    echo "Embree 3 is not installed (no /usr/include/embree3): no Embree figure beside it"
  fi
fi
