// The body's continuous states as signals.  At the start of a run each state that has an
// initial-condition input is loaded from it while its first-initialisation flag is raised
// (the first major evaluation only); every evaluation then reads the state.
#include <cmath>

#include "model/Corvanta.h"

void Corvanta::vehicleSpeed() {
  if (DW.LongitudinalVelocity_FirstInit != 0U) {
    X.LongitudinalVelocity_State = U.InitialSpeed;
  }
  B.LongitudinalVelocity = X.LongitudinalVelocity_State;
}

void Corvanta::planarMotionStates() {
  if (DW.Heading_FirstInit != 0U) {
    X.Heading_State = U.InitialHeading;
  }
  B.LateralVelocity = X.LateralVelocity_State;
  B.YawRate = X.YawRate_State;
}

void Corvanta::globalVelocities() {
  // The initial speed points along the initial heading.
  if (DW.GlobalVelocityX_FirstInit != 0U) {
    X.GlobalVelocityX_State = std::cos(U.InitialHeading) * U.InitialSpeed;
  }
  B.GlobalVelocityX = X.GlobalVelocityX_State;
  if (DW.GlobalVelocityY_FirstInit != 0U) {
    X.GlobalVelocityY_State = std::sin(U.InitialHeading) * U.InitialSpeed;
  }
  B.GlobalVelocityY = X.GlobalVelocityY_State;
}

void Corvanta::positions() {
  if (DW.PositionX_FirstInit != 0U) {
    X.PositionX_State = U.InitialPositionX;
  }
  if (DW.PositionY_FirstInit != 0U) {
    X.PositionY_State = U.InitialPositionY;
  }
}
