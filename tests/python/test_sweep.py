"""corvanta.sweep: the same rows through the engine's threads, worker processes, a Dask
cluster and corvanta-sim sweep; definitions in every form; bad definitions; the plot."""

import json
import subprocess

import numpy as np
import pytest

pd = pytest.importorskip("pandas")

import corvanta  # noqa: E402
from corvanta import sweep_plot, sweeps  # noqa: E402

MONTE_CARLO = {
    "base": {
        "duration": 0.1,
        "inputs": {"GearSelector": 1, "AccelerationDemand": 0.3, "InitialSpeed": 20},
        "events": [{"time": 0.02, "set": {"SteeringAngle": 0.03}}],
    },
    "monte_carlo": {
        "count": 24,
        "seed": 7,
        "fields": {
            "inputs.InitialSpeed": {"uniform": [10, 30]},
            "events.0.set.SteeringAngle": {"normal": [0.03, 0.02], "bounds": [-0.1, 0.1]},
            "inputs.AccelerationDemand": {"choice": [0, 0.3, 1.0]},
        },
    },
}

GRID = {
    "base": {"duration": 0.1, "inputs": {"GearSelector": 1, "AccelerationDemand": -4}},
    "grid": {"inputs.InitialSpeed": [5, 20, 1e308], "inputs.RoadGrade": [-0.1, 0.1]},
}


def bits(frame):
    """Every column but wall_time as raw 64-bit patterns, so that NaNs and -0 compare."""
    values = frame.drop(columns=["wall_time"]).astype(np.float64).to_numpy()
    return np.ascontiguousarray(values).view(np.uint64)


def assert_same_rows(actual, expected):
    assert list(actual.columns) == list(expected.columns)
    np.testing.assert_array_equal(bits(actual), bits(expected))


@pytest.fixture(scope="module")
def reference():
    return corvanta.sweep(MONTE_CARLO, workers=1)


def test_frame_has_the_columns_and_types_of_the_results(reference):
    assert list(reference.columns[:4]) == [
        "run", "inputs.InitialSpeed", "events.0.set.SteeringAngle", "inputs.AccelerationDemand"]
    assert list(reference.columns[4:11]) == list(corvanta.OUTPUT_NAMES)
    assert list(reference.columns[11:]) == [
        "distance", "top_speed", "stop_time", "stop_distance", "max_heading_rate", "tip_over_time",
        "non_finite", "max_lateral_acceleration", "max_slip_angle", "time_in_gear_1", "time_in_gear_2",
        "time_in_gear_3", "time_in_gear_4", "time_in_gear_5", "wall_time"]
    assert reference["run"].dtype == np.int64 and list(reference["run"]) == list(range(24))
    assert reference["non_finite"].dtype == bool
    assert reference.attrs["runs"] == 24 and reference.attrs["steps"] == 24 * 1000
    assert ((reference["inputs.InitialSpeed"] >= 10) & (reference["inputs.InitialSpeed"] < 30)).all()
    assert set(reference["inputs.AccelerationDemand"]) == {0.0, 0.3, 1.0}


def test_rows_are_the_same_for_any_thread_count_and_seeded_samples_repeat(reference):
    assert_same_rows(corvanta.sweep(MONTE_CARLO, workers=3), reference)
    assert_same_rows(corvanta.sweep(json.dumps(MONTE_CARLO)), reference)
    other_seed = json.loads(json.dumps(MONTE_CARLO))
    other_seed["monte_carlo"]["seed"] = 8
    assert not np.array_equal(corvanta.sweep(other_seed)["inputs.InitialSpeed"], reference["inputs.InitialSpeed"])


def test_worker_processes_give_the_same_rows(reference):
    assert_same_rows(corvanta.sweep(MONTE_CARLO, workers=2, processes=True), reference)


def test_a_dask_cluster_gives_the_same_rows(reference):
    distributed = pytest.importorskip("distributed")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
                                  silence_logs=40) as cluster, distributed.Client(cluster) as client:
        frame = corvanta.sweep(MONTE_CARLO, client=client)
    assert_same_rows(frame, reference)
    assert frame.attrs["steps"] == reference.attrs["steps"]


def test_the_runner_writes_the_same_rows(reference, sim, tmp_path):
    definition = tmp_path / "mc.json"
    definition.write_text(json.dumps(MONTE_CARLO), encoding="utf-8")
    output = tmp_path / "results.csv"
    subprocess.run([sim, "sweep", str(definition), "-o", str(output), "--threads", "2", "-q"], check=True)
    table = sweep_plot.read_results(output)
    assert_same_rows(table, reference)
    assert table["non_finite"].dtype == bool


def test_non_finite_runs_are_reported_in_their_rows():
    frame = corvanta.sweep(GRID, workers=2)
    assert list(frame["non_finite"]) == [False, False, False, False, True, True]
    assert np.isnan(frame["PositionX"][4])
    assert frame["stop_time"].isna()[4]
    # The grid's last field changes fastest.
    assert list(frame["inputs.RoadGrade"]) == [-0.1, 0.1] * 3


def test_a_list_of_scenarios_runs_each_as_written():
    scenarios = [sweeps.scenario_of_run(GRID, run) for run in (1, 2)]
    frame = corvanta.sweep(scenarios)
    grid = corvanta.sweep(GRID)
    assert list(frame.columns) == ["run"] + list(grid.columns[3:])
    np.testing.assert_array_equal(bits(frame.drop(columns=["run"])),
                                  bits(grid.iloc[1:3].drop(columns=["run", "inputs.InitialSpeed", "inputs.RoadGrade"])))


def test_a_definition_file_is_read_by_path(tmp_path):
    path = tmp_path / "grid.json"
    path.write_text(json.dumps(GRID), encoding="utf-8")
    assert_same_rows(corvanta.sweep(path), corvanta.sweep(GRID))
    assert sweeps.run_count(str(path)) == 6


@pytest.mark.parametrize(
    "definition, message",
    [
        ({"base": {"duration": 1}, "grid": {"inputs.Sped": [1]}},
         "<sweep>: grid[\"inputs.Sped\"]: unknown path: 'Sped' is not an input"),
        ({"base": {"duration": 1}, "grid": {"duration": []}},
         "<sweep>: grid[\"duration\"]: the list of values is empty; give at least one value"),
        ({"base": {"duration": 1}, "monte_carlo": {"count": 0, "seed": 1, "fields": {"duration": {"uniform": [0, 1]}}}},
         "<sweep>: monte_carlo.count: expected a whole number of runs >= 1, got 0"),
        ({"base": {"duration": 1}, "monte_carlo": {"count": 2, "fields": {"duration": {"uniform": [0, 1]}}}},
         "<sweep>: monte_carlo.seed: missing; a seed makes the sample repeatable, e.g. \"seed\": 1"),
        ({"base": {"duration": 1}, "monte_carlo": {"count": 2, "seed": 1,
                                                   "fields": {"duration": {"normal": [1, 1], "bounds": [2, 0]}}}},
         "<sweep>: monte_carlo.fields[\"duration\"].bounds: bounds reversed: lower 2 is above upper 0"),
        ({"base": {"duration": 1, "inputs": {"Speed": 3}}, "grid": {"duration": [1]}},
         "<sweep>: base: inputs.Speed: unknown input"),
        ([], "<sweep>: the list of scenarios is empty"),
    ],
)
def test_bad_definitions_name_the_field(definition, message):
    with pytest.raises(corvanta.SweepError) as caught:
        corvanta.sweep(definition)
    assert str(caught.value).startswith(message)


def test_a_failing_run_stops_the_sweep_naming_the_run():
    with pytest.raises(corvanta.SweepError, match=r"^<sweep>: run 1 \(duration = -1\): duration: expected a time >= 0"):
        corvanta.sweep({"base": {"duration": 0.01}, "grid": {"duration": [0.01, -1]}})


def test_bad_arguments():
    with pytest.raises(ValueError, match="workers"):
        corvanta.sweep(GRID, workers=0)
    with pytest.raises(ValueError, match="Dask client"):
        corvanta.sweep(GRID, client=object(), workers=2)
    with pytest.raises(corvanta.SweepError, match="expected a sweep definition"):
        corvanta.sweep(42)
    with pytest.raises(corvanta.SweepError, match="cannot read 'no-such-file.json'"):
        corvanta.sweep("no-such-file.json")


def test_chunks_cover_every_run_once():
    for total, threads in ((1, 4), (24, 2), (1000, 2), (1000, 64), (7, 1)):
        chunks = sweeps.chunk_ranges(total, threads)
        covered = [run for first, count in chunks for run in range(first, first + count)]
        assert covered == list(range(total))
        assert all(count >= min(sweeps.MIN_CHUNK_RUNS, total) for _, count in chunks[:-1])


def test_plot_draws_fields_and_paths(reference, tmp_path):
    output = tmp_path / "mc.png"
    sweep_plot.plot_sweep(reference, output, paths=sweep_plot.simulate_paths(MONTE_CARLO, [0, 5]))
    assert output.stat().st_size > 10000
    grid = corvanta.sweep({"base": GRID["base"], "grid": {"inputs.InitialSpeed": [5, 10], "inputs.RoadGrade": [0, 0.1]}})
    sweep_plot.plot_sweep(grid, tmp_path / "grid.png", metric="distance")
    assert (tmp_path / "grid.png").stat().st_size > 10000


def test_plot_command_line(reference, tmp_path):
    from corvanta import plot

    table = tmp_path / "results.csv"
    reference.to_csv(table, index=False)
    definition = tmp_path / "mc.json"
    definition.write_text(json.dumps(MONTE_CARLO), encoding="utf-8")
    assert plot.main(["sweep", str(table), "-o", str(tmp_path / "a.png"), "--definition", str(definition),
                      "--sample", "3"]) == 0
    assert (tmp_path / "a.png").is_file()
    assert plot.main(["sweep", str(table)]) == 0
    assert (tmp_path / "results.png").is_file()
    assert plot.main(["sweep", str(table), "-o", str(tmp_path / "b.png"), "--metric", "colour"]) == 1


def test_an_error_in_the_progress_callback_stops_the_sweep_and_is_raised():
    from corvanta import _sweep_engine

    calls = []

    def progress(done, total, steps, wall):
        calls.append(done)
        raise KeyboardInterrupt

    with _sweep_engine.Sweep(json.dumps(GRID), "<grid>") as sweep, pytest.raises(KeyboardInterrupt):
        sweep.run(threads=1, progress=progress)
    assert calls


def test_signal_figures_match_the_signals_of_the_same_run():
    # A launch that shifts up, and a turn at speed: the figures are those of the run's own
    # signals, read here step by step through simulate().
    scenarios = [
        {"duration": 6.0, "inputs": {"GearSelector": 1, "AccelerationDemand": 2.0, "InitialSpeed": 12}},
        {"duration": 1.0, "inputs": {"GearSelector": 1, "InitialSpeed": 20, "SteeringAngle": 0.05}},
    ]
    frame = corvanta.sweep(scenarios, workers=2)
    slips = ["SlipAngleFL", "SlipAngleFR", "SlipAngleRL", "SlipAngleRR"]
    for index, scenario in enumerate(scenarios):
        rows = corvanta.simulate(scenario, every=1, signals=["Gear", "LateralAcceleration"] + slips)[1:]
        row = frame.iloc[index]
        assert row["max_lateral_acceleration"] == np.max(np.abs(rows["LateralAcceleration"]))
        assert row["max_slip_angle"] == max(np.max(np.abs(rows[name])) for name in slips)
        for gear in range(1, 6):
            assert row[f"time_in_gear_{gear}"] == np.count_nonzero(rows["Gear"] == gear) * 0.0001
        assert sum(row[f"time_in_gear_{gear}"] for gear in range(1, 6)) == pytest.approx(scenario["duration"])
    launch, turn = frame.iloc[0], frame.iloc[1]
    assert launch["time_in_gear_1"] > 0 and launch["time_in_gear_2"] > 0
    assert turn["max_lateral_acceleration"] > 1.0 and turn["max_slip_angle"] > 0.001
