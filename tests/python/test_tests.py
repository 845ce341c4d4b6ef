"""corvanta.tests: the standard tests in process through the engine library, and closed-loop scenarios."""

import ast
import json
import math
import signal
import subprocess
import threading
import time
from pathlib import Path

import numpy as np
import pytest

import corvanta
import corvanta.tests as standard


@pytest.fixture(scope="module")
def braking(tmp_path_factory):
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


def test_bad_options_come_back_as_errors():
    with pytest.raises(standard.TestError, match=r"unknown option '--sped' \(did you mean '--speed'\?\)"):
        standard.braking(sped=5)
    with pytest.raises(standard.TestError, match="--speed 50 is out of range: expected 1 to 14 m/s"):
        standard.step_steer(speed=50)
    with pytest.raises(standard.TestError, match="expected a number, got 'fast'"):
        standard.step_steer(speed="fast")
    with pytest.raises(standard.TestError, match="unknown test 'slalom'; the tests are steady-state-circle, "):
        standard.run_test("slalom")
    with pytest.raises(standard.TestError, match=r"unknown test 'brakeing' \(did you mean 'braking'\?\)"):
        standard.run_test("brakeing")
    with pytest.raises(standard.TestError, match="vehicle: no such vehicle file"):
        standard.braking(vehicle="no-such-car.json")


def test_without_a_folder_the_data_stays():
    result = standard.coast_down(speed=6, end_speed=4)
    assert result.folder is None
    assert result.metrics["B"].unit == "N/(m/s)"
    assert len(result.runs["coast-down"]) > 100


def test_the_tests_and_their_options_come_from_the_library():
    assert standard.TESTS[0] == "steady-state-circle" and len(standard.TESTS) == 7
    speed = {option.name: option for option in standard.test_options("step-steer")}["speed"]
    assert (speed.unit, speed.default, speed.min, speed.max) == ("m/s", 10.0, 1.0, 14.0)
    mass = {option.name: option for option in standard.test_options("coast-down")}["mass"]
    assert mass.default is None and mass.default_parameter == "VehicleMass"
    with pytest.raises(standard.TestError, match="unknown test 'slalom'"):
        standard.test_options("slalom")


def test_the_module_starts_no_process():
    # The tests run in this process: the module imports nothing that starts one.
    tree = ast.parse(Path(standard.__file__).read_text(encoding="utf-8"))
    imported = {alias.name for node in ast.walk(tree) if isinstance(node, ast.Import) for alias in node.names}
    imported |= {node.module for node in ast.walk(tree) if isinstance(node, ast.ImportFrom) and node.module}
    assert not imported & {"subprocess", "multiprocessing", "shutil", "pty"}
    names = {node.attr for node in ast.walk(tree) if isinstance(node, ast.Attribute)}
    assert not names & {"system", "popen", "spawnv", "execv", "fork", "startfile"}


def test_coast_down_takes_the_mass_of_the_vehicle_that_runs():
    # F = m (-dv/dt): with the same car, the road-load coefficients are the mass given
    # times the same decelerations, so a 1.25 times heavier --mass gives 1.25 times the
    # coefficients; a car whose VehicleMass is 2200 kg runs with mass 2200 unless given.
    car = corvanta.Vehicle.default()
    base = standard.coast_down(speed=6, end_speed=4, vehicle=car)
    assert base.options["mass"] == car["VehicleMass"] == 1760.0
    scaled = standard.coast_down(speed=6, end_speed=4, vehicle=car, mass=2200)
    for name in ("A", "B", "C"):
        # (the fit solves normal equations: last digits differ)
        assert scaled.metrics[name].value == pytest.approx(base.metrics[name].value * 1.25, rel=1e-6)
    heavy = car.with_(VehicleMass=2200)
    own = standard.coast_down(speed=6, end_speed=4, vehicle=heavy)
    given = standard.coast_down(speed=6, end_speed=4, vehicle=heavy, mass=2200)
    assert own.options["mass"] == 2200.0 and "mass 2200 kg" in own.description
    assert [own.metrics[n].value for n in "ABC"] == [given.metrics[n].value for n in "ABC"]


def test_ctrl_c_stops_a_test_within_a_second_and_leaves_things_usable():
    # A frequency response of many cycles runs for many seconds; SIGINT after 0.3 s.
    timer = threading.Timer(0.3, lambda: signal.raise_signal(signal.SIGINT))
    started = time.monotonic()
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        standard.frequency_response(count=4, cycles=50, min_frequency=0.3, max_frequency=0.4)
    assert time.monotonic() - started < 1.3
    timer.join()
    assert standard.braking(speed=3).metrics["stopping_distance"].unit == "m"


def test_corvanta_sim_test_gives_the_same_files(sim, braking, tmp_path):
    # corvanta-sim test and corvanta.tests run the same library code: the same bytes.
    subprocess.run([sim, "test", "braking", "--speed", "6", "-q", "-o", str(tmp_path)], check=True)
    for name in ("metrics.json", "braking.csv", "braking.json", "time.svg"):
        assert (tmp_path / name).read_bytes() == (braking.folder / name).read_bytes(), name


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


@pytest.mark.parametrize(
    "wrong", ["brakeing", "Braking", "coastdown", "stepsteer", "acceleratoin", "slalom", "br", "frequency-responze"]
)
def test_python_suggests_by_the_engines_rule(wrong):
    # One rule for every "did you mean": Python's names (inputs, signals, parameters) and
    # the engine's (here the library's refusal of an unknown test) suggest alike.
    from corvanta._suggestion import closest_name

    with pytest.raises(standard.TestError) as refused:
        standard.run_test(wrong)
    expected = closest_name(wrong, standard.TESTS)
    hint = f"(did you mean '{expected}'?)"
    assert (hint in str(refused.value)) == (expected is not None), str(refused.value)
    assert ("did you mean" in str(refused.value)) == (expected is not None)


def test_the_suggestion_rule():
    from corvanta._suggestion import closest_name, did_you_mean

    known = ["SteeringAngle", "RoadGrade", "GearSelector"]
    assert closest_name("SteeringAngel", known) == "SteeringAngle"  # a swap is one edit
    assert closest_name("roadgrade", known) == "RoadGrade"  # letter case ignored
    assert closest_name("Gear", known) is None  # 8 of 12 letters missing
    assert closest_name("RG", known) is None
    assert did_you_mean("RoadGrad", known) == " (did you mean RoadGrade?)"
    assert did_you_mean("x" * 65, ["x" * 64]) == ""
