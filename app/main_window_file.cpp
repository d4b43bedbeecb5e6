// What the main window says about the shown curve's file: File > File Information (the reader,
// columns, units, warnings and recorded calibration, as `marvek-cli list` prints them), File >
// Columns and Units (the columns and units of text files the user gives, the window's
// --columns and --units), and the instrument's calibration taken from the file (Analysis Setup).
#include <QAction>

#include "app/main_window.h"
#include "app/resource_ids.h"
#include "core/config/file_settings.h"
#include "core/io/column_names.h"
#include "core/io/curve_description.h"
#include "core/io/file_cache.h"
#include "core/io/number_format.h"
#include "ui/data_exchange.h"
#include "ui/services.h"

using namespace marvek;
using namespace marvek::ui;
using namespace resource;

namespace {

enum : int {
    IDC_INFO_TEXT = 1001,
    IDC_DEPTH_COLUMN = 1011,
    IDC_LOAD_COLUMN = 1012,
    IDC_TIME_COLUMN = 1013,
    IDC_DEPTH_UNIT = 1014,
    IDC_LOAD_UNIT = 1015,
    IDC_CLEAR_COLUMNS = 1016,
};

// The reader's reasons with what to do said in the window's terms.
const io::ReadHints kWindowHints{
    "give them in File > Columns and Units...",
    "set it in File > Columns and Units... if it is otherwise",
    "set them in File > Columns and Units... if they are otherwise",
    "File > Columns and Units...",
};

// How the file information names what was taken from the file.
std::string TakenName(const std::string& key) {
    if (key == "poisson") return "Poisson's ratio";
    if (key == "compliance") return "frame compliance";
    return key;
}

class FileInformationWindow : public Dialog {
public:
    explicit FileInformationWindow(std::string text) : Dialog(Make()), text_(std::move(text)) {}

    static DialogTemplate Make() {
        DialogTemplate t;
        t.caption = "File Information";
        t.width = 330;
        t.height = 200;
        t.resizable = true;
        t.controls = {
            {ControlKind::Edit, IDC_INFO_TEXT, "", 7, 7, 316, 166,
             kMultiLine | kReadOnly | kVScroll},
            {ControlKind::PushButton, IDOK, "OK", 273, 179, 50, 14, kDefault},
        };
        return t;
    }

protected:
    void DoDataExchange(DataExchange& dx) override { dx.Text(IDC_INFO_TEXT, text_); }

private:
    std::string text_;
};

// A column number typed in a field: empty for none (0), else a whole number from 1.
bool ParseColumn(const std::string& text, int& column) {
    std::string t = text;
    while (!t.empty() && t.back() == ' ') t.pop_back();
    while (!t.empty() && t.front() == ' ') t.erase(0, 1);
    if (t.empty()) return column = 0, true;
    std::size_t used = 0;
    const int n = ParseInt(t, &used);
    if (used != t.size() || n < 1 || n > 1000) return false;
    column = n;
    return true;
}

class ColumnsAndUnitsWindow : public Dialog {
public:
    explicit ColumnsAndUnitsWindow(io::ReadOptions& options) : Dialog(Make()), options_(options) {
        const auto shown = [](int c) { return c > 0 ? std::to_string(c) : std::string(); };
        depth_ = shown(options.depthColumn);
        load_ = shown(options.loadColumn);
        time_ = shown(options.timeColumn);
        depthUnit_ = options.depthUnit;
        loadUnit_ = options.loadUnit;
        OnCommand(IDC_CLEAR_COLUMNS, [this] {
            depth_ = load_ = time_ = depthUnit_ = loadUnit_ = "";
            UpdateData(false);
        });
    }

    static DialogTemplate Make() {
        using K = ControlKind;
        DialogTemplate t;
        t.caption = "Columns and Units";
        t.width = 250;
        t.height = 170;
        t.controls = {
            {K::GroupBox, kNoId, "Columns of text files (numbered from 1)", 7, 7, 236, 66},
            {K::Static, kNoId, "Depth column:", 14, 21, 70, 10, kAlignRight},
            {K::Edit, IDC_DEPTH_COLUMN, "", 88, 19, 30, 12},
            {K::Static, kNoId, "Load column:", 14, 37, 70, 10, kAlignRight},
            {K::Edit, IDC_LOAD_COLUMN, "", 88, 35, 30, 12},
            {K::Static, kNoId, "Time column:", 14, 53, 70, 10, kAlignRight},
            {K::Edit, IDC_TIME_COLUMN, "", 88, 51, 30, 12},
            {K::Static, kNoId, "Empty: the columns the file's header names.", 124, 21, 112, 40},
            {K::GroupBox, kNoId, "Units", 7, 79, 236, 50},
            {K::Static, kNoId, "Depth unit:", 14, 93, 70, 10, kAlignRight},
            {K::Edit, IDC_DEPTH_UNIT, "", 88, 91, 30, 12},
            {K::Static, kNoId, "Load unit:", 14, 109, 70, 10, kAlignRight},
            {K::Edit, IDC_LOAD_UNIT, "", 88, 107, 30, 12},
            {K::Static, kNoId, "nm, um or mm; nN, uN, mN or N. Empty: as the file states them.",
             124, 93, 112, 30},
            {K::Static, kNoId, "Used for every curve file read until changed here.", 7, 136, 236,
             10},
            {K::PushButton, IDC_CLEAR_COLUMNS, "As the Files Say", 7, 151, 70, 14},
            {K::PushButton, IDOK, "OK", 139, 151, 50, 14, kDefault},
            {K::PushButton, IDCANCEL, "Cancel", 193, 151, 50, 14},
        };
        return t;
    }

protected:
    void DoDataExchange(DataExchange& dx) override {
        int depth = 0, load = 0, time = 0;
        const auto column = [&dx](int id, std::string& text, int& value, const char* name) {
            dx.Text(id, text);
            if (dx.Saving() && !dx.Failed() && !ParseColumn(text, value))
                dx.Refuse(std::string("The ") + name +
                          " column must be a column number from 1, or empty.");
        };
        column(IDC_DEPTH_COLUMN, depth_, depth, "depth");
        if (dx.Failed()) return;
        column(IDC_LOAD_COLUMN, load_, load, "load");
        if (dx.Failed()) return;
        column(IDC_TIME_COLUMN, time_, time, "time");
        if (dx.Failed()) return;
        if (dx.Saving() && (depth > 0) != (load > 0)) {
            dx.Refuse("Give both the depth and the load column, or neither.");
            return;
        }
        dx.Text(IDC_DEPTH_UNIT, depthUnit_);
        if (dx.Saving() && !depthUnit_.empty() && io::DepthFactor(depthUnit_) == 0) {
            dx.Refuse("The depth unit must be nm, um or mm, or empty.");
            return;
        }
        dx.Text(IDC_LOAD_UNIT, loadUnit_);
        if (dx.Saving() && !loadUnit_.empty() && io::LoadFactor(loadUnit_) == 0) {
            dx.Refuse("The load unit must be nN, uN, mN or N, or empty.");
            return;
        }
        if (!dx.Saving()) return;
        if (depth == 0) time = 0;  // a time column alone is not a layout
        options_.depthColumn = depth;
        options_.loadColumn = load;
        options_.timeColumn = time;
        options_.depthUnit = depthUnit_;
        options_.loadUnit = loadUnit_;
    }

private:
    io::ReadOptions& options_;
    std::string depth_, load_, time_, depthUnit_, loadUnit_;
};

}  // namespace

void CIndentMainDlg::UseWindowReadHints() { m_analyzer.m_readOptions.hints = &kWindowHints; }

std::string CIndentMainDlg::ReadChoicesText() const {
    const io::ReadOptions& o = m_analyzer.m_readOptions;
    std::string t;
    if (o.depthColumn > 0)
        t += "depth column " + std::to_string(o.depthColumn) + ", load column " +
             std::to_string(o.loadColumn) +
             (o.timeColumn > 0 ? ", time column " + std::to_string(o.timeColumn) : "");
    if (!o.depthUnit.empty()) t += (t.empty() ? "" : "; ") + ("depth in " + o.depthUnit);
    if (!o.loadUnit.empty()) t += (t.empty() ? "" : "; ") + ("load in " + o.loadUnit);
    return t;
}

std::string CIndentMainDlg::FileInformationText(int curve) const {
    if (curve < 0 || curve >= m_analyzer.m_nFileCount) return "No curve file is selected.";
    const io::Address a = io::ParseAddress(m_analyzer.m_strFiles[static_cast<std::size_t>(curve)]);
    const io::ReadOptions& o = m_analyzer.m_readOptions;
    // The analysis read it through the same cache: a workbook is not parsed again.
    const std::shared_ptr<const io::ParsedFile> file = m_analyzer.m_fileCache->Read(a.file, o);
    std::string t = "File: " + a.file.string() + "\n";
    if (!a.test.empty()) t += "Test: " + a.test + "\n";
    const io::ParsedCurve* shown = nullptr;
    if (file->status.ok())
        for (const io::ParsedCurve& c : file->curves)
            if (a.test.empty() || c.test == a.test) {
                shown = &c;
                break;
            }
    if (!shown) {
        t += "Not read: " +
             (file->status.ok() ? "no test \"" + a.test + "\" in the file"
                                : file->status.message()) +
             "\n";
    } else {
        const io::ParsedCurve& c = *shown;
        t += "Reader: " + c.format + "\n";
        if (file->curves.size() > 1)
            t += "Curves in the file: " + std::to_string(file->curves.size()) + "\n";
        t += "Points: " + std::to_string(c.size()) + "\n";
        t += "Units: " + c.units + "\n";
        for (const std::string& line : io::DescribeCurve(*file, c)) t += line + "\n";
        const io::CurveMetadata& m = c.meta;
        if (m.harmonicFrameStiffness)
            t += "harmonic frame stiffness: " + FormatSignificant(*m.harmonicFrameStiffness, 6) +
                 " N/m\n";
        if (m.positionX || m.positionY)
            t += "position: x " + (m.positionX ? FormatSignificant(*m.positionX, 6) : "-") +
                 " \u00b5m, y " + (m.positionY ? FormatSignificant(*m.positionY, 6) : "-") +
                 " \u00b5m\n";
    }
    if (file->status.ok())
        for (const io::SkippedPart& s : file->skipped) t += "skipped: " + s.reason + "\n";
    const std::string given = ReadChoicesText();
    t += "\nColumns and units given (File > Columns and Units...): " +
         (given.empty() ? std::string("none, as the file says") : given) + "\n";
    t += "Instrument's calibration from the file (Analysis Setup): ";
    t += m_bUseFileCalibration ? "used" : "not used";
    t += "\n";
    return t;
}

void CIndentMainDlg::OnFileInformation() {
    FileInformationWindow window(FileInformationText(m_nCurrentCurve));
    window.DoModal();
}

void CIndentMainDlg::OnColumnsAndUnits() {
    io::ReadOptions options = m_analyzer.m_readOptions;
    ColumnsAndUnitsWindow window(options);
    if (window.DoModal() != IDOK) return;
    io::ReadOptions& now = m_analyzer.m_readOptions;
    if (options.depthColumn == now.depthColumn && options.loadColumn == now.loadColumn &&
        options.timeColumn == now.timeColumn && options.depthUnit == now.depthUnit &&
        options.loadUnit == now.loadUnit)
        return;
    now = options;
    // A curve held from the last read was read with the old columns.
    m_analyzer.ReleaseHeldCurve();
    const std::string given = ReadChoicesText();
    SetStatusText(given.empty() ? "Text files are read as their headers say"
                                : "Text files are read with " + given);
    if (m_nCurrentCurve != -1) DisplayCurve(m_nCurrentCurve);
}

void CIndentMainDlg::OnUseFileCalibration() {
    m_bUseFileCalibration = !m_bUseFileCalibration;
    if (QAction* a = MenuAction(ID_USE_FILE_CALIBRATION)) a->setChecked(m_bUseFileCalibration);
    if (m_nCurrentCurve != -1) DisplayCurve(m_nCurrentCurve);
}

Settings CIndentMainDlg::AnalysisSettings(int curve) {
    m_fromFile.clear();
    m_fromFileWarnings.clear();
    const Settings settings = CurveSettings(curve);
    if (!m_bUseFileCalibration || curve < 0 || curve >= m_analyzer.m_nFileCount) return settings;
    // What the file records is known once it is read; a failure is the analysis' to report.
    if (!m_analyzer.ReadCurveFile(m_analyzer.m_strFiles[static_cast<std::size_t>(curve)]).ok())
        return settings;
    return WithFileSettings(settings, m_analyzer.m_fileMeta, m_fromFile, m_fromFileWarnings);
}

std::string CIndentMainDlg::FileCalibrationText() const {
    if (!m_bUseFileCalibration) return {};
    if (m_fromFile.empty()) return "No calibration in the file: the settings are used.\n";
    std::string t = "From the file:";
    const Settings& s = m_analysisSettings;
    // Appended piece by piece: GCC 12 warns of "literal" + std::string (its bug 105329).
    for (const std::string& key : m_fromFile) {
        t.append("\n ").append(TakenName(key));
        if (key == "poisson") t.append(" ").append(FormatSignificant(s.m_fPoisson, 6));
        if (key == "compliance")
            t.append(" ").append(FormatSignificant(s.compliance.m_fCompliance, 6)).append(" nm/mN");
    }
    for (const std::string& w : m_fromFileWarnings) t.append("\n (").append(w).append(")");
    return t + "\n";
}
