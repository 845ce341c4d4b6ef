"""Sweeps: many runs of a scenario with some fields varied, as a pandas DataFrame.

    frame = corvanta.sweep("examples/sweeps/braking-grid.json")
    frame = corvanta.sweep({"base": {...}, "monte_carlo": {...}}, workers=2)
    frame = corvanta.sweep([scenario_dict, scenario_dict, ...])
    frame = corvanta.sweep("mc.json", client=dask_client)
    frame = corvanta.sweep({"base": {...}, "grid": {"vehicle.VehicleMass": [1600, 1760, 1900]}},
                           vehicle=corvanta.Vehicle.load("examples/vehicles/estate.json"))

The scenario engine does the work (docs/sweeps.md): it reads the definition, builds each
run's scenario, runs it on its own model instance and computes the row of figures.
Locally it runs the runs on a pool of threads inside the engine (``workers`` threads, by
default one per core) or, with ``processes=True``, in chunks in local worker processes;
with a ``dask.distributed.Client`` it runs chunks on the cluster's workers.  Every way
gives the same rows, bit for bit, apart from the ``wall_time`` column.
"""

import json
import math
import os
import time
from pathlib import Path

import numpy as np

from . import _sweep_engine
from ._sweep_engine import SweepError
from .vehicle import as_vehicle

# Fewest runs in one chunk sent to a worker process or a Dask worker, and chunks per
# worker thread: enough chunks to balance the load, few enough that scheduling costs
# little next to the runs.
MIN_CHUNK_RUNS = 8
CHUNKS_PER_WORKER = 4


def definition_text(definition_or_scenarios):
    """(text, source) of a definition given as a path, JSON text, a dict or a list."""
    value = definition_or_scenarios
    if isinstance(value, (dict, list, tuple)):
        try:
            return json.dumps(value, allow_nan=False), "<sweep>"
        except (TypeError, ValueError) as error:
            raise SweepError(f"<sweep>: cannot be written as JSON: {error}") from None
    if isinstance(value, bytes):
        value = value.decode("utf-8")
    if isinstance(value, str) and value.lstrip()[:1] in ("{", "["):
        return value, "<string>"
    if isinstance(value, (str, os.PathLike)):
        path = os.fspath(value)
        try:
            return Path(path).read_text(encoding="utf-8"), path
        except OSError as error:
            raise SweepError(f"cannot read '{path}': {error.strerror or error}") from None
    raise SweepError(
        "expected a sweep definition: a path, JSON text, a dict or a list of scenario dicts, "
        f"got {type(value).__name__}"
    )


def run_count(definition_or_scenarios):
    """Number of runs of a definition."""
    text, source = definition_text(definition_or_scenarios)
    with _sweep_engine.Sweep(text, source) as sweep:
        return sweep.run_count


def scenario_of_run(definition_or_scenarios, run):
    """The scenario of run ``run`` as a dict (the base with the run's varied values)."""
    text, source = definition_text(definition_or_scenarios)
    with _sweep_engine.Sweep(text, source) as sweep:
        return json.loads(sweep.scenario_text(run))


def run_chunk(text, source, first, count, threads=1, vehicle=None):
    """(rows, steps) of runs [first, first + count): a float64 array with one row per run
    and the model steps they took; ``vehicle`` (a corvanta.Vehicle, pickled as its vehicle
    file) is the car of the runs whose scenario names none.

    The unit of work of the process and Dask back ends: module level, so that it pickles
    by reference.
    """
    with _sweep_engine.Sweep(text, source) as sweep:
        rows = sweep.run(first=first, count=count, threads=threads, vehicle=vehicle)
        return rows, int(sweep.totals.steps)


def chunk_ranges(total, worker_threads):
    """(first, count) chunks covering ``total`` runs for ``worker_threads`` threads."""
    size = max(MIN_CHUNK_RUNS, math.ceil(total / max(1, worker_threads * CHUNKS_PER_WORKER)))
    return [(first, min(size, total - first)) for first in range(0, total, size)]


def to_frame(rows, columns, kinds):
    """The DataFrame of a row array: ``run`` as int64, flags as bool, the rest float64."""
    import pandas as pd

    data = {}
    for index, (name, kind) in enumerate(zip(columns, kinds)):
        values = rows[:, index]
        if kind == _sweep_engine.COLUMN_RUN:
            values = values.astype(np.int64)
        elif kind == _sweep_engine.COLUMN_FLAG:
            values = values != 0.0
        data[name] = values
    return pd.DataFrame(data, columns=list(columns))


# The most worker threads or processes: as corvanta-sim sweep --threads.
MAX_WORKERS = 4096


def require_pandas():
    """ImportError naming the packages to install, before any run, when pandas is missing."""
    try:
        import pandas  # noqa: F401
    except ImportError:
        raise ImportError(
            "corvanta.sweep() returns a pandas DataFrame and pandas is not installed: install the Debian "
            "package python3-pandas, or pip install 'corvanta[pandas]' (with Dask: 'corvanta[dask]')"
        ) from None


def _rows_locally(text, source, workers, vehicle):
    with _sweep_engine.Sweep(text, source) as sweep:
        rows = sweep.run(threads=workers or 0, vehicle=vehicle)
        return (rows, int(sweep.totals.steps)), sweep.columns, sweep.kinds


def _rows_in_processes(text, source, workers, vehicle):
    from concurrent.futures import ProcessPoolExecutor

    with _sweep_engine.Sweep(text, source) as sweep:
        total, columns, kinds = sweep.run_count, sweep.columns, sweep.kinds
    workers = workers or os.cpu_count() or 1
    chunks = chunk_ranges(total, workers)
    with ProcessPoolExecutor(max_workers=workers) as pool:
        futures = [pool.submit(run_chunk, text, source, first, count, 1, vehicle) for first, count in chunks]
        try:
            parts = [future.result() for future in futures]
        except BaseException:
            # Ctrl-C or a failed chunk: the chunks not started yet are dropped.
            for future in futures:
                future.cancel()
            raise
    return _joined(parts, len(columns)), columns, kinds


def _rows_on_dask(text, source, client, vehicle):
    with _sweep_engine.Sweep(text, source) as sweep:
        total, columns, kinds = sweep.run_count, sweep.columns, sweep.kinds
    worker_threads = sum(client.nthreads().values()) or 1
    chunks = chunk_ranges(total, worker_threads)
    # The text goes to the cluster once; every chunk refers to it.  Each chunk runs on one
    # engine thread: the worker's own threads run the chunks side by side.
    text_future = client.scatter(text)
    vehicle_future = client.scatter(vehicle) if vehicle is not None else None
    futures = [
        client.submit(run_chunk, text_future, source, first, count, 1, vehicle_future, pure=False)
        for first, count in chunks
    ]
    try:
        parts = client.gather(futures)
    except BaseException:
        client.cancel(futures)
        raise
    return _joined(parts, len(columns)), columns, kinds


def _joined(parts, width):
    """The chunks' rows in run order, and their steps."""
    rows = [np.asarray(part, dtype=np.float64).reshape(-1, width) for part, _ in parts]
    steps = sum(steps for _, steps in parts)
    return (np.concatenate(rows) if rows else np.empty((0, width))), steps


def sweep(definition_or_scenarios, client=None, workers=None, processes=False, vehicle=None):
    """Runs a sweep and returns one row per run as a pandas DataFrame.

    ``definition_or_scenarios``: a path to a definition file, its JSON text, a dict
    (``{"base": ..., "grid": ...}`` or ``{"base": ..., "monte_carlo": ...}``) or a list of
    scenario dicts.  ``client``: a ``dask.distributed.Client`` to run on that cluster.
    ``workers``: threads (or, with ``processes=True``, worker processes) on this machine;
    by default one per core.  ``vehicle``: the car of every run whose scenario names no
    vehicle of its own (a corvanta.Vehicle, a vehicle file path or a dict in its layout;
    default the built-in car); ``vehicle.NAME`` fields vary its parameters.  A set with
    problems raises VehicleError before any run.  Raises SweepError for a bad definition or a failed run,
    ImportError at once when pandas is missing, and KeyboardInterrupt within a fraction
    of a second of Ctrl-C.

    ``frame.attrs`` holds ``runs``, ``steps`` (model steps of all runs) and
    ``wall_seconds`` of the whole sweep, for runs per second and steps per second.
    """
    if workers is not None and (
        not isinstance(workers, int) or isinstance(workers, bool) or not 1 <= workers <= MAX_WORKERS
    ):
        raise ValueError(f"workers: expected a whole number from 1 to {MAX_WORKERS}, got {workers!r}")
    if client is not None and (processes or workers is not None):
        raise ValueError("a Dask client runs the sweep on its own workers: give client= without workers= or processes=")
    require_pandas()
    vehicle = as_vehicle(vehicle)
    if vehicle is not None:
        vehicle.require_valid()
    text, source = definition_text(definition_or_scenarios)
    start = time.perf_counter()
    if client is not None:
        (rows, steps), columns, kinds = _rows_on_dask(text, source, client, vehicle)
    elif processes:
        (rows, steps), columns, kinds = _rows_in_processes(text, source, workers, vehicle)
    else:
        (rows, steps), columns, kinds = _rows_locally(text, source, workers, vehicle)
    wall = time.perf_counter() - start
    frame = to_frame(rows, columns, kinds)
    frame.attrs.update(runs=len(frame), steps=steps, wall_seconds=wall)
    return frame
