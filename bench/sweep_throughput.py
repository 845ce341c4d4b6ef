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
import resource
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
    """Model time of all runs: the steps the sweep counted."""
    return frame.attrs["steps"] * corvanta.STEP_SIZE


def cpu_seconds():
    """CPU time of this process and of its children that have ended, s."""
    own = resource.getrusage(resource.RUSAGE_SELF)
    children = resource.getrusage(resource.RUSAGE_CHILDREN)
    return own.ru_utime + own.ru_stime + children.ru_utime + children.ru_stime


def timed(label, work):
    """(label, frame, wall s, CPU s).  The CPU time of Dask workers, which outlive the
    call, is not seen."""
    cpu = cpu_seconds()
    start = time.perf_counter()
    frame = work()
    wall = time.perf_counter() - start
    return label, frame, wall, cpu_seconds() - cpu


def without_wall_time(frame):
    """Every column but wall_time as 64-bit patterns (a CSV read back has integer columns
    where every value is whole)."""
    return np.ascontiguousarray(frame.drop(columns=["wall_time"]).astype(np.float64).to_numpy()).view(np.uint64)


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

        with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
                          silence_logs=40) as cluster, Client(cluster) as client:
            client.wait_for_workers(2)
            label, frame, wall, _ = timed("Dask LocalCluster, 2 workers", lambda: corvanta.sweep(definition, client=client))
            results.append((label, frame, wall, float("nan")))
    if args.sim:
        with tempfile.TemporaryDirectory() as directory:
            path = Path(directory) / "definition.json"
            path.write_text(json.dumps(definition), encoding="utf-8")
            for threads in (1, 2):
                output = Path(directory) / f"results-{threads}.csv"
                command = [args.sim, "sweep", str(path), "-o", str(output), "--threads", str(threads), "-q"]
                label, _, wall, cpu = timed(f"corvanta-sim sweep --threads {threads}",
                                            lambda: subprocess.run(command, check=True))
                results.append((label, sweep_plot.read_results(output), wall, cpu))

    reference = without_wall_time(results[0][1])
    model_time = model_seconds(results[0][1], definition)
    print(f"{'':34} {'wall s':>8} {'CPU s':>8} {'runs/s':>8} {'model s/s':>10}  same rows")
    for label, frame, wall, cpu in results:
        same = np.array_equal(without_wall_time(frame), reference)
        print(f"{label:34} {wall:8.2f} {cpu:8.2f} {runs / wall:8.1f} {model_time / wall:10.1f}  {'yes' if same else 'NO'}")
    print(f"load average after the runs: {' '.join(f'{load:.1f}' for load in os.getloadavg())}")
    baseline = {label: wall for label, _, wall, _ in results}
    if "engine, 1 thread" in baseline and "engine, 2 threads" in baseline:
        print(f"2 threads / 1 thread: {baseline['engine, 1 thread'] / baseline['engine, 2 threads']:.2f}x")
    if "2 worker processes" in baseline and "Dask LocalCluster, 2 workers" in baseline:
        ratio = baseline["Dask LocalCluster, 2 workers"] / baseline["2 worker processes"]
        print(f"Dask wall time / worker processes: {ratio:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
