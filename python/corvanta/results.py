"""Run results as CSV: the format corvanta-sim writes and corvanta.plot reads.

A header line ``time,PositionX,...,TipOverIndicator`` and one row per sample, every value
printed with ``%.17g`` so that it reads back as the same double.
"""

import math

import numpy as np

from .scenario import COLUMNS

HEADER = ",".join(COLUMNS)


class ResultsFormatError(ValueError):
    """A results file that does not have the runner's columns or holds non-numbers."""


def format_rows(rows):
    """The CSV text of an array with the columns COLUMNS."""
    rows = np.asarray(rows, dtype=np.float64)
    if rows.ndim != 2 or rows.shape[1] != len(COLUMNS):
        raise ValueError(f"rows: expected an array of shape (n, {len(COLUMNS)}), got {rows.shape}")
    lines = [HEADER]
    lines.extend(",".join("%.17g" % value for value in row) for row in rows.tolist())
    return "\n".join(lines) + "\n"


def write_csv(path, rows):
    """Writes rows (an array with the columns COLUMNS) to ``path``."""
    with open(path, "w", encoding="ascii", newline="\n") as file:
        file.write(format_rows(rows))


def parse_rows(text, source="<string>"):
    """An (n, 8) array from results CSV text; ResultsFormatError names the faulty line."""
    lines = [(number, line) for number, line in enumerate(text.splitlines(), start=1) if line.strip()]
    if not lines:
        raise ResultsFormatError(f"{source}: empty file: expected the header {HEADER}")
    number, header = lines[0]
    names = [cell.strip() for cell in header.split(",")]
    if names != list(COLUMNS):
        raise ResultsFormatError(f"{source}:{number}: expected the header {HEADER}, got {header.strip()!r}")
    rows = np.empty((len(lines) - 1, len(COLUMNS)), dtype=np.float64)
    for row, (number, line) in enumerate(lines[1:]):
        cells = line.split(",")
        if len(cells) != len(COLUMNS):
            raise ResultsFormatError(f"{source}:{number}: expected {len(COLUMNS)} values, got {len(cells)}")
        for column, cell in enumerate(cells):
            try:
                rows[row, column] = float(cell)
            except ValueError:
                raise ResultsFormatError(
                    f"{source}:{number}: {COLUMNS[column]}: expected a number, got {cell.strip()!r}"
                ) from None
        if not math.isfinite(rows[row, 0]):
            raise ResultsFormatError(f"{source}:{number}: time: expected a finite number, got {cells[0].strip()!r}")
    return rows


def read_csv(path):
    """An (n, 8) array from a results file."""
    with open(path, encoding="utf-8-sig") as file:
        return parse_rows(file.read(), str(path))
