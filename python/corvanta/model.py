"""One model instance driven step by step."""

import collections
import ctypes
import operator
import threading
import weakref

import numpy as np

from . import _engine, _interrupts, _library, _vehicle
from ._library import INPUT_NAMES, OUTPUT_NAMES, STEP_SIZE, InputRecord
from ._suggestion import did_you_mean
from .vehicle import Vehicle, as_vehicle

Inputs = collections.namedtuple("Inputs", INPUT_NAMES)
Outputs = collections.namedtuple("Outputs", OUTPUT_NAMES)

_INPUT_INDEX = {name: index for index, name in enumerate(INPUT_NAMES)}


_UINT64_MAX = 2**64 - 1


def _count(value, name, minimum=0, maximum=None):
    try:
        value = operator.index(value)
    except TypeError:
        raise TypeError(f"{name}: expected a whole number, got {type(value).__name__} {value!r}") from None
    if value < minimum:
        raise ValueError(f"{name}: expected a whole number >= {minimum}, got {value}")
    if maximum is not None and value > maximum:
        raise ValueError(f"{name}: expected a whole number <= {maximum}, got {value}")
    return value


def _row_count(steps, every):
    return -(-steps // every)


# Offset of the input record in a saved state (after the 52-byte header).
_STATE_INPUTS_OFFSET = 52
# Index of the signal ModelTime (the model's clock).
_MODEL_TIME_INDEX = 7


def signal_dtype(lib):
    """The structured dtype of one row of signals, a float64 field per signal."""
    return np.dtype([(signal.name, np.float64) for signal in lib.signals])


def _release(lib, handle):
    lib.Terminate(handle)
    lib.DeleteVehicleModel(handle)


def create_instance(lib):
    """CreateVehicleModel, with its NULL result turned into MemoryError."""
    handle = lib.CreateVehicleModel()
    if not handle:
        raise MemoryError("CreateVehicleModel() returned NULL: out of memory")
    return handle


def output_view(lib, handle):
    """A read-only float64 view of the instance's output record (valid until deletion)."""
    pointer = lib.GetOutputs(handle)
    if not pointer:
        raise _library.CorvantaLibraryError("GetOutputs() returned NULL for a live instance")
    record = (ctypes.c_double * len(OUTPUT_NAMES)).from_address(ctypes.addressof(pointer.contents))
    view = np.frombuffer(record, dtype=np.float64)
    view.flags.writeable = False
    return view


def input_value(name, value):
    """``value`` as a float for input ``name``; TypeError for what is not a number."""
    if isinstance(value, (str, bytes)):
        raise TypeError(f"input {name}: expected a number, got {type(value).__name__} {value!r}")
    try:
        return float(value)
    except (TypeError, ValueError):
        raise TypeError(f"input {name}: expected a number, got {type(value).__name__} {value!r}") from None


def check_input_name(name):
    if name not in _INPUT_INDEX:
        hint = did_you_mean(name, INPUT_NAMES)
        raise TypeError(f"unknown input {name!r}{hint}; the inputs are {', '.join(INPUT_NAMES)}")


class Model:
    """A Corvanta model instance.

    ``Model()`` creates an instance with all inputs 0.  A run is ``set_inputs(...)``
    (initial conditions and driver inputs), ``initialize()``, then ``step(n)`` as often
    as wanted, changing inputs in between.  ``close()``, or leaving a ``with`` block,
    deletes the instance; an instance that is never closed is deleted when the object is
    garbage-collected.  ``vehicle`` (a ``corvanta.Vehicle``, a vehicle file's path or a
    dict in its layout) chooses the car; without it the built-in car runs.  A set with
    problems raises ``VehicleError`` listing them all.  A closed model raises ``RuntimeError`` on every use.

    The methods of one Model serialise on a lock, so a model shared between threads is
    never stepped and closed at the same time; distinct models step in parallel.
    """

    def __init__(self, library=None, vehicle=None):
        lib = _vehicle.default_model_library() if library is None else library
        vehicle = as_vehicle(vehicle)
        if vehicle is not None:
            _vehicle.require_vehicle(lib, "Model(vehicle=...)")
            handle = vehicle.create_instance(lib)
        else:
            handle = create_instance(lib)
        self._lib = lib
        self._vehicle = vehicle
        self._handle = handle
        self._finalizer = weakref.finalize(self, _release, lib, handle)
        self._lock = threading.Lock()
        self._record = InputRecord()
        self._record_values = (ctypes.c_double * len(INPUT_NAMES)).from_buffer(self._record)
        self._outputs = output_view(lib, handle)
        self._initialized = False
        self._steps = 0

    # Lifecycle.

    def close(self):
        """Deletes the instance.  Further calls of close() do nothing."""
        with self._lock:
            self._handle = None
            self._outputs = None
            self._finalizer()

    @property
    def closed(self):
        return self._handle is None

    def __enter__(self):
        self._live()
        return self

    def __exit__(self, *exc_info):
        self.close()

    def __repr__(self):
        if self._handle is None:
            return "<corvanta.Model closed>"
        return f"<corvanta.Model time={self.time:.4f} s>"

    def _live(self):
        handle = self._handle
        if handle is None:
            raise RuntimeError("the corvanta.Model has been closed")
        return handle

    # Running.

    def initialize(self):
        """Starts (or restarts) a run.  The time keeps counting across restarts; the next
        step samples the initial-condition inputs."""
        with self._lock:
            self._lib.Initialize(self._live())
            self._initialized = True

    def set_inputs(self, **values):
        """Sets the named inputs, converted to float; the others keep their values.

        Unknown names or values that are not numbers raise TypeError and change nothing.
        """
        converted = []
        for name, value in values.items():
            check_input_name(name)
            converted.append((_INPUT_INDEX[name], input_value(name, value)))
        with self._lock:
            handle = self._live()
            for index, value in converted:
                self._record_values[index] = value
            self._lib.SetInputs(handle, ctypes.byref(self._record))

    @property
    def inputs(self):
        """The current input values, as a namedtuple ``Inputs``."""
        with self._lock:
            self._live()
            return Inputs(*self._record_values)

    def step(self, n=1, every=1):
        """Advances the model by ``n`` steps of 0.0001 s, through the engine.

        Returns a float64 array of the outputs (columns in the order of OUTPUT_NAMES)
        after every ``every``-th step and after the last: ``n`` x 7 for ``every=1``,
        ceil(n / every) rows in general.  Ctrl-C raises KeyboardInterrupt within a
        fraction of a second; the steps taken until then count (``steps``, ``time``).
        """
        n = _count(n, "n", maximum=_UINT64_MAX)
        every = _count(every, "every", minimum=1, maximum=_UINT64_MAX)
        with self._lock:
            handle = self._live()
            self._require_initialized()
            rows = np.empty((_row_count(n, every), len(OUTPUT_NAMES)), dtype=np.float64)
            for _, count, call_every, row in _interrupts.row_chunks(n, every):
                self._call_engine("corvanta_model_step", handle, count, call_every, rows[row:])
                self._steps += count
        return rows

    def run(self, inputs, every=1):
        """Steps once per row of ``inputs``, passing the row to SetInputs before its step.

        ``inputs`` is an (n, 8) array in the order of INPUT_NAMES, or a structured array
        with fields named after inputs (inputs without a field keep their current value).
        Runs in calls into the engine of a few milliseconds each and returns the outputs
        as ``step`` does; the model keeps the last row it stepped with as its inputs
        (Ctrl-C raises KeyboardInterrupt between two calls).
        """
        every = _count(every, "every", minimum=1, maximum=_UINT64_MAX)
        records = self._input_rows(inputs)
        with self._lock:
            handle = self._live()
            self._require_initialized()
            rows = np.empty((_row_count(len(records), every), len(OUTPUT_NAMES)), dtype=np.float64)
            try:
                done = 0
                for first, count, call_every, row in _interrupts.row_chunks(len(records), every):
                    chunk = records[first : first + count]
                    self._call_engine("corvanta_model_run_inputs", handle, chunk, count, call_every, rows[row:])
                    self._steps += count
                    done = first + count
            finally:
                # The model holds the last row it stepped with, also after Ctrl-C.
                if done:
                    for index, value in enumerate(records[done - 1]):
                        self._record_values[index] = value
        return rows

    def _input_rows(self, inputs):
        """A C-contiguous (n, 8) float64 array of input records."""
        if isinstance(inputs, np.ndarray) and inputs.dtype.names is not None:
            for name in inputs.dtype.names:
                check_input_name(name)
            with self._lock:
                current = list(self._record_values)
            records = np.tile(np.array(current, dtype=np.float64), (len(inputs), 1))
            for name in inputs.dtype.names:
                records[:, _INPUT_INDEX[name]] = inputs[name]
            return records
        records = np.ascontiguousarray(inputs, dtype=np.float64)
        if records.ndim != 2 or records.shape[1] != len(INPUT_NAMES):
            raise ValueError(f"inputs: expected an array of shape (n, {len(INPUT_NAMES)}), got {records.shape}")
        return records

    def _require_initialized(self):
        if not self._initialized:
            raise RuntimeError("call initialize() before step(): the model does not step until initialised")

    def _call_engine(self, name, handle, *arguments):
        engine = _engine.engine()
        functions = _engine.model_functions(self._lib)
        error = _engine.EngineError()
        pointers = [argument.ctypes.data if isinstance(argument, np.ndarray) else argument for argument in arguments]
        status = getattr(engine, name)(ctypes.byref(functions), handle, *pointers, ctypes.byref(error))
        if status != _engine.OK:
            raise RuntimeError(f"{name}: {error.text()}")

    # Signals and state (the vehicle library).

    def signals(self):
        """Every signal of the instance after its latest step (``corvanta.SIGNALS`` lists
        names, units and meanings), as a one-row numpy structured array with a field per
        signal: ``m.signals()["Gear"]``.  Before the first step after ``initialize()`` it
        holds the values at the start of the run: the initial pose and speed, gear 1."""
        with self._lock:
            handle = self._live()
            lib = _vehicle.require_vehicle(self._lib, "Model.signals()")
            record = np.zeros(1, dtype=signal_dtype(lib))
            count = len(lib.signals)
            written = lib.corvanta_instance_initial_signals(handle, record.ctypes.data, count)
            if written == 0:
                lib.corvanta_instance_signals(handle, record.ctypes.data, count)
            return record[0]

    def save(self):
        """The complete state of the instance as bytes: restore() continues from it bit for
        bit, also in another Model or process of the same build."""
        with self._lock:
            handle = self._live()
            lib = _vehicle.require_vehicle(self._lib, "Model.save()")
            size = lib.corvanta_instance_state_size(handle)
            buffer = ctypes.create_string_buffer(size)
            status = lib.corvanta_instance_save_state(handle, buffer, size)
            if status != 0:
                raise RuntimeError(f"saving the state failed (status {status})")
            return buffer.raw

    def restore(self, state):
        """Replaces the whole state of the instance by one from save(); a state that is not
        one, of another build or vehicle, truncated or corrupted raises ValueError with
        the reason and changes nothing.  ``steps`` and ``time`` become the restored clock."""
        state = bytes(state)
        with self._lock:
            handle = self._live()
            lib = _vehicle.require_vehicle(self._lib, "Model.restore()")
            reason = ctypes.create_string_buffer(256)
            status = lib.corvanta_instance_restore_state(handle, state, len(state), reason, len(reason))
            if status != 0:
                raise ValueError(f"state refused: {reason.value.decode(errors='replace')}")
            inputs = InputRecord.from_buffer_copy(state, _STATE_INPUTS_OFFSET)
            for index, value in enumerate(ctypes.cast(ctypes.byref(inputs), ctypes.POINTER(ctypes.c_double))[: len(INPUT_NAMES)]):
                self._record_values[index] = value
            self._initialized = bool(lib.corvanta_instance_is_initialized(handle))
            clock = (ctypes.c_double * (_MODEL_TIME_INDEX + 1))()
            lib.corvanta_instance_signals(handle, clock, len(clock))
            self._steps = int(round(clock[_MODEL_TIME_INDEX] / STEP_SIZE))

    def copy(self):
        """A new Model in exactly this one's state; both continue independently."""
        twin = Model(library=self._lib, vehicle=self._vehicle)
        twin.restore(self.save())
        twin._steps = self._steps
        return twin

    def __getstate__(self):
        saved = {"state": self.save(), "steps": self._steps}
        if self._vehicle is not None:
            saved["vehicle"] = self._vehicle.to_json()
        return saved

    def __setstate__(self, saved):
        vehicle = saved.get("vehicle")
        self.__init__(vehicle=None if vehicle is None else Vehicle.from_json(vehicle))
        self.restore(saved["state"])
        self._steps = saved["steps"]

    @property
    def vehicle(self):
        """The ``Vehicle`` the model simulates; None for the built-in car."""
        return self._vehicle

    @property
    def outputs(self):
        """The outputs of the latest step, as a namedtuple ``Outputs``."""
        with self._lock:
            self._live()
            return Outputs(*self._outputs.tolist())

    @property
    def steps(self):
        """Number of steps taken since creation; initialize() does not reset it."""
        return self._steps

    @property
    def time(self):
        """Model time in seconds: steps x 0.0001."""
        return self._steps * STEP_SIZE
