"""Both FMUs in two FMI hosts that are not ours, against the C interface, bit for bit.

    real_hosts.py fmpy VERSION FMU C_LIBRARY VEHICLE_LIBRARY
    real_hosts.py fmusim VERSION FMU C_LIBRARY FMUSIM WORK_DIRECTORY

fmpy: validate_fmu finds nothing; simulate_fmu with input signals (steps and ramps of demand and
steering, a selector change, event times off the output grid) and start values for the initial
conditions gives the C interface's outputs at every communication point; a run resumed from a
serialised state continues bit for bit; a step that is not a multiple of 0.0001 s is refused
with the FMU's message; start values for vehicle parameters (a mass, a tyre coefficient) and for
VehicleFile give the outputs of the vehicle library (VEHICLE_LIBRARY) running that set.  fmusim: a co-simulation run with an input file gives the C interface's
outputs; a run saved with --final-fmu-state-file and resumed with --initial-fmu-state-file ends
at the bits of an unbroken run.

The C reference is driven with the inputs the host actually gave the FMU (read back from the
FMU after each step), so the comparison does not depend on how a host interpolates; that the
selector was held, never interpolated, is checked on its own.
"""
import contextlib
import csv
import ctypes
import io
import os
import struct
import subprocess
import sys

INPUTS = ["AccelerationDemand", "GearSelector", "SteeringAngle", "RoadGrade"]
PARAMETERS = ["InitialPositionX", "InitialPositionY", "InitialHeading", "InitialSpeed"]
OUTPUTS = ["PositionX", "PositionY", "Heading", "LongitudinalSpeed", "PitchAngle", "RollAngle", "TipOverIndicator"]
START = {"InitialPositionX": 10.0, "InitialPositionY": -2.5, "InitialHeading": 0.3, "InitialSpeed": 5.0}
DT = 0.0001

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL " + message)


def bits(x):
    return struct.unpack("<Q", struct.pack("<d", float(x)))[0]


class CModel:
    """The seven C functions: inputs as [demand, selector, steering, grade] plus START."""

    def __init__(self, path):
        lib = ctypes.CDLL(path)
        lib.CreateVehicleModel.restype = ctypes.c_void_p
        for name in ("DeleteVehicleModel", "Initialize", "Step"):
            getattr(lib, name).argtypes = [ctypes.c_void_p]
        lib.SetInputs.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_double * 8)]
        lib.GetOutputs.argtypes = [ctypes.c_void_p]
        lib.GetOutputs.restype = ctypes.POINTER(ctypes.c_double * 7)
        self.lib = lib
        self.handle = lib.CreateVehicleModel()
        self.steps = 0

    def record(self, inputs):
        return (ctypes.c_double * 8)(*(list(inputs) + [START[p] for p in PARAMETERS]))

    def start(self, inputs):
        self.lib.SetInputs(self.handle, self.record(inputs))
        self.lib.Initialize(self.handle)

    def advance_to(self, step, inputs):
        u = self.record(inputs)
        while self.steps < step:
            self.lib.SetInputs(self.handle, u)
            self.lib.Step(self.handle)
            self.steps += 1
        return list(self.lib.GetOutputs(self.handle).contents)

    def close(self):
        self.lib.DeleteVehicleModel(self.handle)


def compare_run(c_library, points, what):
    """points: (step count, inputs held over the step that ends there, outputs); first: step 0."""
    model = CModel(c_library)
    model.start(points[0][1])
    compared = 0
    for step, inputs, outputs in points:
        if step == 0:
            continue
        expected = model.advance_to(step, inputs)
        wrong = [n for n, a, b in zip(OUTPUTS, outputs, expected) if bits(a) != bits(b)]
        if wrong:
            check(False, f"{what}: at step {step} {wrong[0]} is {outputs[OUTPUTS.index(wrong[0])]!r}, "
                         f"the C interface gives {expected[OUTPUTS.index(wrong[0])]!r}")
            break
        compared += 1
    model.close()
    return compared


# ---- FMPy ------------------------------------------------------------------------------------

def input_signal(np):
    # Steps and ramps at times off the 0.01 s output grid (on the 0.0001 s internal grid).
    rows = [
        (0.0, 0.5, 1.0, 0.0, 0.0),
        (0.2137, 0.5, 1.0, 0.0, 0.0),
        (0.2137, 2.0, 1.0, 0.0, 0.0),     # demand step
        (0.4213, 2.0, 1.0, 0.0, 0.0),
        (0.6421, 2.0, 1.0, 0.06, 0.0),    # steering ramp 0.4213 .. 0.6421
        (0.7003, 2.0, 1.0, 0.06, 0.0),
        (0.7003, -1.5, 1.0, -0.04, 0.0),  # braking, steering step
        (0.8517, -1.5, 1.0, -0.04, 0.0),
        (0.8517, 1.0, 3.0, -0.04, 0.0),   # selector 1 -> 3 (reverse), must not pass 2 (neutral)
        (1.2, 1.0, 3.0, -0.04, 0.0),
    ]
    return np.array(rows, dtype=[("time", np.float64)] + [(n, np.float64) for n in INPUTS])


def fmpy_run(fmpy, fmu, version, start_time, stop_time, signal, fmu_state=None, instance=None, terminate=True,
             set_stop_time=True):
    """Runs simulate_fmu and reads, after every communication step, the FMU's time, the inputs
    it holds and the outputs."""
    from fmpy.model_description import read_model_description
    md = read_model_description(fmu)
    refs = {v.name: v.valueReference for v in md.modelVariables}
    names = ["time"] + INPUTS + OUTPUTS
    vrs = [refs[n] for n in names]
    points = []

    def read(recorder):
        f = recorder.fmu
        values = f.getReal(vrs) if version == "2.0" else f.getFloat64(vrs)
        step = round((values[0] - 0.0) / DT)
        points.append((step, values[1:5], values[5:]))

    def finished(time, recorder):
        read(recorder)
        return True

    result = fmpy.simulate_fmu(fmu, start_time=start_time, stop_time=stop_time, output_interval=0.01, input=signal,
                               start_values=dict(START) if fmu_state is None else {},
                               output=OUTPUTS, step_finished=finished, fmu_state=fmu_state, fmu_instance=instance,
                               terminate=terminate, model_description=md, set_stop_time=set_stop_time)
    return points, result


def run_fmpy(version, fmu, c_library):
    import numpy as np
    import fmpy
    from fmpy.model_description import read_model_description
    from fmpy.simulation import instantiate_fmu
    from fmpy.validation import validate_fmu

    problems = validate_fmu(fmu)
    check(not problems, f"validate_fmu: {problems}")
    print(f"validate_fmu: {len(problems)} problems")

    signal = input_signal(np)
    points, result = fmpy_run(fmpy, fmu, version, 0.0, 1.0, signal)
    # The initial point: the inputs FMPy applied before the first step.
    first = (0, list(points[0][1]), None)
    compared = compare_run(c_library, [first] + points, "simulate_fmu")
    print(f"simulate_fmu with inputs and start values: {compared} communication points identical to the C interface")
    check(compared == len(points) and len(points) > 100, f"only {compared} of {len(points)} points compared")
    steps = [p[0] for p in points]
    check(2137 in steps and 8517 in steps, "the host did not stop at the input events 0.2137 s and 0.8517 s")
    selectors = sorted({p[1][1] for p in points})
    check(selectors == [1.0, 3.0], f"the selector took the values {selectors}: a discrete input is held, never interpolated")
    ramp = [p[1][2] for p in points if 4213 < p[0] <= 6421]
    check(len(set(ramp)) > 5 and 0.0 <= min(ramp) < max(ramp) <= 0.06, "the steering ramp was not interpolated by the host")

    # Saved at 0.5 s, serialised, resumed in a new instance: the rest of the run, bit for bit.
    md = read_model_description(fmu)
    unzipped = fmpy.extract(fmu)
    instance = instantiate_fmu(unzipped, md, "CoSimulation")
    # (No stop time: the state carries it, and the resumed run goes on past 0.5 s.)
    head, _ = fmpy_run(fmpy, unzipped, version, 0.0, 0.5, signal, instance=instance, terminate=False,
                       set_stop_time=False)
    handle = instance.getFMUState()
    state = instance.serializeFMUState(handle)
    instance.freeFMUState(handle)
    instance.terminate()
    instance.freeInstance()
    tail, _ = fmpy_run(fmpy, unzipped, version, 0.5, 1.0, signal, fmu_state=state)
    # The host interpolates the resumed run's ramps on its own time grid (0.5 + k h), which may
    # round differently: the unbroken reference is the C interface run through the inputs the
    # FMU was given, before the save and after the resume.
    resumed = [p for p in tail if p[0] > 5000]
    compared = compare_run(c_library, [first] + head + resumed, "resumed from a serialised state")
    check(len(resumed) > 40 and compared == len(head) + len(resumed),
          f"resumed from a serialised state: {compared} of {len(head) + len(resumed)} points compared")
    print(f"resumed in a new instance from a state serialised at 0.5 s: {len(resumed)} points identical to an "
          "unbroken C run")

    # A communication step that is not a whole number of internal steps: the FMU's message.
    captured = io.StringIO()
    refused = None
    with contextlib.redirect_stdout(captured):
        try:
            fmpy.simulate_fmu(fmu, stop_time=0.01, output_interval=0.00015)
        except Exception as error:  # FMPy raises on the error status
            refused = error
    log = captured.getvalue()
    check(refused is not None and "is not a whole number of internal steps of 0.0001 s" in log,
          f"a step of 0.00015 s: expected a refusal with the step rule in the log, got {refused!r} and {log!r}")
    print("a step of 0.00015 s: " + next((line.strip() for line in log.splitlines() if "internal steps" in line), "?"))


# ---- vehicle parameters through FMPy ----------------------------------------------------------

CORNER = {"AccelerationDemand": 0.3, "GearSelector": 1.0, "SteeringAngle": 0.05, "InitialSpeed": 12.0}
ESTATE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples", "vehicles", "estate.json")


def vehicle_outputs(vehicle_library, parameters, vehicle_file, steps, every):
    """The seven outputs of the vehicle library's instance of a set, every `every` steps."""
    c = ctypes
    lib = c.CDLL(vehicle_library)
    lib.corvanta_vehicle_create_builtin.restype = c.c_void_p
    lib.corvanta_vehicle_load.restype = c.c_void_p
    lib.corvanta_vehicle_load.argtypes = [c.c_char_p, c.c_char_p, c.c_size_t]
    lib.corvanta_vehicle_set.argtypes = [c.c_void_p, c.c_char_p, c.POINTER(c.c_double), c.c_size_t, c.c_char_p,
                                         c.c_size_t]
    lib.corvanta_vehicle_free.argtypes = [c.c_void_p]
    lib.corvanta_instance_create.restype = c.c_void_p
    lib.corvanta_instance_create.argtypes = [c.c_void_p]
    for name in ("corvanta_instance_initialize", "corvanta_instance_step", "corvanta_instance_free"):
        getattr(lib, name).argtypes = [c.c_void_p]
    lib.corvanta_instance_set_inputs.argtypes = [c.c_void_p, c.POINTER(c.c_double * 8)]
    lib.corvanta_instance_outputs.argtypes = [c.c_void_p]
    lib.corvanta_instance_outputs.restype = c.POINTER(c.c_double * 7)
    error = c.create_string_buffer(4096)
    if vehicle_file:
        vehicle = lib.corvanta_vehicle_load(vehicle_file.encode(), error, len(error))
    else:
        vehicle = lib.corvanta_vehicle_create_builtin()
    check(vehicle is not None, f"the vehicle library refuses the set: {error.value!r}")
    for name, value in parameters.items():
        v = c.c_double(value)
        check(lib.corvanta_vehicle_set(vehicle, name.encode(), c.byref(v), 1, error, len(error)) == 0,
              f"{name}: {error.value!r}")
    car = lib.corvanta_instance_create(vehicle)
    lib.corvanta_vehicle_free(vehicle)
    u = (c.c_double * 8)(CORNER["AccelerationDemand"], CORNER["GearSelector"], CORNER["SteeringAngle"], 0.0, 0.0,
                         0.0, 0.0, CORNER["InitialSpeed"])
    lib.corvanta_instance_set_inputs(car, u)
    lib.corvanta_instance_initialize(car)
    rows = []
    for step in range(1, steps + 1):
        lib.corvanta_instance_step(car)
        if step % every == 0:
            rows.append(list(lib.corvanta_instance_outputs(car).contents))
    lib.corvanta_instance_free(car)
    return rows


def run_fmpy_vehicle(version, fmu, vehicle_library):
    import fmpy
    cases = [
        ("VehicleMass and RearTyre.PDY1", {"VehicleMass": 1900.0, "RearTyre.PDY1": 0.95}, None),
        ("VehicleFile estate.json with FinalDriveRatio", {"FinalDriveRatio": 2.5}, os.path.abspath(ESTATE)),
    ]
    builtin = vehicle_outputs(vehicle_library, {}, None, 10000, 100)
    for what, parameters, vehicle_file in cases:
        start = dict(CORNER)
        start.update(parameters)
        if vehicle_file:
            start["VehicleFile"] = vehicle_file
        result = fmpy.simulate_fmu(fmu, stop_time=1.0, output_interval=0.01, start_values=start, output=OUTPUTS)
        expected = vehicle_outputs(vehicle_library, parameters, vehicle_file, 10000, 100)
        # Row 0 is the car at the start time; row k follows k x 100 steps.
        rows = [[result[n][k] for n in OUTPUTS] for k in range(1, len(result))]
        same = sum(1 for a, b in zip(rows, expected) if [bits(x) for x in a] == [bits(x) for x in b])
        check(len(rows) == 100 and same == len(rows), f"{what}: {same} of {len(rows)} points identical")
        check(bits(rows[-1][1]) != bits(builtin[-1][1]), f"{what}: the built-in car's PositionY")
        print(f"simulate_fmu with {what}: {same} communication points identical to the vehicle library")


# ---- fmusim ---------------------------------------------------------------------------------

def read_csv(path):
    with open(path, newline="") as f:
        rows = list(csv.reader(f))
    header = [h.strip().strip('"') for h in rows[0]]
    return header, [[float(x) for x in row] for row in rows[1:] if row]


def run_fmusim(version, fmu, c_library, fmusim, work):
    os.makedirs(work, exist_ok=True)
    # Inputs change only at rows; fmusim holds them from one row to the next for this run (each
    # change is given as two rows at the same time).
    inputs = os.path.join(work, f"inputs-{version}.csv")
    with open(inputs, "w") as f:
        f.write("time," + ",".join(INPUTS) + "\n")
        for t, u in [(0.0, (1.5, 1, 0.0, 0.0)), (0.3, (1.5, 1, 0.0, 0.0)), (0.3, (1.5, 1, 0.05, 0.0)),
                     (1.2, (-2.0, 1, 0.05, 0.02)), (1.2, (0.5, 3, -0.03, 0.02)), (2.5, (0.5, 3, -0.03, 0.02))]:
            f.write(f"{t!r}," + ",".join(repr(float(x)) for x in u) + "\n")
    starts = []
    for name, value in START.items():
        starts += ["--start-value", name, repr(value)]
    record = []
    for name in ["time"] + INPUTS:
        record += ["--output-variable", name]
    for name in OUTPUTS:
        record += ["--output-variable", name]

    def fmusim_run(out, *extra):
        command = [fmusim, "--interface-type", "cs", "--output-interval", "0.01", "--input-file", inputs,
                   "--output-file", out] + record + list(extra) + [fmu]
        done = subprocess.run(command, capture_output=True, text=True, timeout=300)
        check(done.returncode == 0, f"fmusim {' '.join(extra)} failed ({done.returncode}): {done.stdout}{done.stderr}")
        return read_csv(out) if done.returncode == 0 else (None, [])

    whole = os.path.join(work, f"whole-{version}.csv")
    header, rows = fmusim_run(whole, *starts, "--stop-time", "2")
    if header is None:
        return
    column = {n: header.index(n) for n in ["time"] + INPUTS + OUTPUTS}
    points = []
    for row in rows:
        step = round(row[column["time"]] / DT)
        points.append((step, [row[column[n]] for n in INPUTS], [row[column[n]] for n in OUTPUTS]))
    # fmusim, like FMPy, sets the inputs of time t, steps to the next point and records there:
    # a row holds the inputs of the step that ends at it.
    compared = compare_run(c_library, points, "fmusim")
    check(compared == len(points) - 1 and points[-1][0] == 20000,
          f"fmusim: {compared} of {len(points) - 1} points compared, last at step {points[-1][0]}")
    print(f"fmusim with an input file and start values: {compared} communication points identical to the C interface")

    # Saved at 1 s, resumed from the file: the end of the run equals the unbroken run's.
    state = os.path.join(work, f"state-{version}.bin")
    fmusim_run(os.path.join(work, f"head-{version}.csv"), *starts, "--stop-time", "1",
               "--final-fmu-state-file", state)
    header2, tail = fmusim_run(os.path.join(work, f"tail-{version}.csv"), "--start-time", "1", "--stop-time", "2",
                               "--initial-fmu-state-file", state)
    if header2 is None or not tail:
        return
    last = tail[-1]
    end = [last[header2.index(n)] for n in OUTPUTS]
    check(round(last[header2.index("time")] / DT) == 20000 and [bits(x) for x in end] == [bits(x) for x in points[-1][2]],
          f"fmusim resumed from the state file ends at {end}, the unbroken run at {points[-1][2]}")
    print("fmusim --final-fmu-state-file at 1 s, --initial-fmu-state-file: ends at the bits of the unbroken run")


def main(argv):
    if len(argv) < 5:
        print(__doc__)
        return 2
    host, version, fmu, c_library = argv[1:5]
    if host == "fmpy":
        run_fmpy(version, fmu, c_library)
        if len(argv) > 5:
            run_fmpy_vehicle(version, fmu, argv[5])
    elif host == "fmusim":
        run_fmusim(version, fmu, c_library, argv[5], argv[6])
    else:
        print(__doc__)
        return 2
    print(("PASSED" if not failures else "FAILED") + f": {len(failures)} failure(s)")
    return 0 if not failures else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
