#!/usr/bin/env python3
"""Writes tests/data/portable_math/hard_cases.txt: arguments whose exact sin, cos, atan or
exp lies very close to the midpoint between two doubles, with the correctly rounded
result, both computed with mpmath at 600 bits.

Where a function is flat on the scale of its argument's spacing (exp near 0, cos near 0,
sin near pi/2, atan of large arguments), the argument nearest to the inverse function of a
midpoint puts the result within |f'| ulp(x) / 2 of that midpoint: far closer than one
ulp of the result.  Seeded, so the file is reproducible.

    python3 scripts/make_portable_math_hard_cases.py tests/data/portable_math/hard_cases.txt

Line format: FUNCTION ARGUMENT_BITS RESULT_BITS DISTANCE (hexadecimal bit patterns; the
distance of the exact result from the midpoint in ulps of the result, log2).
"""
import os
import random
import struct
import sys

import mpmath
from mpmath import mp, mpf

mp.prec = 600
RNDN = mpmath.libmp.round_nearest


def to_double(v):
    return mpmath.libmp.to_float(mpf(v)._mpf_, rnd=RNDN)


def bits(x):
    return struct.unpack("<Q", struct.pack("<d", x))[0]


def ulp_below_above(y):
    """The spacing of the doubles around the positive value y (its binade)."""
    e = int(mpmath.floor(mpmath.log(abs(y), 2)))
    return mpf(2) ** (max(e, -1022) - 52)


FUNCTIONS = {"sin": mpmath.sin, "cos": mpmath.cos, "atan": mpmath.atan, "exp": mpmath.exp}


def classify(name, x):
    """(result, log2 distance of the exact value from the nearest midpoint, in ulps)."""
    y = FUNCTIONS[name](mpf(x))
    u = ulp_below_above(y)
    frac = abs(y) / u - mpmath.floor(abs(y) / u)
    distance = abs(frac - mpf(1) / 2)
    return to_double(y), float(mpmath.log(distance, 2)) if distance > 0 else -999.0


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_portable_math_hard_cases.py OUTPUT")
    rng = random.Random(24)
    cases = []

    def add(name, x):
        if x != x or x == 0.0:
            return
        result, distance = classify(name, x)
        if distance < -18:
            cases.append((name, x, result, distance))

    two = mpf(2)
    for _ in range(150):
        # exp just above and below 0: 1 + (m + 1/2) 2^-52 and 1 - (m + 1/2) 2^-53.
        m = rng.randrange(1, 1 << rng.randrange(1, 33))
        add("exp", to_double(mpmath.log1p((m + mpf(1) / 2) * two ** -52)))
        add("exp", to_double(mpmath.log1p(-(m + mpf(1) / 2) * two ** -53)))
        # cos near 0: 1 - (m + 1/2) 2^-53.
        m = rng.randrange(1, 1 << rng.randrange(20, 44))
        x = to_double(mpmath.acos(1 - (m + mpf(1) / 2) * two ** -53))
        add("cos", x)
        add("cos", -x)
        # sin near pi/2 and its odd multiples: 1 - (m + 1/2) 2^-53.
        m = rng.randrange(1, 1 << rng.randrange(1, 40))
        base = mpmath.asin(1 - (m + mpf(1) / 2) * two ** -53)
        add("sin", to_double(base))
        add("sin", to_double(-base))
        add("sin", to_double(base + 2 * mpmath.pi * rng.randrange(1, 4)))
        # atan of large arguments: midpoints below pi/2 in [1, 2).
        j = rng.randrange(1, 1 << rng.randrange(1, 34))
        below = to_double(mpmath.pi / 2)  # the double below pi/2
        mid = mpf(below) - (j - mpf(1) / 2) * two ** -52
        x = to_double(mpmath.tan(mid))
        add("atan", x)
        add("atan", -x)
    # atan: the first midpoint below the double nearest pi/2 (about 5.8e15).
    add("atan", to_double(mpmath.tan(mpf(to_double(mpmath.pi / 2)) - two ** -53)))

    seen = set()
    lines = []
    for name, x, result, distance in sorted(cases, key=lambda c: (c[0], c[3])):
        key = (name, bits(x))
        if key in seen:
            continue
        seen.add(key)
        lines.append("%s 0x%016x 0x%016x %.1f" % (name, bits(x), bits(result), distance))
    header = ["# Written by scripts/make_portable_math_hard_cases.py: FUNCTION ARGUMENT RESULT LOG2_DISTANCE",
              "# (bit patterns; distance of the exact result from the nearest midpoint, in ulps)"]
    tmp = sys.argv[1] + ".tmp"
    with open(tmp, "w") as f:
        f.write("\n".join(header + lines) + "\n")
    os.replace(tmp, sys.argv[1])
    counts = {}
    for name, *_ in cases:
        counts[name] = counts.get(name, 0) + 1
    print(counts)


if __name__ == "__main__":
    main()
