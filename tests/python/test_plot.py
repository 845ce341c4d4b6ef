"""python -m corvanta.plot: image sizes and the handling of bad input."""

import os
import struct

import numpy as np

import pytest

import corvanta
from corvanta import plot

from support import assert_bitwise_equal, run_python, write


def png_size(path):
    """(width, height) from the IHDR chunk, which a PNG file must start with."""
    head = path.read_bytes()[:24]
    assert head[:8] == b"\x89PNG\r\n\x1a\n" and head[12:16] == b"IHDR", f"{path} is not a PNG file"
    return struct.unpack(">II", head[16:24])


LANE_CHANGE = {
    "duration": 8.0,
    "inputs": {"GearSelector": 1, "InitialSpeed": 20.0, "AccelerationDemand": 0.2},
    "events": [
        {"time": 1.0, "until": 1.625, "ramp": {"SteeringAngle": 0.037}},
        {"time": 1.625, "until": 2.875, "ramp": {"SteeringAngle": -0.037}},
        {"time": 2.875, "until": 3.5, "ramp": {"SteeringAngle": 0.0}},
    ],
}


def test_run_plot(tmp_path):
    rows = corvanta.simulate({"duration": 0.3, "inputs": {"GearSelector": 1, "InitialSpeed": 8, "SteeringAngle": 0.1}}, every=50)
    corvanta.write_csv(tmp_path / "run.csv", rows)
    done = run_python("-m", "corvanta.plot", str(tmp_path / "run.csv"), "-o", str(tmp_path / "run.png"), "--size", "800x500", "--dpi", "80")
    assert done.returncode == 0, done.stderr
    assert png_size(tmp_path / "run.png") == (800, 500)
    assert plot.main([str(tmp_path / "run.csv")]) == 0  # default name and size
    assert png_size(tmp_path / "run.png") == plot.DEFAULT_SIZE
    assert plot.main([str(tmp_path / "run.csv"), "-o", str(tmp_path / "run.csv")]) == 1
    assert_bitwise_equal(corvanta.read_csv(tmp_path / "run.csv"), rows)


@pytest.mark.parametrize(
    "text, message",
    [
        (None, ": cannot read: No such file"),
        ("time,PositionX\n0,1\n", ":1: expected the header time,PositionX,"),
        (corvanta.results.HEADER + "\n", ": no data rows"),
        (corvanta.results.HEADER + "\n0.1,1,2,x,4,5,6,7\n", ":2: Heading: expected a number, got 'x'"),
    ],
)
def test_bad_run_csv(tmp_path, capsys, text, message):
    csv = tmp_path / "bad.csv"
    if text is not None:
        write(csv, text)
    assert plot.main([str(csv), "-o", str(tmp_path / "bad.png")]) == 1
    assert f"error: {csv}{message}" in capsys.readouterr().err
    assert not (tmp_path / "bad.png").exists()


def test_maps_plot(tmp_path, capsys):
    for name, demands in (("throttle_map.csv", "0.5,1,2"), ("brake_map.csv", "-4,-2,-0.1")):
        write(tmp_path / name, f"speed_mps,{demands}\n0,0,0.5,1.5\n6,0.2,0.7,1.1\n12,0.1,0.9,1.2\n")
    assert plot.main(["--maps", "--tables", str(tmp_path), "-o", str(tmp_path / "maps.png"), "--size", "900x400"]) == 0
    assert png_size(tmp_path / "maps.png") == (900, 400)
    write(tmp_path / "brake_map.csv", "speed_mps,-1,-2\n0,1,2\n1,1\n")
    assert plot.main(["--maps", "--tables", str(tmp_path), "-o", str(tmp_path / "m.png")]) == 1
    assert "brake_map.csv:3: expected 3 values, got 2" in capsys.readouterr().err
    assert plot.main(["--maps", "--generator", str(tmp_path / "absent"), "-o", str(tmp_path / "m.png")]) == 1
    assert f"{tmp_path / 'absent'}: cannot run" in capsys.readouterr().err


def test_maps_from_the_generator(tmp_path):
    if not os.environ.get("CORVANTA_GENERATE_TABLES"):
        pytest.skip("CORVANTA_GENERATE_TABLES is not set: this needs the build's generate_tables")
    assert plot.main(["--maps", "-o", str(tmp_path / "maps.png")]) == 0
    assert png_size(tmp_path / "maps.png") == (1400, 600)


def test_overlay_and_inputs(tmp_path):
    scenario = write(tmp_path / "lane.json", __import__("json").dumps(LANE_CHANGE))
    corvanta.write_csv(tmp_path / "a.csv", corvanta.simulate(scenario))
    corvanta.write_csv(tmp_path / "b.csv", corvanta.simulate(scenario, duration=4.0))
    done = run_python("-m", "corvanta.plot", str(tmp_path / "a.csv"), str(tmp_path / "b.csv"), "-o", str(tmp_path / "cmp.png"), "--size", "700x500")
    assert done.returncode == 0, done.stderr
    assert png_size(tmp_path / "cmp.png") == (700, 500)
    assert plot.main([str(tmp_path / "a.csv"), "--scenario", str(scenario), "-o", str(tmp_path / "in.png")]) == 0
    assert png_size(tmp_path / "in.png") == plot.DEFAULT_SIZE
    with pytest.raises(SystemExit):
        plot.main([str(tmp_path / "a.csv"), str(tmp_path / "b.csv"), "--scenario", str(scenario)])


def test_long_narrow_paths_are_stretched_and_round_ones_to_scale():
    lane = plot.Run(corvanta.simulate(LANE_CHANGE), "lane")
    _, (low, high), factor = plot._path_scale([lane])
    assert factor > 5  # 3.5 m over 160 m: Y stretched, and the offset fills the panel
    assert high - low < 5
    t = np.linspace(0, 10, 1001)
    circle = np.column_stack([t, 30 * np.sin(0.2 * t), 30 * (1 - np.cos(0.2 * t)), 0.2 * t, np.full_like(t, 6.0), 0 * t, 0 * t, -1 + 0 * t])
    run = plot.Run(circle, "circle")
    assert plot._path_scale([run])[2] == 1.0
    # Uniform circular motion: heading rate 0.2 rad/s, lateral acceleration R w^2 = 1.2 m/s^2 to the left.
    rate, lateral = plot.derived(run)
    np.testing.assert_allclose(rate, 0.2, rtol=1e-6)
    np.testing.assert_allclose(lateral, 1.2, rtol=1e-3)


def test_leading_zero_row_is_left_out():
    rows = corvanta.simulate({"duration": 0.01, "inputs": {"InitialPositionX": 50, "InitialSpeed": 5}}, every=10)
    assert plot.Run(rows, "r").rows[0, 1] > 49.9


def titles(figure):
    return [axes.get_title() for axes in figure.axes]


def test_signal_columns_add_a_powertrain_and_a_tyre_row(tmp_path):
    with_signals = corvanta.simulate(LANE_CHANGE, every=100, signals="all")
    plain = corvanta.simulate(LANE_CHANGE, every=100)
    added = ["gear engaged", "engine speed", "drive torque per rear wheel",
             "longitudinal tyre force", "lateral tyre force", "slip angle"]
    figure = plot.draw_runs([plot.Run(with_signals, "signals")])
    assert [title for title in titles(figure) if title in added] == added
    panels = dict(zip(titles(figure), figure.axes))
    run = plot.Run(with_signals, "signals")
    # The panels draw the run's own signal values (engine speed in rpm, slip angles in degrees).
    assert_bitwise_equal(panels["gear engaged"].lines[0].get_ydata(), run.column["Gear"])
    assert_bitwise_equal(panels["engine speed"].lines[0].get_ydata(), run.column["EngineSpeed"] * 60.0 / (2.0 * np.pi))
    assert [line.get_label() for line in panels["slip angle"].lines] == list(plot.WHEELS)
    assert_bitwise_equal(panels["slip angle"].lines[2].get_ydata(), run.column["SlipAngleRL"] * (180.0 / np.pi))
    # With the signals the rates are the model's own, without them derived from the path.
    assert "yaw rate (model)" in panels and "lateral acceleration (model)" in panels
    assert_bitwise_equal(panels["lateral acceleration (model)"].lines[0].get_ydata(), run.column["LateralAcceleration"])
    bare = titles(plot.draw_runs([plot.Run(plain, "plain")]))
    assert not set(added) & set(bare) and "lateral acceleration (from the outputs)" in bare
    # Only the powertrain signals: only its row.  Overlaid with a plain run: the row stays.
    some = corvanta.simulate(LANE_CHANGE, every=100, signals=["Gear", "EngineSpeed"])
    assert plot.signal_rows([plot.Run(some, "some")]) == ["powertrain"]
    assert plot.signal_rows([plot.Run(plain, "plain"), plot.Run(with_signals, "all")]) == ["powertrain", "tyres"]
    # From a CSV of the runner's layout: the image grows by the two rows.
    corvanta.write_csv(tmp_path / "all.csv", with_signals)
    assert plot.main([str(tmp_path / "all.csv"), "-o", str(tmp_path / "all.png")]) == 0
    assert png_size(tmp_path / "all.png") == (plot.DEFAULT_SIZE[0], plot.DEFAULT_SIZE[1] + 2 * plot.SIGNAL_ROW_HEIGHT)
