#!/usr/bin/env python3
"""Sweep throughput: runs/s and model seconds per wall second of a sweep definition
(by default the 1000-run step-steer Monte-Carlo example) on 1 and 2 engine threads, in 2
local worker processes and on a 2-worker Dask LocalCluster, and (with --sim) through
``corvanta-sim sweep``.  A benchmark, not a test: it checks only that every way gives the
same rows.

    PYTHONPATH=python python3 bench/sweep_throughput.py [--definition FILE] [--count N]
        [--sim build/tools/sim/corvanta-sim] [--skip dask,processes]
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "python"))

import corvanta  # noqa: E402
from corvanta import sweep_plot, sweeps  # noqa: E402
import numpy as np  # noqa: E402

DEFAULT_DEFINITION = ROOT / "examples" / "sweeps" / "step-steer-monte-carlo.json"


def model_seconds(frame, definition):
    """Model time of all runs, from each run's scenario duration."""
    steps = 0
    for run in frame["run"]:
        duration = sweeps.scenario_of_run(definition, int(run))["duration"]
        steps += int(np.floor(duration / corvanta.STEP_SIZE + 0.5))
    return steps * corvanta.STEP_SIZE


def timed(label, work):
    start = time.perf_counter()
    frame = work()
    wall = time.perf_counter() - start
    return label, frame, wall


def without_wall_time(frame):
    return frame.drop(columns=["wall_time"])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--definition", type=Path, default=DEFAULT_DEFINITION)
    parser.add_argument("--count", type=int, help="replace the Monte-Carlo count (fewer runs for a quick look)")
    parser.add_argument("--sim", help="corvanta-sim executable: also time `corvanta-sim sweep --threads 1/2`")
    parser.add_argument("--skip", default="", help="comma-separated: threads1, threads2, processes, dask")
    args = parser.parse_args()
    skip = set(filter(None, args.skip.split(",")))

    definition = json.loads(args.definition.read_text(encoding="utf-8"))
    if args.count:
        definition["monte_carlo"]["count"] = args.count
    runs = sweeps.run_count(definition)
    print(f"{args.definition.name}: {runs} runs; machine: {os.cpu_count()} cores", flush=True)

    results = []
    if "threads1" not in skip:
        results.append(timed("engine, 1 thread", lambda: corvanta.sweep(definition, workers=1)))
    if "threads2" not in skip:
        results.append(timed("engine, 2 threads", lambda: corvanta.sweep(definition, workers=2)))
    if "processes" not in skip:
        results.append(timed("2 worker processes", lambda: corvanta.sweep(definition, workers=2, processes=True)))
    if "dask" not in skip:
        from dask.distributed import Client, LocalCluster

        with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster, \
                Client(cluster) as client:
            client.wait_for_workers(2)
            results.append(timed("Dask LocalCluster, 2 workers", lambda: corvanta.sweep(definition, client=client)))
    if args.sim:
        with tempfile.TemporaryDirectory() as directory:
            path = Path(directory) / "definition.json"
            path.write_text(json.dumps(definition), encoding="utf-8")
            for threads in (1, 2):
                output = Path(directory) / f"results-{threads}.csv"
                start = time.perf_counter()
                subprocess.run([args.sim, "sweep", str(path), "-o", str(output), "--threads", str(threads), "-q"],
                               check=True)
                wall = time.perf_counter() - start
                frame = sweep_plot.read_results(output)
                results.append((f"corvanta-sim sweep --threads {threads}", frame, wall))

    reference = without_wall_time(results[0][1])
    model_time = model_seconds(results[0][1], definition)
    print(f"{'':34} {'wall s':>8} {'runs/s':>8} {'model s/s':>10}  same rows")
    for label, frame, wall in results:
        same = without_wall_time(frame).equals(reference)
        print(f"{label:34} {wall:8.2f} {runs / wall:8.1f} {model_time / wall:10.1f}  {'yes' if same else 'NO'}")
    baseline = {label: wall for label, _, wall in results}
    if "engine, 1 thread" in baseline and "engine, 2 threads" in baseline:
        print(f"2 threads / 1 thread: {baseline['engine, 1 thread'] / baseline['engine, 2 threads']:.2f}x")
    if "2 worker processes" in baseline and "Dask LocalCluster, 2 workers" in baseline:
        ratio = baseline["Dask LocalCluster, 2 workers"] / baseline["2 worker processes"]
        print(f"Dask wall time / worker processes: {ratio:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
