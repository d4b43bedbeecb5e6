#pragma once
// How a curve's file was read and what it records besides the points, one line each: what
// `marvek-cli list` prints under a curve and the window's file information shows.

#include <string>
#include <vector>

#include "parsed_curve.h"

namespace marvek::io {

// The lines for `curve`, one of `file`'s curves, in this order: the reader's choice where
// several fitted (under the file's first curve only), the columns taken, the read's warnings,
// then the Poisson's ratio, frame compliance, area function and tip the file records.
std::vector<std::string> DescribeCurve(const ParsedFile& file, const ParsedCurve& curve);

}  // namespace marvek::io
