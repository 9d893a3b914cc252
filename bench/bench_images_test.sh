#!/usr/bin/env bash
# Renders the three bench scenes small (160 x 120, antialias 0 and 3, one
# and two threads) and compares each picture with the one the reference
# engine made: a faster engine must not change a single byte.
#
#   bench/bench_images_test.sh BIN_DIR [WORK_DIR]
#
# BIN_DIR holds qmx and rz. The scenes come from the shared bench folder's
# generator beside the repository (or SCENE_GEN), as for render_bench.sh;
# without it the test is skipped (exit 77).
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(cd "$HERE/.." && pwd)"
BIN="$(cd "${1:?usage: bench_images_test.sh BIN_DIR [WORK_DIR]}" && pwd)"
WORK="${2:-$(mktemp -d)}"
GEN=${SCENE_GEN:-"$ROOT/../shared/bench/gen_scenes.py"}
[ -f "$GEN" ] || { echo "bench_images_test: no scene generator at $GEN: skipped"; exit 77; }

# MD5 of the BMP pictures rendered by the reference engine (the build of
# the engine before its traversal and facet-test speed-ups), per scene and
# antialias level; every thread count gives the same picture.
declare -A EXPECTED=(
  [s1_mesh,0]=083f44920f914fe1c678fda255e0bed7
  [s1_mesh,3]=dcf2d22dfe68bf8a18a6947f72f9eee4
  [s2_mirrors,0]=7910926575cd6839ff3f09a89d56ebab
  [s2_mirrors,3]=1552d57839cfc28db01f465840217d6d
  [s3_glass,0]=dfab7be2d9cac2c755bcf21ee8e944e0
  [s3_glass,3]=328f5b14827276135e587a89c65901ab
)

mkdir -p "$WORK/scenes"
python3 "$GEN" --outdir "$WORK/scenes" --scale-s1 0.87 >/dev/null
passed=0
failed=0
for scene in s1_mesh s2_mirrors s3_glass; do
  dir="$WORK/$scene"
  mkdir -p "$dir"
  mapfile -t args < <(python3 "$HERE/scene_to_qmx.py" qmx-args "$WORK/scenes/$scene.json" "$dir/$scene.MAQ")
  "$BIN/qmx" --batch "${args[@]}" >"$dir/qmx.log" 2>&1
  python3 "$HERE/scene_to_qmx.py" project "$WORK/scenes/$scene.json" "$dir/$scene.RPJ" 0
  for aa in 0 3; do
    for threads in 1 2; do
      out="$dir/aa${aa}_t$threads"
      rm -rf "$out"
      "$BIN/rz" --batch "$dir/$scene.MAQ" --size 160x120 --aa "$aa" --mode raytrace --threads "$threads" \
        --format24 BMP24 --no-resume --out "$out" >"$out.log" 2>&1
      sum=$(md5sum "$out"/*.BMP | cut -c1-32)
      if [ "$sum" = "${EXPECTED[$scene,$aa]}" ]; then
        passed=$((passed + 1))
      else
        failed=$((failed + 1))
        echo "$scene AA $aa, $threads thread(s): picture $sum, the reference engine's ${EXPECTED[$scene,$aa]}"
      fi
    done
  done
done
if [ -z "${2:-}" ]; then rm -rf "$WORK"; fi
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
