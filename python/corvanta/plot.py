"""Plots of a run and of the driver-demand maps.

    python -m corvanta.plot run.csv -o run.png
    python -m corvanta.plot --maps [--tables DIR | --generator PATH] -o maps.png
    python -m corvanta.plot sweep results.csv -o sweep.png [--definition FILE]   (sweep_plot.py)

A run plot shows the X-Y path (equal axes, start and end marked), the longitudinal
speed, the heading, pitch and roll, and the tip-over indicator against time.  The maps
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
DEFAULT_SIZE = (1500, 900)
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


def plot_run(rows, output, size=DEFAULT_SIZE, dpi=DEFAULT_DPI, title=None):
    """Draws a run (an array with the columns corvanta.COLUMNS) into the PNG ``output``."""
    try:
        rows = results.as_results(rows).to_array()
    except ValueError as error:
        raise PlotError(str(error)) from None
    if len(rows) == 0:
        raise PlotError("the run has no rows")
    column = {name: rows[:, index] for index, name in enumerate(results.COLUMNS)}
    t = column["time"]

    figure = _figure(size, dpi)
    grid = figure.add_gridspec(2, 3)
    path = figure.add_subplot(grid[:, 0])
    path.plot(column["PositionX"], column["PositionY"], color="tab:blue", label="path")
    path.plot(column["PositionX"][0], column["PositionY"][0], "o", color="tab:green", label="start")
    path.plot(column["PositionX"][-1], column["PositionY"][-1], "s", color="tab:red", label="end")
    path.set_aspect("equal", adjustable="datalim")
    path.set_xlabel("X [m]")
    path.set_ylabel("Y [m]")
    path.set_title("path")
    path.legend(loc="best")
    path.grid(True)

    speed = figure.add_subplot(grid[0, 1])
    speed.plot(t, column["LongitudinalSpeed"], color="tab:blue")
    speed.set_ylabel("longitudinal speed [m/s]")
    speed.set_title("speed")

    heading = figure.add_subplot(grid[0, 2])
    heading.plot(t, np.degrees(column["Heading"]), color="tab:purple")
    heading.set_ylabel("heading [deg]")
    heading.set_title("heading")

    attitude = figure.add_subplot(grid[1, 1])
    attitude.plot(t, np.degrees(column["PitchAngle"]), label="pitch")
    attitude.plot(t, np.degrees(column["RollAngle"]), label="roll")
    attitude.set_ylabel("angle [deg]")
    attitude.set_title("pitch and roll")
    attitude.legend(loc="best")

    tip = figure.add_subplot(grid[1, 2])
    tip.plot(t, column["TipOverIndicator"], drawstyle="steps-post", color="tab:red")
    tip.set_ylim(-1.25, 1.25)
    tip.set_yticks([-1, 0, 1])
    tip.set_ylabel("tip-over indicator")
    tip.set_title("tip-over (+1 tipping, -1 stable)")

    for axes in (speed, heading, attitude, tip):
        axes.set_xlabel("time [s]")
        axes.grid(True)
    if title:
        figure.suptitle(title)
    _save(figure, output, dpi)


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
        description="Plot a run (the CSV of corvanta-sim or corvanta.write_csv) or the demand maps.",
    )
    parser.add_argument("csv", nargs="?", help="results CSV of a run")
    parser.add_argument("-o", "--output", help="PNG file to write (default: the CSV's name with .png; maps.png)")
    parser.add_argument("--maps", action="store_true", help="plot the throttle and brake maps instead of a run")
    parser.add_argument("--tables", metavar="DIR", help="directory with throttle_map.csv and brake_map.csv")
    parser.add_argument("--generator", metavar="PATH", help="the generate_tables program to run for the maps")
    parser.add_argument("--size", type=_size, metavar="WxH", help="image size in pixels (default 1500x900; maps 1400x600)")
    parser.add_argument("--dpi", type=int, default=DEFAULT_DPI, help="resolution (default %(default)s)")
    parser.add_argument("--title", help="figure title of a run plot (default: the CSV's name)")
    return parser


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
            if args.csv is not None:
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
            if args.csv is None:
                parser.error("give a run CSV, or --maps")
            if args.tables or args.generator:
                parser.error("--tables and --generator go with --maps")
            output = args.output or str(Path(args.csv).with_suffix(".png"))
            if Path(output).resolve() == Path(args.csv).resolve():
                raise PlotError(f"the output {output} is the run CSV; refusing to overwrite it")
            try:
                rows = results.read_csv(args.csv)
            except OSError as error:
                raise PlotError(f"{args.csv}: cannot read: {error.strerror or error}") from None
            except results.ResultsFormatError as error:
                raise PlotError(str(error)) from None
            if len(rows) == 0:
                raise PlotError(f"{args.csv}: no data rows")
            plot_run(rows, output, args.size or DEFAULT_SIZE, args.dpi, args.title or Path(args.csv).name)
    except PlotError as error:
        print(f"{parser.prog}: error: {error}", file=sys.stderr)
        return 1
    except OSError as error:
        print(f"{parser.prog}: error: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
