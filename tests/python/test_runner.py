"""simulate() against corvanta-sim: the same rows to the bit, the same complaints."""

import json
import subprocess

import pytest

import corvanta
from corvanta import _library

from support import assert_bitwise_equal, write

SCENARIOS = {
    "step_steer": {
        "duration": 0.6,
        "inputs": {"AccelerationDemand": 0.3, "GearSelector": 1, "InitialSpeed": 20},
        "events": [
            {"time": 0.2, "set": {"SteeringAngle": 0.05}},
            {"time": 0.3, "until": 0.4, "ramp": {"AccelerationDemand": -2.0}},
            {"time": 0.5, "initialize": True},
        ],
    },
    "overlapping_ramps": {
        "duration": 0.50007,
        "inputs": {"GearSelector": 1, "InitialSpeed": 3, "InitialHeading": 0.7, "InitialPositionY": -4},
        "events": [
            {"time": 0.0, "until": 0.3, "ramp": {"AccelerationDemand": 1.7, "SteeringAngle": -0.2}},
            {"time": 0.00065, "set": {"RoadGrade": 0.01}},
            {"time": 0.1, "until": 0.25, "ramp": {"SteeringAngle": 0.15}},
            {"time": 0.12, "set": {"AccelerationDemand": 0.4}},
            {"time": 0.2, "until": 0.20001, "ramp": {"RoadGrade": 0.03}},
            {"time": 0.31, "initialize": True, "set": {"InitialSpeed": 1.5}, "until": 0.45, "ramp": {"GearSelector": 3}},
            {"time": 0.31, "set": {"AccelerationDemand": -3.5}},
            {"time": 0.44, "until": 2.0, "ramp": {"AccelerationDemand": 2.0}},
            {"time": 0.7, "set": {"SteeringAngle": 1.0}},
        ],
    },
    "closed_loop": {
        "duration": 8.0,
        "inputs": {"GearSelector": 1, "InitialSpeed": 6, "InitialHeading": 0.4, "InitialPositionX": 3},
        "driver": {"speed": {"profile": {"time": [0, 2], "speed": [6, 8]}}, "path": {"circle": {"radius": 25}}},
        "events": [
            {"time": 0.5, "set": {"RoadGrade": 0.01}},
            {"when": {"Distance": {">": 20}}, "driver": {"speed": {"demand": -3.0}}},
            {"when": {"LongitudinalSpeed": {"<": 0.05}}, "stop": True},
        ],
    },
}


def run_sim(sim, scenario, *options):
    command = [sim, str(scenario), "-q", *map(str, options)]  # the runner drives the same library as Python
    return subprocess.run(command, capture_output=True, text=True, timeout=120)


def sim_rows(sim, scenario, tmp_path, *options):
    out = tmp_path / "sim.csv"
    done = run_sim(sim, scenario, "-o", out, *options)
    assert done.returncode == 0, done.stderr
    return out.read_text()


@pytest.mark.parametrize("name", sorted(SCENARIOS))
@pytest.mark.parametrize("every", [1, 37])
def test_same_rows(sim, tmp_path, name, every):
    path = write(tmp_path / f"{name}.json", json.dumps(SCENARIOS[name]))
    expected = corvanta.results.parse_rows(sim_rows(sim, path, tmp_path, "--every", every))
    assert_bitwise_equal(corvanta.simulate(path, every=every), expected)


def test_same_text_with_duration_and_initial_row_options(sim, tmp_path):
    path = write(tmp_path / "step_steer.json", json.dumps(SCENARIOS["step_steer"]))
    for runner_options, python_options in (((), {}), (("--no-initial-row",), {"initial_row": False})):
        text = sim_rows(sim, path, tmp_path, "--every", 50, "--duration", 0.3333, *runner_options)
        corvanta.write_csv(tmp_path / "python.csv", corvanta.simulate(path, every=50, duration=0.3333, **python_options))
        assert (tmp_path / "python.csv").read_text() == text


def test_recorded_inputs(sim, tmp_path):
    path = write(tmp_path / "drive.csv", "SteeringAngle,time,GearSelector, AccelerationDemand\r\n0,0,1,1.5\r\n\r\n"
                 "0.01,0.05,1,1.5\r\n0.03,0.10004,1,-0.25\r\n-0.02,0.2,3,.75\r\n")
    for options in ((), ("--duration", 0.3)):
        expected = corvanta.results.parse_rows(sim_rows(sim, path, tmp_path, "--every", 7, *options))
        assert_bitwise_equal(corvanta.simulate(path, every=7, duration=options[1] if options else None), expected)


BAD_FILES = [
    ("bad.json", json.dumps({"duration": 1, "inputs": {"GearSelector": "1"}})),
    ("bad.json", json.dumps({"duration": 1, "events": [{"time": 1}, {"time": 0.5}]})),
    ("bad.json", json.dumps({"duration": 1, "events": [{"time": 1, "ramp": {"RoadGrade": 1}}]})),
    ("bad.json", json.dumps({"duration": 1, "events": [{"time": 1, "until": 1, "ramp": {}}]})),
    ("bad.json", json.dumps({"duration": 1, "events": [{"time": 0}, {"time": 2, "until": 3, "ramp": {"Foo": 1}}]})),
    ("bad.json", json.dumps({"duration": 1e300, "extra": 1})),
    ("bad.json", '{"duration": 1, "events": [{"time": 1, "set": {}, "set": {}}]}'),
    ("bad.csv", "time,RoadGrade,RoadGrade\n"),
    ("bad.csv", "time,RoadGrade\n0,+1\n"),
    ("bad.csv", "time,RoadGrade\n\n2,0\n1,0\n"),
    ("bad.csv", "time,RoadGrade\n"),
]


@pytest.mark.parametrize("name, text", BAD_FILES)
def test_same_complaints(sim, tmp_path, name, text):
    path = write(tmp_path / name, text)
    done = run_sim(sim, path)
    with pytest.raises(corvanta.ScenarioError) as error:
        corvanta.simulate(path)
    assert done.returncode == 2
    assert done.stderr == f"corvanta-sim: error: {error.value}\n"
