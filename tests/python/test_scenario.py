"""Scenarios: validation, the input schedule, the row rule and simulate()."""

import json
import re

import numpy as np
import pytest

import corvanta
from corvanta.scenario import input_plan, load_scenario, step_index

from support import assert_bitwise_equal, write

A, STEER, GRADE = (corvanta.INPUT_NAMES.index(name) for name in ("AccelerationDemand", "SteeringAngle", "RoadGrade"))


def plan(events, n_steps=100, **inputs):
    """{k: (initialize, values)} of a scenario with these events."""
    scenario = load_scenario({"duration": 1, "inputs": inputs, "events": events})
    return {k: (init, values) for k, init, values in input_plan(scenario, n_steps)}


def test_step_indices_and_rows():
    assert [step_index(t) for t in (0.00004, 0.00006, 0.0123, 6.0)] == [0, 1, 123, 60000]
    # 0.00025 / 0.0001 is exactly 2.5 and goes up; 0.00015 / 0.0001 is just below 1.5,
    # and so is 0.00105 / 0.0001 below 10.5 (where 0.00105 * 10000 gives 10.5).
    assert [step_index(t) for t in (0.00005, 0.00025, 0.01005, 0.00015, 0.00105)] == [1, 3, 101, 1, 10]
    each = corvanta.simulate({"duration": 0.025, "inputs": {"GearSelector": 1}}, every=1)
    rows = corvanta.simulate({"duration": 0.025, "inputs": {"GearSelector": 1}}, every=100)
    assert each[:, 0].tolist() == [k * 0.0001 for k in range(1, 251)]
    assert_bitwise_equal(rows, each[[99, 199, 249]])
    assert corvanta.simulate({"duration": 0.02}, every=50).shape == (4, 8)
    assert corvanta.simulate({"duration": 0.00004}).shape == (0, 8)
    assert_bitwise_equal(corvanta.simulate({"duration": 9, "inputs": {"GearSelector": 1}}, every=100, duration=0.025), rows)
    for bad, error in ((0, ValueError), (2.0, TypeError)):
        with pytest.raises(error, match="every"):
            corvanta.simulate({"duration": 0.001}, every=bad)


class TestInputPlan:
    def test_ramp(self):
        steps = plan([{"time": 0.001, "until": 0.002, "ramp": {"SteeringAngle": 1.0}}])
        assert sorted(steps) == list(range(10, 21))
        assert [steps[k][1][STEER] for k in range(10, 21)] == [(k - 10) / 10 for k in range(10, 20)] + [1.0]
        assert sorted(plan([{"time": 0, "until": 1, "ramp": {"RoadGrade": 1}}], n_steps=5)) == [0, 1, 2, 3, 4]
        assert plan([{"time": 0.001, "until": 0.00101, "ramp": {"RoadGrade": 3}}]) == {10: (False, (0.0,) * 3 + (3.0,) + (0.0,) * 4)}

    def test_order_within_a_step(self):
        # The ramp is listed first but starts from the value of the set of the same step.
        steps = plan(
            [{"time": 0.001, "until": 0.0014, "ramp": {"AccelerationDemand": 2.0}}, {"time": 0.001, "set": {"AccelerationDemand": 1.0}}],
            AccelerationDemand=9.0,
        )
        assert [steps[k][1][A] for k in range(10, 15)] == [1.0, 1.25, 1.5, 1.75, 2.0]

    def test_set_or_ramp_ends_a_ramp(self):
        steps = plan(
            [
                {"time": 0.0, "until": 0.001, "ramp": {"SteeringAngle": 1.0, "RoadGrade": 1.0}},
                {"time": 0.0005, "until": 0.0006, "ramp": {"SteeringAngle": 0.0}},
                {"time": 0.0008, "set": {"RoadGrade": -1.0}},
            ]
        )
        assert [steps[k][1][STEER] for k in range(3, 8)] == [0.3, 0.4, 0.4, 0.0, 0.0]
        assert [steps[k][1][GRADE] for k in (7, 8)] == [0.7, -1.0] and max(steps) == 8  # nothing moves after

    def test_initialize_and_events_beyond_the_end(self):
        steps = plan(
            [
                {"time": 0.002, "initialize": True},
                {"time": 0.002, "initialize": True, "set": {"GearSelector": 1}},
                {"time": 0.003, "initialize": False},
                {"time": 0.01, "set": {"GearSelector": 3}},
            ]
        )
        assert steps == {20: (True, (0.0, 1.0) + (0.0,) * 6), 30: (False, (0.0, 1.0) + (0.0,) * 6)}


DRIVE = {
    "duration": 0.05,
    "inputs": {"AccelerationDemand": 0.5, "GearSelector": 1, "InitialSpeed": 5},
    "events": [
        {"time": 0.01, "set": {"SteeringAngle": 0.02}},
        {"time": 0.02, "until": 0.03, "ramp": {"AccelerationDemand": -1.0}},
        {"time": 0.04, "initialize": True, "set": {"InitialSpeed": 2}},
    ],
}


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
    assert_bitwise_equal(rows[:, 1:], np.vstack(parts))
    # A file gives the same run as the dict; without .json/.csv the content decides.
    assert_bitwise_equal(corvanta.simulate(write(tmp_path / "drive.txt", "\n " + json.dumps(DRIVE)), every=1), rows)


def test_recorded_inputs_are_set_events(tmp_path):
    path = write(tmp_path / "in.csv", "GearSelector, time ,AccelerationDemand\r\n1,0,0.5\r\n\r\n1,0.01,0.25\r\n3,0.02,-1\r\n")
    events = [{"time": 0.0, "set": {"GearSelector": 1, "AccelerationDemand": 0.5}}, {"time": 0.01, "set": {"AccelerationDemand": 0.25}}]
    events.append({"time": 0.02, "set": {"GearSelector": 3, "AccelerationDemand": -1}})
    assert_bitwise_equal(corvanta.simulate(path, every=1), corvanta.simulate({"duration": 0.02, "events": events}, every=1))
    empty = write(tmp_path / "empty.csv", "time,SteeringAngle\n")
    with pytest.raises(corvanta.ScenarioError, match="no rows after the header"):
        corvanta.simulate(empty)
    assert corvanta.simulate(empty, duration=0.001, every=1).shape == (10, 8)


@pytest.mark.parametrize(
    "document, where, what",
    [
        ({}, "duration", "missing"),
        ({"duration": -1}, "duration", "expected a time >= 0, got -1"),
        ({"duration": True}, "duration", "expected a number, got a boolean"),
        ({"duration": 1e300}, "duration", "more than 2^53 steps"),
        ({"duration": 1, "extra": 1}, "extra", "unknown key; expected name, description, duration, inputs or events"),
        ({"duration": 1, "inputs": {"Throttle": 1}}, "inputs.Throttle", "unknown input name; expected AccelerationDemand"),
        ({"duration": 1, "inputs": {"RoadGrade": float("nan")}}, "inputs.RoadGrade", "expected a finite number"),
        ({"duration": 1, "events": [{"time": 1}, {"time": 0.5}]}, "events[1].time", "times must not decrease; 0.5 comes after 1"),
        ({"duration": 1, "events": [{"time": 1, "initialize": 1}]}, "events[0].initialize", "expected true or false"),
        ({"duration": 1, "events": [{"time": 1, "ramp": {"RoadGrade": 1}}]}, "events[0]", '"ramp" needs "until"'),
        ({"duration": 1, "events": [{"time": 1, "until": 2}]}, "events[0].until", '"until" belongs to a "ramp"'),
        ({"duration": 1, "events": [{"time": 1, "until": 1, "ramp": {}}]}, "events[0].until", "expected a time after the event's time 1"),
        ({"duration": 1, "events": [{"time": 0}, {"time": 0}, {"time": 2, "until": 3, "ramp": {"Foo": 1}}]}, "events[2].ramp.Foo", "unknown input"),
    ],
)
def test_json_validation(document, where, what):
    with pytest.raises(corvanta.ScenarioError) as error:
        load_scenario(document)
    assert (error.value.where, str(error.value)) == (where, f"<dict>: {where}: {error.value.what}")
    assert what in error.value.what


@pytest.mark.parametrize(
    "text, message",
    [
        ('{\n  "duration": 1,\n  "inputs": {,}\n}', ":3:14: malformed JSON"),
        ('{"duration": NaN}', ": malformed JSON: NaN is not a JSON value"),
        ('{"duration": 1, "duration": 2}', ': top level: the key "duration" appears twice'),
        ("[]", ": top level: expected an object, got an array"),
        ('{"duration": 1, "inputs": {"RoadGrade": 1' + "0" * 400 + "}}", ": inputs.RoadGrade: expected a finite number"),
    ],
)
def test_json_text_errors(tmp_path, text, message):
    path = write(tmp_path / "bad.json", text)
    with pytest.raises(corvanta.ScenarioError, match="^" + re.escape(f"{path}{message}")):
        corvanta.simulate(path)


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
