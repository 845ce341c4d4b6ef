"""corvanta.Vehicle: parameter sets in Model and simulate, and signal columns in runs."""

import json
import pickle

import numpy as np
import pytest

import corvanta
from corvanta import _library
from corvanta.vehicle import Vehicle, VehicleError

from support import assert_bitwise_equal

LAUNCH = {"duration": 2.0, "inputs": {"AccelerationDemand": 2.0, "GearSelector": 1, "InitialSpeed": 3.0}}
STANDING = {"duration": 0.01, "inputs": {"GearSelector": 1}}
LOADS = ["TyreLoadFL", "TyreLoadFR", "TyreLoadRL", "TyreLoadRR"]
WHEELS = ("FL", "FR", "RL", "RR")


def bits(rows):
    return np.ascontiguousarray(rows).tobytes()


def test_the_built_in_set_is_the_compiled_model_bit_for_bit(tmp_path):
    compiled = corvanta.load_scenario(LAUNCH).run(every=10, library=_library.library())
    default = corvanta.simulate(LAUNCH, every=10, vehicle=Vehicle.default())
    # The model library's time-0 row holds zeros; every stepped row is the same bits.
    assert bits(default[1:]) == bits(compiled[1:])
    # The same through a vehicle file written and read back, and through a pickled set.
    Vehicle.default().save(tmp_path / "car.json")
    loaded = Vehicle.load(tmp_path / "car.json")
    assert loaded.identity == Vehicle.default().identity
    assert bits(corvanta.simulate(LAUNCH, every=10, vehicle=str(tmp_path / "car.json"))) == bits(default)
    assert pickle.loads(pickle.dumps(loaded)).identity == loaded.identity


def test_with_copies_on_write_and_changes_the_run(tmp_path):
    car = Vehicle.default()
    heavy = car.with_(VehicleMass=1900.0)
    assert (car["VehicleMass"], heavy["VehicleMass"]) == (1760.0, 1900.0)
    assert heavy.identity != car.identity
    light, heavier = corvanta.simulate(LAUNCH, vehicle=car), corvanta.simulate(LAUNCH, vehicle=heavy)
    # The same engine pushes more mass: less speed at the end.
    assert heavier["LongitudinalSpeed"][-1] < light["LongitudinalSpeed"][-1]
    # A set changed, saved and read back runs the same bits as the changed set.
    heavy.save(tmp_path / "heavy.json")
    again = Vehicle.load(tmp_path / "heavy.json")
    assert again["VehicleMass"] == 1900.0
    assert bits(corvanta.simulate(LAUNCH, vehicle=again)) == bits(heavier)
    assert json.loads(heavy.to_json())["parameters"]["VehicleMass"] == 1900


def test_tables_are_read_only_arrays_and_settable_whole():
    car = Vehicle.default()
    ratios = car["GearRatio_Table"]
    assert isinstance(ratios, np.ndarray) and ratios.shape == (7,)
    with pytest.raises(ValueError):
        ratios[0] = 1.0
    # Gear 1 is entry 2 (gears -1 ... 5); a shorter first gear gives more speed at launch.
    shorter = ratios.copy()
    shorter[2] *= 1.2
    changed = car.with_(GearRatio_Table=shorter)
    assert_bitwise_equal(changed["GearRatio_Table"], shorter)
    assert car["GearRatio_Table"][2] == ratios[2]
    one = corvanta.simulate(LAUNCH, vehicle=car)
    other = corvanta.simulate(LAUNCH, vehicle=changed)
    assert bits(one) != bits(other)
    # Per-axle tyre coefficients through a dict; the plain name then refuses to choose.
    grippy = car.with_({"RearTyre.PDY1": 1.2})
    assert (grippy["FrontTyre.PDY1"], grippy["RearTyre.PDY1"]) == (car["PDY1"], 1.2)
    with pytest.raises(VehicleError, match="FrontTyre.PDY1 or RearTyre.PDY1"):
        grippy["PDY1"]
    assert grippy.parameters()["RearTyre.PDY1"] == 1.2 and "PDY1" not in grippy.parameters()


def test_static_tyre_loads_follow_mass_and_axle_position():
    # The standing car: the four loads carry m g, split between the axles by the lever rule.
    for changes in ({}, {"VehicleMass": 1900.0}, {"FrontAxleDistance": 1.3}):
        car = Vehicle.default().with_(**changes)
        mass, g = car["VehicleMass"], car["Gravity"]
        a, wheelbase = car["FrontAxleDistance"], car["Wheelbase"]
        rows = corvanta.simulate(STANDING, every=1, vehicle=car, signals=LOADS)
        for row in (rows[0], rows[-1]):
            loads = [row[name] for name in LOADS]
            assert sum(loads) == pytest.approx(mass * g, rel=1e-12)
            assert loads[0] + loads[1] == pytest.approx(mass * g * (wheelbase - a) / wheelbase, rel=1e-12)
            assert loads[0] == loads[1] and loads[2] == loads[3]


def test_every_problem_is_reported_with_the_library_message(tmp_path):
    car = Vehicle.default()
    with pytest.raises(VehicleError, match=r'unknown parameter "VehicleMas" \(did you mean VehicleMass\?\)'):
        car.with_(VehicleMas=1.0)
    with pytest.raises(VehicleError, match="GearRatio_Table takes 7 values, not 2"):
        car.with_(GearRatio_Table=[1.0, 2.0])
    with pytest.raises(TypeError, match="VehicleMass"):
        car.with_(VehicleMass="heavy")
    with pytest.raises(KeyError, match="did you mean YawInertia"):
        car["YawInertai"]
    bad = car.with_(VehicleMass=-1.0, YawInertia=0.0, PDY1=float("nan"))
    problems = bad.check()
    assert len(problems) >= 3
    for name in ("VehicleMass = -1", "YawInertia = 0", "PDY1"):
        assert any(name in problem for problem in problems), (name, problems)
    assert car.check() == []
    for attempt in (lambda: corvanta.Model(vehicle=bad), lambda: corvanta.simulate(STANDING, vehicle=bad)):
        with pytest.raises(VehicleError) as caught:
            attempt()
        assert caught.value.problems == problems
    path = tmp_path / "broken.json"
    path.write_text('{"name": "x",\n "parameters": {"VehicleMass": -3}}\n')
    with pytest.raises(VehicleError, match=r"broken.json:2: .*VehicleMass"):
        Vehicle.load(path)
    with pytest.raises(VehicleError):
        Vehicle.load(tmp_path / "missing.json")


def test_a_model_of_a_set_copies_pickles_and_refuses_foreign_states():
    heavy = Vehicle.default().with_(VehicleMass=1900.0)
    with corvanta.Model(vehicle=heavy) as m, corvanta.Model() as plain:
        for model in (m, plain):
            model.set_inputs(AccelerationDemand=2.0, GearSelector=1)
            model.initialize()
            model.step(500)
        assert m.vehicle is heavy and plain.vehicle is None
        twin, thawed = m.copy(), pickle.loads(pickle.dumps(m))
        expected = m.step(700, every=100)
        assert bits(twin.step(700, every=100)) == bits(expected)
        assert bits(thawed.step(700, every=100)) == bits(expected)
        assert thawed.vehicle.identity == heavy.identity
        with pytest.raises(ValueError, match="another parameter set"):
            plain.restore(m.save())


def test_signal_columns_of_a_run():
    plain = corvanta.simulate(LAUNCH, every=1)
    everything = corvanta.simulate(LAUNCH, every=1, signals="all")
    names = [signal.name for signal in corvanta.SIGNALS]
    assert everything.dtype.names == corvanta.COLUMNS + tuple(names[7:])
    assert everything.signal_names == tuple(names[7:])
    # The outputs are the same bits with and without the signals.
    assert bits(everything.to_array()[:, :8]) == bits(plain.to_array())
    # Outputs among the names are already columns; the order asked is kept.
    some = corvanta.simulate(LAUNCH, every=1, signals=["EngineSpeed", "PositionX", "Gear"])
    assert some.signal_names == ("EngineSpeed", "Gear")
    assert bits(some["Gear"]) == bits(everything["Gear"])
    # Each column is the instance's own value, as Model.signals() reads it after a step.
    with corvanta.Model() as m:
        m.set_inputs(**LAUNCH["inputs"])
        m.initialize()
        for step in range(0, 40):
            record = m.signals()
            assert bits(np.array(record.tolist())[7:]) == bits(everything.to_array()[step, 8:]), step
            m.step()
    # The row at time 0 shows the car as it starts.
    first = everything[0]
    assert (first["Gear"], first["LongitudinalSpeed"], first["ModelTime"]) == (1.0, 3.0, 0.0)
    for wrong, message in ((["Gaer"], "did you mean Gear"), (["Gear", "Gear"], "named twice"), ("some", "'all'")):
        with pytest.raises(ValueError, match=message):
            corvanta.simulate(STANDING, signals=wrong)


def test_signal_columns_round_trip_through_csv(tmp_path):
    rows = corvanta.simulate(LAUNCH, signals=["Gear", "SlipAngleFL"])
    corvanta.write_csv(tmp_path / "run.csv", rows)
    header = (tmp_path / "run.csv").read_text().splitlines()[0]
    assert header == ",".join(corvanta.COLUMNS + ("Gear", "SlipAngleFL"))
    again = corvanta.read_csv(tmp_path / "run.csv")
    assert again.dtype.names == rows.dtype.names and bits(again) == bits(rows)
