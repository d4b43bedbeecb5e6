#include "support/curve_generator.h"

#include <cmath>
#include <fstream>
#include <numbers>
#include <stdexcept>

#include "core/io/number_format.h"

namespace marvek::testing {
namespace {

// The j-th of n even steps from a to b.
double Step(double a, double b, int j, int n) { return a + (b - a) * j / n; }

// The unloading law F = ref*((h - offset)/scale)^m, both ways.
struct UnloadLaw {
    double offset, scale, ref, m;
    double Depth(double f) const { return offset + scale * std::pow(f / ref, 1 / m); }
    double Load(double h) const { return ref * std::pow((h - offset) / scale, m); }
};

UnloadLaw LawOf(const CurveShape& s) {
    if (s.unloadAlpha > 0) return {s.hf, 1, s.unloadAlpha, s.m};
    return {s.hf + s.holdCreep, s.hMax - s.hf, s.fMax - s.holdRelaxation, s.m};
}

void AddSingleCycle(const CurveShape& s, std::vector<GeneratedPoint>& out) {
    for (int i = s.loadFromStart ? 0 : 1; i <= s.loadPoints; ++i) {
        const double h = Step(s.loadStartDepth, s.hMax, i, s.loadPoints);
        const double f = s.loadExponent == 2 ? s.fMax * (h / s.hMax) * (h / s.hMax)
                                             : s.fMax * std::pow(h / s.hMax, s.loadExponent);
        out.push_back({h, f, 0, 'L'});
    }
    const int nTop = s.topHoldPoints;
    for (int i = 0; i < nTop; ++i) {
        const double part = s.holdAfterPeak ? static_cast<double>(i + 1) / nTop
                                            : (nTop > 1 ? double(i) / (nTop - 1) : 0);
        const double creep = s.creepDecay > 0
                                 ? s.holdCreep * (1.0 - std::exp(-s.creepDecay * part)) /
                                       (1.0 - std::exp(-s.creepDecay))
                                 : s.holdCreep * part;
        out.push_back({s.hMax + creep, s.fMax - s.holdRelaxation * part, 0, 'T'});
    }
    const UnloadLaw law = LawOf(s);
    const double fTop = s.fMax - s.holdRelaxation;
    const double fEnd = s.unloadToFraction * s.fMax;
    const double hEnd = law.Depth(fEnd);
    for (int i = 1; i <= s.unloadPoints; ++i) {
        if (s.unloadEvenInDepth) {
            const double h = Step(s.hMax + s.holdCreep, hEnd, i, s.unloadPoints);
            out.push_back({h, law.Load(h), 0, 'U'});
        } else {
            // Unloading to zero ends at 0 exactly: a rounded step below it has no depth.
            const double f =
                i == s.unloadPoints && fEnd == 0 ? 0 : Step(fTop, fEnd, i, s.unloadPoints);
            out.push_back({law.Depth(f), f, 0, 'U'});
        }
    }
    for (int i = 0; i < s.bottomHoldPoints; ++i)
        out.push_back({hEnd + s.bottomDrift * (i + 1) * s.dt, fEnd, 0, 'B'});
}

void AddCycles(const CurveShape& s, std::vector<GeneratedPoint>& out,
               std::vector<GeneratedCycle>* cycles) {
    const UnloadLaw law = LawOf(s);
    const auto add = [&](double f, char segment) { out.push_back({law.Depth(f), f, 0, segment}); };
    const auto size = [&] { return static_cast<int>(out.size()); };
    double from = 0;
    for (const double peak : s.cyclePeaks) {
        const char ramp = out.empty() ? 'L' : 'R';
        GeneratedCycle cycle;
        cycle.peakForce = peak;
        cycle.rampBegin = size();
        for (int j = 1; j <= s.loadPoints; ++j) add(Step(from, peak, j, s.loadPoints), ramp);
        cycle.peak = size() - 1;
        for (int j = 0; j < s.topHoldPoints; ++j) add(peak - s.holdWobble * (1 + j % 3), 'T');
        cycle.firstUnload = size();
        for (int j = 1; j <= s.unloadPoints; ++j)
            add(Step(peak, s.cycleValley, j, s.unloadPoints), 'U');
        cycle.valley = size() - 1;
        for (int j = 0; j < s.bottomHoldPoints; ++j)
            add(s.cycleValley + s.holdWobble * (1 + j % 3), 'B');
        cycle.holdEnd = size();
        if (cycles) cycles->push_back(cycle);
        from = s.cycleValley;
    }
}

template <typename AddNoise>
std::vector<GeneratedPoint> Build(const CurveShape& s, std::vector<GeneratedCycle>* cycles,
                                  AddNoise&& addNoise) {
    std::vector<GeneratedPoint> points;
    if (s.cyclePeaks.empty())
        AddSingleCycle(s, points);
    else
        AddCycles(s, points, cycles);
    double clock = s.dt * s.firstTick;
    for (std::size_t k = 0; k < points.size(); ++k) {
        GeneratedPoint& p = points[k];
        p.time = s.summedClock ? clock : s.dt * static_cast<double>(k + s.firstTick);
        clock += s.dt;
        p.depth += s.compliance * p.load + s.driftRate * (p.time - s.driftFrom);
        addNoise(p);
    }
    return points;
}

const char* Keyword(char segment) {
    switch (segment) {
        case 'L': return "LOAD";
        case 'T': return "TOP_HOLD";
        case 'U': return "UNLOAD";
        case 'B': return "BOTTOM_HOLD";
        default: return "RELOAD";
    }
}

}  // namespace

double PortableNoise::Normal(double sigma) {
    const double u1 = 1.0 - Uniform();  // (0, 1]
    const double u2 = Uniform();
    return sigma * std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

std::vector<GeneratedPoint> GenerateCurve(const CurveShape& s,
                                          std::vector<GeneratedCycle>* cycles) {
    std::mt19937 rng(s.seed);
    std::normal_distribution<double> depthNoise(0, s.noiseDepth > 0 ? s.noiseDepth : 1);
    std::normal_distribution<double> loadNoise(0, s.noiseLoad > 0 ? s.noiseLoad : 1);
    return Build(s, cycles, [&](GeneratedPoint& p) {
        if (s.noiseDepth > 0) p.depth += depthNoise(rng);
        if (s.noiseLoad > 0) p.load += loadNoise(rng);
    });
}

std::vector<GeneratedPoint> GenerateCurve(const CurveShape& s, PortableNoise& noise) {
    return Build(s, nullptr, [&](GeneratedPoint& p) {
        p.depth += noise.Normal(s.noiseDepth);
        p.load += noise.Normal(s.noiseLoad);
    });
}

std::string CurveText(const std::vector<GeneratedPoint>& points, const WriteOptions& o) {
    const double scale = o.micrometres || o.markerLayout ? 1e-3 : 1;
    const auto number = [&o](double v) { return FormatSignificant(v, o.digits); };
    std::string text;
    if (o.markerLayout) {
        text = "Index,1, Depth (um), Load (mN), Flag, Time (s)\n";
        for (std::size_t k = 0; k < points.size(); ++k) {
            const GeneratedPoint& p = points[k];
            text += "p," + std::to_string(k) + "," + number(p.depth * scale) + "," +
                    number(p.load) + ",0," + number(o.time ? p.time : 0) + "\n";
        }
        return text;
    }
    text = std::string(o.micrometres ? "Depth (um)," : "Depth (nm),") + o.loadHeader;
    if (o.time) text += ",Time (s)";
    if (o.keywords) text += ",Segment";
    text += "\n";
    for (const GeneratedPoint& p : points) {
        text += number(p.depth * scale) + "," + number(p.load);
        if (o.time || o.keywords) (text += ',') += number(o.time ? p.time : 0);
        if (o.keywords) (text += ',') += Keyword(p.segment);
        text += '\n';
    }
    return text;
}

void WriteCurveFile(const std::filesystem::path& file, const std::vector<GeneratedPoint>& points,
                    const WriteOptions& options) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << CurveText(points, options);
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

// ---- Presets ----

namespace {

CurveColumns Columns(const std::vector<GeneratedPoint>& points) {
    CurveColumns c;
    for (const GeneratedPoint& p : points) {
        c.depth.push_back(p.depth);
        c.load.push_back(p.load);
        c.time.push_back(p.time);
        c.segment.push_back(p.segment);
    }
    return c;
}

// Inverts the (increasing) area function by bisection.
double DepthOfArea(const AreaCoefficients& coef, double area) {
    double lo = 0, hi = 1;
    while (EvaluateAreaFunction(coef, hi) < area) hi *= 2;
    for (int i = 0; i < 200; ++i) {
        const double mid = 0.5 * (lo + hi);
        (EvaluateAreaFunction(coef, mid) < area ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

}  // namespace

std::vector<GeneratedPoint> CurveColumns::Points() const {
    std::vector<GeneratedPoint> points;
    for (std::size_t i = 0; i < load.size(); ++i)
        points.push_back({depth[i], load[i], time[i], segment[i]});
    return points;
}

SyntheticCurve MakeSyntheticCurve(int points, std::uint64_t seed) {
    if (points < 16) throw std::invalid_argument("a synthetic curve needs at least 16 points");
    PortableNoise noise(seed);
    CurveShape s;
    const double hmax = noise.Between(400, 1600);  // nm, after the creep
    s.fMax = noise.Between(5, 40);
    s.m = noise.Between(1.3, 1.6);
    s.hf = hmax * noise.Between(0.45, 0.75);
    s.holdCreep = hmax * noise.Between(0.01, 0.02);
    s.bottomDrift = noise.Between(-0.08, 0.08);
    s.hMax = hmax - s.holdCreep;
    s.unloadAlpha = s.fMax / std::pow(hmax - s.hf, s.m);
    s.loadStartDepth = 2;
    // Shares of the points, sampled at a constant rate over 66 s.
    s.loadPoints = points * 46 / 100;
    s.topHoldPoints = points * 22 / 100;
    s.unloadPoints = points * 22 / 100;
    s.bottomHoldPoints = points - s.loadPoints - s.topHoldPoints - s.unloadPoints;
    s.creepDecay = 4;  // creep slows down over the hold
    s.holdAfterPeak = true;
    s.unloadToFraction = 0.1;
    s.dt = 66.0 / points;
    s.firstTick = 0;
    s.noiseDepth = 0.3;
    s.noiseLoad = s.fMax * 2e-4;
    SyntheticCurve curve;
    static_cast<CurveColumns&>(curve) = Columns(GenerateCurve(s, noise));
    curve.alpha = s.unloadAlpha;
    curve.m = s.m;
    curve.hf = s.hf;
    return curve;
}

MultiCycleCurve MakeMultiCycleCurve(const std::vector<double>& peaks, double valley, int rampPoints,
                                    int holdPoints) {
    CurveShape s;
    s.cyclePeaks = peaks;
    s.cycleValley = valley;
    s.loadPoints = s.unloadPoints = rampPoints;
    s.topHoldPoints = s.bottomHoldPoints = holdPoints;
    s.holdWobble = 0.004;
    s.fMax = 1, s.hMax = 180, s.hf = 100, s.m = 1;  // depth = 100 + 80*F
    s.driftRate = 0.3, s.driftFrom = 1, s.dt = 1;
    MultiCycleCurve c;
    static_cast<CurveColumns&>(c) = Columns(GenerateCurve(s, &c.cycles));
    double previousPeak = -1;
    for (const GeneratedCycle& cycle : c.cycles) {
        for (int i = cycle.rampBegin; i <= cycle.peak; ++i)
            if (c.load[static_cast<std::size_t>(i)] > previousPeak) c.envelope.push_back(i);
        previousPeak = cycle.peakForce;
    }
    return c;
}

void WriteCurve(const std::filesystem::path& file, const PowerLawCurve& c) {
    CurveShape s;
    s.fMax = c.fMax, s.hMax = c.hMax, s.hf = c.hf, s.m = c.m, s.loadExponent = c.loadExponent;
    s.loadPoints = c.loadPoints, s.unloadPoints = c.unloadPoints;
    s.loadFromStart = s.unloadEvenInDepth = s.summedClock = true;
    s.firstTick = 0;
    WriteCurveFile(file, GenerateCurve(s), {.keywords = true});
}

IndentTruth SolveIndent(const IndentModel& model) {
    IndentTruth t;
    t.area = model.fmax / (model.hardness * 1e-6);  // GPa -> mN/nm^2
    t.hc = DepthOfArea(model.apCoef, t.area);
    t.area = EvaluateAreaFunction(model.apCoef, t.hc);
    const double pi = std::acos(-1.0);
    t.stiffness = 2.0 / std::sqrt(pi) * model.reducedModulus * 1e-6 * std::sqrt(t.area);
    t.hmax = t.hc + model.epsilon * model.fmax / t.stiffness;
    return t;
}

IndentTruth WriteIndentCurve(const std::filesystem::path& file, const IndentModel& model) {
    const IndentTruth t = SolveIndent(model);
    CurveShape s;
    s.fMax = model.fmax, s.hMax = t.hmax, s.m = model.unloadExponent;
    s.hf = t.hmax - s.m * model.fmax / t.stiffness;
    s.unloadAlpha = model.fmax / std::pow(t.hmax - s.hf, s.m);
    s.loadPoints = model.loadPoints, s.unloadPoints = model.unloadPoints;
    s.compliance = model.frameCompliance;
    s.noiseDepth = model.depthNoise, s.seed = model.seed;
    s.summedClock = true;
    WriteCurveFile(file, GenerateCurve(s), {.keywords = true, .digits = 10});
    return t;
}

std::vector<double> LogSpacedForces(double fmin, double fmax, int count) {
    std::vector<double> forces;
    for (int i = 0; i < count; ++i) {
        const double share = count > 1 ? static_cast<double>(i) / (count - 1) : 0.0;
        forces.push_back(fmin * std::pow(fmax / fmin, share));
    }
    return forces;
}

std::vector<std::filesystem::path> WriteIndentSeries(const std::filesystem::path& folder,
                                                     IndentModel model,
                                                     const std::vector<double>& forces) {
    std::vector<std::filesystem::path> files;
    for (std::size_t i = 0; i < forces.size(); ++i) {
        model.fmax = forces[i];
        model.seed += 1;
        files.push_back(folder / ((i < 10 ? "indent_0" : "indent_") + std::to_string(i) + ".csv"));
        WriteIndentCurve(files.back(), model);
    }
    return files;
}

}  // namespace marvek::testing
