// The signals of an instance: names and units of the list, and the copy of their values.
#include "vehicle/Signals.h"

#include <cmath>
#include <cstring>

#include "vehicle/Instance.h"

namespace {

struct SignalInfo {
  const char *name;
  const char *unit;
  const char *description;
};

constexpr SignalInfo kSignals[] = {
#define CORVANTA_SIGNAL(name, unit, meaning) {#name, unit, meaning},
#include "vehicle/corvanta_signal_list.def"
#undef CORVANTA_SIGNAL
};
static_assert(sizeof kSignals / sizeof kSignals[0] == CORVANTA_NUM_SIGNALS, "one entry per signal");

// The value of each signal, named after it: a signal of the list without a value here does
// not compile.  The expressions read the model's records only.
#define SIGNAL_VALUE(name, expression) \
  inline double value##name(const Corvanta &m) { return expression; }

SIGNAL_VALUE(PositionX, m.Y.PositionX)
SIGNAL_VALUE(PositionY, m.Y.PositionY)
SIGNAL_VALUE(Heading, m.Y.Heading)
SIGNAL_VALUE(LongitudinalSpeed, m.Y.LongitudinalSpeed)
SIGNAL_VALUE(PitchAngle, m.Y.PitchAngle)
SIGNAL_VALUE(RollAngle, m.Y.RollAngle)
SIGNAL_VALUE(TipOverIndicator, m.Y.TipOverIndicator)
SIGNAL_VALUE(ModelTime, m.M.modelTime)
SIGNAL_VALUE(Gear, m.B.Gear)
SIGNAL_VALUE(GearRatio, m.E.GearRatio)
SIGNAL_VALUE(EngineSpeed, m.X.EngineSpeed_State)
SIGNAL_VALUE(EngineTorque, m.B.EngineTorque)
SIGNAL_VALUE(EngineTorqueDelayed, m.B.EngineTorqueDelayed)
SIGNAL_VALUE(EngineTorqueLagged, m.E.LaggedEngineTorque)
SIGNAL_VALUE(Throttle, 0.01 * m.E.ThrottlePercent)
SIGNAL_VALUE(Brake, m.E.BrakeFraction)
SIGNAL_VALUE(ConverterSpeedRatio, m.E.SpeedRatio)
SIGNAL_VALUE(ConverterTorqueRatio, m.E.TorqueRatio)
SIGNAL_VALUE(PumpTorque, m.B.ImpellerTorque)
SIGNAL_VALUE(TurbineSpeed, m.B.TurbineSpeed)
SIGNAL_VALUE(DriveTorque, m.E.DriveTorque)
SIGNAL_VALUE(BrakeTorqueFL, m.E.BrakeTorque[0])
SIGNAL_VALUE(BrakeTorqueFR, m.E.BrakeTorque[1])
SIGNAL_VALUE(BrakeTorqueRL, m.E.BrakeTorque[2])
SIGNAL_VALUE(BrakeTorqueRR, m.E.BrakeTorque[3])
SIGNAL_VALUE(YawRate, m.B.YawRate)
SIGNAL_VALUE(LateralVelocity, m.B.LateralVelocity)
SIGNAL_VALUE(SideslipAngle, std::atan2(m.B.LateralVelocity, m.B.LongitudinalVelocity))
SIGNAL_VALUE(LongitudinalAcceleration, m.B.LongitudinalAcceleration - m.B.YawRate * m.B.LateralVelocity)
SIGNAL_VALUE(LateralAcceleration, m.B.LateralAcceleration + m.B.YawRate * m.B.LongitudinalVelocity)
SIGNAL_VALUE(PitchRate, m.B.PitchRate)
SIGNAL_VALUE(RollRate, m.B.RollRate)
SIGNAL_VALUE(FrontSteerAngle, m.E.FrontSteerAngle)
SIGNAL_VALUE(WheelSpeedFL, m.B.WheelSpeedFL)
SIGNAL_VALUE(WheelSpeedFR, m.B.WheelSpeedFR)
SIGNAL_VALUE(WheelSpeedRL, m.B.WheelSpeedRL)
SIGNAL_VALUE(WheelSpeedRR, m.B.WheelSpeedRR)
SIGNAL_VALUE(SlipRatioFL, m.E.SlipRatio[0])
SIGNAL_VALUE(SlipRatioFR, m.E.SlipRatio[1])
SIGNAL_VALUE(SlipRatioRL, m.E.SlipRatio[2])
SIGNAL_VALUE(SlipRatioRR, m.E.SlipRatio[3])
SIGNAL_VALUE(SlipAngleFL, m.E.SlipAngle[0])
SIGNAL_VALUE(SlipAngleFR, m.E.SlipAngle[1])
SIGNAL_VALUE(SlipAngleRL, m.E.SlipAngle[2])
SIGNAL_VALUE(SlipAngleRR, m.E.SlipAngle[3])
SIGNAL_VALUE(TyreForceXFL, m.E.TyreFx[0])
SIGNAL_VALUE(TyreForceXFR, m.E.TyreFx[1])
SIGNAL_VALUE(TyreForceXRL, m.E.TyreFx[2])
SIGNAL_VALUE(TyreForceXRR, m.E.TyreFx[3])
SIGNAL_VALUE(TyreForceYFL, m.E.TyreFy[0])
SIGNAL_VALUE(TyreForceYFR, m.E.TyreFy[1])
SIGNAL_VALUE(TyreForceYRL, m.E.TyreFy[2])
SIGNAL_VALUE(TyreForceYRR, m.E.TyreFy[3])
SIGNAL_VALUE(TyreAligningMomentFL, m.E.TyreMz[0])
SIGNAL_VALUE(TyreAligningMomentFR, m.E.TyreMz[1])
SIGNAL_VALUE(TyreAligningMomentRL, m.E.TyreMz[2])
SIGNAL_VALUE(TyreAligningMomentRR, m.E.TyreMz[3])
SIGNAL_VALUE(TyreRollingMomentFL, m.E.TyreMy[0])
SIGNAL_VALUE(TyreRollingMomentFR, m.E.TyreMy[1])
SIGNAL_VALUE(TyreRollingMomentRL, m.E.TyreMy[2])
SIGNAL_VALUE(TyreRollingMomentRR, m.E.TyreMy[3])
SIGNAL_VALUE(TyreLoadFL, m.E.FrontWheelLoad)
SIGNAL_VALUE(TyreLoadFR, m.E.FrontWheelLoad)
SIGNAL_VALUE(TyreLoadRL, m.E.RearWheelLoad)
SIGNAL_VALUE(TyreLoadRR, m.E.RearWheelLoad)

#undef SIGNAL_VALUE

}  // namespace

std::size_t copySignals(const Corvanta &model, double *out, std::size_t count) {
  if (count >= CORVANTA_NUM_SIGNALS) {
    // The whole list: straight-line stores, in list order.
#define CORVANTA_SIGNAL(name, unit, meaning) out[CORVANTA_SIGNAL_##name] = value##name(model);
#include "vehicle/corvanta_signal_list.def"
#undef CORVANTA_SIGNAL
    return CORVANTA_NUM_SIGNALS;
  }
  double all[CORVANTA_NUM_SIGNALS];
  copySignals(model, all, CORVANTA_NUM_SIGNALS);
  std::memcpy(out, all, count * sizeof(double));
  return count;
}

extern "C" {

CORVANTA_VEHICLE_API size_t corvanta_signal_count(void) { return CORVANTA_NUM_SIGNALS; }

CORVANTA_VEHICLE_API const char *corvanta_signal_name(size_t index) {
  return index < CORVANTA_NUM_SIGNALS ? kSignals[index].name : nullptr;
}

CORVANTA_VEHICLE_API const char *corvanta_signal_unit(size_t index) {
  return index < CORVANTA_NUM_SIGNALS ? kSignals[index].unit : nullptr;
}

CORVANTA_VEHICLE_API const char *corvanta_signal_description(size_t index) {
  return index < CORVANTA_NUM_SIGNALS ? kSignals[index].description : nullptr;
}

CORVANTA_VEHICLE_API int corvanta_signal_index(const char *name) {
  if (name == nullptr) {
    return -1;
  }
  for (int k = 0; k < CORVANTA_NUM_SIGNALS; ++k) {
    if (std::strcmp(kSignals[k].name, name) == 0) {
      return k;
    }
  }
  return -1;
}

CORVANTA_VEHICLE_API size_t corvanta_instance_signals(const CorvantaInstance *instance, double *out, size_t count) {
  if (instance == nullptr || out == nullptr) {
    return 0;
  }
  return copySignals(instance->model, out, count);
}

}  // extern "C"
