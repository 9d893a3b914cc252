#!/usr/bin/env python3
"""Where the wall time of one `rz --batch` render goes, stage by stage.

    bench/render_stages.py RZ SCENE.MAQ [--threads 2] [--aa 0] [--size 640x480] [--runs 5]
    bench/render_stages.py RZ SCENE.MAQ --threads 1,2 ...

With two thread counts (one, then more) the runs alternate between them,
so that a slow spell of the machine weighs on both, and each stage is
printed with its medians at both counts and what the second leaves over
an even split of the first ("over split": the second's median less the
first's divided by the ratio of the counts). A stage that keeps most of
its time on more threads is one that runs on one thread alone.

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


def one_run(args, threads, out):
    command = [args.rz, "--batch", args.maq, "--size", args.size, "--aa", str(args.aa), "--mode", "raytrace",
               "--threads", str(threads), "--format24", "BMP24", "--no-resume", "--out", out]
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


def report(args, threads, runs):
    print(f"{args.maq} {args.size} AA {args.aa}, {threads} thread(s), {args.runs} runs: ms shortest / median")
    for stage, _ in STAGES:
        values = [run[stage] for run in runs]
        print(f"  {stage:<11} {min(values):8.1f} {statistics.median(values):8.1f}")
    totals = [sum(run.values()) for run in runs]
    print(f"  {'total':<11} {min(totals):8.1f} {statistics.median(totals):8.1f}")


def compare(args, counts, runs):
    few, many = counts

    def median(n, stage):
        return statistics.median(sum(run.values()) if stage == "total" else run[stage] for run in runs[n])

    print(f"{args.maq} {args.size} AA {args.aa}, {few} and {many} threads alternated, {args.runs} runs each: "
          "ms medians")
    print(f"  {'stage':<11} {few:>8} {many:>8} {'over split':>11}")
    for stage in [stage for stage, _ in STAGES] + ["total"]:
        a, b = median(few, stage), median(many, stage)
        print(f"  {stage:<11} {a:8.1f} {b:8.1f} {b - a * few / many:11.1f}")
    print(f"  {many} threads take {median(many, 'total') / median(few, 'total'):.3f} of {few} thread(s)' time")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("rz")
    parser.add_argument("maq")
    parser.add_argument("--threads", default="2", help="a thread count, or two separated by a comma")
    parser.add_argument("--aa", type=int, default=0)
    parser.add_argument("--size", default="640x480")
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    counts = [int(n) for n in args.threads.split(",")]
    if len(counts) > 2 or any(n < 1 for n in counts) or (len(counts) == 2 and counts[0] >= counts[1]):
        parser.error("--threads takes one count, or two with the smaller first (1,2)")
    args.rz = os.path.abspath(args.rz)
    # The scene's render project is looked for beside it.
    os.chdir(os.path.dirname(os.path.abspath(args.maq)))
    args.maq = os.path.basename(args.maq)
    runs = {n: [] for n in counts}
    for _ in range(args.runs):
        for n in counts:
            with tempfile.TemporaryDirectory() as out:
                runs[n].append(one_run(args, n, out))
    if len(counts) == 1:
        report(args, counts[0], runs[counts[0]])
    else:
        compare(args, counts, runs)


if __name__ == "__main__":
    main()
