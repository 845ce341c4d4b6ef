"""Binding of the standard tests of the engine library (engine/testsuite/corvanta_standard_tests.h).

The tests, their options, the runs and the files they write all come from the library;
this module only gives the C functions their prototypes.
"""

import ctypes

from . import _engine

PROGRESS_CALLBACK = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_size_t, ctypes.c_uint64, ctypes.c_uint64)


class OptionInfo(ctypes.Structure):
    """CorvantaTestOptionInfo."""

    _fields_ = [
        ("name", ctypes.c_char_p),
        ("unit", ctypes.c_char_p),
        ("help", ctypes.c_char_p),
        ("default_value", ctypes.c_double),
        ("default_parameter", ctypes.c_char_p),
        ("default_text", ctypes.c_char_p),
        ("min", ctypes.c_double),
        ("max", ctypes.c_double),
        ("min_text", ctypes.c_char_p),
        ("max_text", ctypes.c_char_p),
    ]


class RunOptions(ctypes.Structure):
    """CorvantaTestRunOptions."""

    _fields_ = [
        ("option_names", ctypes.POINTER(ctypes.c_char_p)),
        ("option_values", ctypes.POINTER(ctypes.c_char_p)),
        ("option_count", ctypes.c_size_t),
        ("options_json", ctypes.c_char_p),
        ("on_progress", PROGRESS_CALLBACK),
        ("progress_user", ctypes.c_void_p),
        ("stop_flag", ctypes.c_void_p),
    ]


_RESULT = ctypes.c_void_p
_ERROR = ctypes.POINTER(_engine.EngineError)
_PROTOTYPES = {
    "corvanta_test_count": (ctypes.c_size_t, ()),
    "corvanta_test_name": (ctypes.c_char_p, (ctypes.c_size_t,)),
    "corvanta_test_summary": (ctypes.c_char_p, (ctypes.c_size_t,)),
    "corvanta_test_option_count": (ctypes.c_size_t, (ctypes.c_size_t,)),
    "corvanta_test_option_info": (ctypes.c_int, (ctypes.c_size_t, ctypes.c_size_t, ctypes.POINTER(OptionInfo))),
    "corvanta_test_run": (
        _RESULT,
        (ctypes.c_char_p, ctypes.POINTER(RunOptions), ctypes.POINTER(_engine.ModelFunctions), _ERROR),
    ),
    "corvanta_test_result_free": (None, (_RESULT,)),
    "corvanta_test_result_metrics_json": (ctypes.c_char_p, (_RESULT,)),
    "corvanta_test_result_run_count": (ctypes.c_size_t, (_RESULT,)),
    "corvanta_test_result_run_name": (ctypes.c_char_p, (_RESULT, ctypes.c_size_t)),
    "corvanta_test_run_column_count": (ctypes.c_size_t, ()),
    "corvanta_test_run_column_name": (ctypes.c_char_p, (ctypes.c_size_t,)),
    "corvanta_test_result_run_row_count": (ctypes.c_uint64, (_RESULT, ctypes.c_size_t, ctypes.c_uint64)),
    "corvanta_test_result_run_rows": (
        ctypes.c_int,
        (_RESULT, ctypes.c_size_t, ctypes.c_uint64, ctypes.c_void_p, ctypes.c_uint64, _ERROR),
    ),
    "corvanta_test_result_write": (ctypes.c_int, (_RESULT, ctypes.c_char_p, ctypes.c_uint64, _ERROR)),
    "corvanta_test_write_report": (ctypes.c_int, (ctypes.POINTER(_RESULT), ctypes.c_size_t, ctypes.c_char_p, _ERROR)),
}


class StandardTests:
    """The standard-test functions of a loaded engine library."""

    def __init__(self, engine):
        self.engine = engine
        for name, (restype, argtypes) in _PROTOTYPES.items():
            try:
                function = getattr(engine._cdll, name)
            except AttributeError:
                raise _engine.CorvantaLibraryError(
                    f"{engine.path}: the library has no function {name}(); it is an engine without the standard tests"
                ) from None
            function.restype = restype
            function.argtypes = argtypes
            setattr(self, name, function)

    def names(self):
        return tuple(self.corvanta_test_name(k).decode() for k in range(self.corvanta_test_count()))

    def options(self, index):
        found = []
        for k in range(self.corvanta_test_option_count(index)):
            info = OptionInfo()
            self.corvanta_test_option_info(index, k, ctypes.byref(info))
            found.append(info)
        return found

    def columns(self):
        return tuple(self.corvanta_test_run_column_name(k).decode() for k in range(self.corvanta_test_run_column_count()))


_bound = {}


def standard_tests():
    """The standard tests of the process-wide engine."""
    engine = _engine.engine()
    bound = _bound.get(id(engine))
    if bound is None or bound.engine is not engine:
        bound = _bound[id(engine)] = StandardTests(engine)
    return bound
