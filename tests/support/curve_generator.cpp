#include "support/curve_generator.h"

#include <unistd.h>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>

namespace marvek::testing {

std::vector<GeneratedPoint> GenerateCurve(const CurveShape& s) {
    std::vector<GeneratedPoint> raw;
    for (int i = 1; i <= s.loadPoints; ++i) {
        const double h = s.hMax * i / s.loadPoints;
        raw.push_back({h, s.fMax * (h / s.hMax) * (h / s.hMax), 0, 'L'});
    }
    for (int i = 0; i < s.topHoldPoints; ++i) {
        const double part = s.topHoldPoints > 1 ? double(i) / (s.topHoldPoints - 1) : 0;
        raw.push_back({s.hMax + s.holdCreep * part, s.fMax - s.holdRelaxation * part, 0, 'T'});
    }
    const double fEnd = s.unloadToFraction * s.fMax;
    const double fTop = s.fMax - s.holdRelaxation;
    for (int i = 1; i <= s.unloadPoints; ++i) {
        const double f = fTop - (fTop - fEnd) * i / s.unloadPoints;
        const double h = s.hf + s.holdCreep + (s.hMax - s.hf) * std::pow(f / fTop, 1 / s.m);
        raw.push_back({h, f, 0, 'U'});
    }
    const double hEnd = raw.back().depth;
    for (int i = 0; i < s.bottomHoldPoints; ++i) raw.push_back({hEnd, fEnd, 0, 'B'});

    std::mt19937 rng(s.seed);
    std::normal_distribution<double> depthNoise(0, s.noiseDepth > 0 ? s.noiseDepth : 1);
    std::normal_distribution<double> loadNoise(0, s.noiseLoad > 0 ? s.noiseLoad : 1);
    for (std::size_t k = 0; k < raw.size(); ++k) {
        GeneratedPoint& p = raw[k];
        p.time = s.dt * static_cast<double>(k + 1);
        p.depth += s.compliance * p.load + s.driftRate * p.time;
        if (s.noiseDepth > 0) p.depth += depthNoise(rng);
        if (s.noiseLoad > 0) p.load += loadNoise(rng);
    }
    return raw;
}

namespace {

const char* Keyword(char segment) {
    switch (segment) {
        case 'L': return "LOAD";
        case 'T': return "TOP_HOLD";
        case 'U': return "UNLOAD";
        case 'B': return "BOTTOM_HOLD";
        default: return "RELOAD";
    }
}

std::string Number(double v) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g", v);
    return buffer;
}

}  // namespace

std::string CurveText(const std::vector<GeneratedPoint>& points, const WriteOptions& o) {
    std::string text;
    const double scale = o.micrometres || o.markerLayout ? 1e-3 : 1;
    if (o.markerLayout) {
        text = "Index,1, Depth (um), Load (mN), Flag, Time (s)\n";
        for (std::size_t k = 0; k < points.size(); ++k) {
            const GeneratedPoint& p = points[k];
            text += "p," + std::to_string(k) + "," + Number(p.depth * scale) + "," +
                    Number(p.load) + ",0," + Number(o.time ? p.time : 0) + "\n";
        }
        return text;
    }
    text = o.micrometres ? "Depth (um),Force (mN)" : "Depth (nm),Force (mN)";
    if (o.time) text += ",Time (s)";
    if (o.keywords) text += ",Segment";
    text += "\n";
    for (const GeneratedPoint& p : points) {
        text += Number(p.depth * scale) + "," + Number(p.load);
        if (o.time || o.keywords) text += "," + Number(o.time ? p.time : 0);
        if (o.keywords) text += std::string(",") + Keyword(p.segment);
        text += "\n";
    }
    return text;
}

}  // namespace marvek::testing
