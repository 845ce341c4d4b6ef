"""Scenario files: reading, validating and running them.

The file format and the run arithmetic are those of docs/scenario-format.md, which the
C++ runner corvanta-sim implements as well; both give bit-identical rows.  The integer
step indices, the ramp formula and the order of events within a step below must not be
"simplified": each of them changes the last bits of the results.
"""

import ctypes
import dataclasses
import json
import math
import numbers
import operator
import os
import re
from pathlib import Path
from typing import Dict, List, Optional

import numpy as np

from . import _library
from ._library import INPUT_NAMES, OUTPUT_NAMES, STEP_SIZE, InputRecord
from .model import create_instance, output_view

# Columns of the rows simulate() returns and the runner writes.
COLUMNS = ("time",) + OUTPUT_NAMES

# A run may not take more steps than a double counts exactly.
MAX_STEPS = 2**53

_INPUT_INDEX = {name: index for index, name in enumerate(INPUT_NAMES)}
_INPUT_LIST = ", ".join(INPUT_NAMES)


class ScenarioError(ValueError):
    """A scenario that cannot be run.  The message names the file, the place in it and
    what was expected, as corvanta-sim words it:

        FILE: JSON.PATH: problem           (events[2].ramp.Foo, or "top level")
        FILE:LINE: problem                 (recorded inputs, and JSON syntax as LINE:COLUMN)
        FILE: problem                      (the file as a whole)

    ``source``, ``where`` (the JSON path, the line, (line, column) or None) and ``what``
    hold the three parts.
    """

    def __init__(self, source, where, what):
        self.source = source
        self.where = where
        self.what = what
        if where is None:
            message = f"{source}: {what}"
        elif isinstance(where, str):
            message = f"{source}: {where or 'top level'}: {what}"
        elif isinstance(where, tuple):
            message = f"{source}:{where[0]}:{where[1]}: {what}"
        else:
            message = f"{source}:{where}: {what}"
        super().__init__(message)


@dataclasses.dataclass
class Event:
    """One change during a run; ``set`` and ``ramp`` map input indices to values."""

    time: float
    initialize: bool = False
    set: Dict[int, float] = dataclasses.field(default_factory=dict)
    until: Optional[float] = None
    ramp: Dict[int, float] = dataclasses.field(default_factory=dict)


@dataclasses.dataclass
class Scenario:
    """A validated scenario.  ``duration`` is None for a recorded-input file without rows."""

    source: str
    duration: Optional[float]
    inputs: List[float]
    events: List[Event]
    name: str = ""
    description: str = ""


def step_index(t):
    """The step count k(t) = floor(t / 0.0001 + 0.5), in double arithmetic."""
    return math.floor(t / STEP_SIZE + 0.5)


def format_number(value):
    """The shortest of %.15g, %.16g and %.17g that reads back as ``value``."""
    for digits in (15, 16, 17):
        text = "%.*g" % (digits, value)
        if not math.isfinite(value) or float(text) == value:
            break
    return text


def _time_problem(t):
    """What is wrong with ``t`` as a scenario time (finite, >= 0, k(t) <= 2^53), or ""."""
    if not math.isfinite(t):
        return "expected a finite number of seconds"
    if t < 0:
        return f"expected a time >= 0, got {format_number(t)}"
    if step_index(t) > MAX_STEPS:
        return f"time too long to count in steps of 0.0001 s (more than 2^53 steps), got {format_number(t)}"
    return ""


def _english_list(items):
    items = list(items)
    return ", ".join(items[:-1]) + " or " + items[-1] if len(items) > 1 else "".join(items)


_INPUT_LIST = _english_list(INPUT_NAMES)


# ---------------------------------------------------------------------------------------
# JSON scenarios


def _type_name(value):
    if value is None:
        return "null"
    if isinstance(value, bool):
        return "a boolean"
    if isinstance(value, str):
        return "a string"
    if isinstance(value, (list, tuple)):
        return "an array"
    if isinstance(value, dict):
        return "an object"
    if _is_number(value):
        return "a number"
    return f"a {type(value).__name__}"


def _is_number(value):
    return isinstance(value, numbers.Real) and not isinstance(value, bool)


def _join(where, key):
    return f"{where}.{key}" if where else key


class _JsonReader:
    """Checks a parsed document against the scenario schema, in the order the runner
    does, so that a file with several faults gets the same first complaint."""

    def __init__(self, source):
        self.source = source

    def fail(self, where, what):
        raise ScenarioError(self.source, where, what)

    def number(self, value, where):
        if not _is_number(value):
            self.fail(where, f"expected a number, got {_type_name(value)}")
        try:
            result = float(value)
        except OverflowError:  # an integer literal beyond the double range
            result = math.inf
        if not math.isfinite(result):
            self.fail(where, "expected a finite number")
        return result

    def time(self, t, where):
        problem = _time_problem(t)
        if problem:
            self.fail(where, problem)
        return t

    def object(self, value, where):
        if not isinstance(value, dict):
            self.fail(where, f"expected an object, got {_type_name(value)}")
        return value

    def keys(self, obj, where, allowed):
        for key in obj:
            if key not in allowed:
                self.fail(_join(where, key), f"unknown key; expected {_english_list(allowed)}")

    def input_values(self, value, where):
        """An object of input name -> number, as {index: value} in file order."""
        result = {}
        for name, v in self.object(value, where).items():
            here = _join(where, name)
            if name not in _INPUT_INDEX:
                self.fail(here, f"unknown input name; expected {_INPUT_LIST}")
            result[_INPUT_INDEX[name]] = self.number(v, here)
        return result

    def text(self, top, key):
        if key not in top:
            return ""
        if not isinstance(top[key], str):
            self.fail(key, f"expected a string, got {_type_name(top[key])}")
        return top[key]

    def scenario(self, document):
        top = self.object(document, "")
        self.keys(top, "", ("name", "description", "duration", "inputs", "events"))
        name = self.text(top, "name")
        description = self.text(top, "description")
        if "duration" not in top:
            self.fail("duration", "missing; expected the model time to run, in seconds")
        duration = self.time(self.number(top["duration"], "duration"), "duration")
        inputs = [0.0] * len(INPUT_NAMES)
        if "inputs" in top:
            for index, value in self.input_values(top["inputs"], "inputs").items():
                inputs[index] = value
        events = []
        if "events" in top:
            raw_events = top["events"]
            if not isinstance(raw_events, list):
                self.fail("events", f"expected an array, got {_type_name(raw_events)}")
            previous = 0.0
            for position, raw in enumerate(raw_events):
                where = f"events[{position}]"
                obj = self.object(raw, where)
                self.keys(obj, where, ("time", "initialize", "set", "until", "ramp"))
                if "time" not in obj:
                    self.fail(_join(where, "time"), "missing; expected the event time in seconds")
                t = self.number(obj["time"], _join(where, "time"))
                if t < previous:
                    self.fail(
                        _join(where, "time"),
                        f"times must not decrease; {format_number(t)} comes after {format_number(previous)}",
                    )
                previous = t
                events.append(self.event(obj, where, t))
        return Scenario(self.source, duration, inputs, events, name, description)

    def event(self, obj, where, t):
        event = Event(time=self.time(t, _join(where, "time")))
        if "initialize" in obj:
            if not isinstance(obj["initialize"], bool):
                self.fail(_join(where, "initialize"), f"expected true or false, got {_type_name(obj['initialize'])}")
            event.initialize = obj["initialize"]
        if "set" in obj:
            event.set = self.input_values(obj["set"], _join(where, "set"))
        if "ramp" in obj and "until" not in obj:
            self.fail(where, '"ramp" needs "until", the time at which the ramp reaches its targets')
        if "until" in obj and "ramp" not in obj:
            self.fail(_join(where, "until"), '"until" belongs to a "ramp", and this event has none')
        if "ramp" in obj:
            here = _join(where, "until")
            until = self.number(obj["until"], here)
            if not until > t:
                self.fail(here, f"expected a time after the event's time {format_number(t)}, got {format_number(until)}")
            event.until = self.time(until, here)
            event.ramp = self.input_values(obj["ramp"], _join(where, "ramp"))
        return event


class _Pairs(list):
    """The (key, value) pairs of a JSON object, in file order."""


def _objects(value, where, source):
    """The parsed value with its objects turned into dicts.  A repeated key is an error,
    reported for the first repetition in file order as the runner does."""
    if isinstance(value, _Pairs):
        result = {}
        for name, item in value:
            if name in result:
                raise ScenarioError(source, where, f'the key "{name}" appears twice')
            result[name] = _objects(item, _join(where, name), source)
        return result
    if isinstance(value, list):
        return [_objects(item, f"{where}[{position}]", source) for position, item in enumerate(value)]
    return value


def parse_json(text, source="<string>"):
    """A Scenario from JSON text.  NaN and Infinity literals and repeated keys are errors."""

    def reject_constant(name):
        raise ValueError(f"{name} is not a JSON value")

    try:
        try:
            parsed = json.loads(text, parse_constant=reject_constant, object_pairs_hook=_Pairs)
        except json.JSONDecodeError as error:
            raise ScenarioError(source, (error.lineno, error.colno), f"malformed JSON: {error.msg}") from None
        except ValueError as error:
            raise ScenarioError(source, None, f"malformed JSON: {error}") from None
        document = _objects(parsed, "", source)
    except RecursionError:
        raise ScenarioError(source, None, "malformed JSON: nested too deeply") from None
    return _JsonReader(source).scenario(document)


def from_dict(document, source="<dict>"):
    """A Scenario from a dict with the structure of a JSON scenario."""
    return _JsonReader(source).scenario(document)


# ---------------------------------------------------------------------------------------
# Recorded inputs (CSV)

# The numbers a recorded file may hold: decimal, no leading "+", as std::from_chars reads
# them in the runner; "inf" and "nan" are read only to be refused as non-finite.
_CSV_NUMBER = re.compile(r"-?(?:(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?|inf(?:inity)?|nan(?:\([0-9A-Za-z_]*\))?)", re.I)


def _csv_lines(text):
    """(number, line) for the non-blank physical lines, without line ends."""
    lines = []
    for number, line in enumerate(text.split("\n"), start=1):
        line = line[:-1] if line.endswith("\r") else line
        if line.strip(" \t"):
            lines.append((number, line))
    return lines


def _csv_fields(line):
    return [field.strip(" \t") for field in line.split(",")]


def _csv_number(field, source, line, column):
    if not _CSV_NUMBER.fullmatch(field):
        raise ScenarioError(source, line, f'column "{column}": expected a number, got "{field}"')
    value = float(field)
    if not math.isfinite(value):
        raise ScenarioError(source, line, f'column "{column}": expected a finite number, got "{field}"')
    return value


def parse_csv(text, source="<string>"):
    """A Scenario from recorded inputs: each row is a set of its columns at its time."""
    lines = _csv_lines(text)
    if not lines:
        raise ScenarioError(source, None, 'empty file; expected a header line such as "time,AccelerationDemand"')
    header_line, header = lines[0]
    columns = []  # input index, or -1 for the time
    for name in _csv_fields(header):
        if name == "time":
            column = -1
        elif name in _INPUT_INDEX:
            column = _INPUT_INDEX[name]
        else:
            raise ScenarioError(
                source, header_line, f'unknown column "{name}"; expected time or an input name: {_INPUT_LIST}'
            )
        if column in columns:
            raise ScenarioError(source, header_line, f'the column "{name}" appears twice')
        columns.append(column)
    if -1 not in columns:
        raise ScenarioError(source, header_line, 'no "time" column in the header')

    events = []
    previous = 0.0
    for number, line in lines[1:]:
        fields = _csv_fields(line)
        if len(fields) != len(columns):
            raise ScenarioError(
                source, number, f"expected {len(columns)} fields as in the header, got {len(fields)}"
            )
        event = Event(time=0.0)
        for field, column in zip(fields, columns):
            name = "time" if column < 0 else INPUT_NAMES[column]
            value = _csv_number(field, source, number, name)
            if column < 0:
                problem = _time_problem(value)
                if problem:
                    raise ScenarioError(source, number, f'column "time": {problem}')
                event.time = value
            else:
                event.set[column] = value
        if event.time < previous:
            raise ScenarioError(
                source,
                number,
                f"time {format_number(event.time)} comes before the previous row's {format_number(previous)}; "
                "times must not decrease",
            )
        previous = event.time
        events.append(event)
    duration = events[-1].time if events else None
    return Scenario(source, duration, [0.0] * len(INPUT_NAMES), events, name=Path(source).stem)


# ---------------------------------------------------------------------------------------
# Loading and running


def load_scenario(scenario):
    """A validated Scenario from a path (``.csv``: recorded inputs, otherwise JSON), a
    dict with the JSON structure, or a Scenario (returned as it is)."""
    if isinstance(scenario, Scenario):
        return scenario
    if isinstance(scenario, dict):
        return from_dict(scenario)
    if not isinstance(scenario, (str, os.PathLike)):
        raise TypeError(f"scenario: expected a path or a dict, got {type(scenario).__name__}")
    path = Path(scenario)
    try:
        text = path.read_text(encoding="utf-8-sig")
    except OSError as error:
        raise ScenarioError(str(path), None, f"cannot read: {error.strerror or error}") from None
    except UnicodeDecodeError as error:
        raise ScenarioError(str(path), None, f"not UTF-8 text: {error.reason} at byte {error.start}") from None
    suffix = path.suffix.lower()
    if suffix == ".csv" or (suffix != ".json" and not text.lstrip().startswith("{")):
        return parse_csv(text, str(path))
    return parse_json(text, str(path))


def step_count(duration, source="<duration>", where="duration"):
    """N = k(duration), checked against MAX_STEPS."""
    if not _is_number(duration):
        raise ScenarioError(source, where, f"expected a number, got {_type_name(duration)}")
    problem = _time_problem(float(duration))
    if problem:
        raise ScenarioError(source, where, problem)
    return step_index(float(duration))


def input_plan(scenario, n_steps):
    """The inputs the run writes, as (k, initialize, values) for every step index
    k < n_steps at which an event or a ramp acts: whether Initialize comes first (once,
    however many events of the step ask for it) and the whole input record after the
    events and ramps of step k, passed to SetInputs before step k + 1.  Between the
    yielded indices the record stays as it is."""
    groups = []
    for event in scenario.events:
        k = step_index(event.time)
        if k >= n_steps:
            break  # times do not decrease, so neither do the later indices
        if groups and groups[-1][0] == k:
            groups[-1][1].append(event)
        else:
            groups.append((k, [event]))

    values = list(scenario.inputs)
    ramps = {}  # input index -> (k0, k1, v0, v1)
    next_group = 0
    k = 0
    while True:
        if not ramps:
            if next_group == len(groups):
                return
            k = groups[next_group][0]
        elif k >= n_steps:
            return
        initialize = False
        if next_group < len(groups) and groups[next_group][0] == k:
            events = groups[next_group][1]
            next_group += 1
            initialize = any(event.initialize for event in events)
            for event in events:
                for index, value in event.set.items():
                    values[index] = value
                    ramps.pop(index, None)
            # Ramps start from the values held after all sets of the step.
            for event in events:
                k1 = step_index(event.until) if event.ramp else 0
                for index, target in event.ramp.items():
                    ramps[index] = (k, k1, values[index], target)
        for index, (k0, k1, v0, v1) in list(ramps.items()):
            if k >= k1:
                values[index] = v1
                del ramps[index]
            else:
                values[index] = v0 + (v1 - v0) * (float(k - k0) / float(k1 - k0))
        yield k, initialize, tuple(values)
        k += 1


def simulate(scenario, every=100, duration=None):
    """Runs a scenario and returns its rows as a float64 array.

    ``scenario`` is a path (a JSON scenario, or recorded inputs in a ``.csv`` file), a
    dict with the JSON structure, or a Scenario.  A row is written after every ``every``
    steps and after the last step; its columns are COLUMNS: the time (steps x 0.0001 s)
    and the seven outputs.  ``duration`` (s) replaces the scenario's duration.
    """
    scenario = load_scenario(scenario)
    every = _every(every)
    if duration is not None:
        n_steps = step_count(duration, "simulate()", "duration")
    elif scenario.duration is None:
        raise ScenarioError(scenario.source, None, "no rows after the header; the duration of the run must be given")
    else:
        n_steps = step_count(scenario.duration, scenario.source)
    return _run(scenario, n_steps, every, _library.library())


def _every(every):
    try:
        every = operator.index(every)
    except TypeError:
        raise TypeError(f"every: expected an integer, got {type(every).__name__}") from None
    if every < 1:
        raise ValueError(f"every: expected an integer >= 1, got {every}")
    return every


def _run(scenario, n_steps, every, lib):
    rows = np.empty((-(-n_steps // every), len(COLUMNS)), dtype=np.float64)
    record = InputRecord(*scenario.inputs)
    record_values = (ctypes.c_double * len(INPUT_NAMES)).from_buffer(record)
    record_ref = ctypes.byref(record)
    handle = create_instance(lib)
    try:
        lib.SetInputs(handle, record_ref)
        lib.Initialize(handle)
        outputs = output_view(lib, handle)
        step = lib.Step
        done = 0  # steps taken
        row = 0
        for k, initialize, values in _with_end(input_plan(scenario, n_steps), n_steps):
            # Steps up to step index k, writing a row after every `every` steps and the last.
            while done < k:
                stop = min(k, (done // every + 1) * every)
                for _ in range(stop - done):
                    step(handle)
                done = stop
                if done % every == 0 or done == n_steps:
                    rows[row, 0] = float(done) * STEP_SIZE
                    rows[row, 1:] = outputs
                    row += 1
            if values is None:
                break
            if initialize:
                lib.Initialize(handle)
            record_values[:] = values
            lib.SetInputs(handle, record_ref)
        assert row == len(rows), (row, len(rows))
        lib.Terminate(handle)
    finally:
        lib.DeleteVehicleModel(handle)
    return rows


def _with_end(plan, n_steps):
    yield from plan
    yield n_steps, False, None
