"""examples/python/minimal.py runs and prints the state after 5 s at full throttle."""

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
