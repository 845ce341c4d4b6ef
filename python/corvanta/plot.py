"""Plots of a run and of the driver-demand maps.

    python -m corvanta.plot run.csv [--scenario scenario.json] -o run.png
    python -m corvanta.plot a.csv b.csv -o cmp.png            (runs overlaid, one legend entry each)
    python -m corvanta.plot --maps [--tables DIR | --generator PATH] -o maps.png
    corvanta-sim scenario.json --signals all -o run.csv; python -m corvanta.plot run.csv
    python -m corvanta.plot sweep results.csv -o sweep.png [--definition FILE]   (sweep_plot.py)

A run plot shows the X-Y path over the whole width (to scale when the path's extent
allows, else with the stretch of Y against X stated in the title, so that a 3.5 m lane
change over 160 m does not look like a flat line), the longitudinal speed, the heading
rate and the lateral acceleration (derived from the outputs), and either the driver's
inputs against time (demand and gear selector, steering angle, road grade; from the
scenario given with --scenario, played back by the engine) or the heading, pitch and
roll, and the tip-over indicator.  A run with signal columns (``--signals all``) adds a
powertrain row (gear, engine speed, drive torque) and a tyre row (longitudinal and lateral
force and slip angle per wheel), and draws the model's own yaw rate and lateral
acceleration instead of those derived from the outputs.  The maps
plot shows the raw throttle and brake tables over speed and demand, as the table
generator writes them with ``generate_tables --csv DIR`` (throttle_map.csv and
brake_map.csv: a header row ``speed_mps,<demands>...``, then one row per speed).  Without
``--tables`` the generator is run into a temporary directory; it is taken from
``--generator``, the environment variable CORVANTA_GENERATE_TABLES or the build tree.

Drawing uses matplotlib's Agg canvas directly and leaves the pyplot backend alone.
"""

import argparse
import os
import subprocess
import sys
import tempfile
from pathlib import Path

import numpy as np

from . import results
from ._library import _build_dirs, _checkout_root

MAP_FILES = ("throttle_map.csv", "brake_map.csv")
GENERATOR_VARIABLE = "CORVANTA_GENERATE_TABLES"
DEFAULT_SIZE = (1500, 1100)
DEFAULT_DPI = 100


class PlotError(Exception):
    """Input that cannot be plotted; the message names the file."""


def _figure(size, dpi):
    # Imported here so that "import corvanta" does not pay for matplotlib.
    from matplotlib.backends.backend_agg import FigureCanvasAgg
    from matplotlib.figure import Figure

    width, height = size
    figure = Figure(figsize=(width / dpi, height / dpi), dpi=dpi, layout="constrained")
    FigureCanvasAgg(figure)
    return figure


def _save(figure, output, dpi):
    # No bbox_inches="tight": the image keeps exactly the requested pixel size.
    figure.savefig(output, dpi=dpi, format="png")


# Height over width of the path panel, which spans the figure's width.
PATH_BOX_ASPECT = 0.3
# A path whose extent is at most this many times longer one way than the other is drawn
# to scale; a longer, narrower one fills the panel with the stretch stated.
TO_SCALE_RATIO = 4.0


class Run:
    """One run to draw: its rows (with any signal columns), a label for the legend and,
    when known, its inputs."""

    def __init__(self, rows, label, inputs=None):
        table = _as_results(rows)
        self.rows = _start_rows(table.to_array())
        self.label = label
        self.inputs = inputs
        self.column = {name: self.rows[:, index] for index, name in enumerate(table.dtype.names)}

    def has(self, *names):
        return all(name in self.column for name in names)


def _as_results(rows):
    try:
        return results.as_results(rows)
    except ValueError as error:
        raise PlotError(str(error)) from None


def _start_rows(rows):
    """The rows without a leading row at time 0 whose outputs are all zero: the model has
    not stepped yet, so that row says nothing about the start pose."""
    outputs = len(results.COLUMNS)
    if len(rows) > 1 and rows[0, 0] == 0.0 and not rows[0, 1:outputs].any():
        return rows[1:]
    return rows


WHEELS = ("FL", "FR", "RL", "RR")
# One line style per wheel in the tyre panels (the colour is the run's).
WHEEL_STYLES = {"FL": "-", "FR": "--", "RL": "-.", "RR": ":"}
POWERTRAIN_SIGNALS = ("Gear", "EngineSpeed")
TYRE_SIGNALS = tuple(f"{quantity}{wheel}" for quantity in ("TyreForceX", "TyreForceY", "SlipAngle") for wheel in WHEELS)
# Height of each panel row a run's signals add when no size is given, in pixels.
SIGNAL_ROW_HEIGHT = 330


def derived(run):
    """Heading rate [rad/s] and lateral acceleration [m/s^2] of a run, from its outputs:
    the heading's time derivative, and the acceleration of the centre of mass (second
    time derivatives of X and Y) across the heading, > 0 to the left."""
    t = run.column["time"]
    if len(t) < 3:
        nothing = np.full(len(t), np.nan)
        return nothing, nothing
    heading = run.column["Heading"]
    rate = np.gradient(heading, t, edge_order=2)
    ax = np.gradient(np.gradient(run.column["PositionX"], t, edge_order=2), t, edge_order=2)
    ay = np.gradient(np.gradient(run.column["PositionY"], t, edge_order=2), t, edge_order=2)
    lateral = -ax * np.sin(heading) + ay * np.cos(heading)
    return rate, lateral


def _path_scale(runs):
    """(x limits, y limits, Y scale relative to X) of the path panel."""
    xs = np.concatenate([run.column["PositionX"] for run in runs])
    ys = np.concatenate([run.column["PositionY"] for run in runs])
    finite = np.isfinite(xs) & np.isfinite(ys)
    if not finite.any():
        return (-1.0, 1.0), (-1.0, 1.0), 1.0
    xs, ys = xs[finite], ys[finite]
    span_x = max(float(xs.max() - xs.min()), 1.0)
    span_y = max(float(ys.max() - ys.min()), 1.0)
    centre_x, centre_y = float(xs.max() + xs.min()) / 2, float(ys.max() + ys.min()) / 2
    factor = PATH_BOX_ASPECT * span_x / span_y
    if max(span_x, span_y) <= TO_SCALE_RATIO * min(span_x, span_y):
        # Equal scales: widen the shorter span to fill the panel.
        span_x, span_y = max(span_x, span_y / PATH_BOX_ASPECT), max(span_y, span_x * PATH_BOX_ASPECT)
        factor = 1.0
    margin = 1.08
    return (
        (centre_x - span_x * margin / 2, centre_x + span_x * margin / 2),
        (centre_y - span_y * margin / 2, centre_y + span_y * margin / 2),
        factor,
    )


def _draw_path(axes, runs, colours):
    xlim, ylim, factor = _path_scale(runs)
    for run, colour in zip(runs, colours):
        x, y = run.column["PositionX"], run.column["PositionY"]
        axes.plot(x, y, color=colour, label=run.label)
        axes.plot(x[0], y[0], "o", color=colour, markersize=5)
        axes.plot(x[-1], y[-1], "s", color=colour, markersize=5)
    axes.set_xlim(*xlim)
    axes.set_ylim(*ylim)
    axes.set_box_aspect(PATH_BOX_ASPECT)
    axes.set_xlabel("X [m]")
    axes.set_ylabel("Y [m]")
    if factor == 1.0:
        scale = "axes to scale"
    elif factor > 1.0:
        scale = f"not to scale: Y stretched {factor:.3g}x against X"
    else:
        scale = f"not to scale: X stretched {1 / factor:.3g}x against Y"
    axes.set_title(f"path: circle start, square end ({scale})")
    axes.grid(True)


def _panel(figure, cell, title, ylabel):
    axes = figure.add_subplot(cell)
    axes.set_title(title)
    axes.set_ylabel(ylabel)
    axes.set_xlabel("time [s]")
    axes.grid(True)
    return axes


def signal_rows(runs):
    """The panel rows the runs' signals add: "powertrain" when a run has Gear and
    EngineSpeed, "tyres" when one has the tyre forces and slip angles of every wheel."""
    rows = []
    if any(run.has(*POWERTRAIN_SIGNALS) for run in runs):
        rows.append("powertrain")
    if any(run.has(*TYRE_SIGNALS) for run in runs):
        rows.append("tyres")
    return rows


def plot_runs(runs, output, size=None, dpi=DEFAULT_DPI, title=None):
    """Draws one or more runs (``Run`` objects), overlaid, into the PNG ``output``.

    Panels: the path over the whole width; speed, heading rate and lateral acceleration
    (the model's YawRate and LateralAcceleration when every run has them, else derived
    from the outputs); then, when every run has its inputs, the demand and gear selector,
    the steering angle and the road grade, else the heading, pitch and roll, and the
    tip-over indicator.  Runs with signal columns (``corvanta-sim --signals all``,
    ``simulate(..., signals="all")``) add a powertrain row (gear, engine speed, drive
    torque) and a tyre row (longitudinal and lateral force and slip angle of each wheel,
    one line style per wheel).  Without ``size`` the image is DEFAULT_SIZE, taller by
    SIGNAL_ROW_HEIGHT per added row.
    """
    figure = draw_runs(runs, size, dpi, title)
    _save(figure, output, dpi)


def draw_runs(runs, size=None, dpi=DEFAULT_DPI, title=None):
    """The figure of ``plot_runs`` (a matplotlib Figure on the Agg canvas), not saved."""
    if not runs:
        raise PlotError("no runs to plot")
    for run in runs:
        if len(run.rows) == 0:
            raise PlotError(f"{run.label}: the run has no rows")
    colours = [f"C{index % 10}" for index in range(len(runs))]
    several = len(runs) > 1
    extra = signal_rows(runs)
    if size is None:
        size = (DEFAULT_SIZE[0], DEFAULT_SIZE[1] + SIGNAL_ROW_HEIGHT * len(extra))
    figure = _figure(size, dpi)
    grid = figure.add_gridspec(3 + len(extra), 3, height_ratios=(1.25,) + (1,) * (2 + len(extra)))
    _draw_path(figure.add_subplot(grid[0, :]), runs, colours)

    model_rates = all(run.has("YawRate", "LateralAcceleration") for run in runs)
    source = "model" if model_rates else "from the outputs"
    speed = _panel(figure, grid[1, 0], "longitudinal speed", "speed [m/s]")
    rate = _panel(figure, grid[1, 1], f"{'yaw' if model_rates else 'heading'} rate ({source})", "to the left [deg/s]")
    lateral = _panel(figure, grid[1, 2], f"lateral acceleration ({source})", "to the left [m/s^2]")
    with_inputs = all(run.inputs is not None for run in runs)
    if with_inputs:
        demand = _panel(figure, grid[2, 0], "demand (solid), gear (dotted)", "demand [m/s^2]")
        gear = demand.twinx()
        gear.set_ylabel("selector: 1 D, 3 R")
        gear.set_ylim(-0.25, 3.25)
        gear.set_yticks([0, 1, 2, 3])
        steering = _panel(figure, grid[2, 1], "steering angle", "to the left [deg]")
        grade = _panel(figure, grid[2, 2], "road grade", "downhill [deg]")
    else:
        heading = _panel(figure, grid[2, 0], "heading", "heading [deg]")
        attitude = _panel(figure, grid[2, 1], "pitch (solid), roll (dashed)", "angle [deg]")
        tip = _panel(figure, grid[2, 2], "tip-over indicator", "+1 tipping, -1 stable")
        tip.set_ylim(-1.25, 1.25)
        tip.set_yticks([-1, 0, 1])

    for run, colour in zip(runs, colours):
        t = run.column["time"]
        label = run.label if several else None
        speed.plot(t, run.column["LongitudinalSpeed"], color=colour, label=label)
        if model_rates:
            heading_rate, lateral_acceleration = run.column["YawRate"], run.column["LateralAcceleration"]
        else:
            heading_rate, lateral_acceleration = derived(run)
        rate.plot(t, np.degrees(heading_rate), color=colour)
        lateral.plot(t, lateral_acceleration, color=colour)
        if with_inputs:
            inputs = run.inputs
            ti = inputs["time"]
            demand.plot(ti, inputs["AccelerationDemand"], color=colour, drawstyle="steps-post")
            gear.plot(ti, inputs["GearSelector"], color=colour, linestyle=":", drawstyle="steps-post")
            steering.plot(ti, np.degrees(inputs["SteeringAngle"]), color=colour)
            grade.plot(ti, np.degrees(inputs["RoadGrade"]), color=colour)
        else:
            heading.plot(t, np.degrees(run.column["Heading"]), color=colour)
            attitude.plot(t, np.degrees(run.column["PitchAngle"]), color=colour)
            attitude.plot(t, np.degrees(run.column["RollAngle"]), color=colour, linestyle="--")
            tip.plot(t, run.column["TipOverIndicator"], drawstyle="steps-post", color=colour)
    for offset, kind in enumerate(extra):
        row = 3 + offset
        if kind == "powertrain":
            _draw_powertrain(figure, grid, row, runs, colours)
        else:
            _draw_tyres(figure, grid, row, runs, colours)
    if several:
        figure.axes[0].legend(loc="best")
    if title:
        figure.suptitle(title)
    return figure


def _draw_powertrain(figure, grid, row, runs, colours):
    gear = _panel(figure, grid[row, 0], "gear engaged", "gear")
    gear.set_yticks([1, 2, 3, 4, 5])
    gear.set_ylim(0.5, 5.5)
    engine = _panel(figure, grid[row, 1], "engine speed", "engine speed [rpm]")
    drive = _panel(figure, grid[row, 2], "drive torque per rear wheel", "torque [N m]")
    for run, colour in zip(runs, colours):
        if not run.has(*POWERTRAIN_SIGNALS):
            continue
        t = run.column["time"]
        gear.plot(t, run.column["Gear"], color=colour, drawstyle="steps-post")
        engine.plot(t, run.column["EngineSpeed"] * 60.0 / (2.0 * np.pi), color=colour)
        if run.has("DriveTorque"):
            drive.plot(t, run.column["DriveTorque"], color=colour)


def _draw_tyres(figure, grid, row, runs, colours):
    panels = (
        ("TyreForceX", _panel(figure, grid[row, 0], "longitudinal tyre force", "Fx, forward [N]"), 1.0),
        ("TyreForceY", _panel(figure, grid[row, 1], "lateral tyre force", "Fy, to the left [N]"), 1.0),
        ("SlipAngle", _panel(figure, grid[row, 2], "slip angle", "slip angle [deg]"), 180.0 / np.pi),
    )
    for run, colour in zip(runs, colours):
        if not run.has(*TYRE_SIGNALS):
            continue
        t = run.column["time"]
        for quantity, axes, scale in panels:
            for wheel in WHEELS:
                axes.plot(t, run.column[quantity + wheel] * scale, color=colour, linestyle=WHEEL_STYLES[wheel],
                          label=wheel if run is _first_with_tyres(runs) else None)
    panels[0][1].legend(loc="best", title="wheel", fontsize="small")


def _first_with_tyres(runs):
    return next(run for run in runs if run.has(*TYRE_SIGNALS))


def plot_run(rows, output, size=None, dpi=DEFAULT_DPI, title=None, inputs=None):
    """Draws a run (Results, or an array with the columns corvanta.COLUMNS) into the PNG
    ``output``; ``inputs`` (from ``Scenario.input_rows``) adds the driver's inputs."""
    plot_runs([Run(rows, title or "run", inputs)], output, size, dpi, title)


def read_map(path):
    """(speeds, demands, values[speed, demand]) from a map CSV of the table generator."""
    try:
        text = Path(path).read_text(encoding="utf-8-sig")
    except OSError as error:
        raise PlotError(f"{path}: cannot read: {error.strerror or error}") from None
    lines = [(number, line) for number, line in enumerate(text.splitlines(), start=1) if line.strip()]
    if len(lines) < 3:
        raise PlotError(f"{path}: expected a header row of demands and at least two speed rows")

    def numbers(number, cells):
        try:
            return [float(cell) for cell in cells]
        except ValueError as error:
            raise PlotError(f"{path}:{number}: expected numbers: {error}") from None

    header_number, header = lines[0]
    demands = numbers(header_number, header.split(",")[1:])
    if len(demands) < 2:
        raise PlotError(f"{path}:{header_number}: expected at least two demand columns")
    speeds, values = [], []
    for number, line in lines[1:]:
        cells = numbers(number, line.split(","))
        if len(cells) != len(demands) + 1:
            raise PlotError(f"{path}:{number}: expected {len(demands) + 1} values, got {len(cells)}")
        speeds.append(cells[0])
        values.append(cells[1:])
    return np.array(speeds), np.array(demands), np.array(values)


def plot_maps(tables, output, size=(1400, 600), dpi=DEFAULT_DPI):
    """Draws throttle_map.csv and brake_map.csv of the directory ``tables`` into ``output``."""
    figure = _figure(size, dpi)
    for position, (file_name, title) in enumerate(zip(MAP_FILES, ("throttle map", "brake map"))):
        speeds, demands, values = read_map(Path(tables) / file_name)
        axes = figure.add_subplot(1, 2, position + 1)
        # The model clamps the looked-up value to [0, 1], so the colours do too; the white
        # line marks where the table reaches 1.
        mesh = axes.pcolormesh(speeds, demands, values.T, shading="nearest", cmap="viridis", vmin=0.0, vmax=1.0)
        figure.colorbar(mesh, ax=axes, extend="both", label="fraction (table clamped to 0..1)")
        if np.nanmin(values) < 1.0 < np.nanmax(values):
            axes.contour(speeds, demands, values.T, levels=[1.0], colors="white", linewidths=1.0)
        axes.set_xlabel("speed [m/s]")
        axes.set_ylabel("AccelerationDemand [m/s^2]")
        axes.set_title(title)
    _save(figure, output, dpi)


def find_generator(environ=None):
    """The table generator: $CORVANTA_GENERATE_TABLES, else the build tree's
    tools/generate_tables.  PlotError names the places tried."""
    environ = os.environ if environ is None else environ
    explicit = environ.get(GENERATOR_VARIABLE, "")
    if explicit:
        if not Path(explicit).is_file():
            raise PlotError(f"{GENERATOR_VARIABLE}={explicit}: no such file")
        return Path(explicit)
    names = ("generate_tables.exe", "generate_tables") if sys.platform == "win32" else ("generate_tables",)
    tried = [f"${GENERATOR_VARIABLE}: not set"]
    root = _checkout_root(Path(__file__).resolve().parent)
    for build in _build_dirs(root) if root is not None else []:
        for configuration in ("", "Release", "RelWithDebInfo", "MinSizeRel", "Debug"):
            for name in names:
                candidate = build / "tools" / configuration / name
                if candidate.is_file():
                    return candidate
                tried.append(str(candidate))
    raise PlotError("cannot find generate_tables; tried:\n  " + "\n  ".join(tried) + "\nGive --tables DIR or --generator PATH.")


def generate_maps(generator, directory):
    """Runs ``generator --csv directory``."""
    try:
        done = subprocess.run([str(generator), "--csv", str(directory)], capture_output=True, text=True, timeout=120)
    except (OSError, subprocess.TimeoutExpired) as error:
        raise PlotError(f"{generator}: cannot run: {error}") from None
    if done.returncode != 0:
        raise PlotError(f"{generator} --csv {directory} failed (exit status {done.returncode}): {done.stderr.strip()}")


def _size(text):
    try:
        width, height = (int(part) for part in text.lower().split("x"))
    except ValueError:
        raise argparse.ArgumentTypeError(f"expected WIDTHxHEIGHT in pixels, got {text!r}") from None
    if width < 50 or height < 50 or width > 20000 or height > 20000:
        raise argparse.ArgumentTypeError(f"expected 50 to 20000 pixels a side, got {text!r}")
    return width, height


def _parser():
    parser = argparse.ArgumentParser(
        prog="python -m corvanta.plot",
        description="Plot runs (CSV of corvanta-sim or corvanta.write_csv; several are overlaid) or the demand maps.",
    )
    parser.add_argument("csv", nargs="*", help="results CSV of a run; several files are drawn over each other")
    parser.add_argument("-o", "--output", help="PNG file to write (default: the first CSV's name with .png; maps.png)")
    parser.add_argument(
        "--scenario",
        action="append",
        metavar="FILE",
        help="the scenario (or recorded inputs) of the run, to draw the driver's inputs; once per CSV, in order",
    )
    parser.add_argument("--maps", action="store_true", help="plot the throttle and brake maps instead of a run")
    parser.add_argument("--tables", metavar="DIR", help="directory with throttle_map.csv and brake_map.csv")
    parser.add_argument("--generator", metavar="PATH", help="the generate_tables program to run for the maps")
    parser.add_argument("--size", type=_size, metavar="WxH", help="image size in pixels (default 1500x1100, 330 taller per row of signal panels; maps 1400x600)")
    parser.add_argument("--dpi", type=int, default=DEFAULT_DPI, help="resolution (default %(default)s)")
    parser.add_argument("--title", help="figure title of a run plot (default: the CSV's name)")
    return parser


def _read_run(path):
    try:
        rows = results.read_csv(path)
    except OSError as error:
        raise PlotError(f"{path}: cannot read: {error.strerror or error}") from None
    except results.ResultsFormatError as error:
        raise PlotError(str(error)) from None
    if len(rows) == 0:
        raise PlotError(f"{path}: no data rows")
    return rows


# Input rows drawn per run at most; a longer run is drawn at every n-th step.
MAX_INPUT_ROWS = 20000


def _scenario_inputs(path):
    """The inputs of the scenario at ``path``, played back by the engine."""
    from .scenario import ScenarioError, load_scenario

    try:
        scenario = load_scenario(path)
        return scenario.input_rows(every=max(1, scenario.step_count // MAX_INPUT_ROWS))
    except ScenarioError as error:
        raise PlotError(str(error)) from None


def _plot_csvs(args, parser):
    if args.tables or args.generator:
        parser.error("--tables and --generator go with --maps")
    if args.scenario and len(args.scenario) != len(args.csv):
        parser.error(f"--scenario: give one per CSV ({len(args.csv)}), got {len(args.scenario)}")
    output = args.output or str(Path(args.csv[0]).with_suffix(".png"))
    for csv in args.csv:
        if Path(output).resolve() == Path(csv).resolve():
            raise PlotError(f"the output {output} is the run CSV {csv}; refusing to overwrite it")
    runs = []
    for index, csv in enumerate(args.csv):
        rows = _read_run(csv)
        inputs = _scenario_inputs(args.scenario[index]) if args.scenario else None
        runs.append(Run(rows, Path(csv).stem, inputs))
    title = args.title or (Path(args.csv[0]).name if len(args.csv) == 1 else ", ".join(Path(csv).name for csv in args.csv))
    plot_runs(runs, output, args.size, args.dpi, title)


def main(argv=None):
    argv = sys.argv[1:] if argv is None else list(argv)
    if argv[:1] == ["sweep"]:
        from . import sweep_plot

        return sweep_plot.main(argv[1:])
    parser = _parser()
    args = parser.parse_args(argv)
    if args.dpi < 10 or args.dpi > 1000:
        parser.error(f"--dpi: expected 10 to 1000, got {args.dpi}")
    try:
        if args.maps:
            if args.csv:
                parser.error("--maps takes no run CSV")
            if args.tables and args.generator:
                parser.error("give --tables or --generator, not both")
            output = args.output or "maps.png"
            size = args.size or (1400, 600)
            if args.tables:
                plot_maps(args.tables, output, size, args.dpi)
            else:
                generator = Path(args.generator) if args.generator else find_generator()
                with tempfile.TemporaryDirectory(prefix="corvanta-maps-") as directory:
                    generate_maps(generator, directory)
                    plot_maps(directory, output, size, args.dpi)
        else:
            if not args.csv:
                parser.error("give a run CSV, or --maps")
            _plot_csvs(args, parser)
    except PlotError as error:
        print(f"{parser.prog}: error: {error}", file=sys.stderr)
        return 1
    except OSError as error:
        print(f"{parser.prog}: error: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
