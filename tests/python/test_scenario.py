"""simulate() and Scenario: the engine's rows, its complaints and the Python surface."""

import json
import re

import numpy as np
import pytest

import corvanta

from support import as_float_array, assert_bitwise_equal, write

DRIVE = {
    "duration": 0.05,
    "inputs": {"AccelerationDemand": 0.5, "GearSelector": 1, "InitialSpeed": 5},
    "events": [
        {"time": 0.01, "set": {"SteeringAngle": 0.02}},
        {"time": 0.02, "until": 0.03, "ramp": {"AccelerationDemand": -1.0}},
        {"time": 0.04, "initialize": True, "set": {"InitialSpeed": 2}},
    ],
}


def test_rows_decimation_and_the_initial_row():
    each = corvanta.simulate({"duration": 0.025, "inputs": {"GearSelector": 1}}, every=1)
    rows = corvanta.simulate({"duration": 0.025, "inputs": {"GearSelector": 1}}, every=100)
    assert isinstance(rows, corvanta.Results) and rows.dtype.names == corvanta.COLUMNS
    assert each["time"].tolist() == [k * 0.0001 for k in range(0, 251)]
    # The car as it starts: the initial pose and speed (all zero here), the standing car stable.
    assert as_float_array(each)[0].tolist() == [0.0] * 7 + [-1.0]
    assert_bitwise_equal(rows, each[[0, 100, 200, 250]])
    assert_bitwise_equal(corvanta.simulate({"duration": 0.025, "inputs": {"GearSelector": 1}}, every=100, initial_row=False), each[[100, 200, 250]])
    assert len(corvanta.simulate({"duration": 0.02}, every=50)) == 5
    assert len(corvanta.simulate({"duration": 0.00004})) == 1
    assert_bitwise_equal(corvanta.simulate({"duration": 9, "inputs": {"GearSelector": 1}}, every=100, duration=0.025), rows)
    assert rows.to_array().shape == (4, 8) and rows.to_array()[1, 0] == 0.01
    for bad, error in ((0, ValueError), (2.0, TypeError)):
        with pytest.raises(error, match="every"):
            corvanta.simulate({"duration": 0.001}, every=bad)
    with pytest.raises(ValueError, match=r"^duration: expected a time >= 0, got -1$"):
        corvanta.simulate({"duration": 1}, duration=-1)


def test_simulate_matches_model_steps(tmp_path):
    rows = corvanta.simulate(DRIVE, every=1)
    with corvanta.Model() as model:
        model.set_inputs(AccelerationDemand=0.5, GearSelector=1, InitialSpeed=5)
        model.initialize()
        parts = [model.step(100)]
        model.set_inputs(SteeringAngle=0.02)
        parts.append(model.step(100))
        for k in range(200, 300):
            model.set_inputs(AccelerationDemand=0.5 + (-1.0 - 0.5) * ((k - 200) / 100))
            parts.append(model.step())
        model.set_inputs(AccelerationDemand=-1.0)
        parts.append(model.step(100))
        model.initialize()
        model.set_inputs(InitialSpeed=2)
        parts.append(model.step(100))
    assert_bitwise_equal(rows.to_array()[1:, 1:], np.vstack(parts))
    # A file, a JSON text and a loaded Scenario give the same run as the dict; without
    # .json/.csv the content decides.
    assert_bitwise_equal(corvanta.simulate(write(tmp_path / "drive.txt", "\n " + json.dumps(DRIVE)), every=1), rows)
    assert_bitwise_equal(corvanta.simulate(json.dumps(DRIVE), every=1), rows)
    scenario = corvanta.load_scenario(DRIVE)
    assert (scenario.step_count, scenario.reinitializes, scenario.initial_inputs.InitialSpeed) == (500, True, 5.0)
    assert_bitwise_equal(corvanta.simulate(scenario, every=1), rows)


def test_model_run_gives_the_rows_of_the_same_inputs_as_a_scenario():
    # The ramp of DRIVE without the restart, written out as one input record per step.
    steps = 400
    k = np.arange(steps)
    inputs = np.zeros(steps, dtype=[("AccelerationDemand", "f8"), ("SteeringAngle", "f8")])
    inputs["AccelerationDemand"] = np.where(k < 200, 0.5, np.where(k < 300, 0.5 + (-1.0 - 0.5) * ((k - 200) / 100), -1.0))
    inputs["SteeringAngle"] = np.where(k < 100, 0.0, 0.02)
    scenario = dict(DRIVE, duration=0.04, events=DRIVE["events"][:2])
    with corvanta.Model() as model:
        model.set_inputs(AccelerationDemand=0.5, GearSelector=1, InitialSpeed=5)
        model.initialize()
        outputs = model.run(inputs, every=7)
        assert model.steps == steps and model.inputs.AccelerationDemand == -1.0 and model.inputs.GearSelector == 1.0
    assert_bitwise_equal(outputs, corvanta.simulate(scenario, every=7, initial_row=False).to_array()[:, 1:])
    with corvanta.Model() as model:
        model.initialize()
        with pytest.raises(ValueError, match=r"inputs: expected an array of shape \(n, 8\)"):
            model.run(np.zeros((3, 7)))
        with pytest.raises(TypeError, match="did you mean SteeringAngle"):
            model.run(np.zeros(3, dtype=[("SteeringAngel", "f8")]))


def test_recorded_inputs_hold_or_interpolate(tmp_path):
    path = write(tmp_path / "in.csv", "GearSelector, time ,AccelerationDemand\r\n1,0,0.5\r\n\r\n1,0.01,0.25\r\n3,0.02,-1\r\n")
    events = [{"time": 0.0, "set": {"GearSelector": 1, "AccelerationDemand": 0.5}}, {"time": 0.01, "set": {"AccelerationDemand": 0.25}}]
    events.append({"time": 0.02, "set": {"GearSelector": 3, "AccelerationDemand": -1}})
    assert_bitwise_equal(corvanta.simulate(path, every=1), corvanta.simulate({"duration": 0.02, "events": events}, every=1))
    ramps = [{"time": 0.0, "set": {"GearSelector": 1}, "until": 0.01, "ramp": {"AccelerationDemand": 0.25}}]
    # Each row sets its own values, which a ramp of the same step starts from.
    ramps.append({"time": 0.01, "set": {"AccelerationDemand": 0.25}, "until": 0.02, "ramp": {"AccelerationDemand": -1, "GearSelector": 3}})
    linear = {"duration": 0.02, "inputs": {"AccelerationDemand": 0.5}, "events": ramps}
    assert_bitwise_equal(corvanta.simulate(path, every=1, interpolate="linear"), corvanta.simulate(linear, every=1))
    with pytest.raises(ValueError, match="interpolate"):
        corvanta.simulate(path, interpolate="cubic")
    empty = write(tmp_path / "empty.csv", "time,SteeringAngle\n")
    with pytest.raises(corvanta.ScenarioError, match="no rows after the header"):
        corvanta.simulate(empty)
    assert len(corvanta.simulate(empty, duration=0.001, every=1)) == 11


@pytest.mark.parametrize(
    "document, where, what",
    [
        ({}, "duration", "missing"),
        ({"duration": -1}, "duration", "expected a time >= 0, got -1"),
        ({"duration": True}, "duration", "expected a number, got a boolean"),
        ({"duration": 1e300}, "duration", "more than 2^53 steps"),
        ({"duration": 1, "extra": 1}, "extra", "unknown key; expected name, description, duration, inputs, events, driver or vehicle"),
        ({"duration": 1, "inputs": {"Throttle": 1}}, "inputs.Throttle", "unknown input name; expected AccelerationDemand"),
        ({"duration": 1, "inputs": {"roadgrade": 1}}, "inputs.roadgrade", "unknown input name (did you mean RoadGrade?)"),
        ({"duration": 1, "events": [{"time": 1}, {"time": 0.5}]}, "events[1].time", "times must not decrease; 0.5 comes after 1"),
        ({"duration": 1, "events": [{"time": 1, "initialize": 1}]}, "events[0].initialize", "expected true or false"),
        ({"duration": 1, "events": [{"time": 1, "ramp": {"RoadGrade": 1}}]}, "events[0]", '"ramp" needs "until"'),
        ({"duration": 1, "events": [{"time": 1, "until": 2}]}, "events[0].until", '"until" belongs to a "ramp"'),
        ({"duration": 1, "events": [{"time": 1, "until": 1, "ramp": {}}]}, "events[0].until", "expected a time after the event's time 1"),
        ({"duration": 1, "events": [{"time": 0}, {"time": 0}, {"time": 2, "until": 3, "ramp": {"Foo": 1}}]}, "events[2].ramp.Foo", "unknown input"),
        ('{"duration": 1, "events": {}}', "events", "expected an array, got an object"),
    ],
)
def test_dict_validation(document, where, what):
    with pytest.raises(corvanta.ScenarioError) as error:
        corvanta.load_scenario(document)
    name = "<string>" if isinstance(document, str) else "<dict>"
    assert (error.value.where, error.value.path, error.value.line) == (where, where, 0)
    assert str(error.value) == f"{name}: {where}: {error.value.what}"
    assert what in error.value.what


@pytest.mark.parametrize(
    "text, message, line, column",
    [
        ('{\n  "duration": 1,\n  "inputs": {,}\n}', ":3:14: malformed JSON: syntax error while parsing object key", 3, 14),
        ('{"duration": NaN}', ":1:14: malformed JSON: syntax error while parsing value - invalid literal", 1, 14),
        ('{"duration": 1e400}', ":1:18: malformed JSON: number overflow parsing '1e400'", 1, 18),
        ('{"duration": 1, "duration": 2}', ': top level: the key "duration" appears twice', 0, 0),
    ],
)
def test_json_text_errors(tmp_path, text, message, line, column):
    path = write(tmp_path / "bad.json", text)
    with pytest.raises(corvanta.ScenarioError) as error:
        corvanta.simulate(path)
    assert str(error.value).startswith(f"{path}{message}")
    assert (error.value.source, error.value.line, error.value.column) == (str(path), line, column)
    if column:
        assert error.value.where == (line, column)


@pytest.mark.parametrize(
    "text, message",
    [
        ("", ": empty file"),
        ("time,Throttle\n", ':1: unknown column "Throttle"'),
        ("time,RoadGrade,RoadGrade\n", ':1: the column "RoadGrade" appears twice'),
        ("time,RoadGrade\n0,1,2\n", ":2: expected 2 fields as in the header, got 3"),
        ("time,RoadGrade\n0,+1\n", ':2: column "RoadGrade": expected a number, got "+1"'),
        ("time,RoadGrade\n0,inf\n", ':2: column "RoadGrade": expected a finite number, got "inf"'),
        ("time,RoadGrade\n\n2,0\n1,0\n", ":4: time 1 comes before the previous row's 2; times must not decrease"),
    ],
)
def test_csv_errors(tmp_path, text, message):
    path = write(tmp_path / "inputs.csv", text)
    with pytest.raises(corvanta.ScenarioError) as error:
        corvanta.simulate(path)
    assert str(error.value).startswith(f"{path}{message}")


def test_results_as_pandas():
    pandas = pytest.importorskip("pandas")
    rows = corvanta.simulate({"duration": 0.01, "inputs": {"GearSelector": 1, "InitialSpeed": 3}}, every=50)
    frame = rows.to_pandas()
    assert isinstance(frame, pandas.DataFrame) and tuple(frame.columns) == corvanta.COLUMNS
    assert_bitwise_equal(frame.to_numpy(), rows)


def test_missing_file_and_wrong_types(tmp_path):
    with pytest.raises(corvanta.ScenarioError, match=re.escape(f"cannot open '{tmp_path / 'no.json'}': No such file")):
        corvanta.simulate(tmp_path / "no.json")
    with pytest.raises(TypeError, match="scenario: expected a path, a JSON text or a dict"):
        corvanta.simulate(42)
