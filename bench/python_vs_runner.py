"""Wall time of a 10 s scenario: corvanta.simulate against corvanta-sim (a benchmark, not a test).

    CORVANTA_LIBRARY=build/libcorvanta.so PYTHONPATH=python \\
        python3 bench/python_vs_runner.py build/tools/sim/corvanta-sim [--repeat 5]

Both run the same scenario (examples/scenarios/double-lane-change.json stretched to
10 s) with a row after every 100th step; the runner writes its CSV to a scratch file,
simulate returns the rows.  Reported: the best and the median of the repetitions,
µs per step and the ratio Python / runner (the target is 1.5 at most).  The runner's
time includes starting the process and loading the libraries, as a user sees it;
its own summary line "wall time" (the stepping loop alone) is shown too.
"""

import argparse
import json
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import corvanta

ROOT = Path(__file__).resolve().parents[1]
STEPS = 100_000  # 10 s


def scenario_file(directory):
    document = json.loads((ROOT / "examples" / "scenarios" / "double-lane-change.json").read_text())
    document["duration"] = STEPS * corvanta.STEP_SIZE
    path = Path(directory) / "ten-seconds.json"
    path.write_text(json.dumps(document))
    return path


def time_runner(sim, scenario, output):
    start = time.perf_counter()
    done = subprocess.run([sim, str(scenario), "-o", str(output), "--lib", corvanta.load_library().path],
                          capture_output=True, text=True, check=True)
    elapsed = time.perf_counter() - start
    loop = next(line for line in done.stdout.splitlines() if "wall time" in line).split()[2]
    return elapsed, float(loop)


def time_python(scenario):
    start = time.perf_counter()
    rows = corvanta.simulate(scenario, every=100)
    return time.perf_counter() - start, rows


def report(name, seconds):
    best, median = min(seconds), statistics.median(seconds)
    print(f"{name:<28} best {best * 1e3:8.1f} ms   median {median * 1e3:8.1f} ms   {median / STEPS * 1e6:6.2f} µs/step")
    return median


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("sim", help="the corvanta-sim executable")
    parser.add_argument("--repeat", type=int, default=5)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as directory:
        scenario = scenario_file(directory)
        output = Path(directory) / "runner.csv"
        time_python(scenario)  # loads the libraries once
        runner, loops, python = [], [], []
        for _ in range(args.repeat):  # interleaved, so that load on the machine hits both alike
            elapsed, loop = time_runner(args.sim, scenario, output)
            runner.append(elapsed)
            loops.append(loop)
            elapsed, rows = time_python(scenario)
            python.append(elapsed)
        same = corvanta.read_csv(output).to_array().tobytes() == rows.to_array().tobytes()
    print(f"10 s scenario, {STEPS} steps, {len(rows)} rows; identical rows: {same}")
    runner_median = report("corvanta-sim (process)", runner)
    report("corvanta-sim (stepping loop)", loops)
    python_median = report("corvanta.simulate", python)
    print(f"ratio Python / runner: {python_median / runner_median:.2f}")
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main())
