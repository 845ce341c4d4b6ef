#!/usr/bin/env python3
"""Writes the regression command streams of the Windows leg into this folder.

Format: tests/data/conformance/README.md.  Input fields: 0 AccelerationDemand,
1 GearSelector, 2 SteeringAngle, 3 RoadGrade, 4 InitialPositionX, 5 InitialPositionY,
6 InitialHeading, 7 InitialSpeed.  Every stream records each of the first 50 steps,
then every 50th to 500th step.

    python3 tests/windows/streams/make_streams.py
"""
import os
import random
import struct

STREAMS = {
    # Standing start at saturated demand on the level (1-2 upshift near 10 s), then a
    # downhill grade of 0.15 rad adds speed for the next upshifts; 30 s.
    "full-throttle-upshifts": [
        ("set", 0, 3.0), ("set", 1, 1.0), ("init",), ("step", 50, 1), ("step", 119950, 500),
        ("set", 3, 0.15), ("step", 180000, 500)],
    # 25 m/s coasting in drive for 1 s, then braking at -6 m/s^2 demand to a standstill,
    # held with the brake for about 2 s more; 10 s.
    "brake-to-standstill": [
        ("set", 1, 1.0), ("set", 7, 25.0), ("init",), ("step", 50, 1), ("step", 9950, 100),
        ("set", 0, -6.0), ("step", 90000, 100)],
    # Steady left turn (0.04 rad) at about 15 m/s, starting straight; 15.5 s.
    "corner-left": [
        ("set", 0, 0.35), ("set", 1, 1.0), ("set", 7, 15.0), ("init",), ("step", 50, 1),
        ("step", 4950, 100), ("set", 2, 0.04), ("step", 150000, 500)],
    # Steady right turn (-0.06 rad) at about 10 m/s from an offset start pose
    # (X -20 m, Y 35 m, heading 1 rad); 15.5 s.
    "corner-right": [
        ("set", 0, 0.2), ("set", 1, 1.0), ("set", 7, 10.0), ("set", 6, 1.0), ("set", 4, -20.0),
        ("set", 5, 35.0), ("init",), ("step", 50, 1), ("step", 4950, 100), ("set", 2, -0.06),
        ("step", 150000, 500)],
    # Reverse from a standstill, straight for 4 s, steering 0.1 rad for 3 s, then braking
    # to a standstill; 10 s.
    "reverse-manoeuvre": [
        ("set", 0, 1.0), ("set", 1, 3.0), ("init",), ("step", 50, 1), ("step", 39950, 200),
        ("set", 2, 0.1), ("step", 30000, 200), ("set", 0, -3.0), ("set", 2, 0.0),
        ("step", 30000, 200)],
    # Neutral at 8 m/s down a 0.06 rad grade for 6 s, then up a 0.2 rad grade until the
    # car stops and rolls backwards; 20 s.
    "neutral-coast-grade": [
        ("set", 1, 0.0), ("set", 3, 0.06), ("set", 7, 8.0), ("init",), ("step", 50, 1),
        ("step", 59950, 200), ("set", 3, -0.2), ("step", 140000, 500)],
    # 22 m/s straight for 1 s, steer step to 0.08 rad for 4 s, then to -0.08 rad; 7 s.
    "step-steer": [
        ("set", 0, 0.5), ("set", 1, 1.0), ("set", 7, 22.0), ("init",), ("step", 50, 1),
        ("step", 9950, 50), ("set", 2, 0.08), ("step", 40000, 50), ("set", 2, -0.08),
        ("step", 20000, 50)],
}


def random_stream(seed, segments):
    """A seeded stream of plausible driving with, now and then, a non-finite or extreme
    value in one input (NaN, +-inf, -0, +-1e300, the largest double, a subnormal); the
    car is re-initialised every few segments, since a NaN state stays NaN."""
    rng = random.Random(seed)
    extremes = [float("nan"), float("inf"), float("-inf"), -0.0, 1e300, -1e300,
                1.7976931348623157e308, 5e-324, -2.2250738585072014e-308]
    ranges = [(-6.0, 3.0), None, (-0.12, 0.12), (-0.2, 0.2), (-100.0, 100.0), (-100.0, 100.0),
              (-3.2, 3.2), (0.0, 30.0)]
    commands = [("set", 1, 1.0), ("set", 7, 10.0), ("init",)]
    for segment in range(segments):
        if segment % 6 == 5:
            for index in (4, 5, 6, 7):
                commands.append(("set", index, rng.uniform(*ranges[index])))
            commands.append(("init",))
        for _ in range(rng.randint(1, 3)):
            index = rng.randrange(8)
            if rng.random() < 0.08:
                value = rng.choice(extremes)
            elif index == 1:
                value = float(rng.choice([0, 1, 1, 1, 2, 3]))
            else:
                value = rng.uniform(*ranges[index])
            commands.append(("set", index, value))
        commands.append(("step", 100 * rng.randint(1, 15), 100))
    return commands


# A long seeded random stream with non-finite inputs, about 160 000 steps.
STREAMS["random-nonfinite"] = random_stream(24, 200)


def bits(value):
    return "0x%016x" % struct.unpack("<Q", struct.pack("<d", value))[0]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, commands in STREAMS.items():
        lines = ["create"]
        for command in commands:
            if command[0] == "set":
                lines.append("set %d %s" % (command[1], bits(command[2])))
            else:
                lines.append(" ".join(str(word) for word in command))
        with open(os.path.join(here, name + ".txt"), "w", encoding="ascii", newline="\n") as out:
            out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
