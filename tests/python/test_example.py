"""The Python examples run: minimal.py prints the state after 5 s at full throttle,
lane_change_speeds.py and compare_vehicles.py write their tables and plots."""

import csv

import corvanta

from support import REPO, run_python


def test_minimal_example():
    done = run_python(str(REPO / "examples" / "python" / "minimal.py"))
    assert done.returncode == 0, done.stderr
    scenario = {"duration": 5.0, "inputs": {"AccelerationDemand": 3.0, "GearSelector": 1}}
    time, x, y, _, speed, *_ = corvanta.simulate(scenario, every=50_000)[-1]
    assert speed > 1.0  # the car moved off
    assert done.stdout == f"after {time:.1f} s: speed {speed:.3f} m/s, position ({x:.3f}, {y:.3f}) m\n"


def test_lane_change_example(tmp_path):
    done = run_python(str(REPO / "examples" / "python" / "lane_change_speeds.py"), str(tmp_path))
    assert done.returncode == 0, done.stderr
    lines = done.stdout.splitlines()
    assert [line.split(":")[0] for line in lines[:3]] == ["  15 m/s", "  20 m/s", "  25 m/s"]
    assert (tmp_path / "lane-change-speeds.png").stat().st_size > 10_000


def test_compare_vehicles_example(sim, tmp_path):
    done = run_python(str(REPO / "examples" / "python" / "compare_vehicles.py"), str(tmp_path), env={"CORVANTA_SIM": sim})
    assert done.returncode == 0, done.stderr
    lines = done.stdout.splitlines()
    assert lines[0].split() == ["test", "metric", "unit", "built-in", "estate", "low-mu"]
    rows = {tuple(line.split()[:2]): line.split()[3:] for line in lines[1:] if not line.startswith("plot:")}
    # The estate is heavier on the same brakes and the low-mu car has less grip: both stop
    # later than the built-in car.
    builtin, estate, low_mu = map(float, rows[("braking", "stopping_distance")])
    assert builtin < estate and builtin < low_mu
    with open(tmp_path / "metrics.csv", encoding="utf-8") as file:
        table = list(csv.reader(file))
    assert table[0] == ["test", "metric", "unit", "built-in", "estate", "low-mu"]
    assert len(table) == len(rows) + 1
    for test in ("step-steer", "double-lane-change", "braking"):
        assert (tmp_path / f"{test}.png").stat().st_size > 10_000
    assert not list(tmp_path.glob("*.tmp*"))
