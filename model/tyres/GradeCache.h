// Everything of one evaluation that depends on the road grade alone: the body-axis
// direction of gravity, the static wheel loads and the load-only terms of the front and
// rear tyres.  The grade changes rarely (a host writes it with the inputs, usually the
// same value for many steps), so each instance keeps the terms of the last grade it saw,
// keyed by the exact bits of RoadGrade: a hit returns the very values the wheel-load
// block and tyreLoadTerms computed for those bits; a miss runs them again.
#ifndef CORVANTA_MODEL_TYRES_GRADECACHE_H
#define CORVANTA_MODEL_TYRES_GRADECACHE_H

#include <cstdint>

#include "model/tyres/TyreFastPath.h"

// Outputs of the wheel-load block that depend on the grade only.
struct GradeLoads {
  double GravityDirection[3];  // world vertical in body axes
  double GravityForceY;        // N
  double GravityForceZ;        // N
  double FrontWheelLoad;       // N, each front tyre
  double RearWheelLoad;        // N, each rear tyre
};

struct GradeTerms {
  GradeLoads loads;
  TyreLoadTerms frontTyre;
  TyreLoadTerms rearTyre;
};

class GradeCache {
 public:
  // The terms for this grade and vehicle, recomputed when the grade's bits differ from the
  // cached key.  An instance always passes the same parameters.
  const GradeTerms &at(const ModelParameters &p, double roadGrade);

 private:
  std::uint64_t key_ = 0;
  bool filled_ = false;
  GradeTerms terms_{};
};

#endif  // CORVANTA_MODEL_TYRES_GRADECACHE_H
