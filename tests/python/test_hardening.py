"""Ctrl-C in every long call, optional packages checked first, values beyond the C types,
NaN in scenario dicts, numpy scalars as options, and sweep outputs that are links or
special files."""

import os
import signal
import stat
import subprocess
import sys
import textwrap
import time

import numpy as np
import pytest

import corvanta
from corvanta import _interrupts
from support import child_environment

# A child that starts a long call, prints READY just before it, and reports how the
# call ended: "INTERRUPTED <seconds after the signal>" and whether the model still works.
CHILD = textwrap.dedent(
    """
    import sys, time
    import corvanta
    from corvanta import tests as standard

    def long_call(kind):
        if kind == "step":
            model = corvanta.Model()
            model.set_inputs(GearSelector=1, AccelerationDemand=1.0)
            model.initialize()
            return model, lambda: model.step(40_000_000, every=1_000_000)
        if kind == "run":
            model = corvanta.Model()
            model.initialize()
            import numpy as np
            inputs = np.zeros((4_000_000, 8))
            inputs[:, 1] = 1.0
            return model, lambda: model.run(inputs, every=1_000_000)
        if kind == "simulate":
            return None, lambda: corvanta.simulate({"duration": 4000, "inputs": {"GearSelector": 1}}, every=1_000_000)
        if kind == "sweep":
            definition = {"base": {"duration": 200, "inputs": {"GearSelector": 1}},
                          "grid": {"inputs.AccelerationDemand": [0.1 * i for i in range(40)]}}
            return None, lambda: corvanta.sweep(definition, workers=2)
        if kind == "standard":
            return None, lambda: standard.frequency_response(count=10, cycles=20, min_frequency=0.05)

    model, call = long_call(sys.argv[1])
    print("READY", flush=True)
    try:
        call()
        print("FINISHED", flush=True)
    except KeyboardInterrupt:
        print("INTERRUPTED", time.monotonic(), flush=True)
        if model is not None:
            before = model.steps
            rows = model.step(10)
            print("USABLE", model.steps - before, rows.shape[0], flush=True)
    """
)


def interrupt(kind, extra_env=None):
    """(stdout lines, seconds from SIGINT to the KeyboardInterrupt) of the child."""
    child = subprocess.Popen(
        [sys.executable, "-c", CHILD, kind],
        stdout=subprocess.PIPE,
        stderr=subprocess.PIPE,
        text=True,
        env={**child_environment(), **(extra_env or {})},
    )
    try:
        assert child.stdout.readline().strip() == "READY"
        time.sleep(1.5)  # well inside the call
        sent = time.monotonic()
        child.send_signal(signal.SIGINT)
        out, err = child.communicate(timeout=60)
    finally:
        child.kill()
    lines = out.split("\n")
    ended = [line for line in lines if line.startswith(("INTERRUPTED", "FINISHED"))]
    assert ended and ended[0].startswith("INTERRUPTED"), (out, err)
    assert "Exception ignored" not in err, err
    return lines, float(ended[0].split()[1]) - sent


@pytest.mark.parametrize("kind", ["step", "run", "simulate", "sweep"])
def test_ctrl_c_raises_keyboard_interrupt_within_a_second(kind):
    # Model.step(40_000_000) noticed Ctrl-C only when its 134 s call ended; a sweep printed
    # "Exception ignored on calling ctypes callback function" and went on.
    lines, delay = interrupt(kind)
    assert delay < 1.0, f"{kind}: KeyboardInterrupt {delay:.2f} s after SIGINT"
    if kind in ("step", "run"):
        assert "USABLE 10 10" in lines


def test_ctrl_c_stops_a_standard_test(sim):
    lines, delay = interrupt("standard", {"CORVANTA_SIM": sim})
    assert delay < 1.0


@pytest.mark.parametrize("steps, every", [(0, 1), (1, 1), (7, 3), (45_001, 1), (45_001, 20_000), (45_001, 7),
                                          (100_000, 30_001), (60_000, 60_000), (130_001, 50_000)])
def test_stepping_in_chunks_gives_the_rows_of_one_call(steps, every):
    # Rows after every every-th step and after the last, whatever the chunks.
    rows = [0] * -(-steps // every)
    stepped = 0
    for first, count, call_every, row in _interrupts.row_chunks(steps, every, chunk=20_000):
        assert first == stepped and 0 < count <= 20_000
        for index in range(-(-count // call_every)):
            rows[row + index] = min(first + (index + 1) * call_every, first + count)
        stepped += count
    assert stepped == steps
    assert rows == [min((index + 1) * every, steps) for index in range(len(rows))]


def test_chunked_steps_keep_every_bit():
    # 50 001 steps in calls of at most 20 000 against 7 143 calls of 7 steps.
    def model():
        instance = corvanta.Model()
        instance.set_inputs(GearSelector=1, AccelerationDemand=1.0, SteeringAngle=0.02)
        instance.initialize()
        return instance

    with model() as chunked, model() as stepwise:
        rows = chunked.step(50_001, every=7)
        reference = np.vstack([stepwise.step(7, every=7) for _ in range(7143)])
        assert chunked.steps == stepwise.steps == 50_001
    assert rows.shape == (7143, 7)
    assert (rows.view(np.int64) == reference.view(np.int64)).all()


def test_sweep_without_pandas_fails_before_any_run():
    # It ran the whole sweep (12.7 s) and then raised a bare "No module named 'pandas'".
    code = textwrap.dedent(
        """
        import sys, time
        sys.modules["pandas"] = None
        import corvanta
        start = time.monotonic()
        try:
            corvanta.sweep({"base": {"duration": 1000}, "grid": {"inputs.RoadGrade": [0, 0.1]}}, workers=1)
        except ImportError as error:
            print(f"{time.monotonic() - start:.3f}", error)
        """
    )
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, env=child_environment(),
                            timeout=120)
    seconds, message = result.stdout.split(" ", 1)
    assert float(seconds) < 1.0
    assert "python3-pandas" in message and "corvanta[pandas]" in message


def test_sweep_worker_counts_beyond_the_limit_are_refused():
    # workers=20000 aborted the interpreter.
    pytest.importorskip("pandas")
    with pytest.raises(ValueError, match="workers: expected a whole number from 1 to 4096, got 20000"):
        corvanta.sweep({"base": {"duration": 0.01}, "grid": {"inputs.RoadGrade": [0]}}, workers=20000)


def test_counts_beyond_64_bits_are_refused_not_wrapped():
    # every=2**64 + 10 silently became 10.
    with pytest.raises(ValueError, match=r"every: expected a whole number of steps <= 2\*\*64 - 1"):
        corvanta.simulate({"duration": 0.01}, every=2**64 + 10)
    with corvanta.Model() as model:
        model.initialize()
        with pytest.raises(ValueError, match="every: expected a whole number <= 18446744073709551615"):
            model.step(1, every=2**64 + 10)
        with pytest.raises(ValueError, match="n: expected a whole number <= 18446744073709551615"):
            model.step(2**64)
        assert model.steps == 0


def test_non_finite_values_in_a_scenario_dict_name_their_place():
    # "malformed JSON ... last read: '"duration": N'".
    with pytest.raises(corvanta.ScenarioError) as caught:
        corvanta.simulate({"duration": float("nan")})
    assert str(caught.value) == "<dict>: duration: expected a finite number, got nan (JSON has no NaN or infinity)"
    with pytest.raises(corvanta.ScenarioError, match=r"<dict>: events\[1\]\.set\.RoadGrade: .* got -inf"):
        corvanta.simulate({"duration": 1, "events": [{"time": 0, "set": {}},
                                                     {"time": 0.5, "set": {"RoadGrade": np.float32("-inf")}}]})


def test_sampled_infinities_are_named_as_such():
    # A normal with sd 1e308 drew inf, reported as "expected a number, got null".
    pytest.importorskip("pandas")
    definition = {"base": {"duration": 0.01},
                  "monte_carlo": {"count": 50, "seed": 1, "fields": {"inputs.RoadGrade": {"normal": [0, 1e308]}}}}
    with pytest.raises(corvanta.SweepError, match=r"the draw is -?inf; a sampled value must be a finite number"):
        corvanta.sweep(definition, workers=1)


def test_standard_test_options_take_numpy_scalars(tmp_path):
    # step_steer(speed=np.float32(10)) said "expected a number, got 10.0".
    from corvanta import tests as standard

    texts = standard._option_texts({"speed": np.float32(10), "count": np.int64(3), "start_speed": 2.5})
    assert texts == [("speed", "10.0"), ("count", "3"), ("start-speed", "2.5")]
    with pytest.raises(standard.TestError, match="speed: expected a finite number, got nan"):
        standard._option_texts({"speed": np.float64("nan")})
    with pytest.raises(standard.TestError, match="speed: expected a number, got True"):
        standard._option_texts({"speed": np.bool_(True)})
    assert standard.step_steer(speed=np.float32(10), hold=np.int64(2)).options["speed"] == 10.0


def test_a_sweep_writes_through_a_link_and_into_a_fifo(tmp_path):
    # The link and the FIFO were replaced by regular files.
    from corvanta import _sweep_engine, sweeps

    target = tmp_path / "real" / "table.csv"
    target.parent.mkdir()
    target.write_text("old\n")
    link = tmp_path / "link.csv"
    link.symlink_to(target)
    definition = {"base": {"duration": 0.01}, "grid": {"inputs.RoadGrade": [0, 0.1]}}
    text, source = sweeps.definition_text(definition)
    with _sweep_engine.Sweep(text, source) as sweep:
        sweep.run(threads=1, csv_path=link)
    assert link.is_symlink()
    assert target.read_text().startswith("run,inputs.RoadGrade,")
    assert sorted(path.name for path in target.parent.iterdir()) == ["table.csv"]

    fifo = tmp_path / "fifo"
    os.mkfifo(fifo)
    reader = subprocess.Popen(["cat", str(fifo)], stdout=subprocess.PIPE)
    with _sweep_engine.Sweep(text, source) as sweep:
        sweep.run(threads=1, csv_path=fifo)
    out, _ = reader.communicate(timeout=30)
    assert stat.S_ISFIFO(os.lstat(fifo).st_mode)
    assert out.decode().count("\n") == 3
