"""Signals, the start of a run, and saved states of a Model (the vehicle library)."""

import pickle

import numpy as np
import pytest

import corvanta


def bits(rows):
    return np.ascontiguousarray(rows).view(np.uint64)


def started_model():
    model = corvanta.Model()
    model.set_inputs(GearSelector=1, AccelerationDemand=1.5, InitialSpeed=4, InitialPositionX=10, InitialHeading=0.3)
    model.initialize()
    return model


def test_the_signal_list():
    names = [signal.name for signal in corvanta.SIGNALS]
    assert names[:7] == list(corvanta.OUTPUT_NAMES)
    assert len(set(names)) == len(names) == 65
    for name in ("Gear", "EngineSpeed", "TyreForceYFL", "SlipAngleRR", "ModelTime"):
        assert name in names
    gear = corvanta.SIGNALS[names.index("EngineSpeed")]
    assert gear.unit == "rad/s" and "Engine speed" in gear.description


def test_signals_at_the_start_and_after_steps():
    with started_model() as model:
        start = model.signals()
        assert (start["PositionX"], start["Heading"], start["LongitudinalSpeed"]) == (10.0, 0.3, 4.0)
        assert (start["Gear"], start["PitchAngle"], start["TipOverIndicator"]) == (1.0, 0.0, -1.0)
        assert tuple(model.outputs) == (0.0,) * 7  # the output record keeps its zeros
        rows = model.step(500)
        after = model.signals()
        assert [after[name] for name in corvanta.OUTPUT_NAMES] == rows[-1].tolist()
        assert after["ModelTime"] == 500 * 0.0001
        assert after["EngineSpeed"] > 78.6 and after["Throttle"] > 0.0


def test_restore_continues_bit_for_bit():
    model = started_model()
    model.step(1200)
    state = model.save()
    assert isinstance(state, bytes) and state[:8] == b"CRVINSTS"
    expected = model.step(3000)
    other = corvanta.Model()
    other.set_inputs(RoadGrade=0.2, SteeringAngle=-0.1)
    other.initialize()
    other.step(50)
    other.restore(state)
    assert other.steps == 1200 and other.inputs == model.inputs
    assert np.array_equal(bits(other.step(3000)), bits(expected))
    model.restore(state)
    twin = model.copy()
    assert np.array_equal(bits(twin.step(3000)), bits(expected))
    assert np.array_equal(bits(model.step(3000)), bits(expected))


def test_pickling_continues_bit_for_bit():
    model = started_model()
    model.step(700)
    clone = pickle.loads(pickle.dumps(model))
    assert clone.steps == 700 and clone.time == model.time
    assert np.array_equal(bits(clone.step(2000)), bits(model.step(2000)))
    assert clone.signals()["Gear"] == model.signals()["Gear"]


def test_bad_states_are_refused_and_change_nothing():
    model = started_model()
    model.step(100)
    state = model.save()
    corrupt = bytearray(state)
    corrupt[len(corrupt) // 2] ^= 1
    for bad, reason in ((state[:-1], "truncated"), (bytes(corrupt), "checksum"), (b"hello" * 10, "not a saved state")):
        with pytest.raises(ValueError, match=reason):
            model.restore(bad)
        assert model.save() == state


def test_a_restored_uninitialised_model_refuses_to_step():
    fresh = corvanta.Model().save()
    model = started_model()
    model.restore(fresh)
    with pytest.raises(RuntimeError, match="initialize"):
        model.step(1)


def test_simulate_shows_the_car_at_time_zero():
    rows = corvanta.simulate({"duration": 0.01, "inputs": {"GearSelector": 1, "InitialPositionX": 10,
                                                         "InitialPositionY": -2, "InitialSpeed": 5}})
    first = rows[0]
    assert (first["time"], first["PositionX"], first["PositionY"], first["LongitudinalSpeed"]) == (0.0, 10.0, -2.0, 5.0)
