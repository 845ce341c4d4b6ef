"""Binding of the scenario engine library (engine/corvanta_engine.h).

The engine reads, checks and runs scenario files for every host; this package hands it
the seven functions of the model library it loaded, so that simulate(), Model.step() and
Model.run() drive exactly that library.  The engine library is searched for in this
order; the first file found is loaded:

1. the file named by the environment variable ``CORVANTA_ENGINE_LIBRARY`` (final, as
   ``CORVANTA_LIBRARY`` is for the model library);
2. the directory of the model library that was loaded (they are built and installed
   side by side);
3. the package directory, then the build tree of a source checkout, then the platform
   loader's search, as for the model library.
"""

import ctypes
import os
import sys
import threading
from pathlib import Path

from . import _library
from ._library import INPUT_NAMES, OUTPUT_NAMES, CorvantaLibraryError

ENVIRONMENT_VARIABLE = "CORVANTA_ENGINE_LIBRARY"

# CorvantaEngineStatus
OK = 0
BAD_SCENARIO = 1
BAD_ARGUMENT = 2
MODEL_FAILED = 3
OUTPUT_FAILED = 4
STOPPED = 5
OUT_OF_MEMORY = 6

# CorvantaScenarioFormat, CorvantaInterpolation
FORMAT_AUTO, FORMAT_JSON, FORMAT_RECORDED_INPUTS = 0, 1, 2
INTERPOLATIONS = {None: 0, "hold": 1, "linear": 2}

ROW_LENGTH = 1 + len(OUTPUT_NAMES)


class EngineError(ctypes.Structure):
    """CorvantaEngineError."""

    _fields_ = [
        ("status", ctypes.c_int),
        ("line", ctypes.c_uint64),
        ("column", ctypes.c_uint64),
        ("path", ctypes.c_char * 256),
        ("problem", ctypes.c_char * 1024),
        ("message", ctypes.c_char * 2048),
    ]

    def text(self, field="message"):
        return getattr(self, field).decode("utf-8", errors="replace")


class LoadOptions(ctypes.Structure):
    """CorvantaLoadOptions."""

    _fields_ = [
        ("format", ctypes.c_int),
        ("has_duration", ctypes.c_int),
        ("duration", ctypes.c_double),
        ("interpolation", ctypes.c_int),
    ]


ROW_CALLBACK = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.POINTER(ctypes.c_double))
STEP_CALLBACK = ctypes.CFUNCTYPE(
    ctypes.c_int, ctypes.c_void_p, ctypes.c_uint64, ctypes.c_int, ctypes.POINTER(ctypes.c_double), ctypes.POINTER(ctypes.c_double)
)


class RunOptions(ctypes.Structure):
    """CorvantaRunOptions."""

    _fields_ = [
        ("every", ctypes.c_uint64),
        ("skip_initial_row", ctypes.c_int),
        ("rows", ctypes.c_void_p),
        ("row_capacity", ctypes.c_uint64),
        ("on_row", ROW_CALLBACK),
        ("row_user", ctypes.c_void_p),
        ("on_step", STEP_CALLBACK),
        ("step_user", ctypes.c_void_p),
        ("signals", ctypes.c_void_p),
        ("signal_count", ctypes.c_size_t),
    ]


CREATE_FUNCTION = ctypes.CFUNCTYPE(ctypes.c_void_p)

MODEL_FUNCTION_NAMES = ("CreateVehicleModel", "DeleteVehicleModel", "Initialize", "SetInputs", "Step", "GetOutputs", "Terminate")


class ModelFunctions(ctypes.Structure):
    """CorvantaModelFunctions: the addresses of the seven functions of a model library."""

    _fields_ = [(name, ctypes.c_void_p) for name in MODEL_FUNCTION_NAMES + ("Signals", "InitialSignals")] + [
        # Parameter sets: left NULL here, the built-in car.
        (name, ctypes.c_void_p) for name in ("Vehicle", "CreateFromVehicle", "ParseVehicle", "VehicleToJson", "FreeVehicle")
    ]


_ERROR = ctypes.POINTER(EngineError)
_PROTOTYPES = {
    "corvanta_scenario_load_file": (ctypes.c_void_p, (ctypes.c_char_p, ctypes.POINTER(LoadOptions), _ERROR)),
    "corvanta_scenario_load_text": (
        ctypes.c_void_p,
        (ctypes.c_char_p, ctypes.c_size_t, ctypes.c_char_p, ctypes.POINTER(LoadOptions), _ERROR),
    ),
    "corvanta_scenario_free": (None, (ctypes.c_void_p,)),
    "corvanta_scenario_step_count": (ctypes.c_uint64, (ctypes.c_void_p,)),
    "corvanta_scenario_name": (ctypes.c_char_p, (ctypes.c_void_p,)),
    "corvanta_scenario_description": (ctypes.c_char_p, (ctypes.c_void_p,)),
    "corvanta_scenario_reinitializes": (ctypes.c_int, (ctypes.c_void_p,)),
    "corvanta_scenario_initial_inputs": (None, (ctypes.c_void_p, ctypes.c_void_p)),
    "corvanta_scenario_row_count": (ctypes.c_uint64, (ctypes.c_void_p, ctypes.c_uint64, ctypes.c_int)),
    "corvanta_scenario_run": (
        ctypes.c_int,
        (ctypes.c_void_p, ctypes.POINTER(ModelFunctions), ctypes.POINTER(RunOptions), ctypes.POINTER(ctypes.c_uint64), _ERROR),
    ),
    "corvanta_scenario_input_rows": (
        ctypes.c_int,
        (ctypes.c_void_p, ctypes.c_uint64, ctypes.c_int, ctypes.c_void_p, ctypes.c_uint64, _ERROR),
    ),
    "corvanta_model_step": (
        ctypes.c_int,
        (ctypes.POINTER(ModelFunctions), ctypes.c_void_p, ctypes.c_uint64, ctypes.c_uint64, ctypes.c_void_p, _ERROR),
    ),
    "corvanta_model_run_inputs": (
        ctypes.c_int,
        (ctypes.POINTER(ModelFunctions), ctypes.c_void_p, ctypes.c_void_p, ctypes.c_uint64, ctypes.c_uint64, ctypes.c_void_p, _ERROR),
    ),
    "corvanta_csv_open": (ctypes.c_void_p, (ctypes.c_char_p, ctypes.POINTER(ctypes.c_char_p), ctypes.c_size_t, _ERROR)),
    "corvanta_csv_write_row": (ctypes.c_int, (ctypes.c_void_p, ctypes.c_void_p)),
    "corvanta_csv_close": (ctypes.c_int, (ctypes.c_void_p, _ERROR)),
    "corvanta_stop_when_flagged": (
        ctypes.c_int,
        (ctypes.c_void_p, ctypes.c_uint64, ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p),
    ),
    "corvanta_engine_input_name": (ctypes.c_char_p, (ctypes.c_int,)),
    "corvanta_engine_output_name": (ctypes.c_char_p, (ctypes.c_int,)),
    "corvanta_engine_version": (ctypes.c_char_p, ()),
}


class Engine:
    """A loaded engine library with its functions bound to their C prototypes."""

    def __init__(self, cdll, path):
        self.path = path
        self._cdll = cdll
        for name, (restype, argtypes) in _PROTOTYPES.items():
            try:
                function = getattr(cdll, name)
            except AttributeError:
                raise CorvantaLibraryError(f"{path}: the library has no function {name}(); it is not the Corvanta engine") from None
            function.restype = restype
            function.argtypes = argtypes
            setattr(self, name, function)
        for kind, names, lookup in (
            ("inputs", INPUT_NAMES, cdll.corvanta_engine_input_name),
            ("outputs", OUTPUT_NAMES, cdll.corvanta_engine_output_name),
        ):
            found = tuple((lookup(index) or b"").decode() for index in range(len(names)))
            if found != names or lookup(len(names)) is not None:
                raise CorvantaLibraryError(f"{path}: the engine's {kind} {found} are not this package's {names}")

    def __repr__(self):
        return f"<corvanta.Engine {self.path}>"


def engine_file_names(platform=None):
    platform = sys.platform if platform is None else platform
    if platform.startswith(("win32", "cygwin")):
        return ("corvanta_engine.dll",)
    if platform == "darwin":
        return ("libcorvanta_engine.dylib",)
    return ("libcorvanta_engine.so", "libcorvanta_engine.so.1")


def _open(path):
    try:
        cdll = ctypes.CDLL(str(path))
    except OSError as error:
        raise CorvantaLibraryError(f"{path}: cannot load the engine library: {error}") from None
    return Engine(cdll, str(path))


def load_engine(model_path=None, environ=None, package_dir=None, platform=None, system=True):
    """Finds and loads the engine following the order in this module's description (the
    search of _library.search, with the model library's directory first)."""
    first = [Path(model_path).parent] if model_path and os.sep in str(model_path) else []
    return _library.search(
        "the Corvanta scenario engine",
        ENVIRONMENT_VARIABLE,
        engine_file_names(platform),
        _open,
        lambda name: Engine(ctypes.CDLL(name), name),
        os.environ if environ is None else environ,
        Path(__file__).resolve().parent if package_dir is None else Path(package_dir),
        system,
        first,
    )


_loaded = None
_load_lock = threading.Lock()


def engine():
    """The process-wide engine, loaded on first use beside the model library."""
    global _loaded
    model = _library.library()
    with _load_lock:
        if _loaded is None:
            _loaded = load_engine(model.path)
        return _loaded


def model_functions(lib):
    """CorvantaModelFunctions of a loaded model library (kept on the library object)."""
    table = getattr(lib, "_engine_model_functions", None)
    if table is None:
        addresses = {}
        for name in MODEL_FUNCTION_NAMES:
            function = getattr(lib, name)
            if not isinstance(function, ctypes._CFuncPtr):
                raise TypeError(f"{lib!r}: {name} is not a function of a loaded library")
            addresses[name] = ctypes.cast(function, ctypes.c_void_p).value
        signals = getattr(lib, "signal_table", (None, None))
        table = ModelFunctions(**addresses, Signals=signals[0], InitialSignals=signals[1], **_set_functions(lib))
        lib._engine_model_functions = table
    return table


# The parameter-set members of CorvantaModelFunctions and the vehicle library's functions
# of the same shapes: with them a scenario's "vehicle" key and sweeps over vehicle.NAME run.
_SET_FUNCTIONS = {
    "CreateFromVehicle": "corvanta_instance_create",
    "ParseVehicle": "corvanta_vehicle_parse",
    "VehicleToJson": "corvanta_vehicle_to_json",
    "FreeVehicle": "corvanta_vehicle_free",
}


def _set_functions(lib):
    """The parameter-set members for the vehicle library; {} for a library of the seven
    functions only (the engine then runs the built-in car and refuses a "vehicle" key)."""
    found = {}
    for member, name in _SET_FUNCTIONS.items():
        function = getattr(lib, name, None)
        if not isinstance(function, ctypes._CFuncPtr):
            return {}
        found[member] = ctypes.cast(function, ctypes.c_void_p).value
    return found


def model_functions_with_vehicle(lib, vehicle):
    """The model functions of ``lib`` whose runs simulate the parameter set ``vehicle`` (a
    corvanta.Vehicle of ``lib``) when their scenario names no vehicle of its own; the set
    is shared read-only by the runs of every thread.  None gives the plain table."""
    base = model_functions(lib)
    if vehicle is None:
        return base
    if not base.CreateFromVehicle:
        raise RuntimeError(f"a vehicle parameter set needs the vehicle library (libcorvanta_vehicle); this is {lib!r}")
    functions = ModelFunctions.from_buffer_copy(base)
    functions.Vehicle = vehicle._handle
    functions._keep = vehicle  # the set lives as long as the table
    return functions
