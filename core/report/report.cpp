#include "core/report/report.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "core/platform/module_loader.h"

namespace marvek::report {

void Document::AddCurvePlot(CurvePlot plot) {
    curvePlots.push_back(std::move(plot));
    blocks.push_back({Block::Kind::CurvePlot, {}, {}, curvePlots.size() - 1});
}

void Document::AddPlot(Plot plot) {
    plots.push_back(std::move(plot));
    blocks.push_back({Block::Kind::Plot, {}, {}, plots.size() - 1});
}

void Document::AddMap(phases::MapPicture map) {
    maps.push_back(std::move(map));
    blocks.push_back({Block::Kind::Map, {}, {}, maps.size() - 1});
}

namespace {
std::string LowerExtension(const std::string& file) {
    std::string ext = std::filesystem::path(file).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}
}  // namespace

bool IsReportFile(const std::string& file) {
    const std::string ext = LowerExtension(file);
    return ext == ".html" || ext == ".htm" || ext == ".pdf";
}

std::string EscapeHtml(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

Status WriteReport(const Document& document, const std::string& file, const WriteOptions& options) {
    if (!IsReportFile(file))
        return Status::FileError(file, "is not a report name: give .html or .pdf");
    std::string error;
    const auto* module =
        static_cast<const ReportModule*>(io::LoadModuleTable(kReportModule, kReportEntry, error));
    if (module && module->documentSize != sizeof(Document))
        error = std::string("the module ") + kReportModule + ".so belongs to another build";
    if (!module || !error.empty()) return Status::FileError(file, "cannot be written: " + error);
    return module->write(document, file, options);
}

}  // namespace marvek::report
