#pragma once
// The calibration a curve's file records (an instrument's Poisson's ratio, frame compliance and
// area function) taken over the settings: `marvek-cli analyze --use-file-settings` and the
// window's "use the instrument's calibration" analyse with it.

#include <string>
#include <vector>

#include "core/config/settings.h"
#include "core/io/parsed_curve.h"

namespace marvek {

// The settings of `base` with what `meta` records put in; `taken` gets "poisson", "compliance"
// and "area function" for each one used, `warnings` what the file left out of one (an area
// function of fewer than five coefficients).
Settings WithFileSettings(const Settings& base, const io::CurveMetadata& meta,
                          std::vector<std::string>& taken, std::vector<std::string>& warnings);

}  // namespace marvek
