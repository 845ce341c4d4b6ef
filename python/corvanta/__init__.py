"""Python binding of the Corvanta vehicle-dynamics library.

``Model`` drives one instance step by step; ``simulate`` runs a scenario file the way
the corvanta-sim runner does, with bit-identical results.  ``python -m corvanta.plot``
draws a run or the demand maps.
"""

from ._library import (
    INPUT_NAMES,
    OUTPUT_NAMES,
    STEP_SIZE,
    CorvantaLibraryError,
    InputRecord,
    OutputRecord,
    load_library,
)
from .model import Inputs, Model, Outputs
from .results import read_csv, write_csv
from .scenario import COLUMNS, Scenario, ScenarioError, load_scenario, simulate

# The library's CORVANTA_VERSION_STRING; a test compares the two.
__version__ = "1.0.0"

__all__ = [
    "COLUMNS",
    "INPUT_NAMES",
    "OUTPUT_NAMES",
    "STEP_SIZE",
    "CorvantaLibraryError",
    "InputRecord",
    "Inputs",
    "Model",
    "OutputRecord",
    "Outputs",
    "Scenario",
    "ScenarioError",
    "load_library",
    "load_scenario",
    "read_csv",
    "simulate",
    "write_csv",
    "__version__",
]
