#!/usr/bin/env python3
"""Where the wall time of one `rz --batch` render goes, stage by stage.

    bench/render_stages.py RZ SCENE.MAQ [--threads 2] [--aa 0] [--size 640x480] [--runs 5]

The renderer runs with its debug trace on (KORVANDBG); each line of the
trace is stamped as it arrives, and the stages are cut at lines the engine
already writes. For each stage: the shortest and the median milliseconds of
the runs. Stages:

  start+read  process start, message library, project and scene file read
  frame       frame set-up (up to the render driver)
  prepare     facets, normals, pools and object boxes (up to the octree)
  octree      the octree build (the facet trees are built beside it)
  trees       the facet trees left when the octree is done, the image set-up
  pixels      the pixel pass (with antialiasing, corners and refinement)
  output      writing the picture
  exit        freeing and process end
"""
import argparse
import os
import statistics
import subprocess
import tempfile
import time

# (stage, text of the trace line that ends it); the last stage ends at exit.
STAGES = [
    ("start+read", "keyframe scene"),
    ("frame", "RenderScreen"),
    ("prepare", "Avant MakeOctree"),
    ("octree", "Apres MakeOctree"),
    ("trees", "starting rendering"),
    ("pixels", " 100%"),
    ("output", "image(s) computed"),
    ("exit", None),
]


def one_run(args, out):
    command = [args.rz, "--batch", args.maq, "--size", args.size, "--aa", str(args.aa), "--mode", "raytrace",
               "--threads", str(args.threads), "--format24", "BMP24", "--no-resume", "--out", out]
    start = time.monotonic()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, bufsize=0,
                               env=dict(os.environ, KORVANDBG="1"))
    ends = {}
    for raw in process.stderr:
        line = raw.decode(errors="replace")
        now = (time.monotonic() - start) * 1000
        for stage, text in STAGES:
            if text and stage not in ends and text in line:
                ends[stage] = now
                break
    if process.wait() != 0:
        raise SystemExit(f"render_stages: {' '.join(command)} failed")
    ends["exit"] = (time.monotonic() - start) * 1000
    missing = [stage for stage, _ in STAGES if stage not in ends]
    if missing:
        raise SystemExit(f"render_stages: the trace has no end of {', '.join(missing)}")
    spans, previous = {}, 0.0
    for stage, _ in STAGES:
        spans[stage] = ends[stage] - previous
        previous = ends[stage]
    return spans


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("rz")
    parser.add_argument("maq")
    parser.add_argument("--threads", type=int, default=2)
    parser.add_argument("--aa", type=int, default=0)
    parser.add_argument("--size", default="640x480")
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    args.rz = os.path.abspath(args.rz)
    # The scene's render project is looked for beside it.
    os.chdir(os.path.dirname(os.path.abspath(args.maq)))
    args.maq = os.path.basename(args.maq)
    runs = []
    for _ in range(args.runs):
        with tempfile.TemporaryDirectory() as out:
            runs.append(one_run(args, out))
    print(f"{args.maq} {args.size} AA {args.aa}, {args.threads} thread(s), {args.runs} runs: ms shortest / median")
    for stage, _ in STAGES:
        values = [run[stage] for run in runs]
        print(f"  {stage:<11} {min(values):8.1f} {statistics.median(values):8.1f}")
    totals = [sum(run.values()) for run in runs]
    print(f"  {'total':<11} {min(totals):8.1f} {statistics.median(totals):8.1f}")


if __name__ == "__main__":
    main()
