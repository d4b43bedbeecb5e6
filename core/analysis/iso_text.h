#pragma once
// The block the main window shows under the results text: the result set and E(IT) = x +- u.

#include <string>

#include "core/analysis/iso_quantities.h"
#include "core/analysis/uncertainty.h"

namespace marvek {

std::string BuildIsoResultsText(const IsoQuantities& q, const ModulusUncertainty& u);

}  // namespace marvek
