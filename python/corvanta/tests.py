"""The standard vehicle-dynamics tests from Python.

Each test is a function that runs the test in this process through the engine library
(the one implementation of the tests, in C++ on the scenario engine, behind
engine/testsuite/corvanta_standard_tests.h) and returns a ``TestResult``: the metrics
with their units and definitions, the tables, every run as a numpy structured array of
its signals, and the SVG plots the library drew::

    import corvanta.tests
    result = corvanta.tests.step_steer(speed=10, steer=0.05)
    result.metrics["response_time"].value      # s
    result.runs["step-steer"]["YawRate"]        # rad/s, every 0.01 s
    result.plot("step-steer.png")               # matplotlib figure of the runs

Every test takes ``vehicle=``: a ``corvanta.Vehicle``, the path of a vehicle file, or a
dict in its layout (docs/vehicle-parameters.md); without it the built-in car runs::

    estate = corvanta.Vehicle.load("examples/vehicles/estate.json")
    heavy = corvanta.tests.braking(speed=20, vehicle=estate)
    light = corvanta.tests.braking(speed=20, vehicle=estate.with_(VehicleMass=1800))

``python3 -m corvanta.tests report -o DIR`` runs them all and writes ``DIR/report.html``
(one page: the metrics table and every plot) beside ``DIR/report.md``.

The tests and their options come from the library: ``TESTS`` names them and
``test_options(name)`` lists the options of one.  Option names are the library's with
``_`` for ``-`` (``start_speed`` for ``--start-speed``); the library checks them and its
message comes back as ``TestError``.  Ctrl-C stops a test within a step and raises
``KeyboardInterrupt``.
"""

import argparse
import ctypes
import html
import json
import math
import numbers
import os
import sys
import warnings
from dataclasses import dataclass, field
from pathlib import Path

import numpy as np

from . import _engine, _interrupts, _standard_tests, _vehicle

__all__ = [
    "Metric",
    "TestError",
    "TestOption",
    "TestResult",
    "TESTS",
    "acceleration",
    "braking",
    "coast_down",
    "double_lane_change",
    "frequency_response",
    "report",
    "run_test",
    "steady_state_circle",
    "step_steer",
    "test_options",
]

# Rows of the runs: every 10th recorded frame, one every 0.01 s (as the files' CSV).
_EVERY = 10


def __getattr__(name):
    # TESTS is read from the library when first asked for, not when the module is imported.
    if name == "TESTS":
        return _standard_tests.standard_tests().names()
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")


class TestError(ValueError):
    """A test that could not run: a bad option, a missing library, a failed run."""

    __test__ = False  # not a pytest test class


@dataclass(frozen=True)
class Metric:
    value: float  # NaN when the metric could not be determined
    unit: str
    definition: str


@dataclass(frozen=True)
class TestOption:
    """One option of a test: its name as a keyword argument, unit, help, default (None
    when the vehicle gives it: ``default_parameter`` names the parameter) and range."""

    __test__ = False

    name: str
    unit: str
    help: str
    default: float
    default_parameter: str
    min: float
    max: float


@dataclass
class TestResult:
    """What one test produced; ``folder`` holds metrics.json, the CSV and the SVG plots."""

    __test__ = False

    test: str
    description: str
    options: dict
    metrics: dict
    tables: dict
    runs: dict
    plots: list
    notes: list
    folder: Path = field(default=None)

    def plot(self, output, dpi=100):
        """Draws the runs with matplotlib into ``output`` (PNG, SVG, PDF by its suffix)."""
        return _plot_result(self, Path(output), dpi)


def _library_tests():
    try:
        return _standard_tests.standard_tests()
    except (OSError, _engine.CorvantaLibraryError) as error:
        raise TestError(f"the standard tests need the engine library: {error}") from None


def test_options(name):
    """The options of the test called ``name``, as the library declares them."""
    tests = _library_tests()
    names = tests.names()
    if name not in names:
        _run(tests, name, [], None, None)  # the library's refusal, with its suggestion
    return [
        TestOption(
            info.name.decode().replace("-", "_"),
            info.unit.decode(),
            info.help.decode(),
            None if math.isnan(info.default_value) else info.default_value,
            info.default_parameter.decode(),
            info.min,
            info.max,
        )
        for info in tests.options(names.index(name))
    ]


test_options.__test__ = False


def _option_texts(options):
    texts = []
    for name, value in options.items():
        # numbers.Real takes numpy's scalars too (np.float32(10), np.int64(3)); not bool.
        if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Real):
            raise TestError(f"{name}: expected a number, got {value!r}")
        if isinstance(value, numbers.Integral):
            text = str(int(value))
        elif math.isfinite(value):
            text = repr(float(value))
        else:
            raise TestError(f"{name}: expected a finite number, got {float(value)!r}")
        texts.append((name.replace("_", "-"), text))
    return texts


def _model_functions(vehicle):
    """The engine's model functions for ``vehicle`` (None: the built-in car)."""
    if vehicle is not None and isinstance(vehicle, (str, os.PathLike)) and not Path(vehicle).is_file():
        raise TestError(f"vehicle: no such vehicle file: {os.fspath(vehicle)}")
    from .vehicle import Vehicle, VehicleError, as_vehicle

    if vehicle is not None and not isinstance(vehicle, (Vehicle, dict, str, os.PathLike)):
        raise TestError(
            f"vehicle: expected a corvanta.Vehicle, a vehicle file path or a dict, got {type(vehicle).__name__}"
        )
    lib = _vehicle.default_model_library()
    try:
        vehicle = as_vehicle(vehicle)
        if vehicle is not None:
            vehicle.require_valid()
        return _engine.model_functions_with_vehicle(lib, vehicle)
    except VehicleError as error:
        raise TestError(f"vehicle: {error}") from None
    except RuntimeError as error:
        raise TestError(f"vehicle: {error}") from None


def _run(tests, name, option_texts, functions, stop):
    """A CorvantaTestResult handle of test ``name``; raises TestError with the library's message."""
    names = (ctypes.c_char_p * max(1, len(option_texts)))(*[n.encode() for n, _ in option_texts])
    values = (ctypes.c_char_p * max(1, len(option_texts)))(*[v.encode() for _, v in option_texts])
    options = _standard_tests.RunOptions()
    options.option_names = names
    options.option_values = values
    options.option_count = len(option_texts)
    if stop is not None:
        options.stop_flag = stop.address
    error = _engine.EngineError()
    if functions is None:  # a name or option refusal: nothing runs
        functions = _engine.ModelFunctions()
    handle = _interrupts.call_interruptibly(
        lambda: tests.corvanta_test_run(name.encode(), ctypes.byref(options), ctypes.byref(functions), ctypes.byref(error)),
        stop if stop is not None else _interrupts.StopFlag(),
    )
    if not handle:
        raise TestError(error.text() or f"test {name} failed with status {error.status}")
    return handle


def _read_result(tests, handle, folder):
    data = json.loads(tests.corvanta_test_result_metrics_json(handle).decode("utf-8"))

    def number(value):
        return math.nan if value is None else float(value)

    metrics = {
        name: Metric(number(entry["value"]), entry["unit"], entry["definition"])
        for name, entry in data["metrics"].items()
    }
    tables = {}
    for name, table in data["tables"].items():
        rows = np.array([[number(v) for v in row] for row in table["rows"]], dtype=float).reshape(-1, len(table["columns"]))
        tables[name] = np.rec.fromarrays(rows.T, names=table["columns"])
    columns = tests.columns()
    runs = {}
    for run in range(tests.corvanta_test_result_run_count(handle)):
        count = tests.corvanta_test_result_run_row_count(handle, run, _EVERY)
        values = np.zeros((count, len(columns)), dtype=float)
        error = _engine.EngineError()
        if tests.corvanta_test_result_run_rows(handle, run, _EVERY, values.ctypes.data, count, ctypes.byref(error)):
            raise TestError(error.text())
        name = tests.corvanta_test_result_run_name(handle, run).decode()
        runs[name] = np.rec.fromarrays(values.T, names=columns) if count else np.zeros(0, [(n, float) for n in columns])
    plots = [folder / plot["file"] for plot in data["plots"]] if folder is not None else []
    return TestResult(data["test"], data["description"], data["options"], metrics, tables, runs, plots,
                      data["notes"], folder)


def _write(tests, handle, folder):
    error = _engine.EngineError()
    if tests.corvanta_test_result_write(handle, os.fsencode(folder), _EVERY, ctypes.byref(error)):
        raise TestError(error.text())


def _runner_ignored(runner):
    if runner is not None:
        warnings.warn("runner= is ignored: the tests run in this process through the engine library",
                      DeprecationWarning, stacklevel=3)


def run_test(name, output=None, runner=None, vehicle=None, **options):
    """Runs the test called ``name`` (see TESTS) with the given options.  ``output`` is
    the folder for its files; without one nothing is written (``result.folder`` is None,
    the data is in the result).  ``vehicle``: a corvanta.Vehicle, a vehicle file path or a
    dict; None runs the built-in car.  ``runner`` is accepted and ignored (the tests no
    longer need corvanta-sim)."""
    _runner_ignored(runner)
    tests = _library_tests()
    texts = _option_texts(options)
    functions = _model_functions(vehicle)
    handle = _run(tests, name, texts, functions, _interrupts.StopFlag())
    try:
        folder = None
        if output is not None:
            folder = Path(output)
            _write(tests, handle, folder)
        return _read_result(tests, handle, folder)
    finally:
        tests.corvanta_test_result_free(handle)


def steady_state_circle(output=None, vehicle=None, **options):
    """Constant radius, slowly increasing speed: understeer gradient (deg/g) and the
    largest lateral acceleration.  Options: test_options("steady-state-circle")."""
    return run_test("steady-state-circle", output, vehicle=vehicle, **options)


def step_steer(output=None, vehicle=None, **options):
    """Steering step at a held speed: yaw-rate gain, response time, peak response time,
    overshoot.  Options: test_options("step-steer")."""
    return run_test("step-steer", output, vehicle=vehicle, **options)


def frequency_response(output=None, vehicle=None, **options):
    """Steering sines at a held speed: yaw-rate gain and phase against frequency.
    Options: test_options("frequency-response")."""
    return run_test("frequency-response", output, vehicle=vehicle, **options)


def double_lane_change(output=None, vehicle=None, **options):
    """Obstacle-avoidance lane change: peak deviation, peak yaw rate, cones hit.
    Options: test_options("double-lane-change")."""
    return run_test("double-lane-change", output, vehicle=vehicle, **options)


def braking(output=None, vehicle=None, **options):
    """From a held speed to standstill: stopping distance, time, MFDD.  Options: test_options("braking")."""
    return run_test("braking", output, vehicle=vehicle, **options)


def acceleration(output=None, vehicle=None, **options):
    """From standstill: time and distance to speeds.  Options: test_options("acceleration")."""
    return run_test("acceleration", output, vehicle=vehicle, **options)


def coast_down(output=None, vehicle=None, **options):
    """In neutral from speed: road load F = A + B v + C v^2, with F = mass * deceleration
    and the mass the vehicle's VehicleMass unless ``mass`` is given.  Options:
    test_options("coast-down")."""
    return run_test("coast-down", output, vehicle=vehicle, **options)


# ---- Plots ------------------------------------------------------------------------------

_PANELS = {
    "steady-state-circle": [("time", "LongitudinalSpeed", "speed (m/s)"), ("time", "LateralAcceleration", "ay (m/s²)"),
                            ("time", "SteeringAngle", "steering (rad)"), ("time", "LateralDeviation", "deviation (m)")],
    "step-steer": [("time", "SteeringAngle", "steering (rad)"), ("time", "YawRate", "yaw rate (rad/s)"),
                   ("time", "LateralAcceleration", "ay (m/s²)"), ("time", "LongitudinalSpeed", "speed (m/s)")],
    "frequency-response": [("time", "SteeringAngle", "steering (rad)"), ("time", "YawRate", "yaw rate (rad/s)")],
    "double-lane-change": [("PositionX", "PositionY", "Y (m) against X"), ("time", "SteeringAngle", "steering (rad)"),
                           ("time", "YawRate", "yaw rate (rad/s)"), ("time", "LateralDeviation", "deviation (m)")],
    "braking": [("time", "LongitudinalSpeed", "speed (m/s)"), ("time", "LongitudinalAcceleration", "ax (m/s²)"),
                ("Distance", "LongitudinalSpeed", "speed (m/s) against distance")],
    "acceleration": [("time", "LongitudinalSpeed", "speed (m/s)"), ("Distance", "LongitudinalSpeed",
                                                                    "speed (m/s) against distance")],
    "coast-down": [("time", "LongitudinalSpeed", "speed (m/s)"), ("time", "LongitudinalAcceleration", "ax (m/s²)")],
}


_DEFAULT_PANELS = [("time", "LongitudinalSpeed", "speed (m/s)")]


def _plot_result(result, output, dpi):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    panels = list(_PANELS.get(result.test, _DEFAULT_PANELS))
    bode = result.tables.get("frequency_response")
    rows = len(panels) + (2 if bode is not None else 0)
    figure, axes = plt.subplots(rows, 1, figsize=(9, 2.4 * rows), squeeze=False)
    axes = axes[:, 0]
    for axis, (x, y, label) in zip(axes, panels):
        for name, run in result.runs.items():
            axis.plot(run[x], run[y], label=name, linewidth=1)
        axis.set_ylabel(label)
        axis.set_xlabel("time (s)" if x == "time" else f"{x}")
        axis.grid(True, alpha=0.3)
    if len(result.runs) > 1:
        axes[0].legend(fontsize="small", ncol=2)
    if bode is not None:
        gain_axis, phase_axis = axes[len(panels)], axes[len(panels) + 1]
        gain_axis.semilogx(bode["frequency"], bode["yaw_rate_gain"], "o-")
        gain_axis.set_ylabel("yaw-rate gain (1/s)")
        phase_axis.semilogx(bode["frequency"], bode["phase"], "o-")
        phase_axis.set_ylabel("phase (deg)")
        phase_axis.set_xlabel("frequency (Hz)")
        for axis in (gain_axis, phase_axis):
            axis.grid(True, which="both", alpha=0.3)
    figure.suptitle(f"{result.test}: {result.description}", fontsize="small", wrap=True)
    figure.tight_layout()
    output.parent.mkdir(parents=True, exist_ok=True)
    temporary = output.with_name(output.name + ".tmp" + output.suffix)
    figure.savefig(temporary, dpi=dpi)
    plt.close(figure)
    os.replace(temporary, output)
    return output


# ---- The whole set and its report ---------------------------------------------------------


def _format(value):
    return "n/a" if not math.isfinite(value) else f"{value:.4g}"


def html_report(results):
    """One HTML page: every test's metrics and its plots (the SVG files beside it)."""
    parts = [
        "<!DOCTYPE html><html><head><meta charset='utf-8'><title>Corvanta standard tests</title>",
        "<style>body{font-family:sans-serif;max-width:1600px;margin:auto}table{border-collapse:collapse}"
        "td,th{border:1px solid #ccc;padding:2px 8px}td.v{text-align:right}"
        ".plots img{width:32%;vertical-align:top}</style></head><body>",
        "<h1>Corvanta standard vehicle-dynamics tests</h1>",
        "<table><tr><th>test</th><th>metric</th><th>value</th><th>unit</th><th>definition</th></tr>",
    ]
    for result in results:
        for name, metric in result.metrics.items():
            parts.append(
                f"<tr><td>{html.escape(result.test)}</td><td>{html.escape(name)}</td>"
                f"<td class='v'>{_format(metric.value)}</td><td>{html.escape(metric.unit)}</td>"
                f"<td>{html.escape(metric.definition)}</td></tr>"
            )
    parts.append("</table>")
    for result in results:
        parts.append(f"<h2>{html.escape(result.test)}</h2><p>{html.escape(result.description)}</p>")
        for note in result.notes:
            parts.append(f"<p><b>Note:</b> {html.escape(note)}</p>")
        parts.append("<div class='plots'>")
        for plot in result.plots:
            relative = f"{result.test}/{plot.name}"
            parts.append(f"<img src='{html.escape(relative)}' alt='{html.escape(plot.stem)}'>")
        parts.append("</div>")
    parts.append("</body></html>\n")
    return "\n".join(parts)


def report(output, runner=None, vehicle=None):
    """Runs every test with its defaults into ``output`` (one folder per test, and the
    library's report.md) and writes ``output/report.html``.  Returns the results.
    ``vehicle`` as for ``run_test``; ``runner`` is accepted and ignored."""
    _runner_ignored(runner)
    output = Path(output)
    tests = _library_tests()
    functions = _model_functions(vehicle)
    handles = []
    try:
        results = []
        for name in tests.names():
            handles.append(_run(tests, name, [], functions, _interrupts.StopFlag()))
            _write(tests, handles[-1], output / name)
            results.append(_read_result(tests, handles[-1], output / name))
        array = (ctypes.c_void_p * len(handles))(*handles)
        error = _engine.EngineError()
        if tests.corvanta_test_write_report(array, len(handles), os.fsencode(output / "report.md"), ctypes.byref(error)):
            raise TestError(error.text())
    finally:
        for handle in handles:
            tests.corvanta_test_result_free(handle)
    page = output / "report.html"
    temporary = page.with_name(page.name + ".tmp")
    temporary.write_text(html_report(results), encoding="utf-8")
    os.replace(temporary, page)
    return results


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python3 -m corvanta.tests", description=__doc__.split("\n\n")[0])
    commands = parser.add_subparsers(dest="command", required=True)
    report_command = commands.add_parser("report", help="run every test and write DIR/report.html and DIR/report.md")
    report_command.add_argument("-o", "--output", required=True, metavar="DIR")
    report_command.add_argument("--vehicle", metavar="FILE", help="a vehicle file instead of the built-in car")
    arguments = parser.parse_args(argv)
    try:
        results = report(arguments.output, vehicle=arguments.vehicle)
    except TestError as error:
        print(f"python3 -m corvanta.tests: error: {error}", file=sys.stderr)
        return 2
    for result in results:
        print(f"{result.test}: " + ", ".join(f"{n} {_format(m.value)} {m.unit}" for n, m in result.metrics.items()))
    print(f"report: {Path(arguments.output) / 'report.html'}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
