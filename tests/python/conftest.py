"""Shared fixtures of the Python suite.

The suite runs against the library named by CORVANTA_LIBRARY (CTest sets it to the one
just built) and, for the comparisons with the C++ runner, the program named by
CORVANTA_SIM.  Run directly with

    CORVANTA_LIBRARY=build/libcorvanta.so /usr/bin/python3 -m pytest -q tests/python
"""

import os
import sys
from pathlib import Path

import pytest

from support import HEADER, PYTHON_DIR

if str(PYTHON_DIR) not in sys.path:
    sys.path.insert(0, str(PYTHON_DIR))


@pytest.fixture(scope="session")
def header_text():
    return HEADER.read_text(encoding="utf-8")


@pytest.fixture(scope="session")
def sim():
    """Path of corvanta-sim, or a skip when the build has none."""
    path = os.environ.get("CORVANTA_SIM", "")
    if not path:
        pytest.skip("CORVANTA_SIM is not set: the runner comparisons need the corvanta-sim build target")
    if not Path(path).is_file():
        pytest.fail(f"CORVANTA_SIM={path}: no such file")
    return path
