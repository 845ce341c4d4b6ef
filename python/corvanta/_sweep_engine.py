"""ctypes binding of the sweep functions of the scenario engine (engine/sweep/corvanta_sweep.h)."""

import ctypes
import threading

import numpy as np

from . import _engine, _interrupts, _library, _vehicle

# enum CorvantaSweepColumnKind
COLUMN_RUN = 0
COLUMN_NUMBER = 1
COLUMN_OPTIONAL = 2
COLUMN_FLAG = 3

_PROGRESS = ctypes.CFUNCTYPE(
    ctypes.c_int, ctypes.c_void_p, ctypes.c_uint64, ctypes.c_uint64, ctypes.c_uint64, ctypes.c_double
)
_ROW = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.POINTER(ctypes.c_double))


class SweepOptions(ctypes.Structure):
    _fields_ = [
        ("threads", ctypes.c_uint),
        ("first_run", ctypes.c_uint64),
        ("run_count", ctypes.c_uint64),
        ("rows", ctypes.POINTER(ctypes.c_double)),
        ("row_capacity", ctypes.c_uint64),
        ("csv_path", ctypes.c_char_p),
        ("on_row", _ROW),
        ("row_user", ctypes.c_void_p),
        ("on_progress", _PROGRESS),
        ("progress_user", ctypes.c_void_p),
    ]


class SweepTotals(ctypes.Structure):
    _fields_ = [
        ("runs", ctypes.c_uint64),
        ("steps", ctypes.c_uint64),
        ("wall_seconds", ctypes.c_double),
        ("threads", ctypes.c_uint),
    ]


_bound = None
_bind_lock = threading.Lock()


def _declare(engine, error_type, model_type):
    error_pointer = ctypes.POINTER(error_type)
    prototypes = {
        "corvanta_sweep_load_text": (
            ctypes.c_void_p,
            (ctypes.c_char_p, ctypes.c_size_t, ctypes.c_char_p, error_pointer),
        ),
        "corvanta_sweep_free": (None, (ctypes.c_void_p,)),
        "corvanta_sweep_run_count": (ctypes.c_uint64, (ctypes.c_void_p,)),
        "corvanta_sweep_column_count": (ctypes.c_size_t, (ctypes.c_void_p,)),
        "corvanta_sweep_column_name": (ctypes.c_char_p, (ctypes.c_void_p, ctypes.c_size_t)),
        "corvanta_sweep_column_kind": (ctypes.c_int, (ctypes.c_void_p, ctypes.c_size_t)),
        "corvanta_sweep_scenario_text": (
            ctypes.c_int,
            (ctypes.c_void_p, ctypes.c_uint64, ctypes.c_char_p, ctypes.c_size_t, ctypes.POINTER(ctypes.c_size_t),
             error_pointer),
        ),
        "corvanta_sweep_run": (
            ctypes.c_int,
            (ctypes.c_void_p, ctypes.POINTER(model_type), ctypes.POINTER(SweepOptions), ctypes.POINTER(SweepTotals),
             error_pointer),
        ),
    }
    functions = {}
    for name, (restype, argtypes) in prototypes.items():
        try:
            function = getattr(engine, name)
        except AttributeError:
            raise _library.CorvantaLibraryError(
                f"the engine library has no function {name}(); it was built without sweeps"
            ) from None
        function.restype = restype
        function.argtypes = argtypes
        functions[name] = function
    return functions


def _functions():
    """The sweep functions of the process-wide engine, bound on first use."""
    global _bound
    with _bind_lock:
        if _bound is None:
            # A CDLL of its own: the engine's functions keep the prototypes _engine gave them.
            cdll = ctypes.CDLL(_engine.engine().path)
            _bound = _declare(cdll, _engine.EngineError, _engine.ModelFunctions)
        return _bound


class SweepError(ValueError):
    """A sweep definition that cannot be used, or a run that failed: the message names the
    source and the field or the run at fault; ``status`` is the engine's status code."""

    def __init__(self, message, status=_engine.BAD_SCENARIO):
        super().__init__(message)
        self.status = status


class Sweep:
    """A loaded sweep definition (corvanta_sweep_load_text); use as a context manager."""

    def __init__(self, text, source):
        self._handle = None
        self._c = _functions()
        data = text.encode("utf-8")
        error = _engine.EngineError()
        handle = self._c["corvanta_sweep_load_text"](data, len(data), source.encode("utf-8"), ctypes.byref(error))
        if not handle:
            raise SweepError(error.text(), error.status)
        self._handle = handle
        self.run_count = int(self._c["corvanta_sweep_run_count"](handle))
        width = int(self._c["corvanta_sweep_column_count"](handle))
        self.columns = tuple(self._c["corvanta_sweep_column_name"](handle, i).decode("utf-8") for i in range(width))
        self.kinds = tuple(int(self._c["corvanta_sweep_column_kind"](handle, i)) for i in range(width))

    def close(self):
        if self._handle:
            self._c["corvanta_sweep_free"](self._handle)
            self._handle = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        self.close()

    def scenario_text(self, run):
        if not 0 <= run < self.run_count:
            raise IndexError(f"run {run} is out of range: the sweep has {self.run_count} runs")
        length = ctypes.c_size_t()
        error = _engine.EngineError()
        function = self._c["corvanta_sweep_scenario_text"]
        if function(self._handle, run, None, 0, ctypes.byref(length), ctypes.byref(error)) != _engine.OK:
            raise SweepError(error.text(), error.status)
        buffer = ctypes.create_string_buffer(length.value + 1)
        if function(self._handle, run, buffer, len(buffer), ctypes.byref(length), ctypes.byref(error)) != _engine.OK:
            raise SweepError(error.text(), error.status)
        return buffer.value.decode("utf-8")

    def run(self, first=0, count=None, threads=0, csv_path=None, progress=None, vehicle=None):
        """Rows of runs [first, first + count) as an (n, columns) float64 array; ``vehicle``
        (a corvanta.Vehicle) is the car of every run whose scenario names none.

        ``progress(runs_done, runs_total, steps_done, wall_seconds)``, if given, is called
        about ten times a second; returning True stops the sweep.  Returns the rows; the
        totals (runs, steps, wall seconds, threads) are in ``self.totals``.
        """
        first = min(max(0, int(first)), self.run_count)
        available = self.run_count - first
        count = available if count is None else min(max(0, int(count)), available)
        rows = np.zeros((count, len(self.columns)), dtype=np.float64)
        if count == 0:
            self.totals = SweepTotals()
            return rows
        options = SweepOptions()
        options.threads = int(threads)
        options.first_run = first
        options.run_count = count
        options.rows = rows.ctypes.data_as(ctypes.POINTER(ctypes.c_double))
        options.row_capacity = count
        if csv_path is not None:
            options.csv_path = str(csv_path).encode("utf-8")
        # The progress callback runs on the calling thread about ten times a second; it
        # stops the sweep when Ctrl-C raised the stop flag (the call runs on a worker
        # thread meanwhile, see _interrupts) or ``progress`` fails.
        raised = []
        stop = _interrupts.StopFlag()

        def on_progress(user, done, total, steps, wall):
            if stop.is_set():
                return 1
            try:
                return 1 if progress is not None and progress(done, total, steps, wall) else 0
            except BaseException as error:  # noqa: BLE001 - re-raised after the engine returns
                raised.append(error)
                return 1

        callback = _PROGRESS(on_progress)
        options.on_progress = callback
        model = _engine.model_functions_with_vehicle(_vehicle.default_model_library(), vehicle)
        totals = SweepTotals()
        error = _engine.EngineError()
        status = _interrupts.call_interruptibly(
            lambda: self._c["corvanta_sweep_run"](
                self._handle, ctypes.byref(model), ctypes.byref(options), ctypes.byref(totals), ctypes.byref(error)
            ),
            stop,
        )
        if raised:
            raise raised[0]
        if status != _engine.OK:
            raise SweepError(error.text(), status)
        self.totals = totals
        return rows
