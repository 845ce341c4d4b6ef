"""Writes the seeds of the FMU fuzzer (fuzz/fmu/corpus): one per mode and FMI version.

    python3 fuzz/fmu/make_seeds.py

Byte 0: bit 0 the version (0: 2.0, 1: 3.0), bits 1-2 the mode (0 raw state, 1 edited state,
2 call sequence).  Call ops (op % 14): 0 enter initialisation, 1 exit, 2 set, 3 step, 4 get,
5 get state, 6 set state, 7 free state, 8 serialise and deserialise, 9 terminate, 10 reset,
11 status query, 12 foreign handle, 13 edited state.
"""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))
corpus = os.path.join(here, "corpus")
os.makedirs(corpus, exist_ok=True)

ENTER, EXIT, SET, STEP, GET, GET_STATE, SET_STATE, FREE_STATE, ROUND_TRIP, TERMINATE, RESET, STATUS, FOREIGN = range(13)


def calls(*ops):
    return bytes(ops)


sequences = {
    # a run, a state, an error, a restart from the state, a double free through a stale copy
    "restart-after-error": calls(ENTER, 100, SET, 1, 140, EXIT, STEP, 39, 1, STEP, 20, 1, GET_STATE, STEP, 5, 8, 0,
                                 STEP, 5, 1, SET_STATE, 0, STEP, 10, 1, FREE_STATE, 0, FREE_STATE, 0, SET_STATE, 0),
    "state-before-initialisation": calls(SET, 8, 160, GET_STATE, ENTER, 100, EXIT, STEP, 30, 1, SET_STATE, 0, STEP, 3,
                                         1, ENTER, 100, EXIT, STEP, 30, 1, ROUND_TRIP, 0, SET_STATE, 1, STEP, 2, 1),
    "status-and-foreign": calls(ENTER, 100, EXIT, STATUS, STEP, 10, 1, FOREIGN, STEP, 1, 1, RESET, ENTER, 100, EXIT,
                                GET_STATE, TERMINATE, SET_STATE, 0, STEP, 4, 1, 13, 20, 0, 255),
}
for name, body in sequences.items():
    for version in (0, 1):
        with open(os.path.join(corpus, f"calls-{name}-{2 + version}.bin"), "wb") as f:
            f.write(bytes([version | (2 << 1)]) + body)

# Raw states: the envelope's header with a short body, and an edit list for the valid state
# (offsets of the start time, the FMI state and a delay index).
header = b"CRVSTATE" + struct.pack("<II", 3, 8) + b"{f41290db-7200-4951-8286-8d4e674dbaf4}".ljust(40, b"\0")
for version in (0, 1):
    with open(os.path.join(corpus, f"raw-header-{2 + version}.bin"), "wb") as f:
        f.write(bytes([version | (0 << 1)]) + header + bytes(12))
    with open(os.path.join(corpus, f"edited-{2 + version}.bin"), "wb") as f:
        f.write(bytes([version | (1 << 1)]) + struct.pack("<HB", 96 + 7, 0x7F) + struct.pack("<HB", 120, 0x02) +
                struct.pack("<HB", 300, 0x40))
