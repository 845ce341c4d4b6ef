"""Helpers shared by the Python test files."""

import os
import subprocess
import sys
from pathlib import Path

import numpy as np

REPO = Path(__file__).resolve().parents[2]
PYTHON_DIR = REPO / "python"
HEADER = REPO / "capi" / "corvanta.h"


def child_environment():
    """The environment for a child Python that must import this checkout's package."""
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join(filter(None, [str(PYTHON_DIR), env.get("PYTHONPATH", "")]))
    env["PYTHONDONTWRITEBYTECODE"] = "1"
    return env


def run_python(*args, env=None):
    """Runs this interpreter with ``args``; ``env`` adds to the child's environment."""
    return subprocess.run(
        [sys.executable, *args], capture_output=True, text=True, env={**child_environment(), **(env or {})}, timeout=120
    )


def as_float_array(rows):
    """A float64 array of ``rows``; a structured array (corvanta.Results) as (n, fields)."""
    if isinstance(rows, np.ndarray) and rows.dtype.names is not None:
        return np.ascontiguousarray(rows).view(np.ndarray).view(np.float64).reshape(len(rows), len(rows.dtype.names))
    return np.asarray(rows, dtype=np.float64)


def assert_bitwise_equal(actual, expected):
    """Equal shapes and, per element, the same double (all NaNs count as equal).  On a
    mismatch the message names the first differing row and column at %.17g.  Structured
    arrays compare as (rows, fields)."""
    actual = as_float_array(actual)
    expected = as_float_array(expected)
    assert actual.shape == expected.shape, f"shape {actual.shape} != {expected.shape}"
    same = (actual.view(np.int64) == expected.view(np.int64)) | (np.isnan(actual) & np.isnan(expected))
    if not same.all():
        index = tuple(int(i) for i in np.argwhere(~same)[0])
        count = int((~same).sum())
        raise AssertionError(
            f"{count} values differ; first at {index}: {actual[index]:.17g} != {expected[index]:.17g}"
        )


def write(path, text):
    path.write_text(text, encoding="utf-8")
    return path
