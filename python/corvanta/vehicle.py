"""Vehicle parameter sets: which car a Model or a run simulates.

A ``Vehicle`` is an immutable parameter set of the vehicle library (libcorvanta_vehicle):
the built-in car (``Vehicle.default()``), a vehicle file (``Vehicle.load(path)``, JSON with
tyre property files, docs/vehicle-parameters.md) or a variant of either
(``v.with_(VehicleMass=1900)``, a new set; ``v`` stays as it was)::

    import corvanta
    heavy = corvanta.Vehicle.default().with_(VehicleMass=1900, FinalDriveRatio=2.3)
    heavy["GearRatio_Table"]                 # a read-only numpy array
    heavy.check()                            # [] or every problem, one string each
    rows = corvanta.simulate("scenario.json", vehicle=heavy)
    with corvanta.Model(vehicle=heavy) as m: ...

Parameters are addressed by the names of the list (``corvanta.PARAMETERS``); a tyre
coefficient named plainly (``PDY1``) addresses both axles, ``FrontTyre.PDY1`` and
``RearTyre.PDY1`` one axle each (give those through a dict:
``v.with_({"RearTyre.PDY1": 0.9})``).  Units are SI as the list documents.  Problems are
``VehicleError`` (a ``ValueError``) with the library's own message.
"""

import collections
import ctypes
import os
import weakref

import numpy as np

from . import _vehicle
from ._suggestion import did_you_mean

ParameterInfo = collections.namedtuple(
    "ParameterInfo",
    ("name", "unit", "meaning", "kind", "count", "builtin", "lower", "upper", "lower_open", "upper_open",
     "strictly_increasing", "tir_section", "dormant"),
)

# CORVANTA_VEHICLE_... result codes.
_OK = 0
_UNKNOWN_NAME = 1
_AXLES_DIFFER = 3
_KINDS = {0: "scalar", 1: "table", 2: "tyre"}
_AXLES = {None: -1, "both": -1, "front": 0, "rear": 1}
_ERROR_SIZE = 1 << 16
_REPORT_SIZE = 1 << 20


class VehicleError(ValueError):
    """A vehicle file, a parameter or a parameter set the vehicle library refused; the
    message is the library's (every problem, one per line).  ``problems`` lists them."""

    def __init__(self, message):
        super().__init__(message)
        self.problems = [line for line in message.splitlines() if line]


class _CParameterInfo(ctypes.Structure):
    """CorvantaParameterInfo."""

    _fields_ = [
        ("name", ctypes.c_char_p),
        ("unit", ctypes.c_char_p),
        ("meaning", ctypes.c_char_p),
        ("kind", ctypes.c_int),
        ("count", ctypes.c_size_t),
        ("builtin", ctypes.c_double),
        ("lower", ctypes.c_double),
        ("upper", ctypes.c_double),
        ("lower_open", ctypes.c_int),
        ("upper_open", ctypes.c_int),
        ("strictly_increasing", ctypes.c_int),
        ("tir_section", ctypes.c_char_p),
        ("dormant", ctypes.c_char_p),
    ]


def _library():
    lib = _vehicle.vehicle_library()
    if lib is None:
        raise RuntimeError(
            "vehicle parameter sets need the vehicle library (libcorvanta_vehicle): build the target "
            f"corvanta_vehicle or set {_vehicle.ENVIRONMENT_VARIABLE}"
        )
    return lib


def parameter_list(lib=None):
    """Every parameter of the model (name, unit, meaning, kind, count, built-in value,
    bounds, ...) as ``ParameterInfo`` tuples in the order of the library's list."""
    lib = _library() if lib is None else lib
    found = []
    info = _CParameterInfo()
    for index in range(lib.corvanta_vehicle_parameter_count()):
        if lib.corvanta_vehicle_parameter_info(index, ctypes.byref(info)) != _OK:
            break
        found.append(
            ParameterInfo(
                info.name.decode(), info.unit.decode(), info.meaning.decode(), _KINDS.get(info.kind, "?"),
                int(info.count), info.builtin, info.lower, info.upper, bool(info.lower_open), bool(info.upper_open),
                bool(info.strictly_increasing), info.tir_section.decode(), info.dormant.decode(),
            )
        )
    return tuple(found)


def _text(buffer):
    return buffer.value.decode("utf-8", errors="replace")


def _values(name, value):
    """``value`` as a contiguous float64 array; TypeError for what is not numbers."""
    if isinstance(value, (str, bytes)) or value is None:
        raise TypeError(f"{name}: expected a number or a sequence of numbers, got {type(value).__name__} {value!r}")
    try:
        array = np.array(value, dtype=np.float64)
    except (TypeError, ValueError):
        raise TypeError(f"{name}: expected a number or a sequence of numbers, got {type(value).__name__} {value!r}") from None
    if array.ndim > 1:
        raise TypeError(f"{name}: expected a number or a flat sequence of numbers, got an array of shape {array.shape}")
    return np.ascontiguousarray(array.reshape(-1))


class Vehicle:
    """A vehicle parameter set (immutable: ``with_`` makes a changed copy)."""

    def __init__(self, handle, lib):
        # Made by default(), load(), from_json() and with_(); the handle is owned.
        if not handle:
            raise MemoryError("the vehicle library could not make a parameter set: out of memory")
        self._lib = lib
        self._handle = handle
        self._finalizer = weakref.finalize(self, lib.corvanta_vehicle_free, handle)

    # Making sets.

    @classmethod
    def default(cls):
        """The built-in car: runs bit for bit as the compiled model."""
        lib = _library()
        return cls(lib.corvanta_vehicle_create_builtin(), lib)

    @classmethod
    def load(cls, path):
        """A set read from a vehicle file (tyre property files it names are found beside
        it); VehicleError with every problem ("FILE:LINE: ...") when it is not valid."""
        lib = _library()
        error = ctypes.create_string_buffer(_ERROR_SIZE)
        handle = lib.corvanta_vehicle_load(os.fsencode(os.fspath(path)), error, len(error))
        if not handle:
            raise VehicleError(_text(error) or f"{os.fspath(path)}: cannot read the vehicle file")
        return cls(handle, lib)

    @classmethod
    def from_json(cls, text, base_directory=None, source="vehicle"):
        """A set from the text of a vehicle file (or a dict in its layout); tyre files are
        found relative to ``base_directory`` (default: the current directory)."""
        import json

        if isinstance(text, dict):
            text = json.dumps(text, allow_nan=False)
        if not isinstance(text, str):
            raise TypeError(f"from_json: expected a JSON text or a dict, got {type(text).__name__}")
        lib = _library()
        data = text.encode("utf-8")
        error = ctypes.create_string_buffer(_ERROR_SIZE)
        base = None if base_directory is None else os.fsencode(os.fspath(base_directory))
        handle = lib.corvanta_vehicle_parse(data, len(data), base, source.encode(), error, len(error))
        if not handle:
            raise VehicleError(_text(error) or f"{source}: not a valid vehicle file")
        return cls(handle, lib)

    def with_(self, changes=None, /, **parameters):
        """A copy with the named parameters changed (scalars as numbers, tables as
        sequences or arrays of their exact length); ``changes`` is a dict for names that
        are not Python identifiers (``{"FrontTyre.PDY1": 1.1}``).  An unknown name or a
        wrong length raises VehicleError and makes nothing; values out of bounds are
        accepted here and reported by ``check()`` (and refused by a Model or a run)."""
        items = dict(changes or {})
        items.update(parameters)
        converted = [(name, _values(name, value)) for name, value in items.items()]
        twin = Vehicle(self._lib.corvanta_vehicle_copy(self._handle), self._lib)
        error = ctypes.create_string_buffer(_ERROR_SIZE)
        for name, array in converted:
            if not isinstance(name, str):
                raise TypeError(f"parameter names are strings, got {type(name).__name__} {name!r}")
            status = self._lib.corvanta_vehicle_set(
                twin._handle, name.encode(), array.ctypes.data, len(array), error, len(error)
            )
            if status != _OK:
                raise VehicleError(_text(error))
        return twin

    def with_tyre(self, path, axle=None):
        """A copy whose tyres (``axle`` None or "both", "front" or "rear") are read from a
        tyre property file (.tir)."""
        if axle not in _AXLES:
            raise ValueError(f"axle: expected 'front', 'rear', 'both' or None, got {axle!r}")
        twin = Vehicle(self._lib.corvanta_vehicle_copy(self._handle), self._lib)
        error = ctypes.create_string_buffer(_ERROR_SIZE)
        status = self._lib.corvanta_vehicle_load_tyre(
            twin._handle, _AXLES[axle], os.fsencode(os.fspath(path)), error, len(error)
        )
        if status != _OK:
            raise VehicleError(_text(error))
        return twin

    # Reading.

    def __getitem__(self, name):
        """The value of a parameter: a float for a scalar or a tyre coefficient, a
        read-only float64 array for a table.  KeyError for an unknown name; VehicleError
        for a plain tyre name whose axles differ (name one: ``FrontTyre.PDY1``)."""
        if not isinstance(name, str):
            raise KeyError(name)
        count = ctypes.c_size_t(0)
        status = self._lib.corvanta_vehicle_get(self._handle, name.encode(), None, 0, ctypes.byref(count))
        if status == _UNKNOWN_NAME:
            hint = did_you_mean(name, self.names())
            raise KeyError(f"unknown parameter {name!r}{hint}")
        if status == _AXLES_DIFFER:
            raise VehicleError(f"{name}: the front and rear tyres differ; name one axle: FrontTyre.{name} or RearTyre.{name}")
        values = np.zeros(count.value, dtype=np.float64)
        self._lib.corvanta_vehicle_get(self._handle, name.encode(), values.ctypes.data, len(values), None)
        if self._is_table(name):
            values.flags.writeable = False
            return values
        return float(values[0])

    def _is_table(self, name):
        return name in _table_names(self._lib)

    def get(self, name, default=None):
        try:
            return self[name]
        except KeyError:
            return default

    def names(self):
        """The parameter names in list order (tyre coefficients once, for both axles)."""
        return [info.name for info in parameter_list(self._lib)]

    def __contains__(self, name):
        return isinstance(name, str) and name in self.names()

    def parameters(self):
        """Every parameter as a dict (tyre coefficients per axle when the axles differ,
        under FrontTyre./RearTyre. names)."""
        found = {}
        for info in parameter_list(self._lib):
            if info.kind == "tyre":
                front, rear = self[f"FrontTyre.{info.name}"], self[f"RearTyre.{info.name}"]
                if _same_bits(front, rear):
                    found[info.name] = front
                else:
                    found[f"FrontTyre.{info.name}"] = front
                    found[f"RearTyre.{info.name}"] = rear
            else:
                found[info.name] = self[info.name]
        return found

    @property
    def name(self):
        return self._lib.corvanta_vehicle_name(self._handle).decode("utf-8", errors="replace")

    @property
    def description(self):
        return self._lib.corvanta_vehicle_description(self._handle).decode("utf-8", errors="replace")

    @property
    def warnings(self):
        """Warnings of the files the set was read from (coefficients the model does not
        use), one per line; "" if none."""
        return self._lib.corvanta_vehicle_warnings(self._handle).decode("utf-8", errors="replace")

    @property
    def identity(self):
        """A 64-bit hash of every value's bits: equal for sets with equal values."""
        return int(self._lib.corvanta_vehicle_identity(self._handle))

    def __eq__(self, other):
        if not isinstance(other, Vehicle):
            return NotImplemented
        return self.to_json_values() == other.to_json_values()

    def __hash__(self):
        return hash(self.identity)

    def __repr__(self):
        label = self.name or "unnamed"
        return f"<corvanta.Vehicle {label!r} identity={self.identity:016x}>"

    # Checking and writing.

    def check(self):
        """Every problem of the set (bounds, NaN and infinite values, axes not strictly
        increasing, inconsistent combinations), one string each; [] for a set that runs."""
        report = ctypes.create_string_buffer(_REPORT_SIZE)
        count = self._lib.corvanta_vehicle_validate(self._handle, report, len(report))
        if count <= 0:
            return []
        return [line for line in _text(report).splitlines() if line]

    def require_valid(self):
        """Raises VehicleError with every problem when ``check()`` finds any."""
        problems = self.check()
        if problems:
            raise VehicleError("\n".join(problems))
        return self

    def to_json(self):
        """The set as a complete vehicle file (every parameter, shortest round-trip
        numbers); ``Vehicle.from_json`` reads it back to the same bits."""
        size = self._lib.corvanta_vehicle_to_json(self._handle, None, 0)
        buffer = ctypes.create_string_buffer(size + 1)
        self._lib.corvanta_vehicle_to_json(self._handle, buffer, len(buffer))
        return buffer.value.decode("utf-8")

    def to_json_values(self):
        # The values' text without name and description, for equality.
        import json

        document = json.loads(self.to_json())
        return json.dumps(document.get("parameters"), sort_keys=True)

    def save(self, path):
        """Writes ``to_json()`` to ``path`` (complete or not at all)."""
        error = ctypes.create_string_buffer(_ERROR_SIZE)
        if self._lib.corvanta_vehicle_save(self._handle, os.fsencode(os.fspath(path)), error, len(error)) != _OK:
            raise OSError(_text(error))

    def export_tir(self, path, axle="front"):
        """Writes the tyre of ``axle`` ("front" or "rear") as a tyre property file in SI
        units, which reads back to the same bits."""
        if axle not in ("front", "rear"):
            raise ValueError(f"axle: expected 'front' or 'rear', got {axle!r}")
        error = ctypes.create_string_buffer(_ERROR_SIZE)
        status = self._lib.corvanta_vehicle_export_tir(
            self._handle, _AXLES[axle], os.fsencode(os.fspath(path)), error, len(error)
        )
        if status != _OK:
            raise OSError(_text(error))

    # Pickling: through the vehicle file, which reads back to the same bits.

    def __reduce__(self):
        return (Vehicle.from_json, (self.to_json(),))

    # Instances.

    def create_instance(self, lib):
        """A new instance of this set in the vehicle library ``lib`` (owned by the caller)."""
        if lib is not self._lib:
            raise ValueError(f"the vehicle belongs to {self._lib!r}, the model runs on {lib!r}")
        self.require_valid()
        handle = lib.corvanta_instance_create(self._handle)
        if not handle:
            raise MemoryError("corvanta_instance_create() returned NULL: out of memory")
        return handle


def _same_bits(a, b):
    a, b = np.asarray(a, dtype=np.float64), np.asarray(b, dtype=np.float64)
    return a.shape == b.shape and a.tobytes() == b.tobytes()


_tables = {}


def _table_names(lib):
    names = _tables.get(id(lib))
    if names is None:
        names = frozenset(info.name for info in parameter_list(lib) if info.kind == "table")
        _tables[id(lib)] = names
    return names


def as_vehicle(vehicle):
    """A Vehicle from a Vehicle, a path of a vehicle file or a dict in its layout; None
    stays None (the built-in car)."""
    if vehicle is None or isinstance(vehicle, Vehicle):
        return vehicle
    if isinstance(vehicle, dict):
        return Vehicle.from_json(vehicle, source="<dict>")
    if isinstance(vehicle, (str, os.PathLike)):
        return Vehicle.load(vehicle)
    raise TypeError(f"vehicle: expected a corvanta.Vehicle, a vehicle file path or a dict, got {type(vehicle).__name__}")


__all__ = ["ParameterInfo", "Vehicle", "VehicleError", "as_vehicle", "parameter_list"]
