"""A vehicle parameter set in the standard tests (corvanta.tests.*(vehicle=...)), in sweeps
(corvanta.sweep(..., vehicle=...) and vehicle.NAME fields) and through a scenario's
"vehicle" key, with the example vehicles of examples/vehicles."""

import json
import math

import numpy as np
import pytest

import corvanta
import corvanta.tests as standard
from corvanta.vehicle import Vehicle, VehicleError

from support import REPO

VEHICLES = REPO / "examples" / "vehicles"
ESTATE = VEHICLES / "estate.json"
LOW_MU = VEHICLES / "low-mu.json"
# Full throttle while steering: mass, the drive and the lateral tyre all act.
RUN = {"duration": 0.5, "inputs": {"GearSelector": 1, "AccelerationDemand": 1.0, "InitialSpeed": 10,
                                   "SteeringAngle": 0.05}}


def metric_bits(result):
    return {name: np.float64(metric.value).tobytes() for name, metric in result.metrics.items()}


# ---- The standard tests -------------------------------------------------------------------


@pytest.fixture(scope="module")
def braking_runs(sim):
    """The braking test from 8 m/s for the built-in car, given in every way, and others."""
    estate = Vehicle.load(ESTATE)
    return {
        "none": standard.braking(speed=8),
        "default": standard.braking(speed=8, vehicle=Vehicle.default()),
        "estate-path": standard.braking(speed=8, vehicle=ESTATE),
        "estate-str": standard.braking(speed=8, vehicle=str(ESTATE)),
        "estate": standard.braking(speed=8, vehicle=estate),
        "estate-dict": standard.run_test("braking", speed=8, vehicle=json.loads(estate.to_json())),
        "lighter": standard.braking(speed=8, vehicle=estate.with_(VehicleMass=1900)),
    }


def test_the_built_in_set_gives_the_built_in_cars_metrics(braking_runs):
    assert metric_bits(braking_runs["default"]) == metric_bits(braking_runs["none"])
    run, again = braking_runs["none"].runs["braking"], braking_runs["default"].runs["braking"]
    assert np.ascontiguousarray(run).tobytes() == np.ascontiguousarray(again).tobytes()


def test_a_vehicle_by_path_by_set_or_by_dict_is_the_same_car(braking_runs):
    expected = metric_bits(braking_runs["estate-path"])
    for way in ("estate-str", "estate", "estate-dict"):
        assert metric_bits(braking_runs[way]) == expected, way


def test_a_heavier_car_needs_longer_to_stop_on_the_same_brakes(braking_runs):
    # The stop from 8 m/s is brake-limited (the brake torques do not depend on the mass),
    # so the mean deceleration falls with the mass: 2020 kg > 1900 kg > 1760 kg.
    distance = {name: braking_runs[name].metrics["stopping_distance"].value for name in ("none", "lighter", "estate")}
    assert distance["none"] < distance["lighter"] < distance["estate"]
    mfdd = {name: braking_runs[name].metrics["mfdd"].value for name in ("none", "lighter", "estate")}
    # Brake force the same, deceleration as 1/m: within the share of the stop spent
    # building up the brake and in the slip of the tyres (a few per cent).
    assert mfdd["none"] * 1760 / 2020 == pytest.approx(mfdd["estate"], rel=0.03)


def test_a_low_friction_tyre_from_a_tyre_property_file_runs(sim):
    car = Vehicle.load(LOW_MU)
    # The file is in mm: radius 316.5 mm, measurement speed 16600 mm/s; LMUY 0.8 scales PDY1.
    assert car["UNLOADED_RADIUS"] == pytest.approx(0.3165, rel=1e-15)
    assert car["LONGVL"] == pytest.approx(16.6, rel=1e-15)
    assert car["FNOMIN"] == 4000 and car["PDX1"] == 0.62
    assert car["PDY1"] == pytest.approx(0.75 * 0.8, rel=1e-15)
    assert "not use" in car.warnings  # the file's camber and other terms are listed
    result = standard.step_steer(speed=10, steer=0.02, hold=2, vehicle=LOW_MU)
    # Small steering stays in the tyre's linear range: a yaw gain near the built-in car's.
    assert 3.0 < result.metrics["yaw_rate_gain"].value < 5.0
    stop = standard.braking(speed=8, vehicle=car).metrics["stopping_distance"].value
    assert stop > standard.braking(speed=8).metrics["stopping_distance"].value


def test_bad_vehicles_are_test_errors(sim, tmp_path):
    with pytest.raises(standard.TestError, match="no such vehicle file"):
        standard.braking(vehicle=tmp_path / "missing.json")
    with pytest.raises(standard.TestError, match="VehicleMass"):
        standard.braking(vehicle=Vehicle.default().with_(VehicleMass=-1))
    with pytest.raises(standard.TestError, match="expected a corvanta.Vehicle"):
        standard.braking(vehicle=42)
    bad = tmp_path / "bad.json"
    bad.write_text('{"parameters": {"VehicleMas": 1800}}', encoding="utf-8")
    with pytest.raises(standard.TestError, match="did you mean"):
        standard.braking(vehicle=bad)
    assert not list(tmp_path.glob("*.tmp*"))


# ---- Sweeps ----------------------------------------------------------------------------------

@pytest.fixture
def pandas():
    return pytest.importorskip("pandas")


def final_state(scenario, vehicle=None):
    rows = corvanta.simulate(scenario, every=1_000_000, vehicle=vehicle)
    return [float(rows[name][-1]) for name in corvanta.OUTPUT_NAMES]


def row_state(frame, index):
    return [float(frame[name].iloc[index]) for name in corvanta.OUTPUT_NAMES]


def same_bits(a, b):
    return np.array(a, dtype=np.float64).tobytes() == np.array(b, dtype=np.float64).tobytes()


def test_a_sweep_varies_vehicle_parameters_by_path(pandas):
    frame = corvanta.sweep({"base": RUN, "grid": {"vehicle.VehicleMass": [1760, 2100], "vehicle.RearTyre.PDY1": [1.0489, 0.8]}},
                           workers=2)
    assert list(frame.columns[1:3]) == ["vehicle.VehicleMass", "vehicle.RearTyre.PDY1"]
    assert len(frame) == 4
    default = Vehicle.default()
    for index in range(4):
        mass, pdy1 = frame["vehicle.VehicleMass"].iloc[index], frame["vehicle.RearTyre.PDY1"].iloc[index]
        car = default.with_({"VehicleMass": mass, "RearTyre.PDY1": pdy1})
        assert same_bits(row_state(frame, index), final_state(RUN, vehicle=car)), (mass, pdy1)
    # The built-in values reproduce the built-in car.
    first = frame[(frame["vehicle.VehicleMass"] == 1760) & (frame["vehicle.RearTyre.PDY1"] == 1.0489)].index[0]
    assert same_bits(row_state(frame, first), final_state(RUN))
    # Every change shows in the outputs.
    states = {tuple(row_state(frame, index)) for index in range(4)}
    assert len(states) == 4


def test_a_sweep_runs_the_hosts_vehicle_in_every_way(pandas):
    estate = Vehicle.load(ESTATE)
    definition = {"base": RUN, "grid": {"inputs.InitialSpeed": [8, 12]}}
    threads = corvanta.sweep(definition, workers=2, vehicle=estate)
    for index, speed in enumerate((8, 12)):
        scenario = json.loads(json.dumps(RUN))
        scenario["inputs"]["InitialSpeed"] = speed
        assert same_bits(row_state(threads, index), final_state(scenario, vehicle=estate))
    columns = [c for c in threads.columns if c != "wall_time"]
    by_path = corvanta.sweep(definition, workers=1, vehicle=ESTATE)
    processes = corvanta.sweep(definition, workers=2, processes=True, vehicle=estate)
    for other in (by_path, processes):
        assert np.array_equal(other[columns].to_numpy(dtype=np.float64).view(np.uint64),
                              threads[columns].to_numpy(dtype=np.float64).view(np.uint64))
    # vehicle.NAME varies the host's set: the estate's own mass gives the estate.
    varied = corvanta.sweep({"base": RUN, "grid": {"vehicle.VehicleMass": [2020]}}, vehicle=estate)
    plain = corvanta.sweep([RUN], vehicle=estate)
    assert same_bits(row_state(varied, 0), row_state(plain, 0))
    assert not same_bits(row_state(plain, 0), row_state(corvanta.sweep([RUN]), 0))


def test_a_sweep_refuses_a_vehicle_with_problems(pandas):
    with pytest.raises(VehicleError, match="VehicleMass"):
        corvanta.sweep([RUN], vehicle=Vehicle.default().with_(VehicleMass=0))
    with pytest.raises(corvanta.SweepError, match="VehicleMas"):
        corvanta.sweep({"base": RUN, "grid": {"vehicle.VehicleMas": [1800]}})


# ---- A scenario's own vehicle ---------------------------------------------------------------


def test_a_scenarios_vehicle_key_runs_in_python(tmp_path, pandas):
    inline = dict(RUN, vehicle={"parameters": {"VehicleMass": 2100, "FinalDriveRatio": 2.3}})
    expected = final_state(RUN, vehicle=Vehicle.default().with_(VehicleMass=2100, FinalDriveRatio=2.3))
    assert same_bits(final_state(inline), expected)
    # A path relative to the scenario file, and the same in a sweep of that file.
    (tmp_path / "cars").mkdir()
    (tmp_path / "cars" / "estate.json").write_text(ESTATE.read_text(encoding="utf-8"), encoding="utf-8")
    scenario = tmp_path / "run.json"
    scenario.write_text(json.dumps(dict(RUN, vehicle="cars/estate.json")), encoding="utf-8")
    estate = final_state(RUN, vehicle=Vehicle.load(ESTATE))
    assert same_bits(final_state(scenario), estate)
    frame = corvanta.sweep([json.loads(scenario.read_text(encoding="utf-8")) | {"vehicle": str(tmp_path / "cars" / "estate.json")}])
    assert same_bits(row_state(frame, 0), estate)
