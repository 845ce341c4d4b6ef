// Grade-keyed cache of the wheel loads and the load-only tyre terms.
#include "model/tyres/GradeCache.h"

#include <cstring>

#include "model/Corvanta.h"

const GradeTerms &GradeCache::at(const ModelParameters &p, double roadGrade) {
  std::uint64_t key;
  std::memcpy(&key, &roadGrade, sizeof key);
  if (!filled_ || key != key_) {
    Corvanta::Corvanta_gradeLoads(p, roadGrade, &terms_.loads);
    terms_.frontTyre = tyreLoadTerms(p.tyre[kFrontAxle], terms_.loads.FrontWheelLoad);
    terms_.rearTyre = tyreLoadTerms(p.tyre[kRearAxle], terms_.loads.RearWheelLoad);
    key_ = key;
    filled_ = true;
  }
  return terms_;
}
