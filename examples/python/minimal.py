"""Five seconds at full throttle from standstill.

Run from the repository root after building:  PYTHONPATH=python python3 examples/python/minimal.py
"""

import corvanta

with corvanta.Model() as car:
    # A demand above the throttle map's range opens the throttle fully; gear 1 is drive.
    car.set_inputs(AccelerationDemand=3.0, GearSelector=1)
    car.initialize()
    car.step(50_000)  # 50 000 steps of 0.0001 s
    out = car.outputs
    print(f"after {car.time:.1f} s: speed {out.LongitudinalSpeed:.3f} m/s, "
          f"position ({out.PositionX:.3f}, {out.PositionY:.3f}) m")
