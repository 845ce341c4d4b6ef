"""Rows of a run: the structured array simulate() returns, and the CSV files of the runner.

A run's rows carry the fields ``COLUMNS``: ``time`` in s, then the seven outputs, then any
signal columns of the run.  CSV files have the header ``time,PositionX,...,TipOverIndicator``
(then the signal names, as ``corvanta-sim --signals`` writes them) and one line per row, every
number in the shortest form that reads back as the same double; they are written by the
scenario engine's CSV writer, the one ``corvanta-sim`` uses, so both write the same text.
"""

import ctypes
import math
import os

import numpy as np

from ._library import COLUMNS

HEADER = ",".join(COLUMNS)

# One record per row: eight float64 fields, laid out as eight consecutive doubles.
DTYPE = np.dtype([(name, np.float64) for name in COLUMNS])


class ResultsFormatError(ValueError):
    """A results file that does not have the runner's columns or holds non-numbers."""


class Results(np.ndarray):
    """The rows of a run: a one-dimensional numpy structured array with the fields COLUMNS,
    then the signal columns the run asked for (``simulate(..., signals=[...])``, in the
    order asked; names and units in ``corvanta.SIGNALS``).

    ``rows["LongitudinalSpeed"]`` is a column, ``rows[-1]`` the last row (a record that
    unpacks into time and outputs), ``len(rows)`` the number of rows, ``rows.signal_names``
    the signal columns.
    """

    @property
    def signal_names(self):
        return tuple(self.dtype.names[len(COLUMNS) :]) if self.dtype.names else ()

    def to_array(self):
        """The rows as a plain (n, columns) float64 array: COLUMNS, then the signals."""
        width = len(self.dtype.names)
        return np.ascontiguousarray(self).view(np.ndarray).view(np.float64).reshape(len(self), width)

    def to_pandas(self):
        """The rows as a pandas DataFrame with the same columns (needs pandas)."""
        try:
            import pandas
        except ImportError:
            raise ImportError("to_pandas() needs pandas (Debian: apt-get install python3-pandas)") from None
        return pandas.DataFrame({name: np.array(self[name]) for name in self.dtype.names})


def results_dtype(signal_names=()):
    """The dtype of rows with the fields COLUMNS and then ``signal_names``."""
    if not signal_names:
        return DTYPE
    return np.dtype([(name, np.float64) for name in COLUMNS + tuple(signal_names)])


def empty_results(count, signal_names=()):
    return np.zeros(count, dtype=results_dtype(signal_names)).view(Results)


def _signal_columns(names, source):
    extra = tuple(names[len(COLUMNS) :])
    if tuple(names[: len(COLUMNS)]) != COLUMNS or len(set(extra)) != len(extra) or set(extra) & set(COLUMNS):
        raise ValueError(f"{source}: expected the fields {COLUMNS}, then distinct signal names, got {tuple(names)}")
    return extra


def as_results(rows):
    """``rows`` as Results: a structured array with the fields COLUMNS (and any signal
    fields after them), or any (n, 8) array."""
    if isinstance(rows, np.ndarray) and rows.dtype.names is not None:
        extra = _signal_columns(rows.dtype.names, "rows")
        return np.ascontiguousarray(rows, dtype=results_dtype(extra)).view(Results)
    array = np.asarray(rows, dtype=np.float64)
    if array.ndim != 2 or array.shape[1] != len(COLUMNS):
        raise ValueError(f"rows: expected an array of shape (n, {len(COLUMNS)}), got {array.shape}")
    return np.ascontiguousarray(array).view(DTYPE).reshape(len(array)).view(Results)


def write_csv(path, rows):
    """Writes rows (Results, or an (n, 8) array with the columns COLUMNS) to ``path``
    ("-" for standard output) with the engine's CSV writer; signal columns follow the
    outputs, as ``corvanta-sim --signals`` writes them."""
    from . import _engine

    table = as_results(rows)
    columns = table.dtype.names
    engine = _engine.engine()
    names = (ctypes.c_char_p * len(columns))(*(name.encode() for name in columns))
    error = _engine.EngineError()
    writer = engine.corvanta_csv_open(os.fsencode(path), names, len(columns), ctypes.byref(error))
    if not writer:
        raise OSError(error.text())
    base = table.ctypes.data
    for index in range(len(table)):
        engine.corvanta_csv_write_row(writer, base + index * table.dtype.itemsize)
    if engine.corvanta_csv_close(writer, ctypes.byref(error)) != _engine.OK:
        raise OSError(error.text())


def parse_rows(text, source="<string>"):
    """Results from results CSV text; ResultsFormatError names the faulty line."""
    lines = [(number, line) for number, line in enumerate(text.splitlines(), start=1) if line.strip()]
    if not lines:
        raise ResultsFormatError(f"{source}: empty file: expected the header {HEADER}")
    number, header = lines[0]
    names = [cell.strip() for cell in header.split(",")]
    try:
        extra = _signal_columns(names, "header")
    except ValueError:
        raise ResultsFormatError(
            f"{source}:{number}: expected the header {HEADER} (then signal columns), got {header.strip()!r}"
        ) from None
    width = len(names)
    rows = np.empty((len(lines) - 1, width), dtype=np.float64)
    for row, (number, line) in enumerate(lines[1:]):
        cells = line.split(",")
        if len(cells) != width:
            raise ResultsFormatError(f"{source}:{number}: expected {width} values, got {len(cells)}")
        for column, cell in enumerate(cells):
            try:
                rows[row, column] = float(cell)
            except ValueError:
                raise ResultsFormatError(
                    f"{source}:{number}: {names[column]}: expected a number, got {cell.strip()!r}"
                ) from None
        if not math.isfinite(rows[row, 0]):
            raise ResultsFormatError(f"{source}:{number}: time: expected a finite number, got {cells[0].strip()!r}")
    if not extra:
        return as_results(rows)
    return np.ascontiguousarray(rows).view(results_dtype(extra)).reshape(len(rows)).view(Results)


def read_csv(path):
    """Results from a results file."""
    with open(path, encoding="utf-8-sig") as file:
        return parse_rows(file.read(), str(path))
