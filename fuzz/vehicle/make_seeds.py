#!/usr/bin/env python3
"""Writes the seed corpus of the vehicle fuzzer (fuzz/vehicle/vehicle_fuzzer.cpp) into
fuzz/vehicle/corpus/.

    python3 fuzz/vehicle/make_seeds.py

Byte 0 chooses the reader (even: a vehicle document; odd: a .tir file, byte 1 the axle:
0 both, 1 front, 2 rear).  Seeds: the test data's vehicle file and .tir file, and hostile
documents and tyre files (non-finite and huge numbers, unknown and repeated keys, control
characters, deep nesting, long lines, tables of the wrong length, tyre paths that are
devices, folders or missing, units the reader must convert or refuse).
"""
import os

here = os.path.dirname(os.path.abspath(__file__))
root = os.path.dirname(os.path.dirname(here))
data = os.path.join(root, "tests", "data", "vehicle")
corpus = os.path.join(here, "corpus")
os.makedirs(corpus, exist_ok=True)

DOCUMENT = b"\x00"


def tyre(axle):
    return b"\x01" + bytes([axle])


def read(name):
    with open(os.path.join(data, name), "rb") as f:
        return f.read()


TIR = read("low_mu_205_55R16.tir")

seeds = {
    "estate.json": DOCUMENT + read("estate.json"),
    "document-with-tyre": DOCUMENT + b'{"name": "low mu", "tyre": "low_mu_205_55R16.tir"}',
    "document-tyre-per-axle": DOCUMENT
    + b'{"tyre": {"front": "low_mu_205_55R16.tir"}, "parameters": {"VehicleMass": 1800}}',
    "document-non-finite": DOCUMENT + b'{"parameters": {"VehicleMass": 1e999, "Wheelbase": -1e308, "SprungMass": NaN}}',
    "document-unknown-and-repeated": DOCUMENT
    + b'{"name": "a", "name": "b", "parameters": {"VehicleMas": 1, "VehicleMass": 1500, "VehicleMass": 1600}, "x": 1}',
    "document-control-characters": DOCUMENT + b'{"name": "\x01\x1b[31m\x7f", "parameters": {"\x07bell\xc2\x85": 1}}',
    "document-deep": DOCUMENT + b'{"parameters": ' + b"[" * 400 + b"]" * 400 + b"}",
    "document-long-key": DOCUMENT + b'{"parameters": {"' + b"K" * 5000 + b'": 1}}',
    "document-table-length": DOCUMENT + b'{"parameters": {"FinalDriveRatio": [1, 2, 3]}}',
    "document-tyre-device": DOCUMENT + b'{"tyre": "/dev/zero"}',
    "document-tyre-folder": DOCUMENT + b'{"tyre": {"front": ".", "rear": "missing.tir"}}',
    "document-truncated": DOCUMENT + read("estate.json")[:120],
    "document-empty": DOCUMENT,
    "tir-both": tyre(0) + TIR,
    "tir-front": tyre(1) + TIR,
    "tir-rear-crlf": tyre(2) + TIR.replace(b"\n", b"\r\n"),
    "tir-truncated": tyre(0) + TIR[: len(TIR) // 3],
    "tir-units": tyre(0) + b"[UNITS]\nLENGTH = 'inch'\nFORCE = 'kN'\nANGLE = 'deg'\n[DIMENSION]\nUNLOADED_RADIUS = 12.5\n",
    "tir-bad-units": tyre(0) + b"[UNITS]\nLENGTH = 'furlong'\n[VERTICAL]\nFNOMIN = 4000\n",
    "tir-non-finite": tyre(1) + b"[VERTICAL]\nFNOMIN = nan\nVERTICAL_STIFFNESS = 1e400\nBREFF = -inf\n",
    "tir-huge-values": tyre(2) + b"[LONGITUDINAL_COEFFICIENTS]\nPCX1 = 1e308\nPDX1 = -1e308\nPKX1 = 5e-324\n",
    "tir-control-characters": tyre(0) + b"[MODEL\x01]\nUSE\x1b_MODE = '\x07'\n\x7f = 1\n",
    "tir-long-line": tyre(0) + b"[VERTICAL]\nFNOMIN = " + b"9" * 4000 + b"\n",
    "tir-no-sections": tyre(0) + b"FNOMIN = 4000\n= 3\nKEY =\n'\n",
}
for name, body in seeds.items():
    with open(os.path.join(corpus, name), "wb") as f:
        f.write(body)
