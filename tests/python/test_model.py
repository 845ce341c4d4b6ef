"""corvanta.Model: lifecycle, inputs and stepping."""

import ctypes
import gc
import threading

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
        self.calls.append("CreateVehicleModel")
        return self.handle

    def GetOutputs(self, handle):
        return ctypes.pointer(self.outputs)

    def __getattr__(self, name):
        def call(handle, *args):
            self.calls.append((name, handle))

        return call

    def deletions(self):
        return [call for call in self.calls if call[0:1] == ("DeleteVehicleModel",)]


def drive(model, **inputs):
    model.set_inputs(**{"GearSelector": 1, "AccelerationDemand": 1.5, "InitialSpeed": 4.0, **inputs})
    model.initialize()
    return model


class TestLifecycle:
    def test_close_deletes_once(self):
        lib = FakeLibrary()
        model = corvanta.Model(library=lib)
        model.close()
        model.close()
        assert lib.deletions() == [("DeleteVehicleModel", lib.handle)]
        assert ("Terminate", lib.handle) in lib.calls
        assert model.closed

    def test_with_block_deletes_on_exit_and_on_error(self):
        lib = FakeLibrary()
        with corvanta.Model(library=lib) as model:
            assert not model.closed
        assert lib.deletions() == [("DeleteVehicleModel", lib.handle)]
        lib = FakeLibrary()
        with pytest.raises(KeyError):
            with corvanta.Model(library=lib):
                raise KeyError("inside")
        assert lib.deletions() == [("DeleteVehicleModel", lib.handle)]

    def test_garbage_collection_deletes(self):
        lib = FakeLibrary()
        model = corvanta.Model(library=lib)
        del model
        gc.collect()
        assert lib.deletions() == [("DeleteVehicleModel", lib.handle)]

    def test_null_instance_is_memory_error(self):
        lib = FakeLibrary(handle=None)
        with pytest.raises(MemoryError, match="CreateVehicleModel"):
            corvanta.Model(library=lib)
        assert lib.deletions() == []

    def test_use_after_close_raises(self):
        model = corvanta.Model()
        drive(model)
        model.step(2)
        model.close()
        for use in (
            model.initialize,
            lambda: model.set_inputs(SteeringAngle=0.1),
            lambda: model.step(1),
            lambda: model.outputs,
            lambda: model.inputs,
            lambda: model.__enter__(),
        ):
            with pytest.raises(RuntimeError, match="closed"):
                use()
        assert model.steps == 2

    def test_close_while_another_thread_steps(self):
        # The lock makes close() wait for the running step(); the stepping thread either
        # finishes or finds the model closed, and the process does not crash.
        model = drive(corvanta.Model())
        outcome = []

        def run():
            try:
                for _ in range(200):
                    model.step(50)
                outcome.append("finished")
            except RuntimeError as error:
                outcome.append(str(error))

        thread = threading.Thread(target=run)
        thread.start()
        model.close()
        thread.join()
        assert outcome in (["finished"], ["the corvanta.Model has been closed"])

    def test_missing_library_in_a_fresh_process(self, tmp_path):
        missing = tmp_path / "nowhere" / "libcorvanta.so"
        code = (
            "import os, corvanta\n"
            f"os.environ['CORVANTA_LIBRARY'] = {str(missing)!r}\n"
            "try:\n"
            "    corvanta.Model()\n"
            "except corvanta.CorvantaLibraryError as error:\n"
            "    print('error:', error)\n"
        )
        done = run_python("-c", code)
        assert done.returncode == 0, done.stderr
        assert done.stdout.startswith("error: CORVANTA_LIBRARY=")
        assert str(missing) in done.stdout


class TestInputs:
    def test_unknown_name_is_rejected_and_changes_nothing(self):
        with corvanta.Model() as model:
            model.set_inputs(SteeringAngle=0.25)
            with pytest.raises(TypeError, match="'SteeringAngel'.*did you mean SteeringAngle"):
                model.set_inputs(GearSelector=1, SteeringAngel=0.5)
            assert model.inputs.SteeringAngle == 0.25
            assert model.inputs.GearSelector == 0.0

    def test_values_must_be_numbers(self):
        with corvanta.Model() as model:
            for bad in ("1", None, [1.0], b"2"):
                with pytest.raises(TypeError, match="input RoadGrade: expected a number"):
                    model.set_inputs(RoadGrade=bad)
            assert model.inputs == corvanta.Inputs(*[0.0] * 8)

    def test_values_are_converted_and_others_kept(self):
        with corvanta.Model() as model:
            model.set_inputs(GearSelector=3, InitialSpeed=np.float32(2.5))
            model.set_inputs(AccelerationDemand=np.int64(-2))
            inputs = model.inputs
            assert inputs == (-2.0, 3.0, 0.0, 0.0, 0.0, 0.0, 0.0, 2.5)
            assert all(type(value) is float for value in inputs)
            assert inputs._fields == corvanta.INPUT_NAMES

    def test_inputs_reach_the_model(self):
        with drive(corvanta.Model()) as model:
            first = model.step(1)
            assert first[0, 3] != 0.0  # InitialSpeed 4 m/s loaded by the first step
        with drive(corvanta.Model(), InitialSpeed=0.0) as model:
            assert model.step(1)[0, 3] != first[0, 3]


class TestStepping:
    def test_step_before_initialize_raises(self):
        with corvanta.Model() as model:
            with pytest.raises(RuntimeError, match="initialize"):
                model.step(1)
            assert model.steps == 0
            assert model.outputs == corvanta.Outputs(*[0.0] * 7)

    def test_rows_are_the_outputs_after_each_step(self):
        with drive(corvanta.Model()) as batch, drive(corvanta.Model()) as single:
            rows = batch.step(40)
            one_by_one = np.vstack([single.step(1) for _ in range(40)])
            assert rows.shape == (40, 7) and rows.dtype == np.float64
            assert_bitwise_equal(rows, one_by_one)
            assert_bitwise_equal(np.array(batch.outputs), rows[-1])
            assert batch.outputs._fields == corvanta.OUTPUT_NAMES
            # Rows are copies, not views of the live output record.
            before = rows.copy()
            batch.step(3)
            assert_bitwise_equal(rows, before)

    def test_step_counts(self):
        with drive(corvanta.Model()) as model:
            assert model.step(0).shape == (0, 7)
            with pytest.raises(ValueError):
                model.step(-1)
            with pytest.raises(TypeError):
                model.step(1.5)
            model.step(np.int32(3))
            assert model.steps == 3
            assert model.time == 3 * 0.0001

    def test_reinitialize_restarts_states_not_time(self):
        with drive(corvanta.Model()) as model:
            travelled = model.step(25)[-1, 0]  # about 4 m/s x 2.5 ms
            model.set_inputs(InitialPositionX=-7.0)
            model.initialize()
            assert model.time == 25 * 0.0001
            restarted = model.step(1)[0, 0]
            assert travelled > 0.009 and -7.0 < restarted < -7.0 + 0.001
            assert model.steps == 26

    def test_instances_are_independent(self):
        with drive(corvanta.Model()) as a, drive(corvanta.Model(), SteeringAngle=0.1) as b, drive(corvanta.Model()) as c:
            interleaved = []
            for _ in range(5):
                interleaved.append(a.step(10))
                b.step(10)
            assert_bitwise_equal(np.vstack(interleaved), c.step(50))
