"""Plots of a sweep's results (the CSV of ``corvanta-sim sweep`` or a ``corvanta.sweep``
DataFrame).

    python -m corvanta.plot sweep results.csv -o sweep.png [--definition sweep.json]

One panel per varied field shows a metric against that field: for a grid, one line per
value of another varied field (averaged over any further fields); for a Monte-Carlo
sample, a scatter marking the runs that tipped over and those whose outputs became
non-finite.  A last panel overlays the X-Y paths of a sample of runs, re-run from the
definition (the speed against X when every path is straight, as in braking); without the
definition it shows the runs' final positions.
"""

import argparse
import sys
from pathlib import Path

import numpy as np

OUTPUT_COLUMNS = ("PositionX", "PositionY", "Heading", "LongitudinalSpeed", "PitchAngle", "RollAngle",
                  "TipOverIndicator")
METRIC_LABELS = {
    "distance": "distance travelled [m]",
    "top_speed": "top speed [m/s]",
    "stop_time": "time to standstill [s]",
    "stop_distance": "stopping distance [m]",
    "max_heading_rate": "largest heading rate [rad/s]",
    "tip_over_time": "first tip-over [s]",
    "wall_time": "wall time per run [s]",
}
# A grid field with at most this many values gets one line per value.
MAX_LINES = 8
DEFAULT_SIZE = (1500, 900)
DEFAULT_DPI = 100


class SweepPlotError(Exception):
    """Results that cannot be plotted; the message says why."""


def read_results(path):
    """The results CSV as a DataFrame, every number with its exact bits."""
    import pandas as pd

    try:
        frame = pd.read_csv(path, float_precision="round_trip")
    except (OSError, ValueError) as error:
        raise SweepPlotError(f"{path}: cannot read: {error}") from None
    missing = [name for name in ("run",) + OUTPUT_COLUMNS if name not in frame.columns]
    if missing:
        raise SweepPlotError(f"{path}: not a sweep results table (no column {missing[0]})")
    return frame


def varied_fields(frame):
    """The varied-field columns: those between ``run`` and ``PositionX``."""
    columns = list(frame.columns)
    return columns[columns.index("run") + 1 : columns.index("PositionX")]


def default_metric(frame):
    if "stop_distance" in frame and frame["stop_distance"].notna().any():
        return "stop_distance"
    return "max_heading_rate"


def _is_grid(frame, fields):
    sizes = [frame[field].nunique() for field in fields]
    return int(np.prod(sizes)) == len(frame) and all(size <= 50 for size in sizes)


def _field_panel(axes, frame, field, fields, metric, grid):
    others = [other for other in fields if other != field]
    if grid and others and frame[others[0]].nunique() <= MAX_LINES:
        group = others[0]
        table = frame.groupby([group, field])[metric].mean().unstack(group)
        for value in table.columns:
            axes.plot(table.index, table[value], marker="o", label=f"{group} = {value:g}")
        axes.legend(fontsize="small")
    elif grid:
        table = frame.groupby(field)[metric].mean()
        axes.plot(table.index, table.values, marker="o")
    else:
        tipped = frame["tip_over_time"].notna() if "tip_over_time" in frame else np.zeros(len(frame), bool)
        broken = frame["non_finite"].astype(bool) if "non_finite" in frame else np.zeros(len(frame), bool)
        calm = ~tipped & ~broken
        axes.scatter(frame[field][calm], frame[metric][calm], s=8, alpha=0.6, label="runs")
        if tipped.any():
            axes.scatter(frame[field][tipped], frame[metric][tipped], s=10, color="tab:red", label="tipped over")
        if broken.any():
            axes.scatter(frame[field][broken], np.zeros(int(broken.sum())), marker="x", color="black",
                         label="non-finite outputs")
        axes.legend(fontsize="small")
    axes.set_xlabel(field)
    axes.set_ylabel(METRIC_LABELS.get(metric, metric))
    axes.grid(True, alpha=0.3)


# Paths that stay this close to the X axis are straight: their speed along X says more.
STRAIGHT_PATH_WIDTH = 0.01  # m


def _path_panel(axes, frame, paths):
    straight = bool(paths) and all(np.nanmax(np.abs(y), initial=0.0) < STRAIGHT_PATH_WIDTH for _, _, y, _ in paths)
    if straight:
        for run, x, _, speed in paths:
            axes.plot(x, speed, linewidth=1, label=f"run {run}")
        axes.set_title(f"speed along the straight paths of {len(paths)} runs", fontsize="medium")
        axes.set_xlabel("X [m]")
        axes.set_ylabel("LongitudinalSpeed [m/s]")
        axes.grid(True, alpha=0.3)
        if len(paths) <= 12:
            axes.legend(fontsize="x-small", ncol=2)
        return
    if paths:
        for run, x, y, _ in paths:
            axes.plot(x, y, linewidth=1, label=f"run {run}")
        axes.set_title(f"paths of {len(paths)} runs (axes not to scale)", fontsize="medium")
        if len(paths) <= 12:
            axes.legend(fontsize="x-small", ncol=2)
    else:
        axes.scatter(frame["PositionX"], frame["PositionY"], s=6, alpha=0.6)
        axes.set_title("final positions (give the definition to draw paths)", fontsize="medium")
    axes.set_xlabel("X [m]")
    axes.set_ylabel("Y [m]")
    axes.grid(True, alpha=0.3)


def plot_sweep(frame, output, paths=None, metric=None, size=DEFAULT_SIZE, dpi=DEFAULT_DPI, title=None):
    """Draws the sweep results ``frame`` into the PNG ``output``.

    ``paths``: optional (run, x, y, speed) arrays to overlay (from ``simulate_paths``); when
    every path is straight along X, the panel shows the speed against X instead.  ``metric``: the column to plot
    against the varied fields (default: stop_distance when some run stops, else
    max_heading_rate).
    """
    from matplotlib.backends.backend_agg import FigureCanvasAgg
    from matplotlib.figure import Figure

    if len(frame) == 0:
        raise SweepPlotError("no runs to plot")
    metric = metric or default_metric(frame)
    if metric not in frame.columns:
        raise SweepPlotError(f"no column {metric!r}; expected one of {', '.join(METRIC_LABELS)}")
    fields = varied_fields(frame)
    panels = len(fields) + 1
    columns = min(3, panels)
    rows = (panels + columns - 1) // columns
    width, height = size
    figure = Figure(figsize=(width / dpi, height / dpi), dpi=dpi, layout="constrained")
    FigureCanvasAgg(figure)
    grid = bool(fields) and _is_grid(frame, fields)
    for index, field in enumerate(fields):
        _field_panel(figure.add_subplot(rows, columns, index + 1), frame, field, fields, metric, grid)
    _path_panel(figure.add_subplot(rows, columns, panels), frame, paths)
    figure.suptitle(title or f"sweep of {len(frame)} runs: {METRIC_LABELS.get(metric, metric)}")
    figure.savefig(output, dpi=dpi, format="png")


def sample_runs(frame, count):
    """Up to ``count`` runs spread evenly over the table."""
    runs = frame["run"].to_numpy()
    if len(runs) <= count:
        return [int(run) for run in runs]
    picks = np.linspace(0, len(runs) - 1, count).round().astype(int)
    return [int(runs[index]) for index in picks]


def simulate_paths(definition, runs, every=100):
    """(run, x, y, speed) of each run, re-run from the sweep definition in the engine."""
    from . import simulate
    from .sweeps import scenario_of_run

    paths = []
    for run in runs:
        # No row at time 0: the initial conditions take effect with the first step.
        rows = simulate(scenario_of_run(definition, run), every=every, initial_row=False)
        paths.append((run, np.asarray(rows["PositionX"]), np.asarray(rows["PositionY"]),
                      np.asarray(rows["LongitudinalSpeed"])))
    return paths


def _size(text):
    try:
        width, height = (int(part) for part in text.lower().split("x"))
    except ValueError:
        raise argparse.ArgumentTypeError(f"expected WIDTHxHEIGHT in pixels, got {text!r}") from None
    if not (50 <= width <= 20000 and 50 <= height <= 20000):
        raise argparse.ArgumentTypeError(f"expected 50 to 20000 pixels a side, got {text!r}")
    return width, height


def main(argv=None):
    parser = argparse.ArgumentParser(
        prog="python -m corvanta.plot sweep",
        description="Plot the results of a sweep (corvanta-sim sweep or corvanta.sweep): a metric against each "
        "varied field and the paths of a sample of runs.",
    )
    parser.add_argument("csv", help="results CSV of a sweep")
    parser.add_argument("-o", "--output", help="PNG file to write (default: the CSV's name with .png)")
    parser.add_argument("--definition", metavar="FILE", help="the sweep definition, to re-run and draw sample paths")
    parser.add_argument("--metric", help="column to plot (default: stop_distance if any run stops, else "
                        "max_heading_rate)")
    parser.add_argument("--sample", type=int, default=10, help="runs whose paths are drawn (default %(default)s)")
    parser.add_argument("--size", type=_size, default=DEFAULT_SIZE, metavar="WxH", help="image size in pixels")
    parser.add_argument("--dpi", type=int, default=DEFAULT_DPI, help="resolution (default %(default)s)")
    args = parser.parse_args(argv)
    if not 0 <= args.sample <= 100:
        parser.error(f"--sample: expected 0 to 100, got {args.sample}")
    output = args.output or str(Path(args.csv).with_suffix(".png"))
    try:
        if Path(output).resolve() == Path(args.csv).resolve():
            raise SweepPlotError(f"the output {output} is the results CSV; refusing to overwrite it")
        frame = read_results(args.csv)
        paths = None
        if args.definition and args.sample > 0:
            paths = simulate_paths(args.definition, sample_runs(frame, args.sample))
        metric = args.metric or default_metric(frame)
        title = f"{Path(args.csv).name}: {METRIC_LABELS.get(metric, metric)} of {len(frame)} runs"
        plot_sweep(frame, output, paths, metric, args.size, args.dpi, title)
    except Exception as error:  # noqa: BLE001 - every failure becomes one line and status 1
        if not isinstance(error, (SweepPlotError, OSError, ValueError)):
            raise
        print(f"{parser.prog}: error: {error}", file=sys.stderr)
        return 1
    print(f"wrote {output}")
    return 0
