"""Long calls into the engine that Ctrl-C stops within a fraction of a second.

Python handles SIGINT only between bytecodes of the main thread, so a long C call would
notice Ctrl-C only when it returns.  Two ways around that, both leaving the model
instance or the sweep usable:

- ``steps_in_chunks``: a long stretch of steps is made of calls of at most
  ``CHUNK_STEPS`` steps (milliseconds each), and Python's own check between them raises
  ``KeyboardInterrupt``; the steps before it are done, as with any interrupted loop.
- ``call_interruptibly``: the call runs on a worker thread while the main thread waits;
  on ``KeyboardInterrupt`` the main thread raises a stop flag that the call polls (the
  engine's ``corvanta_stop_when_flagged`` step callback, or a sweep's progress callback),
  waits for the call to end and re-raises.
"""

import ctypes
import threading

# Steps of one call into the engine: about 20 to 50 ms of model stepping.
CHUNK_STEPS = 20_000
# How often the waiting main thread wakes to take a pending Ctrl-C, s.
_POLL_SECONDS = 0.05


class StopFlag:
    """An int that a C callback reads while another thread may set it."""

    def __init__(self):
        self.value = ctypes.c_int(0)

    def set(self):
        self.value.value = 1

    def is_set(self):
        return self.value.value != 0

    @property
    def address(self):
        return ctypes.addressof(self.value)


def call_interruptibly(function, stop):
    """``function()``, stopped through ``stop`` when Ctrl-C arrives; re-raises the
    ``KeyboardInterrupt`` once the call has ended.  Off the main thread (which receives no
    SIGINT) the call runs directly."""
    if threading.current_thread() is not threading.main_thread():
        return function()
    outcome = {}

    def work():
        try:
            outcome["result"] = function()
        except BaseException as error:  # noqa: BLE001 - handed to the waiting thread
            outcome["error"] = error

    worker = threading.Thread(target=work, name="corvanta-engine-call", daemon=True)
    worker.start()
    try:
        while worker.is_alive():
            worker.join(_POLL_SECONDS)
    except KeyboardInterrupt:
        stop.set()
        _join_regardless(worker)
        raise
    if "error" in outcome:
        raise outcome["error"]
    return outcome["result"]


def _join_regardless(worker):
    # The call ends within one step or one progress report of the flag; a second Ctrl-C
    # meanwhile must not leave it running on an instance the caller goes on to use.
    while worker.is_alive():
        try:
            worker.join()
        except KeyboardInterrupt:
            pass


def row_chunks(steps, every, chunk=CHUNK_STEPS):
    """(first_step, step_count, call_every, first_row) pieces that make ``steps`` steps
    with a row after every ``every``-th step and after the last out of calls of at most
    ``chunk`` steps: the call ``step(step_count, call_every)`` writes its rows from row
    ``first_row`` on.  A row interval longer than a chunk is stepped in parts that all
    write the same row, the last part last, so the row holds the outputs at its end."""
    if every <= chunk:
        size = (chunk // every) * every
        row = 0
        for first in range(0, steps, size):
            count = min(size, steps - first)
            yield first, count, every, row
            row += -(-count // every)
        return
    for row, start in enumerate(range(0, steps, every)):
        end = min(start + every, steps)
        for first in range(start, end, chunk):
            count = min(chunk, end - first)
            yield first, count, count, row
