// Physics of non-default vehicles against expectations worked out by hand from mechanics
// (each derivation is written out beside its test): braking distance against the tyre's
// friction, the steady-state yaw response of a heavier car from its axle loads and
// cornering stiffnesses, and the top speed in each gear against the final drive.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "capi/corvanta.h"
#include "vehicle/corvanta_vehicle.h"

namespace {

constexpr double kStep = 1e-4;  // s, the model's fixed step

struct VehicleDeleter {
  void operator()(CorvantaVehicle *v) const { corvanta_vehicle_free(v); }
};
using VehiclePtr = std::unique_ptr<CorvantaVehicle, VehicleDeleter>;
struct InstanceDeleter {
  void operator()(CorvantaInstance *c) const { corvanta_instance_free(c); }
};
using InstancePtr = std::unique_ptr<CorvantaInstance, InstanceDeleter>;

double get(const CorvantaVehicle *v, const char *name) {
  double value = NAN;
  EXPECT_EQ(corvanta_vehicle_get(v, name, &value, 1, nullptr), CORVANTA_VEHICLE_OK) << name;
  return value;
}

void set(CorvantaVehicle *v, const char *name, double value) {
  char error[512] = "";
  ASSERT_EQ(corvanta_vehicle_set(v, name, &value, 1, error, sizeof error), CORVANTA_VEHICLE_OK) << error;
}

InstancePtr instanceOf(const CorvantaVehicle *v, const ExtU_Corvanta_T &inputs) {
  char report[4096] = "";
  EXPECT_EQ(corvanta_vehicle_validate(v, report, sizeof report), 0) << report;
  InstancePtr car(corvanta_instance_create(v));
  EXPECT_NE(car, nullptr);
  if (car) {
    corvanta_instance_set_inputs(car.get(), &inputs);
    corvanta_instance_initialize(car.get());
  }
  return car;
}

double signal(const CorvantaInstance *car, int index) {
  double all[CORVANTA_NUM_SIGNALS];
  corvanta_instance_signals(car, all, CORVANTA_NUM_SIGNALS);
  return all[index];
}

// ---- Braking distance and tyre friction -----------------------------------------------
//
// Straight braking in neutral (no drive torque) on a level road.  On the body, the only
// longitudinal forces are the four tyre forces: no aerodynamic drag, and the rolling
// resistance is a moment on the wheels only.  The wheel loads are the static ones (this
// model has no load transfer), so every force below is a function of the speed v, the
// wheel speeds w_i and the brake actuator states b_i:
//   m dv/dt       = sum_i Fx_i(kappa_i, v)     kappa_i = (w_i R - v) / v
//   I dw_i/dt     = My_i(kappa_i, v) + T_i(b_i) - Fx_i R
//   tau db_i/dt   = u(v) - b_i                 brake torque T_i = -G_i b_i / tau-part
// with Fx = Dx sin(Cx atan(Bx k - Ex (Bx k - atan(Bx k)))), Dx = (PDX1 + PDX2 dfz) Fz /
// (1 + v / LONGVL), Bx = Kx / (Cx Dx + 0.1), Kx = (PKX1 + PKX2 dfz) Fz exp(PKX3 dfz),
// My = -R0 Fz QSY1 atan((1 - |k|) v / LONGVL).
//
// Friction scaled by s: PDX1, PDX2 -> s PDX1, s PDX2 multiplies Dx by s.  If the tyre's
// slip stiffness (PKX1, PKX2) is scaled alike, Bx is unchanged (but for the 0.1 N
// regulariser) and Fx(kappa, v) becomes exactly s Fx(kappa, v).  A surface of friction s
// then stops the car with every retarding force s times as large at the same state; the
// brake system must scale too for the stop to be the same one slowed down: brake gains
// times s (torques s times), rolling-resistance coefficient QSY1 times s, brake time
// constant divided by s.  Then v_s(t) = v_1(s t), w_s(t) = w_1(s t), b_s(t) = b_1(s t)
// solve the equations above (substitute: every right-hand side is s times the original
// at time s t), and the distance to any speed is d_s = integral v_s dt = d_1 / s.
//
// Error budget: the 0.1 N in Bx changes Bx by at most 0.1 / (Cx Dx) relative; with the
// smallest Dx of these runs (s = 0.25, rear wheel, 20 m/s: 0.25 * 1.09 * 3570 / 2.2 =
// 440 N) that is 1.4e-4, and the force depends on Bx with a sensitivity below 1 (far from
// the peak its slope in Bx is small); the fixed step does not scale with s, but the
// crossing of the speed threshold is interpolated within a step (error about a dt^2 / 8,
// 1e-8 m).  Hence a relative tolerance of 2e-4 on the distance.
//
// What does not scale: with PDX1 alone lowered, Bx = Kx / (Cx Dx) grows as 1/s, and the
// brake torque (which does not fall with the friction) spins the wheels backwards, so the
// wheels run through the force curve at other slips; the brake lag (60 ms, about 1.2 m at
// 20 m/s) and the rolling-resistance moment on the wheels do not scale either.  These make
// a stop with PDX1 alone a few per cent off 1/s (2.7 % between PDX1 x 0.5 and x 0.25 from
// 20 m/s); load transfer plays no part, as the loads are static.
double stoppingDistance(const CorvantaVehicle *v, double speed, double threshold) {
  ExtU_Corvanta_T u{};
  u.AccelerationDemand = -10.0;  // the brake map's full braking
  u.GearSelector = 0.0;          // neutral: no drive torque
  u.InitialSpeed = speed;
  InstancePtr car = instanceOf(v, u);
  if (!car) return NAN;
  double previousX = 0.0, previousV = speed;
  for (int k = 0; k < 400000; ++k) {
    corvanta_instance_step(car.get());
    const ExtY_Corvanta_T *y = corvanta_instance_outputs(car.get());
    if (y->LongitudinalSpeed <= threshold) {
      const double f = (previousV - threshold) / (previousV - y->LongitudinalSpeed);
      return previousX + f * (y->PositionX - previousX);
    }
    previousX = y->PositionX;
    previousV = y->LongitudinalSpeed;
  }
  return NAN;  // never slowed down to the threshold
}

VehiclePtr frictionScaled(double s) {
  VehiclePtr v(corvanta_vehicle_create_builtin());
  for (const char *name : {"PDX1", "PDX2", "PKX1", "PKX2", "QSY1", "FrontBrakeGain", "RearBrakeGain"}) {
    set(v.get(), name, get(v.get(), name) * s);
  }
  set(v.get(), "BrakeTimeConstant", get(v.get(), "BrakeTimeConstant") / s);
  return v;
}

TEST(VehiclePhysics, StoppingDistanceScalesAsOneOverTheFrictionCoefficient) {
  const double speed = 20.0, threshold = 0.1;
  const VehiclePtr full(corvanta_vehicle_create_builtin());
  const double d1 = stoppingDistance(full.get(), speed, threshold);
  ASSERT_TRUE(std::isfinite(d1));
  // Plausible for full braking of the built-in car: more than v^2 / 2g (friction 1, no
  // lag) and less than v^2 / (2 * 0.25 g).
  EXPECT_GT(d1, speed * speed / (2.0 * 9.8));
  EXPECT_LT(d1, speed * speed / (2.0 * 0.25 * 9.8));
  for (const double s : {0.5, 0.25}) {
    const VehiclePtr low = frictionScaled(s);
    const double ds = stoppingDistance(low.get(), speed, threshold);
    EXPECT_NEAR(ds * s / d1, 1.0, 2e-4) << "friction x " << s << ": " << ds << " m against " << d1 << " m";
  }
  // The friction coefficient alone lengthens the stop too, though not as 1/s (above).
  VehiclePtr half(corvanta_vehicle_create_builtin());
  set(half.get(), "PDX1", get(half.get(), "PDX1") * 0.5);
  EXPECT_GT(stoppingDistance(half.get(), speed, threshold), 1.5 * d1);
}

// ---- Steady-state yaw response of a heavier car ----------------------------------------
//
// Small steering at a speed held nearly constant: the linear single-track model, with the
// two wheels of an axle alike (equal static loads, no load transfer, pure-slip tyres, so
// the drive force of the rear wheels does not change their lateral force).  Per axle:
//   cornering stiffness C = 2 |PKY1| FNOMIN sin(2 atan(Fz / (PKY2 FNOMIN)))  (both tyres;
//     for small slip Fy = Dy sin(Cy atan(By alpha)) ~ Cy By Dy alpha = Kya alpha, the 0.1 N
//     in By's denominator aside);
//   pneumatic trail t = Dt cos(QCZ1 atan(Bt SHt)), Dt = (R0 / FNOMIN) Fz (QDZ1 + QDZ2 dfz),
//     Bt = QBZ1 + QBZ2 dfz + QBZ3 dfz^2, SHt = QHZ1 + QHZ2 dfz: the aligning moment -t Fy
//     moves each axle's lateral force back by t, so the levers are a' = a - t_f and
//     b' = b + t_r;
//   front rolling resistance: a free-rolling front wheel turns steadily when its tyre force
//     balances the rolling-resistance moment, Xf = 2 My / R = -2 R0 Fzf QSY1 atan(v / LONGVL)
//     / R (both wheels), and this force turns with the steer angle delta, adding Xf delta
//     to the lateral force and a Xf delta to the yaw moment.
// Steady state at yaw rate r and lateral acceleration ay = v r:
//   Fyf + Fyr + Xf delta = m ay,   a' Fyf - b' Fyr + a Xf delta = 0,
//   delta - Fyf / Cf + Fyr / Cr = L r / v            (kinematics: alpha_f - alpha_r).
// Solved for r given v and delta.  Without the trail and the rolling-resistance term, the
// classic understeer gradient K = (m / L) (b / Cf - a / Cr) gives r = v delta / (L + K v^2)
// and is 1.6 % (built-in car) to 1.9 % (heavier) off; with them the prediction holds to
// the remaining effects: the cubic term of the tyre curve at these slip angles (below 1.5
// mrad: By alpha < 0.04, relative force error below 1e-3 and nearly alike on both axles),
// cos(delta) ~ 1 - 1.3e-5, and the slow change of the speed (about 0.02 m/s per s; a
// quasi-steady error below 1e-4).  Tolerance: 1e-3 relative on r.
struct Axle {
  double load;       // N, one wheel
  double stiffness;  // N/rad, both wheels
  double trail;      // m
};

Axle axle(const CorvantaVehicle *v, double load) {
  const double F0 = get(v, "FNOMIN"), dfz = (load - F0) / F0;
  Axle result{};
  result.load = load;
  result.stiffness = 2.0 * std::fabs(get(v, "PKY1")) * F0 * std::sin(2.0 * std::atan(load / (get(v, "PKY2") * F0)));
  const double Dt = get(v, "UNLOADED_RADIUS") / F0 * load * (get(v, "QDZ1") + get(v, "QDZ2") * dfz);
  const double Bt = get(v, "QBZ1") + get(v, "QBZ2") * dfz + get(v, "QBZ3") * dfz * dfz;
  const double SHt = get(v, "QHZ1") + get(v, "QHZ2") * dfz;
  result.trail = Dt * std::cos(get(v, "QCZ1") * std::atan(Bt * SHt));
  return result;
}

double predictedYawRate(const CorvantaVehicle *v, double speed, double delta) {
  const double m = get(v, "VehicleMass"), g = get(v, "Gravity"), L = get(v, "Wheelbase");
  const double a = get(v, "FrontAxleDistance"), b = L - a;
  const Axle front = axle(v, m * g * b / (2.0 * L));
  const Axle rear = axle(v, m * g * a / (2.0 * L));
  const double Xf = 2.0 *
                    (-get(v, "UNLOADED_RADIUS") * front.load * get(v, "QSY1") * std::atan(speed / get(v, "LONGVL"))) /
                    get(v, "WheelRadius");
  const double af = a - front.trail, br = b + rear.trail;
  // The three equations are linear in (Fyf, Fyr, r): eliminate the forces.
  //   Fyf = (m v r - Xf delta (a + br) / br) br / (af + br),  Fyr = (af Fyf + a Xf delta) / br
  //   delta - Fyf / Cf + Fyr / Cr - L r / v = 0, linear in r: c0 + c1 r = 0.
  const auto residual = [&](double r) {
    const double Fyf = (m * speed * r - Xf * delta * (a + br) / br) * br / (af + br);
    const double Fyr = (af * Fyf + a * Xf * delta) / br;
    return delta - Fyf / front.stiffness + Fyr / rear.stiffness - L * r / speed;
  };
  const double c0 = residual(0.0), c1 = residual(1.0) - c0;
  return -c0 / c1;
}

// Holds `delta` at a demand that keeps the speed nearly constant and returns the yaw rate
// and the speed after `seconds`.
void steadySteer(const CorvantaVehicle *v, double speed, double delta, double demand, double seconds, double &r,
                 double &vx, double &steer) {
  ExtU_Corvanta_T u{};
  u.AccelerationDemand = demand;
  u.GearSelector = 1.0;
  u.InitialSpeed = speed;
  u.SteeringAngle = delta;
  InstancePtr car = instanceOf(v, u);
  ASSERT_TRUE(car);
  const int steps = static_cast<int>(seconds / kStep);
  for (int k = 0; k < steps; ++k) corvanta_instance_step(car.get());
  r = signal(car.get(), CORVANTA_SIGNAL_YawRate);
  vx = signal(car.get(), CORVANTA_SIGNAL_LongitudinalSpeed);
  steer = signal(car.get(), CORVANTA_SIGNAL_FrontSteerAngle);
}

TEST(VehiclePhysics, HeavierCarsYawGainFollowsTheUndersteerOfItsAxleLoadsAndTyres) {
  const VehiclePtr car(corvanta_vehicle_create_builtin());
  VehiclePtr heavy(corvanta_vehicle_create_builtin());
  set(heavy.get(), "VehicleMass", 2200.0);  // +25 %, centre of mass where it was
  set(heavy.get(), "SprungMass", 2000.0);
  set(heavy.get(), "YawInertia", 3192.0);
  const double speed = 12.0, delta = 0.005;
  double gain[2] = {};
  const CorvantaVehicle *sets[2] = {car.get(), heavy.get()};
  for (int k = 0; k < 2; ++k) {
    double r = 0.0, vx = 0.0, steer = 0.0;
    steadySteer(sets[k], speed, delta, 0.3, 6.0, r, vx, steer);
    EXPECT_NEAR(steer, delta, 1e-9);  // the actuator has unit gain at rest
    ASSERT_GT(vx, 10.0);
    const double predicted = predictedYawRate(sets[k], vx, steer);
    EXPECT_NEAR(r / predicted, 1.0, 1e-3) << "set " << k << ": r " << r << " rad/s, predicted " << predicted;
    gain[k] = r / steer / vx;  // yaw gain per speed, 1 / (L + K v^2)
  }
  // The heavier car understeers more: K grows with the mass, since the cornering stiffness
  // grows less than in proportion to the load (the sine law saturates).  Its hand-derived
  // gradient: K = (m/L)(b/Cf - a/Cr) is 6.33e-4 rad s^2/m for the built-in car and 9.89e-4
  // for the heavier one (without trail and rolling resistance), so its gain is smaller.
  EXPECT_LT(gain[1], gain[0]);
}

// ---- Top speed in each gear against the final drive -----------------------------------
//
// The turbine turns at FinalDriveRatio x (wRL + wRR) x the gear's ratio, so in a gear
// with ratio G the rear wheels turn at w = turbine / (2 FinalDriveRatio G).  Driving, the
// turbine lags the engine (the converter slips to transmit torque), the engine stays at
// or below EngineSpeedMax, and a driven wheel turns faster than it rolls (positive slip),
// so the speed can never exceed the engine-limited top speed
//   v_max = EngineSpeedMax R / (2 FinalDriveRatio |G|).
// It comes close to it at full throttle: the load (rolling resistance only) needs little
// converter slip; below 10 % in every run here.  Doubling the final drive therefore
// halves the top speed within that slip: the ratio lies in [0.5 * 0.9, 0.5 / 0.9].
struct GearRun {
  double speed;     // m/s, after 60 s
  double topSpeed;  // m/s, the engine-limited bound
  double gear;
};

GearRun fullThrottle(const CorvantaVehicle *v, double selector) {
  ExtU_Corvanta_T u{};
  u.AccelerationDemand = 2.0;
  u.GearSelector = selector;
  InstancePtr car = instanceOf(v, u);
  GearRun run{};
  if (!car) return run;
  double ratios[7] = {};
  corvanta_vehicle_get(v, "GearRatio_Table", ratios, 7, nullptr);
  const double fdr = get(v, "FinalDriveRatio"), radius = get(v, "WheelRadius");
  double fastest = 0.0;
  for (int k = 0; k < 600000; ++k) {
    corvanta_instance_step(car.get());
    if (k % 100 == 0) {
      double s[CORVANTA_NUM_SIGNALS];
      corvanta_instance_signals(car.get(), s, CORVANTA_NUM_SIGNALS);
      const double G = selector == 3.0 ? ratios[0] : ratios[static_cast<int>(s[CORVANTA_SIGNAL_Gear]) + 1];
      // The turbine speed is the wheel speeds through the two ratios.
      EXPECT_NEAR(s[CORVANTA_SIGNAL_TurbineSpeed],
                  fdr * (s[CORVANTA_SIGNAL_WheelSpeedRL] + s[CORVANTA_SIGNAL_WheelSpeedRR]) * G,
                  1e-9 * (1.0 + std::fabs(s[CORVANTA_SIGNAL_TurbineSpeed])));
      fastest = std::max(fastest, std::fabs(s[CORVANTA_SIGNAL_LongitudinalSpeed]));
    }
  }
  const double G = selector == 3.0 ? ratios[0] : ratios[2];
  run.speed = std::fabs(signal(car.get(), CORVANTA_SIGNAL_LongitudinalSpeed));
  run.gear = signal(car.get(), CORVANTA_SIGNAL_Gear);
  run.topSpeed = get(v, "EngineSpeedMax") * radius / (2.0 * fdr * std::fabs(G));
  EXPECT_LE(fastest, run.topSpeed);
  return run;
}

TEST(VehiclePhysics, FinalDriveSetsTheTopSpeedInEachGearAsTheRatiosSay) {
  const VehiclePtr car(corvanta_vehicle_create_builtin());
  VehiclePtr shortDrive(corvanta_vehicle_create_builtin());
  set(shortDrive.get(), "FinalDriveRatio", 2.0 * 2.05);
  // Reverse: the gear is fixed at -1.
  const GearRun reverse = fullThrottle(car.get(), 3.0);
  const GearRun reverseShort = fullThrottle(shortDrive.get(), 3.0);
  for (const GearRun &run : {reverse, reverseShort}) {
    EXPECT_LT(run.speed, run.topSpeed);
    EXPECT_GT(run.speed, 0.9 * run.topSpeed);
  }
  EXPECT_NEAR(reverseShort.topSpeed, 0.5 * reverse.topSpeed, 1e-12 * reverse.topSpeed);
  EXPECT_GT(reverseShort.speed / reverse.speed, 0.5 * 0.9);
  EXPECT_LT(reverseShort.speed / reverse.speed, 0.5 / 0.9);
  // First gear with the doubled final drive: its top speed (v_max = 7.16 m/s, 25.8 km/h)
  // lies below the speed at which the shift map leaves first gear at full throttle, so the
  // car stays in first gear, held near the engine-limited top speed.
  const GearRun first = fullThrottle(shortDrive.get(), 1.0);
  EXPECT_EQ(first.gear, 1.0);
  EXPECT_LT(first.speed, first.topSpeed);
  EXPECT_GT(first.speed, 0.9 * first.topSpeed);
}

}  // namespace
