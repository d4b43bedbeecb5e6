#pragma once
// What every import must give, whatever the bytes: equal-length point arrays of usable points
// within the limit, or a failure with a message.
#include <cmath>
#include <cstdlib>

#include "core/io/parsed_curve.h"

inline void CheckParsedFile(const marvek::io::ParsedFile& f) {
    if (!f.status.ok()) {
        if (f.status.message().empty() || !f.curves.empty()) std::abort();
        return;
    }
    for (const marvek::io::ParsedCurve& c : f.curves) {
        const std::size_t n = c.depth.size();
        if (c.load.size() != n || c.time.size() != n || c.segment.size() != n) std::abort();
        if (n > static_cast<std::size_t>(marvek::io::kMaxPoints)) std::abort();
        for (std::size_t i = 0; i < n; ++i)
            if (!(c.depth[i] > 0) || !std::isfinite(c.load[i]) || !std::isfinite(c.time[i]))
                std::abort();
    }
}
