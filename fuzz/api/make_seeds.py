#!/usr/bin/env python3
"""Writes the seed corpus of the API fuzzer (fuzz/api/api_fuzzer.cpp) into fuzz/api/corpus/.

Each seed is a short host session in the fuzzer's input format: op bytes (call in bits
0-2, instance slot in bits 3-4) followed by their arguments; op bytes from 32 on are calls
of the vehicle library (bits 5-7).
"""
import os
import struct

CREATE, DELETE, INIT, SET_ALL, STEP, GET, TERMINATE, SET_FIELD = range(8)
DEMAND, GEAR, STEER, GRADE, X0, Y0, HEADING0, SPEED0 = range(8)
NAN = float("nan")
INF = float("inf")


def op(call, slot=0):
    return bytes([call | (slot << 3)])


def set_all(values, slot=0):
    return op(SET_ALL, slot) + struct.pack("<8d", *values)


def set_field(field, value, slot=0):
    return op(SET_FIELD, slot) + bytes([field]) + struct.pack("<d", value)


def steps(count, slot=0):
    out = b""
    while count > 0:
        n = min(count, 256)
        out += op(STEP, slot) + bytes([n - 1])
        count -= n
    return out


DRIVE = [1.0, 1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0]

V_SET, V_CREATE, V_INPUTS, V_STEP, V_SIGNALS, V_ROUND_TRIP, V_CORRUPT = (k << 5 for k in range(1, 8))
V_INITIALIZE = V_INPUTS | 1


def v_set(parameter, element, value):
    return bytes([V_SET]) + struct.pack("<HBd", parameter, element, value)


def v_inputs(values):
    return bytes([V_INPUTS]) + struct.pack("<8d", *values)


def v_steps(n):
    return bytes([V_STEP, n - 1])


def v_corrupt(offset, xor):
    return bytes([V_CORRUPT]) + struct.pack("<HB", offset, xor)

SEEDS = {
    "drive": set_all(DRIVE) + op(INIT) + steps(1500) + op(GET),
    "steer-nan-then-restart": set_all(DRIVE) + op(INIT) + steps(300) + set_field(STEER, NAN) + steps(2)
    + set_field(STEER, 0.0) + op(INIT) + steps(500),
    "huge-initial-speed": set_all([1.0, 1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 1e308]) + op(INIT) + steps(50)
    + set_field(SPEED0, 12.0) + op(INIT) + steps(300),
    "grade-infinite": set_all(DRIVE) + op(INIT) + steps(100) + set_field(GRADE, -INF) + steps(3) + op(INIT)
    + steps(100),
    "gear-selector-out-of-range": set_all([0.5, 1e12, 0.01, 0.0, 1.0, 2.0, 0.3, 5.0]) + op(INIT) + steps(200)
    + set_field(GEAR, -3e9) + steps(100) + set_field(GEAR, 3.9) + steps(200),
    "brake-and-reverse": set_all([-3.0, 3.0, 0.0, 0.0, 0.0, 0.0, 0.0, 10.0]) + op(INIT) + steps(800),
    "two-instances": set_all(DRIVE, 0) + set_all(DRIVE, 1) + op(INIT, 0) + op(INIT, 1) + steps(100, 0)
    + steps(100, 1) + set_field(DEMAND, NAN, 1) + steps(10, 1) + steps(100, 0) + op(INIT, 1) + steps(50, 1),
    "delete-recreate": op(INIT, 2) + steps(20, 2) + op(DELETE, 2) + op(STEP, 2) + b"\x05" + op(INIT, 2)
    + op(GET, 2) + op(CREATE, 2) + op(INIT, 2) + steps(20, 2) + op(TERMINATE, 2) + steps(5, 2),
    "step-before-initialize": steps(10, 3) + op(GET, 3) + set_all(DRIVE, 3) + steps(10, 3) + op(INIT, 3)
    + steps(10, 3),
    "vehicle-round-trip": v_inputs(DRIVE) + bytes([V_INITIALIZE]) + v_steps(8) + bytes([V_SIGNALS, 43])
    + bytes([V_ROUND_TRIP, 5]) + bytes([V_SIGNALS, 255]) + v_corrupt(100, 1),
    "vehicle-changed-set": v_set(0, 0, 1800.0) + v_set(7, 3, 0.5) + bytes([V_CREATE]) + v_inputs(DRIVE)
    + bytes([V_INITIALIZE]) + v_steps(4) + bytes([V_ROUND_TRIP, 3, V_SIGNALS, 7]),
    "vehicle-set-with-problems": v_set(1, 0, NAN) + bytes([V_CREATE]) + v_steps(3) + bytes([V_ROUND_TRIP, 2])
    + v_set(1, 0, 1.0) + bytes([V_CREATE, V_INITIALIZE]) + v_steps(2),
    "vehicle-state-before-initialize": bytes([V_ROUND_TRIP, 2]) + v_corrupt(0, 0x41) + v_corrupt(20, 0x80)
    + bytes([V_INITIALIZE, V_ROUND_TRIP, 0]) + v_inputs([NAN, 1.0, INF, 0.0, 0.0, 0.0, 0.0, 3.0]) + v_steps(6)
    + bytes([V_ROUND_TRIP, 4]),
    "vehicle-with-model-calls": set_all(DRIVE) + op(INIT) + steps(5) + v_inputs(DRIVE) + bytes([V_INITIALIZE])
    + v_steps(5) + op(GET) + bytes([V_SIGNALS, 10]),
    "subnormal-inputs": set_all([5e-324, 1.0, -5e-324, 2.2250738585072014e-308, -0.0, 0.0, -0.0, 5e-324])
    + op(INIT) + steps(300),
}


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
    os.makedirs(folder, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
