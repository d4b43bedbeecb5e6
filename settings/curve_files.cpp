#include "settings/curve_files.h"

#include "ui/services.h"

namespace marvek {

using namespace ui;

bool SelectCurveFiles(CCurveAnalyzer& analyzer) {
    OpenFilesRequest request;
    request.owner = nullptr;
    request.filter = "CSV Files (*.CSV)";
    request.defaultExtension = "csv";
    request.multiSelect = true;
    const auto files = GetServices().OpenFiles(request);
    if (!files) return false;
    analyzer.SetFiles(*files);
    return true;
}

}  // namespace marvek
