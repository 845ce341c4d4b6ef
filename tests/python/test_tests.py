"""corvanta.tests: the standard tests through corvanta-sim, and closed-loop scenarios."""

import json
import math

import numpy as np
import pytest

import corvanta
import corvanta.tests as standard


@pytest.fixture(scope="module")
def braking(sim, tmp_path_factory):
    folder = tmp_path_factory.mktemp("braking")
    return standard.braking(output=folder, speed=6)


def test_metrics_runs_and_plots(braking):
    stop = braking.metrics["stopping_distance"]
    assert stop.unit == "m" and "brake onset" in stop.definition
    assert 3.0 < stop.value < 6.0  # 6 m/s at about 4 m/s^2
    assert braking.options["speed"] == 6
    run = braking.runs["braking"]
    assert run["time"][0] == 0 and run["LongitudinalSpeed"][-1] < 0.05
    # The run ends at the stop condition, where the last row is.
    assert math.isclose(run["time"][-1], 2 + braking.metrics["stopping_time"].value, abs_tol=1e-3)
    assert {path.name for path in braking.plots} == {"time.svg", "speed-vs-distance.svg"}
    assert all(path.read_text(encoding="utf-8").startswith("<svg") for path in braking.plots)


def test_the_runs_scenario_runs_again_to_the_same_bits(braking):
    rows = corvanta.simulate(braking.folder / "braking.json", every=100)
    run = braking.runs["braking"]
    for name in corvanta.COLUMNS:
        assert rows[name][-1] == run[name][-1], name


def test_matplotlib_plot(braking, tmp_path):
    output = braking.plot(tmp_path / "braking.png")
    assert output.stat().st_size > 10000
    assert not list(tmp_path.glob("*.tmp*"))


def test_html_report_lists_metrics_and_plots(braking):
    page = standard.html_report([braking])
    assert "stopping_distance" in page and "braking/time.svg" in page


def test_bad_options_come_back_as_errors(sim):
    with pytest.raises(standard.TestError, match=r"unknown option '--sped' \(did you mean '--speed'\?\)"):
        standard.braking(sped=5)
    with pytest.raises(standard.TestError, match="--speed 50 is out of range: expected 1 to 14 m/s"):
        standard.step_steer(speed=50)
    with pytest.raises(standard.TestError, match="expected a number, got 'fast'"):
        standard.step_steer(speed="fast")
    with pytest.raises(standard.TestError, match="unknown test 'slalom'"):
        standard.run_test("slalom")


def test_without_a_folder_the_data_stays(sim):
    result = standard.coast_down(speed=6, end_speed=4)
    assert result.folder is None
    assert result.metrics["B"].unit == "N/(m/s)"
    assert len(result.runs["coast-down"]) > 100


def test_runner_search(tmp_path):
    with pytest.raises(standard.TestError, match="CORVANTA_SIM=.*: no such file"):
        standard.find_runner({"CORVANTA_SIM": str(tmp_path / "missing")})


def test_simulate_stops_on_a_condition():
    rows = corvanta.simulate(
        {
            "duration": 20,
            "inputs": {"GearSelector": 1, "InitialSpeed": 5},
            "driver": {"speed": {"target": 5}, "path": {"straight": {}}},
            "events": [{"when": {"Distance": {">": 10}}, "stop": True}],
        },
        every=1000,
    )
    # 10 m at 5 m/s: the run ends after about 2 s instead of 20 s, with a row at the stop.
    assert 1.9 < rows["time"][-1] < 2.1
    assert 10.0 < rows["PositionX"][-1] < 10.01
    assert np.all(np.diff(rows["time"]) > 0)
