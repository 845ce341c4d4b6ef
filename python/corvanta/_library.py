"""Locating, loading and binding the Corvanta shared library.

The library is searched for in this order; the first file found is loaded:

1. the file named by the environment variable ``CORVANTA_LIBRARY``.  When the variable
   is set (and not empty) nothing else is tried: a missing or unloadable file is an error;
2. the package directory, for a library copied next to this file;
3. the build tree of the source checkout that holds this package: ``build/`` first, then
   the other ``build-*/`` directories in alphabetical order, each directly and in its
   ``Release``, ``RelWithDebInfo``, ``MinSizeRel`` and ``Debug`` subdirectories.  This
   step applies only when the package sits in a checkout (``../../capi/corvanta.h``);
4. the platform loader's own search by file name (on Linux ``LD_LIBRARY_PATH``, the
   loader cache and the default directories), for an installed library.

A file that exists but cannot be loaded, or lacks one of the seven functions, stops the
search with an error rather than letting a library further down the list stand in for it.
"""

import ctypes
import os
import sys
import threading
from pathlib import Path

ENVIRONMENT_VARIABLE = "CORVANTA_LIBRARY"

# Field names of the input and output records, in record order.  They must match
# CORVANTA_INPUT_FIELDS and CORVANTA_OUTPUT_FIELDS of capi/corvanta.h; a test compares them.
INPUT_NAMES = (
    "AccelerationDemand",
    "GearSelector",
    "SteeringAngle",
    "RoadGrade",
    "InitialPositionX",
    "InitialPositionY",
    "InitialHeading",
    "InitialSpeed",
)
OUTPUT_NAMES = (
    "PositionX",
    "PositionY",
    "Heading",
    "LongitudinalSpeed",
    "PitchAngle",
    "RollAngle",
    "TipOverIndicator",
)

# Columns of the rows of a run (simulate(), the runner's CSV): the model time and the outputs.
COLUMNS = ("time",) + OUTPUT_NAMES

# Model time advanced by one Step(), in seconds (CORVANTA_STEP_SIZE).
STEP_SIZE = 0.0001

_BUILD_CONFIGURATIONS = ("", "Release", "RelWithDebInfo", "MinSizeRel", "Debug")


class InputRecord(ctypes.Structure):
    """The input record ExtU_Corvanta_T: eight doubles in field order."""

    _fields_ = [(name, ctypes.c_double) for name in INPUT_NAMES]


class OutputRecord(ctypes.Structure):
    """The output record ExtY_Corvanta_T: seven doubles in field order."""

    _fields_ = [(name, ctypes.c_double) for name in OUTPUT_NAMES]


class CorvantaLibraryError(OSError):
    """The Corvanta shared library could not be found, loaded or bound."""


# name: (restype, argtypes), the C declarations of corvanta.h.
_PROTOTYPES = {
    "CreateVehicleModel": (ctypes.c_void_p, ()),
    "DeleteVehicleModel": (None, (ctypes.c_void_p,)),
    "Initialize": (None, (ctypes.c_void_p,)),
    "SetInputs": (None, (ctypes.c_void_p, ctypes.POINTER(InputRecord))),
    "Step": (None, (ctypes.c_void_p,)),
    "GetOutputs": (ctypes.POINTER(OutputRecord), (ctypes.c_void_p,)),
    "Terminate": (None, (ctypes.c_void_p,)),
}


class Library:
    """A loaded library with the seven functions bound to their C prototypes."""

    def __init__(self, cdll, path):
        self.path = path
        self._cdll = cdll
        for name, (restype, argtypes) in _PROTOTYPES.items():
            try:
                function = getattr(cdll, name)
            except AttributeError:
                raise CorvantaLibraryError(
                    f"{path}: the library has no function {name}(); it is not a Corvanta library"
                ) from None
            function.restype = restype
            function.argtypes = argtypes
            setattr(self, name, function)

    def __repr__(self):
        return f"<corvanta.Library {self.path}>"


def library_file_names(platform=None):
    """The file names the library has on a platform, preferred first."""
    platform = sys.platform if platform is None else platform
    if platform.startswith(("win32", "cygwin")):
        return ("Corvanta.dll",)
    if platform == "darwin":
        return ("libcorvanta.dylib",)
    return ("libcorvanta.so", "libcorvanta.so.1")


def _checkout_root(package_dir):
    """The source checkout holding the package, or None when installed elsewhere."""
    root = package_dir.parent.parent
    return root if (root / "capi" / "corvanta.h").is_file() else None


def _build_dirs(root):
    dirs = []
    if (root / "build").is_dir():
        dirs.append(root / "build")
    dirs.extend(sorted(path for path in root.glob("build-*") if path.is_dir()))
    return dirs


def _open(path):
    try:
        cdll = ctypes.CDLL(str(path))
    except OSError as error:
        raise CorvantaLibraryError(f"{path}: cannot load the library: {error}") from None
    return Library(cdll, str(path))


def search(what, variable, names, open_path, open_name, environ, package_dir, system, first=()):
    """The one search order of this package's libraries (the model library here, the
    engine in _engine.py), as this module's description gives it.

    ``what`` names the library in the error, ``variable`` is its environment variable,
    ``names`` its file names (preferred first), ``first`` directories searched before the
    package directory (the engine: the model library's).  ``open_path`` loads a file
    found, ``open_name`` a bare name through the platform loader's search (raising
    OSError when it fails).
    """
    explicit = environ.get(variable, "")
    if explicit:
        # An absolute path, so that the loader never searches its own directories for a
        # bare file name.
        path = Path(explicit).expanduser().absolute()
        if not path.is_file():
            raise CorvantaLibraryError(
                f"{variable}={explicit}: no such file "
                f"(the variable must name the library file itself, e.g. .../{names[0]})"
            )
        return open_path(path)

    tried = [f"${variable}: not set"]
    directories = [*first, package_dir]
    root = _checkout_root(package_dir)
    if root is not None:
        build_dirs = _build_dirs(root)
        if not build_dirs:
            tried.append(f"{root / 'build'}, {root / 'build-*'}: no build directory")
        for build in build_dirs:
            directories.extend(build / configuration for configuration in _BUILD_CONFIGURATIONS)
    for directory in directories:
        for name in names:
            path = directory / name
            if path.is_file():
                return open_path(path)
            tried.append(str(path))

    for name in names if system else ():
        try:
            return open_name(name)
        except OSError:
            tried.append(f"{name} on the system library search path")

    if not system:
        tried.append("(system library search path not searched)")
    listing = "\n  ".join(tried)
    raise CorvantaLibraryError(
        f"cannot find {what} ({names[0]}); tried:\n  {listing}\n"
        f"Build the project or set {variable} to the library file."
    )


def load_library(environ=None, package_dir=None, platform=None, system=True):
    """Finds and loads the library following the order in this module's description.

    ``environ``, ``package_dir`` and ``platform`` default to the running process, this
    package and the running platform; tests pass others to exercise the search, and
    ``system=False`` to leave out the last step (a library already loaded into the
    process answers to its name there).
    """
    return search(
        "the Corvanta library",
        ENVIRONMENT_VARIABLE,
        library_file_names(platform),
        _open,
        lambda name: Library(ctypes.CDLL(name), name),
        os.environ if environ is None else environ,
        Path(__file__).resolve().parent if package_dir is None else Path(package_dir),
        system,
    )


_loaded = None
_load_lock = threading.Lock()


def library():
    """The process-wide library, loaded on first use."""
    global _loaded
    with _load_lock:
        if _loaded is None:
            _loaded = load_library()
        return _loaded
