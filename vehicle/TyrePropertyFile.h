// Tyre property files (.tir, the TNO text format): reading the coefficients of one tyre
// and writing them back.
#ifndef CORVANTA_VEHICLE_TYREPROPERTYFILE_H
#define CORVANTA_VEHICLE_TYREPROPERTYFILE_H

#include <string>
#include <string_view>
#include <vector>

#include "model/Parameters.h"

namespace corvanta::vehicle {

struct TyreFileResult {
  bool ok = false;
  std::vector<std::string> errors;  // "SOURCE:LINE: what"
  std::string warning;              // one line naming every coefficient not used, or ""
};

// Reads the coefficients of `text` (named `source` in messages) into `tyre`; coefficients
// the file does not give keep their value.  Units of [UNITS] are converted to SI, or
// refused.  Scaling coefficients that the model can apply are folded into the
// coefficients they scale.
TyreFileResult readTyrePropertyText(std::string_view text, const std::string &source, TyreCoefficients &tyre);

// Reads the file at `path`.
TyreFileResult readTyrePropertyFile(const std::string &path, TyreCoefficients &tyre);

// The coefficients as a complete .tir text in SI units; it reads back to the same bits.
std::string tyrePropertyText(const TyreCoefficients &tyre, const std::string &title);

}  // namespace corvanta::vehicle

#endif  // CORVANTA_VEHICLE_TYREPROPERTYFILE_H
