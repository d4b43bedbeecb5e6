// marvek._marvek: the C++ side of the Python package. It returns plain columns and arrays; the
// package (marvek/__init__.py) builds the pandas tables, so each area stays a few lines here.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <memory>
#include <optional>
#include <stdexcept>

#include "batch.h"
#include "cli/popin_command.h"
#include "core/phases/mixture.h"
#include "core/phases/table.h"
#include "core/profiles/depth_profile.h"
#include "options.h"

namespace py = pybind11;
using namespace marvek;
using namespace marvek::python;

namespace {

// A curve as read. Its arrays are NumPy views of the vectors the reader filled (no copy); the
// views keep this object alive.
struct Curve {
    std::string address, file;
    io::ParsedCurve parsed;
};

template <class T>
py::array View(const std::vector<T>& v, py::handle owner, py::dtype dtype) {
    py::array a(dtype, {static_cast<py::ssize_t>(v.size())}, {static_cast<py::ssize_t>(sizeof(T))},
                v.data(), owner);
    py::detail::array_proxy(a.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
    return a;
}

py::object Optional(const std::optional<double>& v) {
    return v ? py::object(py::float_(*v)) : py::object(py::none());
}

py::dict Metadata(const io::CurveMetadata& m) {
    py::dict d;
    d["poisson_ratio"] = Optional(m.poissonRatio);
    d["frame_compliance"] = Optional(m.frameCompliance);
    d["area_coefficients"] = m.areaCoefficients;
    d["tip"] = m.tipName.empty() ? py::object(py::none()) : py::object(py::str(m.tipName));
    d["position_x"] = Optional(m.positionX);
    d["position_y"] = Optional(m.positionY);
    py::dict values;
    for (const auto& [k, v] : m.values) values[py::str(k)] = v;
    d["values"] = values;
    return d;
}

py::list Warnings(const io::ParsedCurve& c) {
    py::list out;
    for (const io::ReadWarning& w : c.warnings) out.append(py::make_tuple(w.line, w.text));
    return out;
}

CallSettings Resolved(const std::vector<std::string>& args) {
    Resolution r = ResolveCallSettings(args);
    if (!r.settings) throw py::value_error(r.message);
    return *r.settings;
}

// Every curve of the file an address names (only the named test for FILE#TEST); a file that
// cannot be read raises OSError (missing) or ValueError (not a curve file) with the reader's
// reason.
std::vector<std::shared_ptr<Curve>> Read(const std::string& path,
                                         const std::vector<std::string>& args) {
    const CallSettings call = Resolved(args);
    const io::Address address = io::ParseAddress(path);
    io::ParsedFile file;
    {
        py::gil_scoped_release release;
        file = io::ReadFile(address.file, call.read);
    }
    if (file.status.code() == ErrorCode::CannotOpen) {
        PyErr_SetString(PyExc_FileNotFoundError, file.status.message().c_str());
        throw py::error_already_set();
    }
    if (!file.status.ok()) throw py::value_error(file.status.message());
    std::vector<std::shared_ptr<Curve>> curves;
    for (io::ParsedCurve& c : file.curves) {
        if (!address.test.empty() && c.test != address.test) continue;
        auto curve = std::make_shared<Curve>();
        curve->address = io::MakeAddress(address.file, c.test).string();
        curve->file = address.file.string();
        curve->parsed = std::move(c);
        curves.push_back(std::move(curve));
    }
    if (!address.test.empty() && curves.empty())
        throw py::key_error(address.file.string() + ": no test \"" + address.test + "\"");
    return curves;
}

py::object Nullable(const std::string& s) {
    return s.empty() ? py::object(py::none()) : py::object(py::str(s));
}

// The rows as columns: name -> NumPy array (numbers; NaN where the cli writes null) or list.
py::dict Analyze(const std::vector<std::string>& paths, const std::vector<std::string>& args) {
    const CallSettings call = Resolved(args);
    std::vector<Row> rows;
    {
        py::gil_scoped_release release;
        rows = AnalyzeAddresses(ExpandPaths(paths, call.read), call);
    }
    const char* methodName = MethodKey(call.settings.strategy.method());
    const std::size_t n = rows.size();
    py::dict columns;
    py::list file, test, format, ok, error, methods;
    for (const Row& r : rows) {
        file.append(r.file);
        test.append(Nullable(r.test));
        format.append(Nullable(r.format));
        ok.append(r.ok);
        error.append(r.ok ? py::object(py::none()) : py::object(py::str(r.error)));
        methods.append(methodName);
    }
    columns["file"] = file, columns["test"] = test, columns["format"] = format;
    columns["ok"] = ok, columns["error"] = error, columns["method"] = methods;
    auto numbers = [&](const NumberColumn& c) {
        py::array_t<double> a(static_cast<py::ssize_t>(n));
        double* out = a.mutable_data();
        for (std::size_t k = 0; k < n; ++k) {
            const double v = c.value(rows[k]);
            out[k] = rows[k].ok && std::isfinite(v) ? v : NAN;
        }
        columns[c.name] = a;
    };
    for (const NumberColumn& c : NumberColumns()) numbers(c);
    for (const NumberColumn& c : IsoColumns()) numbers(c);
    py::list absent, flags, included, text;
    for (const Row& r : rows) {
        py::dict reasons;
        for (auto [name, q] : {std::pair{"Wtotal", &r.iso.quantities.wTotal},
                               {"Welast", &r.iso.quantities.wElastic},
                               {"Wplast", &r.iso.quantities.wPlastic},
                               {"etaIT", &r.iso.quantities.etaIT},
                               {"CIT", &r.iso.quantities.cIT},
                               {"CITholdTime", &r.iso.quantities.holdTime},
                               {"RIT", &r.iso.quantities.rIT},
                               {"HMs", &r.iso.quantities.hMs},
                               {"HMsR2", &r.iso.quantities.hMsR2}})
            if (r.ok && !q->present() && !q->reason.empty()) reasons[name] = q->reason;
        absent.append(r.ok ? py::object(reasons) : py::object(py::none()));
        py::list f;
        for (const QualityFlag& q : r.curve.flags) f.append(q.code);
        flags.append(f);
        included.append(r.curve.included);
        text.append(r.ok ? py::object(py::str(r.resultsText)) : py::object(py::none()));
    }
    columns["absent"] = absent;
    if (call.iso.uncertainty) {
        py::array_t<double> eit(static_cast<py::ssize_t>(n)), hit(static_cast<py::ssize_t>(n));
        py::list budget, why;
        for (std::size_t k = 0; k < n; ++k) {
            const Row& r = rows[k];
            const ModulusUncertainty& u = r.iso.uncertainty;
            eit.mutable_data()[k] = r.ok && std::isfinite(u.uEit) ? u.uEit : NAN;
            hit.mutable_data()[k] = r.ok && std::isfinite(u.uHit) ? u.uHit : NAN;
            py::dict b;
            for (const BudgetEntry& e : u.budget) {
                py::dict entry;
                entry["EIT"] = std::isfinite(e.eit) ? py::object(py::float_(e.eit)) : py::none();
                entry["HIT"] = std::isfinite(e.hit) ? py::object(py::float_(e.hit)) : py::none();
                entry["combined"] = e.combined;
                b[py::str(e.name)] = entry;
            }
            budget.append(r.ok ? py::object(b) : py::object(py::none()));
            why.append(r.ok && !u.present() ? py::object(py::str(u.reason))
                                            : py::object(py::none()));
        }
        columns["EIT_u"] = eit, columns["HIT_u"] = hit, columns["budget"] = budget;
        columns["uncertaintyAbsent"] = why;
    }
    columns["flags"] = flags;
    columns["included"] = included;
    columns["resultsText"] = text;
    if (call.useFileSettings) {
        py::list taken, warnings;
        for (const Row& r : rows) {
            taken.append(r.fromFile);
            warnings.append(r.fromFileWarnings);
        }
        columns["settingsFromFile"] = taken;
        columns["settingsWarnings"] = warnings;
    }
    return columns;
}

py::dict Units(bool uncertainty) {
    py::dict units;
    for (const auto* table : {&NumberColumns(), &IsoColumns()})
        for (const NumberColumn& c : *table)
            if (*c.unit) units[c.name] = c.unit;
    if (uncertainty) units["EIT_u"] = "GPa", units["HIT_u"] = "MPa";
    return units;
}

// A number for Python: None where the cli writes null.
py::object Num(double v) {
    return std::isfinite(v) ? py::object(py::float_(v)) : py::object(py::none());
}

py::array_t<double> Array(const std::vector<double>& v) {
    return py::array_t<double>(static_cast<py::ssize_t>(v.size()), v.data());
}

// The pop-ins of every test, one dict per curve with the keys of `marvek-cli popin --json`, and
// the series summary; the curves are analysed in order on one analyzer, as the cli does.
py::tuple Popins(const std::vector<std::string>& paths, const std::vector<std::string>& args,
                 const popins::PopinSettings& detector, double temperature) {
    const CallSettings call = Resolved(args);
    std::vector<cli::PopinCurveRow> rows;
    popins::PopinStatistics summary;
    {
        py::gil_scoped_release release;
        CCurveAnalyzer analyzer;
        ConfigureAnalyzer(analyzer, call.settings.strategy);
        analyzer.m_readOptions = call.read;
        std::vector<popins::PopinResult> found;
        for (const std::string& address : ExpandPaths(paths, call.read)) {
            rows.push_back(cli::AnalyzePopinCurve(analyzer, address, call.settings, detector));
            if (rows.back().ok) found.push_back(rows.back().result);
        }
        popins::PopinStatisticsSettings ss;
        ss.temperature = temperature;
        summary = popins::SummarisePopins(found, ss);
    }
    py::list out;
    for (const cli::PopinCurveRow& r : rows) {
        const popins::PopinResult& p = r.result;
        const popins::HertzFit& h = p.hertz;
        py::dict d;
        d["file"] = r.file, d["test"] = Nullable(r.test), d["ok"] = r.ok;
        d["error"] = r.ok ? py::object(py::none()) : py::object(py::str(r.error));
        py::list list;
        for (const popins::Popin& q : p.popins) {
            py::dict e;
            e["load_mN"] = Num(q.load), e["depth_nm"] = Num(q.depth), e["width_nm"] = Num(q.width);
            list.append(e);
        }
        d["popins"] = list;
        d["K_mN_nm1_5"] = Num(h.K), d["h0_nm"] = Num(h.h0), d["radius_nm"] = Num(h.radius);
        d["Er_GPa"] = Num(h.reducedModulus), d["r2"] = Num(h.r2);
        d["depthFrom_nm"] = Num(h.depthFrom), d["depthTo_nm"] = Num(h.depthTo);
        d["tauMax_GPa"] = Num(p.tauMax), d["tauMaxOverG"] = Num(p.tauMaxOverShear);
        std::string note = p.note;
        if (r.ok && !h.reason.empty()) note += (note.empty() ? "" : "; ") + h.reason;
        d["note"] = r.ok ? Nullable(note) : py::object(py::none());
        out.append(d);
    }
    auto meanSd = [](const auto& s) {
        py::dict d;
        d["mean"] = Num(s.mean), d["sd"] = Num(s.sd);
        return d;
    };
    py::dict sum;
    sum["n"] = summary.n, sum["curves"] = summary.curves;
    sum["firstPopinLoad_mN"] = meanSd(summary.load);
    sum["firstPopinDepth_nm"] = meanSd(summary.depth);
    sum["firstPopinWidth_nm"] = meanSd(summary.width);
    sum["tauMax_GPa"] = meanSd(summary.tauMax);
    py::dict weibull;
    weibull["modulus"] = Num(summary.weibullModulus),
    weibull["scale_mN"] = Num(summary.weibullScale);
    sum["weibull"] = weibull;
    sum["activationVolume_A3"] = Num(summary.activationVolume);
    sum["note"] = Nullable(summary.reason);
    return py::make_tuple(out, sum);
}

// Every test's continuous-stiffness profile and its window average, with the keys of
// `marvek-cli profile --json` (the arrays as NumPy arrays).
py::list Profiles(const std::vector<std::string>& paths, const profiles::ProfileSettings& s) {
    struct Found {
        std::string file, test, error;
        profiles::DepthProfile profile;
        profiles::ProfileAverage average;
    };
    std::vector<Found> found;
    {
        py::gil_scoped_release release;
        for (const std::string& name : paths) {
            const io::Address address = io::ParseAddress(name);
            const io::ParsedFile file = io::ReadFile(address.file);
            if (!file.status.ok()) {
                found.push_back({name, address.test, file.status.message(), {}, {}});
                continue;
            }
            const std::size_t before = found.size();
            for (const io::ParsedCurve& c : file.curves) {
                if (!address.test.empty() && c.test != address.test) continue;
                Found f{io::MakeAddress(address.file, c.test).string(),
                        c.test,
                        "",
                        profiles::ComputeProfile(c, s),
                        {}};
                if (!f.profile.ok()) f.error = f.file + ": " + f.profile.status.reason();
                f.average = profiles::AverageProfile(f.profile);
                found.push_back(std::move(f));
            }
            if (found.size() == before)
                found.push_back({name,
                                 address.test,
                                 address.file.string() + ": no test \"" + address.test + "\"",
                                 {},
                                 {}});
        }
    }
    py::list out;
    for (const Found& f : found) {
        const profiles::DepthProfile& p = f.profile;
        py::dict d;
        d["file"] = f.file, d["test"] = Nullable(f.test), d["ok"] = p.ok();
        d["error"] = p.ok() ? py::object(py::none()) : py::object(py::str(f.error));
        d["depth_nm"] = Array(p.depth), d["load_mN"] = Array(p.load);
        d["stiffness_N_m"] = Array(p.stiffness), d["contactDepth_nm"] = Array(p.contactDepth);
        d["area_nm2"] = Array(p.area), d["hardness_GPa"] = Array(p.hardness);
        d["modulus_GPa"] = Array(p.modulus);
        py::dict a;
        a["from_nm"] = Num(f.average.from), a["to_nm"] = Num(f.average.to);
        a["n"] = f.average.n, a["hardness_GPa"] = Num(f.average.hardness);
        a["modulus_GPa"] = Num(f.average.modulus);
        d["average"] = a;
        py::list warnings;
        for (const std::string& w : p.warnings) warnings.append(w);
        d["warnings"] = warnings;
        out.append(d);
    }
    return out;
}

// The mixture of `columns` of a table (a CSV file), as `marvek-cli phases --json` gives it, with
// each table row's phase (1-based; 0 where the row was left out) and its probability.
py::dict Phases(const std::string& csvText, const std::string& name,
                const std::vector<std::string>& columns, int maxK, std::uint64_t seed) {
    phases::Table table;
    if (const Status st = phases::ParseTable(csvText, name, table); !st.ok())
        throw std::invalid_argument(st.message());
    phases::Samples samples;
    if (const Status st = phases::SelectColumns(table, columns, samples); !st.ok())
        throw std::invalid_argument(st.message());
    phases::PhaseSettings settings;
    settings.maxK = maxK;
    settings.seed = seed;
    phases::MixtureFit fit;
    {
        py::gil_scoped_release release;
        fit = phases::FitPhases(samples.values, settings);
    }
    if (!fit.status.ok()) throw std::invalid_argument(fit.status.reason());
    py::dict d;
    d["k"] = fit.k, d["n"] = fit.samples, d["leftOut"] = samples.leftOut;
    d["columns"] = samples.columns;
    py::list bic;
    for (double b : fit.bic) bic.append(Num(b));
    d["bic"] = bic;
    py::list list;
    for (const phases::Phase& p : fit.phases) {
        py::dict ph;
        ph["weight"] = p.weight;
        py::dict mean, sd;
        for (std::size_t c = 0; c < samples.columns.size(); ++c) {
            mean[py::str(columns[c])] = Num(p.mean[c]);
            sd[py::str(columns[c])] = Num(p.sd[c]);
        }
        ph["mean"] = mean, ph["sd"] = sd, ph["correlation"] = Num(p.correlation);
        list.append(ph);
    }
    d["phases"] = list;
    std::vector<int> label(table.rows.size(), 0);
    std::vector<double> probability(table.rows.size(), NAN);
    for (std::size_t i = 0; i < fit.label.size(); ++i) {
        const auto row = static_cast<std::size_t>(samples.rowOfSample[i]);
        label[row] = fit.label[i] + 1;
        probability[row] = fit.probability[i];
    }
    d["label"] = label, d["probability"] = probability;
    return d;
}

}  // namespace

PYBIND11_MODULE(_marvek, m) {
    m.doc() = "Marvek's readers and analysis (use the marvek package, not this module)";

    py::class_<Curve, std::shared_ptr<Curve>>(m, "Curve")
        .def_readonly("address", &Curve::address)
        .def_readonly("file", &Curve::file)
        .def_property_readonly("test", [](const Curve& c) { return c.parsed.test; })
        .def_property_readonly("format", [](const Curve& c) { return c.parsed.format; })
        .def_property_readonly("units", [](const Curve& c) { return c.parsed.units; })
        .def_property_readonly("depth",
                               [](py::object self) {
                                   return View(self.cast<Curve&>().parsed.depth, self,
                                               py::dtype::of<double>());
                               })
        .def_property_readonly("load",
                               [](py::object self) {
                                   return View(self.cast<Curve&>().parsed.load, self,
                                               py::dtype::of<double>());
                               })
        .def_property_readonly("time",
                               [](py::object self) {
                                   return View(self.cast<Curve&>().parsed.time, self,
                                               py::dtype::of<double>());
                               })
        .def_property_readonly("segment",
                               [](py::object self) {
                                   return View(self.cast<Curve&>().parsed.segment, self,
                                               py::dtype("S1"));
                               })
        .def_property_readonly("metadata", [](const Curve& c) { return Metadata(c.parsed.meta); })
        .def_property_readonly("warnings", [](const Curve& c) { return Warnings(c.parsed); })
        .def("__len__", [](const Curve& c) { return c.parsed.size(); });

    m.def("read", &Read, py::arg("path"), py::arg("args"));
    m.def("analyze", &Analyze, py::arg("paths"), py::arg("args"));
    m.def("units", &Units, py::arg("uncertainty") = false);
    m.def(
        "popins",
        [](const std::vector<std::string>& paths, const std::vector<std::string>& args,
           double minJump, double minLoad, double reducedModulus, double tipRadius,
           double temperature) {
            popins::PopinSettings p;
            p.minJump = minJump, p.minLoad = minLoad;
            p.reducedModulus = reducedModulus, p.tipRadius = tipRadius;
            return Popins(paths, args, p, temperature);
        },
        py::arg("paths"), py::arg("args"), py::arg("min_jump"), py::arg("min_load"),
        py::arg("reduced_modulus"), py::arg("tip_radius"), py::arg("temperature"));
    m.def(
        "profile",
        [](const std::vector<std::string>& paths, const std::vector<double>& ap,
           std::optional<double> poisson, std::optional<double> from, std::optional<double> to,
           std::optional<double> frameStiffness, double epsilon, double beta) {
            profiles::ProfileSettings s;
            s.areaCoefficients = ap;
            s.samplePoisson = poisson;
            s.from = from, s.to = to;
            s.harmonicFrameStiffness = frameStiffness;
            s.epsilon = epsilon, s.beta = beta;
            return Profiles(paths, s);
        },
        py::arg("paths"), py::arg("ap"), py::arg("poisson"), py::arg("from_nm"), py::arg("to_nm"),
        py::arg("frame_stiffness"), py::arg("epsilon"), py::arg("beta"));
    m.def("phases", &Phases, py::arg("csv"), py::arg("name"), py::arg("columns"), py::arg("max_k"),
          py::arg("seed"));
    m.def("known_options", &KnownOptions);
    m.def("check_settings", [](const std::vector<std::string>& args) {
        Resolution r = ResolveCallSettings(args);
        return py::make_tuple(r.settings.has_value(), r.message, r.option, r.setting);
    });
    m.def("expand",
          [](const std::vector<std::string>& paths, const std::vector<std::string>& args) {
              const CallSettings call = Resolved(args);
              py::gil_scoped_release release;
              return ExpandPaths(paths, call.read);
          });
}
