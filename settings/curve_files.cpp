#include "settings/curve_files.h"

#include "ui/services.h"

namespace marvek {

using namespace ui;

// Every format the import layer reads.
const char* const kCurveFileFilter = "Curve Files (*.csv *.txt *.hld *.xls *.xlsx *.zip)";

bool SelectCurveFiles(CCurveAnalyzer& analyzer) {
    OpenFilesRequest request;
    request.owner = nullptr;
    request.filter = kCurveFileFilter;
    request.defaultExtension = "csv";
    request.multiSelect = true;
    const auto files = GetServices().OpenFiles(request);
    if (!files) return false;
    analyzer.SetFiles(*files);
    return true;
}

}  // namespace marvek
