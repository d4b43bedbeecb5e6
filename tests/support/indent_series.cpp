#include "support/indent_series.h"

#include <cmath>
#include <fstream>
#include <random>
#include <string>

#include "core/io/number_format.h"

namespace marvek::test {

namespace {

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
    const double m = model.unloadExponent;
    const double hf = t.hmax - m * model.fmax / t.stiffness;
    const double alpha = model.fmax / std::pow(t.hmax - hf, m);
    std::mt19937 rng(model.seed);
    std::normal_distribution<double> noise(0.0, model.depthNoise > 0 ? model.depthNoise : 1.0);

    std::ofstream out(file);
    out << "Depth (nm),Force (mN),Time (s),Segment\n";
    double time = 0;
    auto write = [&](double h, double f, const char* segment) {
        double depth = h + model.frameCompliance * f;
        if (model.depthNoise > 0) depth += noise(rng);
        time += 0.1;
        out << FormatSignificant(depth, 10) << ',' << FormatSignificant(f, 10) << ','
            << FormatSignificant(time, 10) << ',' << segment << '\n';
    };
    for (int i = 1; i <= model.loadPoints; ++i) {
        const double h = t.hmax * i / model.loadPoints;
        write(h, model.fmax * (h / t.hmax) * (h / t.hmax), "LOAD");
    }
    for (int i = 1; i <= model.unloadPoints; ++i) {
        // Evenly spaced in load, so every part of the force range holds points.
        const double f = model.fmax * (1.0 - static_cast<double>(i) / model.unloadPoints);
        const double h = hf + std::pow(f / alpha, 1.0 / m);
        write(h, f, "UNLOAD");
    }
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
        const std::string name = std::string("indent_") + (i < 10 ? "0" : "") +
                                 FormatInt(static_cast<long long>(i)) + ".csv";
        files.push_back(folder / name);
        WriteIndentCurve(files.back(), model);
    }
    return files;
}

}  // namespace marvek::test
