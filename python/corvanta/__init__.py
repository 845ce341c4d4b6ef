"""Python binding of the Corvanta vehicle-dynamics library.

``Model`` drives one instance step by step (``step(n, every=k)``, ``run(inputs)``);
``simulate`` runs a scenario in the scenario engine, the library behind ``corvanta-sim``,
in one call and returns a numpy structured array (``Results``) with bit-identical rows;
``Vehicle`` is a vehicle parameter set (the built-in car, a vehicle file, a variant made
with ``with_``) for ``Model(vehicle=...)`` and ``simulate(..., vehicle=...)``; ``sweep`` runs many varied runs (a grid, a Monte-Carlo sample, a list of scenarios) on all
cores or a Dask cluster and returns one row of figures per run as a pandas DataFrame.
``python -m corvanta.plot`` draws runs or the demand maps.
"""

from ._library import (
    COLUMNS,
    INPUT_NAMES,
    OUTPUT_NAMES,
    STEP_SIZE,
    CorvantaLibraryError,
    InputRecord,
    OutputRecord,
    load_library,
)
from .model import Inputs, Model, Outputs
from ._vehicle import Signal, signal_list as _signal_list
from .results import Results, read_csv, write_csv
from .scenario import Scenario, ScenarioError, load_scenario, simulate
from .sweeps import SweepError, sweep
from .vehicle import ParameterInfo, Vehicle, VehicleError, parameter_list as _parameter_list

# The model's signals (name, unit, description), in the order of the library's list; empty
# when the vehicle library is not available.
SIGNALS = _signal_list()


def _parameters():
    try:
        return _parameter_list()
    except (OSError, RuntimeError, CorvantaLibraryError):
        return ()


# The vehicle parameters (name, unit, meaning, kind, count, built-in value, bounds, ...),
# in the order of the library's list; empty when the vehicle library is not available.
PARAMETERS = _parameters()

# The library's CORVANTA_VERSION_STRING; a test compares the two.
__version__ = "1.0.0"

__all__ = [
    "COLUMNS",
    "SIGNALS",
    "PARAMETERS",
    "ParameterInfo",
    "Vehicle",
    "VehicleError",
    "Signal",
    "INPUT_NAMES",
    "OUTPUT_NAMES",
    "STEP_SIZE",
    "CorvantaLibraryError",
    "InputRecord",
    "Inputs",
    "Model",
    "OutputRecord",
    "Outputs",
    "Results",
    "Scenario",
    "ScenarioError",
    "SweepError",
    "load_library",
    "load_scenario",
    "read_csv",
    "simulate",
    "sweep",
    "write_csv",
    "__version__",
]
