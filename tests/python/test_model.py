"""corvanta.Model: lifecycle, inputs and stepping."""

import ctypes
import gc

import numpy as np
import pytest

import corvanta

from support import assert_bitwise_equal, run_python


class FakeLibrary:
    """Stands in for the shared library and records the calls it receives."""

    def __init__(self, handle=0x1234):
        self.handle = handle
        self.calls = []
        self.outputs = corvanta.OutputRecord()

    def CreateVehicleModel(self):
        return self.handle

    def GetOutputs(self, handle):
        return ctypes.pointer(self.outputs)

    def __getattr__(self, name):
        return lambda handle, *args: self.calls.append((name, handle))

    def deletions(self):
        return [call for call in self.calls if call[0] == "DeleteVehicleModel"]


def drive(model):
    model.set_inputs(GearSelector=1, AccelerationDemand=1.5, InitialSpeed=4.0)
    model.initialize()
    return model


def test_every_way_out_deletes_the_instance_once():
    def closed_by(action):
        lib = FakeLibrary()
        action(lib)
        gc.collect()
        assert lib.deletions() == [("DeleteVehicleModel", lib.handle)]

    def close_twice(lib):
        model = corvanta.Model(library=lib)
        model.close()
        model.close()

    def leave_with_block(lib):
        with pytest.raises(KeyError):
            with corvanta.Model(library=lib):
                raise KeyError("inside")

    closed_by(close_twice)
    closed_by(leave_with_block)
    closed_by(lambda lib: corvanta.Model(library=lib))  # garbage-collected
    with pytest.raises(MemoryError, match="CreateVehicleModel"):
        corvanta.Model(library=FakeLibrary(handle=None))


def test_use_after_close_raises():
    with drive(corvanta.Model()) as model:
        model.step(2)
    for use in (model.initialize, lambda: model.set_inputs(RoadGrade=0.1), model.step, lambda: model.outputs):
        with pytest.raises(RuntimeError, match="closed"):
            use()
    assert model.closed and model.steps == 2


def test_missing_library_in_a_fresh_process(tmp_path):
    code = "import corvanta\ntry:\n    corvanta.Model()\nexcept corvanta.CorvantaLibraryError as e:\n    print(e)\n"
    done = run_python("-c", code, env={"CORVANTA_LIBRARY": str(tmp_path / "nowhere.so"), "CORVANTA_VEHICLE_LIBRARY": ""})
    assert done.returncode == 0, done.stderr
    assert done.stdout.startswith(f"CORVANTA_LIBRARY={tmp_path / 'nowhere.so'}: no such file")


def test_inputs():
    with corvanta.Model() as model:
        model.set_inputs(GearSelector=3, InitialSpeed=np.float32(2.5))
        model.set_inputs(AccelerationDemand=np.int64(-2))
        expected = corvanta.Inputs(-2.0, 3.0, 0.0, 0.0, 0.0, 0.0, 0.0, 2.5)
        assert model.inputs == expected and all(type(value) is float for value in model.inputs)
        with pytest.raises(TypeError, match="'SteeringAngel'.*did you mean SteeringAngle"):
            model.set_inputs(RoadGrade=1, SteeringAngel=0.5)
        for bad in ("1", None, [1.0]):
            with pytest.raises(TypeError, match="input RoadGrade: expected a number"):
                model.set_inputs(RoadGrade=bad)
        assert model.inputs == expected  # a rejected call changes nothing


def test_stepping():
    with corvanta.Model() as model:
        with pytest.raises(RuntimeError, match="initialize"):
            model.step()
        drive(model)
        with pytest.raises(ValueError):
            model.step(-1)
        assert model.step(0).shape == (0, 7) and model.steps == 0
        with drive(corvanta.Model()) as single:
            one_by_one = np.vstack([single.step() for _ in range(30)])
        rows = model.step(30)
        assert rows.dtype == np.float64
        assert_bitwise_equal(rows, one_by_one)
        assert_bitwise_equal(np.array(model.outputs), rows[-1])
        assert rows[0, 3] != 0.0  # the first step loads InitialSpeed
        # Initialize restarts the states, not the time.
        model.set_inputs(InitialPositionX=-7.0)
        model.initialize()
        assert -7.0 < model.step()[0, 0] < -6.999
        assert model.steps == 31 and model.time == 31 * 0.0001


def test_step_every_keeps_every_kth_row_and_the_last():
    with drive(corvanta.Model()) as each, drive(corvanta.Model()) as decimated:
        rows = each.step(23)
        assert_bitwise_equal(decimated.step(23, every=5), rows[[4, 9, 14, 19, 22]])
        assert_bitwise_equal(decimated.step(4, every=10), each.step(4)[[3]])
        assert decimated.steps == each.steps == 27
        for bad, error in ((0, ValueError), (1.5, TypeError)):
            with pytest.raises(error, match="every"):
                decimated.step(3, every=bad)
