#include "depth_profile.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string_view>

#include "core/analysis/fitting.h"
#include "core/base/constants.h"
#include "core/io/number_format.h"
#include "core/io/text_formats.h"

namespace marvek::profiles {

namespace {

using constants::kPi;

// mN/nm -> N/m; P/S with P in mN and S in N/m is in units of 1e-6 nm.
constexpr double kNPerMPerMNPerNm = 1e6;
// mN/nm^2 -> GPa.
constexpr double kGPaPerMNPerNm2 = 1e6;

// The instruments write 1.797e308 (DBL_MAX) where they have no value.
bool Usable(double v) { return std::isfinite(v) && std::fabs(v) < 1e300; }

// Factor to N/m of a stiffness unit; 0 = unknown.
double StiffnessFactor(std::string_view unit) {
    if (unit.empty() || unit == "N/m") return 1;
    if (unit == "kN/m" || unit == "uN/nm" || unit == "µN/nm" || unit == "mN/um" || unit == "mN/µm")
        return 1e3;
    if (unit == "mN/nm") return 1e6;
    return 0;
}

// Factor to degrees of a phase unit; 0 = unknown.
double AngleFactor(std::string_view unit) {
    if (unit.empty() || unit == "deg" || unit == "°") return 1;
    if (unit == "rad") return 180.0 / kPi;
    return 0;
}

// A channel with its factor to the unit used here; null when absent or its unit is unknown.
struct Column {
    const io::Channel* channel = nullptr;
    double factor = 1;
    explicit operator bool() const { return channel != nullptr; }
    double operator[](std::size_t i) const { return channel->values[i] * factor; }
};

Column Find(const io::ParsedCurve& c, const char* name, double (*factor)(std::string_view),
            std::vector<std::string>& warnings) {
    Column col;
    const io::Channel* ch = c.FindChannel(name);
    if (!ch) return col;
    const double f = factor(ch->unit);
    if (f == 0 || ch->values.size() != c.size()) {
        warnings.push_back(std::string("column \"") + name + "\" left out: unit \"" + ch->unit +
                           "\" not understood");
        return col;
    }
    col.channel = ch;
    col.factor = f;
    return col;
}

std::string CoefficientsText(const std::vector<double>& c) {
    std::string s;
    for (std::size_t k = 0; k < c.size(); ++k) s += (k ? "," : "") + FormatShortest(c[k]);
    return s;
}

// The curve's loading ends at its first hold, unloading or reloading marker; a curve without
// markers at its deepest point.
std::size_t LoadingEnd(const io::ParsedCurve& c) {
    bool marked = false;
    for (std::size_t i = 0; i < c.size(); ++i) {
        const char s = c.segment[i];
        if (s == 'T' || s == 'B' || s == 'U' || s == 'R') return i;
        marked = marked || s == 'L';
    }
    if (marked || c.size() == 0) return c.size();
    return static_cast<std::size_t>(std::max_element(c.depth.begin(), c.depth.end()) -
                                    c.depth.begin()) +
           1;
}

// Least-squares slope of depth over time in the drift hold, NaN without one.
double DriftRate(const io::ParsedCurve& c) {
    std::vector<double> t, h;
    for (std::size_t i = 0; i < c.size(); ++i)
        if (c.segment[i] == 'B') t.push_back(c.time[i]), h.push_back(c.depth[i]);
    if (t.size() < 2 ||
        *std::max_element(t.begin(), t.end()) <= *std::min_element(t.begin(), t.end()))
        return kNaN;
    return FitLine(t.data(), h.data(), static_cast<int>(t.size())).slope;
}

}  // namespace

const char* StiffnessSourceName(StiffnessSource s) {
    switch (s) {
        case StiffnessSource::ContactStiffnessColumn: return "harmonic contact stiffness column";
        case StiffnessSource::RawHarmonics: return "harmonic load, displacement and phase";
        case StiffnessSource::HarmonicStiffness: return "harmonic stiffness column";
        case StiffnessSource::None: break;
    }
    return "none";
}

bool ParseCoefficientList(std::string_view text, std::vector<double>& out) {
    out.clear();
    std::size_t pos = 0;
    for (;;) {
        const std::size_t comma = text.find(',', pos);
        const std::string_view item =
            text.substr(pos, comma == std::string_view::npos ? comma : comma - pos);
        std::size_t used = 0;
        const double v = ParseDouble(item, &used);
        if (used == 0 || used != item.size() || !std::isfinite(v) || out.size() == 9) return false;
        out.push_back(v);
        if (comma == std::string_view::npos) return true;
        pos = comma + 1;
    }
}

bool ParseTipList(std::string_view text, std::vector<TipAreaFunction>& tips, std::string& error) {
    int lineNumber = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t eol = text.find('\n', pos);
        if (eol == std::string_view::npos) eol = text.size();
        std::string_view line = text.substr(pos, eol - pos);
        pos = eol + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string_view::npos || line[start] == '#') continue;
        const std::size_t end = line.find_last_not_of(" \t");
        const std::size_t split = line.find_last_of(" \t", end);
        TipAreaFunction tip;
        if (split == std::string_view::npos || split < start ||
            !ParseCoefficientList(line.substr(split + 1, end - split), tip.coefficients)) {
            error = "line " + std::to_string(lineNumber) +
                    ": expected \"NAME C0,C1,...\" (up to nine numbers)";
            return false;
        }
        const std::size_t nameEnd = line.find_last_not_of(" \t", split);
        tip.name = std::string(line.substr(start, nameEnd - start + 1));
        tips.push_back(std::move(tip));
    }
    return true;
}

double ProjectedArea(const std::vector<double>& coefficients, double hc) {
    if (!(hc > 0)) return kNaN;
    double a = 0, power = hc * hc;  // hc^2, hc, hc^(1/2), hc^(1/4), ...
    for (std::size_t k = 0; k < coefficients.size(); ++k) {
        a += coefficients[k] * power;
        power = k == 0 ? hc : std::sqrt(power);
    }
    return a;
}

DepthProfile ComputeProfile(const io::ParsedCurve& c, const ProfileSettings& s) {
    DepthProfile p;
    p.test = c.test;
    const io::CurveMetadata& meta = c.meta;

    // Sample's Poisson ratio.
    if (s.samplePoisson) {
        p.samplePoisson = *s.samplePoisson;
        p.used.push_back({"poisson", FormatShortest(p.samplePoisson), "settings"});
    } else if (meta.poissonRatio) {
        p.samplePoisson = *meta.poissonRatio;
        p.used.push_back({"poisson", FormatShortest(p.samplePoisson), "workbook"});
    } else {
        p.samplePoisson = s.fallbackPoisson;
        p.used.push_back({"poisson", FormatShortest(p.samplePoisson), "default"});
    }

    // Area function: the settings', a tip of the user's list named as the workbook's, the
    // workbook's (incomplete: it records three coefficients with C0 rounded), the fallback.
    const auto tip = std::find_if(s.tips.begin(), s.tips.end(), [&](const TipAreaFunction& t) {
        return !meta.tipName.empty() && t.name == meta.tipName;
    });
    if (!s.areaCoefficients.empty()) {
        p.areaCoefficients = s.areaCoefficients;
        p.used.push_back({"area function", CoefficientsText(p.areaCoefficients), "settings"});
    } else if (tip != s.tips.end()) {
        p.areaCoefficients = tip->coefficients;
        p.used.push_back(
            {"area function", CoefficientsText(p.areaCoefficients), "tip list " + tip->name});
    } else if (!meta.areaCoefficients.empty()) {
        p.areaCoefficients = meta.areaCoefficients;
        p.used.push_back({"area function", CoefficientsText(p.areaCoefficients), "workbook"});
        p.warnings.push_back(
            "the workbook's area function (tip \"" + meta.tipName + "\", " +
            std::to_string(meta.areaCoefficients.size()) +
            " coefficients, C0 rounded) is incomplete: hardness may be off by a few %; " +
            s.completeAreaFunctionHint);
    } else {
        p.areaCoefficients = s.fallbackArea;
        p.used.push_back({"area function", CoefficientsText(p.areaCoefficients), "default"});
        p.warnings.push_back("no area function in the workbook or the settings: using " +
                             CoefficientsText(p.areaCoefficients));
    }

    // Averaging window.
    const auto window = [&](const std::optional<double>& set, const std::optional<double>& book,
                            double fallback, const char* name, double& out) {
        out = set ? *set : book ? *book : fallback;
        p.used.push_back({name, FormatShortest(out),
                          set    ? "settings"
                          : book ? "workbook"
                                 : "default"});
    };
    window(s.from, meta.averageFrom, s.defaultFrom, "from_nm", p.from);
    window(s.to, meta.averageTo, s.defaultTo, "to_nm", p.to);

    std::vector<std::string>& w = p.warnings;
    const Column hcs = Find(c, "Harmonic Contact Stiffness", StiffnessFactor, w);
    const Column f0 = Find(c, "Harmonic Load", io::LoadFactor, w);
    const Column z0 = Find(c, "Harmonic Displacement", io::DepthFactor, w);
    const Column phase = Find(c, "Phase Angle", AngleFactor, w);
    const Column ks = Find(c, "Harmonic System Stiffness", StiffnessFactor, w);
    const Column kf = Find(c, "Harmonic Frame Stiffness", StiffnessFactor, w);
    const Column k = Find(c, "Harmonic Stiffness", StiffnessFactor, w);
    const Column instrumentModulus = Find(
        c, "Modulus", [](std::string_view) { return 1.0; }, w);
    const bool raw = f0 && z0 && phase && ks;
    const bool frameGiven = s.harmonicFrameStiffness.has_value();
    if (frameGiven && raw)
        p.stiffnessSource = StiffnessSource::RawHarmonics;
    else if (frameGiven && k)
        p.stiffnessSource = StiffnessSource::HarmonicStiffness;
    else if (hcs)
        p.stiffnessSource = StiffnessSource::ContactStiffnessColumn;
    else if (raw)
        p.stiffnessSource = StiffnessSource::RawHarmonics;
    else if (k)
        p.stiffnessSource = StiffnessSource::HarmonicStiffness;
    else {
        p.status = Status::Error(
            "no continuous-stiffness columns (\"Harmonic Contact Stiffness\", or harmonic "
            "load, displacement, phase angle and system stiffness)",
            ErrorCode::NoResult);
        return p;
    }
    p.used.push_back({"stiffness", StiffnessSourceName(p.stiffnessSource), "workbook"});
    const bool frameCorrected = p.stiffnessSource != StiffnessSource::ContactStiffnessColumn;
    if (frameGiven && !frameCorrected)
        w.push_back(
            "--frame-stiffness ignored: the workbook's contact stiffness is corrected "
            "for the frame already and it has no raw harmonic columns");
    // The harmonic frame stiffness: the settings', the one entered after the test, or the one
    // the instrument recorded with each sample (never the static one, already in the depth).
    double fixedFrame = kNaN;
    if (frameCorrected) {
        if (frameGiven) {
            fixedFrame = *s.harmonicFrameStiffness;
            p.used.push_back({"harmonic frame stiffness", FormatShortest(fixedFrame), "settings"});
        } else if (meta.harmonicFrameStiffness) {
            fixedFrame = *meta.harmonicFrameStiffness;
            p.used.push_back({"harmonic frame stiffness", FormatShortest(fixedFrame), "workbook"});
        } else if (kf) {
            p.used.push_back({"harmonic frame stiffness", "per sample", "workbook"});
        } else {
            fixedFrame = std::numeric_limits<double>::infinity();
            p.used.push_back({"harmonic frame stiffness", "inf", "default"});
            w.push_back(
                "no harmonic frame stiffness recorded: the stiffness is not corrected "
                "for the frame");
        }
    }
    const ProfileCorrections& corr = s.corrections;
    const bool amplitudes = f0 && z0;
    if ((corr.peakLoadAndDepth || corr.dynamicUnloading) && !amplitudes)
        w.push_back(
            "peak and dynamic unloading corrections need the harmonic load and "
            "displacement columns: not applied");
    if (corr.thermalDrift) {
        p.driftRate = DriftRate(c);
        if (std::isnan(p.driftRate))
            w.push_back("no drift hold in the test: no drift correction");
        else
            p.used.push_back({"drift rate nm/s", FormatShortest(p.driftRate), "drift hold"});
    }

    const double indenterTerm = (1 - s.indenterPoisson * s.indenterPoisson) / s.indenterModulus;
    const double sampleTerm = 1 - p.samplePoisson * p.samplePoisson;
    const std::size_t loadingEnd = LoadingEnd(c);
    const std::size_t n = c.size();
    for (std::vector<double>* v : {&p.depth, &p.load, &p.stiffness, &p.contactDepth, &p.area,
                                   &p.hardness, &p.modulus, &p.reducedModulus})
        v->reserve(n);
    p.index.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        double h = c.depth[i], load = c.load[i];
        double stiffness = kNaN;
        switch (p.stiffnessSource) {
            case StiffnessSource::ContactStiffnessColumn: stiffness = hcs[i]; break;
            case StiffnessSource::RawHarmonics:
            case StiffnessSource::HarmonicStiffness: {
                // K = (F0/z0) cos(phi) - Ks; 1/S = 1/K - 1/Kf (Hay, Agee & Herbert 2010).
                const double frame = std::isnan(fixedFrame) ? kf[i] : fixedFrame;
                double kk = kNaN;
                if (p.stiffnessSource == StiffnessSource::HarmonicStiffness)
                    kk = k[i];
                else if (Usable(f0[i]) && Usable(z0[i]) && Usable(phase[i]) && Usable(ks[i]) &&
                         z0[i] != 0)
                    kk = f0[i] / z0[i] * kNPerMPerMNPerNm * std::cos(phase[i] * kPi / 180) - ks[i];
                if (Usable(kk) && (Usable(frame) || std::isinf(frame)) && frame > 0)
                    stiffness = 1 / (1 / kk - 1 / frame);
                else if (Usable(kk) && frame <= 0)
                    stiffness = kNaN;
                break;
            }
            case StiffnessSource::None: break;
        }
        if (!Usable(h) || !Usable(load) || std::isnan(stiffness) || !Usable(stiffness)) {
            ++p.skipped.missing;
            continue;
        }
        if (instrumentModulus) {
            const double m = instrumentModulus[i];
            if (!Usable(m) || std::fabs(m) < 1e-100) {
                ++p.skipped.instrumentInvalid;
                continue;
            }
        }
        if (!(stiffness > 0)) {
            ++p.skipped.nonPositiveStiffness;
            continue;
        }
        if (amplitudes && (corr.peakLoadAndDepth || corr.dynamicUnloading)) {
            const double dp = std::sqrt(2.0) * f0[i], dh = std::sqrt(2.0) * z0[i];
            if (!Usable(dp) || !Usable(dh) || !(dh > 0)) {
                ++p.skipped.correctionFailed;
                continue;
            }
            if (corr.dynamicUnloading) {
                // The oscillation's peak-to-peak 2dh runs down the unloading curve from the
                // peak: S_meas = (Pmax - P(hmax - 2dh)) / 2dh with P ~ (h - hf)^m and
                // hmax - hf = m Pmax / S solved for S.
                const double m = corr.unloadingExponent, pmax = load + dp;
                const double x = 2 * dh * (stiffness / kNPerMPerMNPerNm) / pmax;
                if (!(x > 0 && x < 1)) {
                    ++p.skipped.correctionFailed;
                    continue;
                }
                stiffness = m * pmax / (2 * dh) * (1 - std::pow(1 - x, 1 / m)) * kNPerMPerMNPerNm;
            }
            if (corr.peakLoadAndDepth) load += dp, h += dh;
        }
        if (corr.thermalDrift && !std::isnan(p.driftRate)) h -= p.driftRate * c.time[i];
        const double hc = h - s.epsilon * load / stiffness * kNPerMPerMNPerNm;
        const double area = ProjectedArea(p.areaCoefficients, hc);
        if (!(area > 0)) {
            ++p.skipped.nonPositiveArea;
            continue;
        }
        const double er = std::sqrt(kPi) * stiffness / (2 * s.beta * std::sqrt(area));
        const double denominator = 1 / er - indenterTerm;
        if (!(denominator > 0)) {
            ++p.skipped.modulusUndefined;
            continue;
        }
        p.index.push_back(i);
        p.depth.push_back(h);
        p.load.push_back(load);
        p.stiffness.push_back(stiffness);
        p.contactDepth.push_back(hc);
        p.area.push_back(area);
        p.hardness.push_back(load / area * kGPaPerMNPerNm2);
        p.reducedModulus.push_back(er);
        p.modulus.push_back(sampleTerm / denominator);
        if (i < loadingEnd) p.loadingSamples = p.size();
    }
    p.status = Status();
    if (p.size() == 0) w.push_back("no usable sample");
    return p;
}

std::vector<DepthProfile> ComputeProfiles(const std::vector<io::ParsedCurve>& curves,
                                          const ProfileSettings& settings) {
    std::vector<DepthProfile> out;
    out.reserve(curves.size());
    for (const io::ParsedCurve& c : curves) out.push_back(ComputeProfile(c, settings));
    return out;
}

ProfileAverage AverageProfile(const DepthProfile& p, double from, double to) {
    ProfileAverage a;
    a.from = from, a.to = to;
    if (!p.ok()) {
        a.reason = p.status.reason();
        return a;
    }
    if (!(from <= to) || !std::isfinite(from) || !std::isfinite(to)) {
        a.reason = "the window " + FormatShortest(from) + "-" + FormatShortest(to) + " nm is empty";
        return a;
    }
    const std::size_t n = p.loadingSamples;
    const std::vector<double>& d = p.depth;
    std::size_t first = 0;
    while (first < n && d[first] < from) ++first;
    if (first == n) {
        a.reason = "no loading sample at or past " + FormatShortest(from) + " nm";
        return a;
    }
    if (first > 0 && from - d[first - 1] < d[first] - from) --first;
    std::size_t last = n;
    for (std::size_t k = n; k-- > 0;)
        if (d[k] <= to) {
            last = k;
            break;
        }
    if (last == n) {
        a.reason = "no loading sample at or before " + FormatShortest(to) + " nm";
        return a;
    }
    if (last + 1 < n && d[last + 1] - to < to - d[last]) ++last;
    if (last < first) {
        a.reason = "no loading sample between " + FormatShortest(from) + " and " +
                   FormatShortest(to) + " nm";
        return a;
    }
    a.first = first, a.last = last;
    a.n = last - first + 1;
    double sh = 0, se = 0;
    for (std::size_t k = first; k <= last; ++k) sh += p.hardness[k], se += p.modulus[k];
    a.hardness = sh / static_cast<double>(a.n);
    a.modulus = se / static_cast<double>(a.n);
    if (a.n >= 2) {
        double vh = 0, ve = 0;
        for (std::size_t k = first; k <= last; ++k) {
            vh += (p.hardness[k] - a.hardness) * (p.hardness[k] - a.hardness);
            ve += (p.modulus[k] - a.modulus) * (p.modulus[k] - a.modulus);
        }
        a.hardnessSd = std::sqrt(vh / static_cast<double>(a.n - 1));
        a.modulusSd = std::sqrt(ve / static_cast<double>(a.n - 1));
    }
    return a;
}

ProfileAverage AverageProfile(const DepthProfile& p) { return AverageProfile(p, p.from, p.to); }

WindowAverages AverageProfiles(const std::vector<DepthProfile>& profiles,
                               const std::vector<bool>& include, double from, double to) {
    WindowAverages w;
    w.from = from, w.to = to;
    w.indents.reserve(profiles.size());
    double sh = 0, se = 0;
    for (std::size_t k = 0; k < profiles.size(); ++k) {
        if (!include.empty() && k < include.size() && !include[k]) {
            ProfileAverage a;
            a.from = from, a.to = to;
            a.reason = "excluded";
            w.indents.push_back(std::move(a));
            continue;
        }
        w.indents.push_back(AverageProfile(profiles[k], from, to));
        const ProfileAverage& a = w.indents.back();
        if (a.n == 0) continue;
        ++w.n, sh += a.hardness, se += a.modulus;
    }
    if (w.n == 0) {
        w.reason = "no indent has a loading sample in " + FormatShortest(from) + "-" +
                   FormatShortest(to) + " nm";
        return w;
    }
    const double n = static_cast<double>(w.n);
    w.hardness = sh / n, w.modulus = se / n;
    if (w.n >= 2) {
        double vh = 0, ve = 0;
        for (const ProfileAverage& a : w.indents) {
            if (a.n == 0) continue;
            vh += (a.hardness - w.hardness) * (a.hardness - w.hardness);
            ve += (a.modulus - w.modulus) * (a.modulus - w.modulus);
        }
        w.hardnessSd = std::sqrt(vh / (n - 1));
        w.modulusSd = std::sqrt(ve / (n - 1));
    }
    return w;
}

double ProfileViewTop(std::vector<double> values) {
    values.erase(
        std::remove_if(values.begin(), values.end(), [](double v) { return !std::isfinite(v); }),
        values.end());
    if (values.empty()) return kNaN;
    std::sort(values.begin(), values.end());
    const double top = 1.25 * values[(values.size() - 1) * 95 / 100];
    if (!(top > 0) || values.back() <= top) return kNaN;
    return top;
}

MeanProfile ComputeMeanProfile(const std::vector<DepthProfile>& profiles,
                               const std::vector<bool>& include, std::size_t points,
                               bool logSpacing) {
    MeanProfile m;
    // Each profile's loading in depth order, for interpolation: the entries' order when the
    // depth ever falls back, none (the entries as they are) when it does not. No copies of the
    // values: with a thousand profiles those cost more in fresh pages than the arithmetic.
    struct Sorted {
        const DepthProfile* p;
        std::vector<std::size_t> order;
        std::size_t n;
        std::size_t at(std::size_t j) const { return order.empty() ? j : order[j]; }
        double depth(std::size_t j) const { return p->depth[at(j)]; }
    };
    std::vector<Sorted> sorted;
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (std::size_t k = 0; k < profiles.size(); ++k) {
        const DepthProfile& p = profiles[k];
        if (!p.ok() || p.loadingSamples < 2 || (!include.empty() && !include[k])) continue;
        Sorted s{&p, {}, p.loadingSamples};
        const auto loadingEnd = p.depth.begin() + static_cast<std::ptrdiff_t>(p.loadingSamples);
        if (!std::is_sorted(p.depth.begin(), loadingEnd)) {
            s.order.resize(p.loadingSamples);
            std::iota(s.order.begin(), s.order.end(), 0);
            std::stable_sort(s.order.begin(), s.order.end(),
                             [&](std::size_t a, std::size_t b) { return p.depth[a] < p.depth[b]; });
        }
        lo = std::min(lo, s.depth(0));
        hi = std::max(hi, s.depth(s.n - 1));
        sorted.push_back(std::move(s));
    }
    if (sorted.empty() || points < 2 || !(hi > lo)) return m;
    if (logSpacing && !(lo > 0)) logSpacing = false;
    m.depth.resize(points);
    for (std::size_t g = 0; g < points; ++g) {
        const double t = static_cast<double>(g) / static_cast<double>(points - 1);
        m.depth[g] = logSpacing ? lo * std::pow(hi / lo, t) : lo + (hi - lo) * t;
    }
    m.depth.back() = hi;
    m.n.assign(points, 0);
    m.hardness.assign(points, 0), m.modulus.assign(points, 0);
    m.hardnessSd.assign(points, 0), m.modulusSd.assign(points, 0);
    // Two passes over the interpolated values: the mean, then the squares about it.
    const auto interpolate = [](const Sorted& s, double x, double& h, double& e) {
        if (x < s.depth(0) || x > s.depth(s.n - 1)) return false;
        std::size_t below = 0, above = s.n;  // first j with depth(j) > x
        while (below < above) {
            const std::size_t mid = below + (above - below) / 2;
            if (s.depth(mid) <= x)
                below = mid + 1;
            else
                above = mid;
        }
        std::size_t j = std::clamp<std::size_t>(below, 1, s.n - 1);
        const std::size_t i0 = s.at(j - 1), i1 = s.at(j);
        const std::vector<double>& d = s.p->depth;
        const double t = d[i1] > d[i0] ? (x - d[i0]) / (d[i1] - d[i0]) : 0;
        h = s.p->hardness[i0] + t * (s.p->hardness[i1] - s.p->hardness[i0]);
        e = s.p->modulus[i0] + t * (s.p->modulus[i1] - s.p->modulus[i0]);
        return true;
    };
    for (int pass = 0; pass < 2; ++pass) {
        for (const Sorted& s : sorted)
            for (std::size_t g = 0; g < points; ++g) {
                double h, e;
                if (!interpolate(s, m.depth[g], h, e)) continue;
                if (pass == 0) {
                    ++m.n[g], m.hardness[g] += h, m.modulus[g] += e;
                } else {
                    m.hardnessSd[g] += (h - m.hardness[g]) * (h - m.hardness[g]);
                    m.modulusSd[g] += (e - m.modulus[g]) * (e - m.modulus[g]);
                }
            }
        for (std::size_t g = 0; g < points; ++g) {
            const double count = static_cast<double>(m.n[g]);
            if (pass == 0) {
                m.hardness[g] = m.n[g] ? m.hardness[g] / count : kNaN;
                m.modulus[g] = m.n[g] ? m.modulus[g] / count : kNaN;
            } else {
                m.hardnessSd[g] = m.n[g] >= 2 ? std::sqrt(m.hardnessSd[g] / (count - 1)) : kNaN;
                m.modulusSd[g] = m.n[g] >= 2 ? std::sqrt(m.modulusSd[g] / (count - 1)) : kNaN;
            }
        }
    }
    return m;
}

namespace {
Status NoFit(const std::string& why) {
    return Status::Error("no size effect fit: " + why, ErrorCode::NoResult);
}
}  // namespace

NixGaoFit FitNixGao(const DepthProfile& p, double from, double to) {
    NixGaoFit f;
    std::vector<double> x, y;
    if (p.ok())
        for (std::size_t k = 0; k < p.loadingSamples; ++k)
            if (p.depth[k] >= from && p.depth[k] <= to && p.depth[k] > 0) {
                x.push_back(1 / p.depth[k]);
                y.push_back(p.hardness[k] * p.hardness[k]);
            }
    f.n = x.size();
    if (x.size() < 3 ||
        *std::max_element(x.begin(), x.end()) == *std::min_element(x.begin(), x.end())) {
        f.status = NoFit("fewer than 3 loading samples at different depths in " +
                         FormatShortest(from) + "-" + FormatShortest(to) + " nm");
        return f;
    }
    const LineFit line = FitLine(x.data(), y.data(), static_cast<int>(x.size()));
    f.rSquared = line.rSquared;
    if (!(line.intercept > 0)) {
        f.status = NoFit("H0^2 from the fit is not positive");
        return f;
    }
    const double hStar = line.slope / line.intercept;
    if (!(hStar > 0)) {
        f.status = NoFit("h* <= 0 (the hardness does not fall with depth)");
        return f;
    }
    f.status = Status();
    f.h0 = std::sqrt(line.intercept);
    f.hStar = hStar;
    return f;
}

}  // namespace marvek::profiles
