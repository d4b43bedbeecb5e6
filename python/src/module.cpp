// marvek._marvek: the C++ side of the Python package. It returns plain columns and arrays; the
// package (marvek/__init__.py) builds the pandas tables, so each area stays a few lines here.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <memory>

#include "batch.h"
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
    if (file.status == ReadStatus::CannotOpen) {
        PyErr_SetString(PyExc_FileNotFoundError, file.error.c_str());
        throw py::error_already_set();
    }
    if (file.status != ReadStatus::Ok) throw py::value_error(file.error);
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
    const int method = call.settings.strategy.m_nMethod;
    const char* methodName = method == 0 ? "op" : method == 1 ? "dn" : "other";
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

}  // namespace

PYBIND11_MODULE(_marvek, m) {
    m.doc() = "Marvek's readers and analysis (use the marvek package, not this module)";

    py::class_<Curve, std::shared_ptr<Curve>>(m, "Curve")
        .def_readonly("address", &Curve::address)
        .def_readonly("file", &Curve::file)
        .def_property_readonly("test", [](const Curve& c) { return c.parsed.test; })
        .def_property_readonly("format", [](const Curve& c) { return c.parsed.format; })
        .def_property_readonly("units", [](const Curve& c) { return c.parsed.units; })
        .def_property_readonly(
            "depth", [](py::object self) { return View(self.cast<Curve&>().parsed.depth, self,
                                                       py::dtype::of<double>()); })
        .def_property_readonly(
            "load", [](py::object self) { return View(self.cast<Curve&>().parsed.load, self,
                                                      py::dtype::of<double>()); })
        .def_property_readonly(
            "time", [](py::object self) { return View(self.cast<Curve&>().parsed.time, self,
                                                      py::dtype::of<double>()); })
        .def_property_readonly(
            "segment", [](py::object self) { return View(self.cast<Curve&>().parsed.segment, self,
                                                         py::dtype("S1")); })
        .def_property_readonly("metadata", [](const Curve& c) { return Metadata(c.parsed.meta); })
        .def_property_readonly("warnings", [](const Curve& c) { return Warnings(c.parsed); })
        .def("__len__", [](const Curve& c) { return c.parsed.size(); });

    m.def("read", &Read, py::arg("path"), py::arg("args"));
    m.def("analyze", &Analyze, py::arg("paths"), py::arg("args"));
    m.def("units", &Units, py::arg("uncertainty") = false);
    m.def("known_options", &KnownOptions);
    m.def("check_settings", [](const std::vector<std::string>& args) {
        Resolution r = ResolveCallSettings(args);
        return py::make_tuple(r.settings.has_value(), r.message, r.option, r.setting);
    });
    m.def("expand", [](const std::vector<std::string>& paths, const std::vector<std::string>& args) {
        const CallSettings call = Resolved(args);
        py::gil_scoped_release release;
        return ExpandPaths(paths, call.read);
    });
}
