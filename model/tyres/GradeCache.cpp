// Grade-keyed cache of the wheel loads and the load-only tyre terms.
#include "GradeCache.h"

#include <cstring>

#include "Corvanta.h"

const GradeTerms &GradeCache::at(double roadGrade) {
  std::uint64_t key;
  std::memcpy(&key, &roadGrade, sizeof key);
  if (!filled_ || key != key_) {
    Corvanta::Corvanta_gradeLoads(roadGrade, &terms_.loads);
    terms_.frontTyre = tyreLoadTerms(terms_.loads.FrontWheelLoad);
    terms_.rearTyre = tyreLoadTerms(terms_.loads.RearWheelLoad);
    key_ = key;
    filled_ = true;
  }
  return terms_;
}
