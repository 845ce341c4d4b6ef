"""ctypes binding of the sweep functions of the scenario engine (engine/sweep/corvanta_sweep.h)."""

import ctypes

import numpy as np

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
    for name, (restype, argtypes) in prototypes.items():
        function = getattr(engine, name)
        function.restype = restype
        function.argtypes = argtypes
    return engine
