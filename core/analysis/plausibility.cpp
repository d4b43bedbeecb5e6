#include "core/analysis/plausibility.h"

#include "core/io/number_format.h"

namespace marvek {

std::vector<CurveWarning> CurveWarnings(double fmax, double hmax,
                                        const std::vector<io::ReadWarning>& read,
                                        const io::ReadHints& hints) {
    std::vector<CurveWarning> out;
    for (const io::ReadWarning& w : read)
        if (w.guess) out.push_back({"guessed-layout", w.text});
    if (fmax > kPlausibleFmaxMilliNewton)
        out.push_back({"implausible", "Fmax = " + FormatSignificant(fmax, 6) +
                                          " mN is above 10 N, beyond nanoindentation: check the "
                                          "load column and its unit (" +
                                          hints.whereColumnsAndUnits + ")"});
    if (hmax > kPlausibleHmaxNanometre)
        out.push_back({"implausible", "hmax = " + FormatSignificant(hmax, 6) +
                                          " nm is above 100 \u00b5m, beyond nanoindentation: check "
                                          "the depth column and its unit (" +
                                          hints.whereColumnsAndUnits + ")"});
    if (hmax < 0)
        out.push_back({"implausible", "hmax = " + FormatSignificant(hmax, 6) +
                                          " nm is negative: check the depth column and its sign"});
    return out;
}

}  // namespace marvek
