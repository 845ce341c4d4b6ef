"""Locating and binding the vehicle library (libcorvanta_vehicle): the built-in car's
instances with their signals, their values at the start of a run and their state.

``CORVANTA_VEHICLE_LIBRARY`` names the file; without it the library is searched for in the
package directory, in the build tree of the checkout holding the package
(``build/vehicle/`` and ``build/``) and by the platform loader's search.  When
``CORVANTA_LIBRARY`` names a model library and ``CORVANTA_VEHICLE_LIBRARY`` is not set, that
library (the seven functions only: no signals, no state, zeros at time 0) is used instead.
"""

import collections
import ctypes
import os
import sys
import threading
from pathlib import Path

from . import _library
from ._library import InputRecord, OutputRecord

Signal = collections.namedtuple("Signal", ("name", "unit", "description"))


class InstanceFunctions(ctypes.Structure):
    """CorvantaInstanceFunctions: the instance functions with the seven functions' shapes."""

    _fields_ = [
        (name, ctypes.c_void_p)
        for name in ("create", "free", "initialize", "set_inputs", "step", "outputs", "terminate", "signals", "initial_signals")
    ]


ENVIRONMENT_VARIABLE = "CORVANTA_VEHICLE_LIBRARY"

_HANDLE = ctypes.c_void_p
_PROTOTYPES = {
    "corvanta_instance_functions": (ctypes.POINTER(InstanceFunctions), ()),
    "corvanta_signal_count": (ctypes.c_size_t, ()),
    "corvanta_signal_name": (ctypes.c_char_p, (ctypes.c_size_t,)),
    "corvanta_signal_unit": (ctypes.c_char_p, (ctypes.c_size_t,)),
    "corvanta_signal_description": (ctypes.c_char_p, (ctypes.c_size_t,)),
    "corvanta_instance_signals": (ctypes.c_size_t, (_HANDLE, ctypes.c_void_p, ctypes.c_size_t)),
    "corvanta_instance_initial_signals": (ctypes.c_size_t, (_HANDLE, ctypes.c_void_p, ctypes.c_size_t)),
    "corvanta_instance_state_size": (ctypes.c_size_t, (_HANDLE,)),
    "corvanta_instance_save_state": (ctypes.c_int, (_HANDLE, ctypes.c_void_p, ctypes.c_size_t)),
    "corvanta_instance_restore_state": (
        ctypes.c_int,
        (_HANDLE, ctypes.c_char_p, ctypes.c_size_t, ctypes.c_char_p, ctypes.c_size_t),
    ),
    "corvanta_instance_copy_state": (ctypes.c_int, (_HANDLE, _HANDLE)),
    "corvanta_instance_is_initialized": (ctypes.c_int, (_HANDLE,)),
    "corvanta_instance_create": (_HANDLE, (_HANDLE,)),
    "corvanta_vehicle_create_builtin": (_HANDLE, ()),
    "corvanta_vehicle_free": (None, (_HANDLE,)),
    "corvanta_vehicle_copy": (_HANDLE, (_HANDLE,)),
    "corvanta_vehicle_load": (_HANDLE, (ctypes.c_char_p, ctypes.c_char_p, ctypes.c_size_t)),
    "corvanta_vehicle_parse": (
        _HANDLE,
        (ctypes.c_char_p, ctypes.c_size_t, ctypes.c_char_p, ctypes.c_char_p, ctypes.c_char_p, ctypes.c_size_t),
    ),
    "corvanta_vehicle_load_tyre": (
        ctypes.c_int,
        (_HANDLE, ctypes.c_int, ctypes.c_char_p, ctypes.c_char_p, ctypes.c_size_t),
    ),
    "corvanta_vehicle_get": (
        ctypes.c_int,
        (_HANDLE, ctypes.c_char_p, ctypes.c_void_p, ctypes.c_size_t, ctypes.POINTER(ctypes.c_size_t)),
    ),
    "corvanta_vehicle_set": (
        ctypes.c_int,
        (_HANDLE, ctypes.c_char_p, ctypes.c_void_p, ctypes.c_size_t, ctypes.c_char_p, ctypes.c_size_t),
    ),
    "corvanta_vehicle_validate": (ctypes.c_int, (_HANDLE, ctypes.c_char_p, ctypes.c_size_t)),
    "corvanta_vehicle_to_json": (ctypes.c_size_t, (_HANDLE, ctypes.c_char_p, ctypes.c_size_t)),
    "corvanta_vehicle_save": (ctypes.c_int, (_HANDLE, ctypes.c_char_p, ctypes.c_char_p, ctypes.c_size_t)),
    "corvanta_vehicle_export_tir": (
        ctypes.c_int,
        (_HANDLE, ctypes.c_int, ctypes.c_char_p, ctypes.c_char_p, ctypes.c_size_t),
    ),
    "corvanta_vehicle_name": (ctypes.c_char_p, (_HANDLE,)),
    "corvanta_vehicle_description": (ctypes.c_char_p, (_HANDLE,)),
    "corvanta_vehicle_warnings": (ctypes.c_char_p, (_HANDLE,)),
    "corvanta_vehicle_set_name": (ctypes.c_int, (_HANDLE, ctypes.c_char_p, ctypes.c_char_p)),
    "corvanta_vehicle_identity": (ctypes.c_uint64, (_HANDLE,)),
    "corvanta_vehicle_parameter_count": (ctypes.c_size_t, ()),
    "corvanta_vehicle_parameter_info": (ctypes.c_int, (ctypes.c_size_t, ctypes.c_void_p)),
}

# The seven functions, bound from the table to the prototypes of the model library.
_SEVEN = {
    "CreateVehicleModel": ("create", ctypes.CFUNCTYPE(ctypes.c_void_p)),
    "DeleteVehicleModel": ("free", ctypes.CFUNCTYPE(None, ctypes.c_void_p)),
    "Initialize": ("initialize", ctypes.CFUNCTYPE(None, ctypes.c_void_p)),
    "SetInputs": ("set_inputs", ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.POINTER(InputRecord))),
    "Step": ("step", ctypes.CFUNCTYPE(None, ctypes.c_void_p)),
    "GetOutputs": ("outputs", ctypes.CFUNCTYPE(ctypes.POINTER(OutputRecord), ctypes.c_void_p)),
    "Terminate": ("terminate", ctypes.CFUNCTYPE(None, ctypes.c_void_p)),
}


class VehicleLibrary:
    """The vehicle library: the seven functions under their usual names (so that it serves
    wherever a model library does), the signal list and the state functions."""

    def __init__(self, cdll, path):
        self.path = path
        self._cdll = cdll
        for name, (restype, argtypes) in _PROTOTYPES.items():
            try:
                function = getattr(cdll, name)
            except AttributeError:
                raise _library.CorvantaLibraryError(f"{path}: no function {name}(); not the vehicle library") from None
            function.restype = restype
            function.argtypes = argtypes
            setattr(self, name, function)
        table = self.corvanta_instance_functions().contents
        for name, (member, prototype) in _SEVEN.items():
            setattr(self, name, prototype(getattr(table, member)))
        self.signal_table = (table.signals, table.initial_signals)
        self.signals = tuple(
            Signal(
                self.corvanta_signal_name(k).decode(),
                self.corvanta_signal_unit(k).decode(),
                self.corvanta_signal_description(k).decode(),
            )
            for k in range(self.corvanta_signal_count())
        )

    def __repr__(self):
        return f"<corvanta.VehicleLibrary {self.path}>"


def file_names(platform=None):
    platform = sys.platform if platform is None else platform
    if platform.startswith(("win32", "cygwin")):
        return ("libcorvanta_vehicle.dll", "corvanta_vehicle.dll")
    if platform == "darwin":
        return ("libcorvanta_vehicle.dylib",)
    return ("libcorvanta_vehicle.so", "libcorvanta_vehicle.so.1")


def load_vehicle_library(model_path=None, package_dir=None, system=True):
    """The vehicle library, or None when none is found."""
    package_dir = Path(__file__).resolve().parent if package_dir is None else Path(package_dir)
    directories = []
    if model_path and Path(model_path).parent != Path("."):
        directories.append(Path(model_path).parent)
    directories.append(package_dir)
    root = _library._checkout_root(package_dir)
    for build in _library._build_dirs(root) if root is not None else []:
        for configuration in _library._BUILD_CONFIGURATIONS:
            directories.extend((build / "vehicle" / configuration, build / configuration))
    for directory in directories:
        for name in file_names():
            path = directory / name
            if path.is_file():
                return VehicleLibrary(ctypes.CDLL(str(path)), str(path))
    for name in file_names() if system else ():
        try:
            return VehicleLibrary(ctypes.CDLL(name), name)
        except OSError:
            continue
    return None


_loaded = None
_load_lock = threading.Lock()


def vehicle_library():
    """The process-wide vehicle library (None when there is none, or when
    ``CORVANTA_LIBRARY`` alone names a model library to use instead)."""
    global _loaded
    with _load_lock:
        if _loaded is None:
            explicit = os.environ.get(ENVIRONMENT_VARIABLE, "")
            if explicit:
                path = Path(explicit).expanduser().absolute()
                if not path.is_file():
                    raise _library.CorvantaLibraryError(f"{ENVIRONMENT_VARIABLE}={explicit}: no such file")
                _loaded = VehicleLibrary(ctypes.CDLL(str(path)), str(path))
            elif os.environ.get(_library.ENVIRONMENT_VARIABLE, ""):
                _loaded = False
            else:
                _loaded = load_vehicle_library() or False
        return _loaded or None


def default_model_library():
    """The library a Model or a run uses when none is given: the vehicle library (signals,
    state, the car as it starts at time 0) when there is one, else the model library."""
    vehicle = vehicle_library()
    return vehicle if vehicle is not None else _library.library()


def require_vehicle(lib, what):
    if not isinstance(lib, VehicleLibrary):
        raise RuntimeError(f"{what} needs the vehicle library (libcorvanta_vehicle); this model runs on {lib!r}")
    return lib


def signal_list():
    """The signals of the vehicle library, or () without one."""
    try:
        vehicle = vehicle_library()
    except (OSError, _library.CorvantaLibraryError):
        return ()
    return vehicle.signals if vehicle is not None else ()
