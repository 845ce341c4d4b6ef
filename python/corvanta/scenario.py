"""Scenario files run by the scenario engine.

The engine library (``libcorvanta_engine``) reads, checks and runs scenarios for every
host; ``docs/scenario-format.md`` describes the files.  This module hands it the
scenario (a file, a JSON text or a dict) and the model library, and gives back the rows
as a numpy structured array.  It parses nothing itself: accepting, refusing and the
wording of every complaint are the engine's, identical to ``corvanta-sim``'s.
"""

import ctypes
import json
import math
import numbers
import operator
import os
import weakref

import numpy as np

from . import _engine, _interrupts, _library, _vehicle
from ._library import COLUMNS, INPUT_NAMES, STEP_SIZE
from ._suggestion import did_you_mean
from .results import Results, empty_results
from .vehicle import as_vehicle

# Rows of input records: the time and the eight inputs.
INPUT_DTYPE = np.dtype([(name, np.float64) for name in ("time",) + INPUT_NAMES])


class ScenarioError(ValueError):
    """A scenario the engine refused.  ``str(error)`` is the engine's message unchanged:

        SOURCE:LINE:COLUMN: problem        a JSON syntax error
        SOURCE: JSON.PATH: problem         a value (events[2].ramp.Foo, or "top level")
        SOURCE:LINE: problem               a line of recorded inputs
        SOURCE: problem                    the source as a whole

    ``source`` names the file (``<dict>`` or ``<string>`` for a scenario given as a dict
    or a JSON text); ``where`` is the JSON path, the line, (line, column) or None;
    ``what`` is the problem alone; ``line``, ``column`` (0 when absent) and ``path``
    ("" when absent) are the engine's fields.
    """

    def __init__(self, source, where, what, message=None, line=0, column=0, path=""):
        self.source = source
        self.where = where
        self.what = what
        self.line = line
        self.column = column
        self.path = path
        super().__init__(message if message is not None else f"{source}: {what}")


def _raise_for(status, error, source):
    """The Python exception for a failed engine call."""
    message = error.text()
    if status == _engine.BAD_SCENARIO:
        line, column, path = int(error.line), int(error.column), error.text("path")
        where = (line, column) if column else line if line else path if path else None
        raise ScenarioError(source, where, error.text("problem"), message, line, column, path)
    if status == _engine.BAD_ARGUMENT:
        raise ValueError(message)
    if status in (_engine.MODEL_FAILED, _engine.OUT_OF_MEMORY):
        raise MemoryError(message)
    if status == _engine.OUTPUT_FAILED:
        raise OSError(message)
    raise RuntimeError(f"the scenario engine failed ({status}): {message}")


def _json_default(value):
    # numpy scalars in a dict: integers and floats become JSON numbers.
    if isinstance(value, np.generic):
        return value.item()
    raise TypeError(f"{type(value).__name__} {value!r} is not a JSON value")


def _json_path(parent, key):
    if isinstance(key, int):
        return f"{parent}[{key}]"
    return f"{parent}.{key}" if parent else str(key)


def _first_non_finite(value, path=""):
    """(JSON path, value) of the first NaN or infinity in a dict scenario, or None."""
    if isinstance(value, dict):
        items = value.items()
    elif isinstance(value, (list, tuple)):
        items = enumerate(value)
    else:
        if isinstance(value, (float, np.floating)) and not math.isfinite(value):
            return path or "top level", float(value)
        return None
    for key, item in items:
        found = _first_non_finite(item, _json_path(path, key))
        if found is not None:
            return found
    return None


def _dict_text(scenario):
    """The JSON text of a dict scenario; a NaN or an infinity, which JSON cannot hold, is
    a ScenarioError that names where it is."""
    try:
        return json.dumps(scenario, default=_json_default, allow_nan=False)
    except ValueError:
        found = _first_non_finite(scenario)
        if found is None:
            raise
        path, value = found
        what = f"expected a finite number, got {value!r} (JSON has no NaN or infinity)"
        raise ScenarioError("<dict>", path, what, f"<dict>: {path}: {what}", path=path) from None


def _source_of(scenario):
    """(kind, payload, source name) of a scenario argument."""
    if isinstance(scenario, dict):
        return "text", _dict_text(scenario), "<dict>"
    if isinstance(scenario, str) and scenario.lstrip().startswith("{"):
        return "text", scenario, "<string>"
    if isinstance(scenario, (str, os.PathLike)):
        return "file", os.fspath(scenario), os.fspath(scenario)
    raise TypeError(
        f"scenario: expected a path, a JSON text or a dict, got {type(scenario).__name__}"
    )


def _load_options(kind, duration, interpolate):
    options = _engine.LoadOptions()
    options.format = _engine.FORMAT_JSON if kind == "text" else _engine.FORMAT_AUTO
    if duration is not None:
        if isinstance(duration, bool) or not isinstance(duration, numbers.Real):
            raise TypeError(f"duration: expected a number of seconds, got {type(duration).__name__} {duration!r}")
        options.has_duration = 1
        options.duration = float(duration)
    if interpolate not in _engine.INTERPOLATIONS:
        raise ValueError(f"interpolate: expected 'hold', 'linear' or None, got {interpolate!r}")
    options.interpolation = _engine.INTERPOLATIONS[interpolate]
    return options


class Scenario:
    """A scenario checked by the engine, ready to run any number of times.

    ``name``, ``description``, ``step_count`` (steps of 0.0001 s), ``duration`` (s),
    ``initial_inputs`` (the input record before the first step, as ``Inputs``) and
    ``reinitializes`` (an ``initialize`` event restarts the model during the run).
    """

    def __init__(self, scenario, duration=None, interpolate=None):
        kind, payload, source = _source_of(scenario)
        options = _load_options(kind, duration, interpolate)
        engine = _engine.engine()
        error = _engine.EngineError()
        if kind == "text":
            data = payload.encode("utf-8")
            handle = engine.corvanta_scenario_load_text(data, len(data), source.encode(), ctypes.byref(options), ctypes.byref(error))
        else:
            handle = engine.corvanta_scenario_load_file(os.fsencode(payload), ctypes.byref(options), ctypes.byref(error))
        if not handle:
            _raise_for(error.status, error, source)
        self.source = source
        self._engine = engine
        self._handle = handle
        self._finalizer = weakref.finalize(self, engine.corvanta_scenario_free, handle)

    @property
    def name(self):
        return self._engine.corvanta_scenario_name(self._handle).decode("utf-8")

    @property
    def description(self):
        return self._engine.corvanta_scenario_description(self._handle).decode("utf-8")

    @property
    def step_count(self):
        return int(self._engine.corvanta_scenario_step_count(self._handle))

    @property
    def duration(self):
        return self.step_count * STEP_SIZE

    @property
    def reinitializes(self):
        return bool(self._engine.corvanta_scenario_reinitializes(self._handle))

    @property
    def initial_inputs(self):
        from .model import Inputs

        values = (ctypes.c_double * len(INPUT_NAMES))()
        self._engine.corvanta_scenario_initial_inputs(self._handle, values)
        return Inputs(*values)

    def row_count(self, every=100, initial_row=True):
        return int(self._engine.corvanta_scenario_row_count(self._handle, _every(every), int(bool(initial_row))))

    def run(self, every=100, initial_row=True, library=None, vehicle=None, signals=None):
        """The rows of a run (see ``simulate``)."""
        every = _every(every)
        lib = _vehicle.default_model_library() if library is None else library
        vehicle = as_vehicle(vehicle)
        names, indices = signal_columns(lib, signals)
        if vehicle is not None:
            _vehicle.require_vehicle(lib, "simulate(..., vehicle=...)")
            vehicle.require_valid()
        rows = empty_results(self.row_count(every, initial_row), names)
        options = _engine.RunOptions()
        if indices:
            index_array = (ctypes.c_int * len(indices))(*indices)
            options.signals = ctypes.cast(index_array, ctypes.c_void_p)
            options.signal_count = len(indices)
        options.every = every
        options.skip_initial_row = 0 if initial_row else 1
        options.rows = rows.ctypes.data if len(rows) else None
        options.row_capacity = len(rows)
        # Ctrl-C stops the run through the engine's stop-flag step callback.
        stop = _interrupts.StopFlag()
        options.on_step = _engine.STEP_CALLBACK(ctypes.cast(self._engine.corvanta_stop_when_flagged, ctypes.c_void_p).value)
        options.step_user = stop.address
        written = ctypes.c_uint64(0)
        error = _engine.EngineError()
        functions = _engine.model_functions(lib) if vehicle is None else _vehicle_functions(lib, vehicle)
        status = _interrupts.call_interruptibly(
            lambda: self._engine.corvanta_scenario_run(
                self._handle, ctypes.byref(functions), ctypes.byref(options), ctypes.byref(written), ctypes.byref(error)
            ),
            stop,
        )
        if status != _engine.OK:
            _raise_for(status, error, self.source)
        # A stop condition ("when" ... "stop") ends the run before its duration.
        return rows[: written.value] if written.value < len(rows) else rows

    def input_rows(self, every=100, initial_row=True):
        """What the driver does, at the times of the rows of ``run``: a structured array
        with the fields ``time`` and INPUT_NAMES; the row after step s holds the input
        record step s used, the row at time 0 that of the first step.  No model runs."""
        every = _every(every)
        count = self.row_count(every, initial_row)
        rows = np.zeros(count, dtype=INPUT_DTYPE)
        error = _engine.EngineError()
        status = self._engine.corvanta_scenario_input_rows(
            self._handle, every, int(bool(initial_row)), rows.ctypes.data, count, ctypes.byref(error)
        )
        if status != _engine.OK:
            _raise_for(status, error, self.source)
        return rows

    def __repr__(self):
        return f"<corvanta.Scenario {self.source!r}: {self.step_count} steps>"


def signal_columns(lib, signals):
    """(names, indices) of the signal columns a run adds: ``signals`` is None (none),
    "all" (every signal that is not one of the seven outputs, in list order) or names
    from ``corvanta.SIGNALS`` (the outputs among them are already columns)."""
    if signals is None:
        return (), ()
    lib = _vehicle.require_vehicle(lib, "simulate(..., signals=...)")
    known = [signal.name for signal in lib.signals]
    outputs = len(COLUMNS) - 1
    if isinstance(signals, str):
        if signals != "all":
            raise ValueError(f"signals: expected 'all' or a list of signal names, got {signals!r}")
        chosen = known[outputs:]
    else:
        chosen = []
        for name in signals:
            if not isinstance(name, str):
                raise TypeError(f"signals: expected signal names, got {type(name).__name__} {name!r}")
            if name not in known:
                hint = did_you_mean(name, known)
                raise ValueError(f"signals: unknown signal {name!r}{hint}; corvanta.SIGNALS lists them (docs/signals.md)")
            if name in chosen:
                raise ValueError(f"signals: {name!r} is named twice")
            chosen.append(name)
        chosen = [name for name in chosen if known.index(name) >= outputs]
    return tuple(chosen), tuple(known.index(name) for name in chosen)


def _vehicle_functions(lib, vehicle):
    """The model functions of ``lib`` with a CreateVehicleModel that makes an instance of
    ``vehicle`` (the engine calls it once per run)."""
    base = _engine.model_functions(lib)
    create = _engine.CREATE_FUNCTION(lambda: lib.corvanta_instance_create(vehicle._handle))
    functions = _engine.ModelFunctions.from_buffer_copy(base)
    functions.CreateVehicleModel = ctypes.cast(create, ctypes.c_void_p).value
    # The callback and the set live as long as the table.
    functions._keep = (create, vehicle)
    return functions


def _every(every):
    try:
        every = operator.index(every)
    except TypeError:
        raise TypeError(f"every: expected a whole number of steps, got {type(every).__name__} {every!r}") from None
    if every < 1:
        raise ValueError(f"every: expected a whole number of steps >= 1, got {every}")
    if every > 2**64 - 1:
        raise ValueError(f"every: expected a whole number of steps <= 2**64 - 1, got {every}")
    return every


def load_scenario(scenario, duration=None, interpolate=None):
    """A ``Scenario`` from a path, a JSON text or a dict; ScenarioError when the engine
    refuses it.  ``duration`` (s) replaces the scenario's; ``interpolate`` ("hold" or
    "linear") replaces the recorded inputs' own choice."""
    return Scenario(scenario, duration, interpolate)


def simulate(scenario, every=100, duration=None, initial_row=True, interpolate=None, vehicle=None, signals=None):
    """Runs a scenario in the engine, in one call, and returns its rows.

    ``scenario`` is a path (a ``.json`` scenario or ``.csv`` recorded inputs), a JSON
    text, a dict in the JSON layout, or a ``Scenario``.  The result is a ``Results``
    array: a numpy structured array with the fields ``time`` (s) and the seven outputs
    (``COLUMNS``), one record per row: the row at time 0 (the outputs after
    ``Initialize``, before the first step; leave it out with ``initial_row=False``), then
    one after every ``every``-th step and one after the last.  ``rows["PositionX"]`` is a
    column, ``rows.to_array()`` the plain (n, 8) float64 array and ``rows.to_pandas()`` a
    DataFrame (pandas installed).  The bits are those of ``corvanta-sim`` on the same
    scenario.

    The row at time 0 shows the car as it starts (the initial pose and speed, gear 1, the
    tyre loads of the standing car), as corvanta-sim's does.  ``vehicle`` (a
    ``corvanta.Vehicle``, a vehicle file's path or a dict in its layout) chooses the car;
    a set with problems raises ``VehicleError`` listing them.  ``signals`` adds signal
    columns after the outputs: a list of names from ``corvanta.SIGNALS`` (``["Gear",
    "EngineSpeed"]``) or ``"all"``, as ``corvanta-sim --signals`` does; the seven output
    columns are the same bits with and without them.
    """
    if isinstance(scenario, Scenario):
        if duration is not None or interpolate is not None:
            raise TypeError("duration and interpolate apply when a scenario is loaded, not to a Scenario")
        loaded = scenario
    else:
        loaded = Scenario(scenario, duration, interpolate)
    return loaded.run(every, initial_row, vehicle=vehicle, signals=signals)


__all__ = ["COLUMNS", "Scenario", "ScenarioError", "load_scenario", "simulate", "Results"]
