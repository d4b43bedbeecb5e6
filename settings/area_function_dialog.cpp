#include "settings/area_function_dialog.h"

#include <string>

#include "core/calibration/area_function_calibration.h"
#include "settings/calibration_support.h"
#include "settings/curve_files.h"
#include "settings/settings_objects.h"
#include "ui/data_exchange.h"
#include "ui/dialog.h"
#include "ui/services.h"

using namespace marvek;
using namespace marvek::ui;

namespace {

enum : int {
    IDC_INDENTER_POISSON = 1002,
    IDC_INDENTER_MODULUS = 1003,
    IDC_SAMPLE_MODULUS = 1004,
    IDC_AP_FIRST = 1005,  // 1005 ... 1013
    IDC_SAMPLE_POISSON = 1014,
    IDC_TERMS = 1015,
    IDC_R_SQUARED = 1016,
    IDC_AS_FIRST = 1017,  // 1017 ... 1025
    IDC_CALCULATE = 1028,
    IDC_SELECT_FILES = 1029,
    IDC_FIX_LEADING = 1034,
    IDC_FRAME_COMPLIANCE = 1047,
};

// The window edits a copy and stores it whenever every field has passed (Calculate and OK), so a
// value refused half-way leaves the settings as they were.
class CAreaFunctionWindow : public Dialog {
public:
    explicit CAreaFunctionWindow(CAreaFunctionDlg& settings)
        : Dialog(CAreaFunctionDlg::AreaFunctionTemplate()), m_data(settings), m_values(settings) {
        const char* exponents[9] = {"2", "1", "1/2", "1/4", "1/8", "1/16", "1/32", "1/64", "1/128"};
        for (int k = 0; k < 9; ++k) {
            SetFieldName(IDC_AP_FIRST + k, std::string("Ap coefficient of h^") + exponents[k]);
            SetFieldName(IDC_AS_FIRST + k, std::string("As coefficient of h^") + exponents[k]);
        }
        SetFieldName(IDC_R_SQUARED, "R^2 of the fit");
        OnCommand(IDC_SELECT_FILES, [this] {
            if (!m_running) SelectCurveFiles(m_data.m_analyzer);
        });
        OnCommand(IDC_CALCULATE, [this] { OnCalculate(); });
    }

protected:
    void DoDataExchange(DataExchange& dx) override {
        AreaFunctionSettings& v = m_values;
        // Checked where read, by the checks the cli and the parameter file use.
        auto check = [&](const char* setting) {
            Settings s;
            s.areaFunction = v;
            s.compliance.m_fCompliance = v.m_fFrameCompliance;
            CheckSetting(dx, s, setting);
        };
        dx.Text(IDC_INDENTER_MODULUS, v.m_fIndenterModulus);
        check("indenter modulus");
        dx.Text(IDC_INDENTER_POISSON, v.m_fIndenterPoisson);
        check("indenter Poisson ratio");
        for (int k = 0; k < 9; ++k)
            dx.Text(IDC_AP_FIRST + k, v.m_dApCoef[static_cast<std::size_t>(k)]);
        for (int k = 0; k < 9; ++k)
            dx.Text(IDC_AS_FIRST + k, v.m_dAsCoef[static_cast<std::size_t>(k)]);
        dx.Text(IDC_R_SQUARED, v.m_dFitRSquared);
        dx.Check(IDC_FIX_LEADING, v.m_bFixLeadingTerm);
        dx.Text(IDC_SAMPLE_MODULUS, v.m_fSampleModulus);
        check("calibration sample modulus");
        dx.Text(IDC_SAMPLE_POISSON, v.m_fSamplePoisson);
        check("calibration sample Poisson ratio");
        dx.Text(IDC_TERMS, v.m_nFunctionTerms);
        check("number of area-function terms");
        dx.Text(IDC_FRAME_COMPLIANCE, v.m_fFrameCompliance);
        check("frame compliance");
    }

    void OnOK() override {
        if (m_running || !UpdateData(true)) return;
        Store();
        EndDialog(IDOK);
    }

    void OnCancel() override {
        if (!m_running) Dialog::OnCancel();
    }

private:
    void Store() { static_cast<AreaFunctionSettings&>(m_data) = m_values; }

    void OnCalculate() {
        if (m_running || m_data.m_analyzer.m_nFileCount < 1) return;
        if (!UpdateData(true)) return;
        m_values.m_fCompliance = m_values.m_fFrameCompliance;
        Store();
        AreaFunctionCalibrationResult r;
        m_running = true;
        RunCalibrationWithProgress(this, [&](const CalibrationProgress& progress) {
            r = CalibrateAreaFunction(m_data.m_analyzer, m_values, progress);
        });
        m_running = false;
        if (!r.ok()) {
            std::string text =
                "The area function could not be calibrated; the coefficients "
                "stay as they were.\n\n" +
                r.status.message();
            if (!r.note.empty()) text += "\n\n" + r.note;
            ShowMessage(this, text, kApplicationName, MessageButtons::Ok, MessageIcon::Warning);
            return;
        }
        m_values.m_dApCoef = r.apCoef;
        m_values.m_dFitRSquared = r.rSquared;
        Store();
        UpdateData(false);
        if (!r.note.empty()) {
            ShowMessage(this, r.note, kApplicationName, MessageButtons::Ok,
                        MessageIcon::Information);
        }
        ShowCalibrationGraph(kAreaFunctionGraphXTitle, kAreaFunctionGraphYTitle, r.hc, r.ap);
    }

    CAreaFunctionDlg& m_data;
    AreaFunctionSettings m_values;
    bool m_running = false;  // the analyses run; the window takes no other command meanwhile
};

}  // namespace

int CAreaFunctionDlg::DoModal() {
    CAreaFunctionWindow window(*this);
    return GetServices().RunModal(window);
}

DialogTemplate CAreaFunctionDlg::AreaFunctionTemplate() {
    DialogTemplate t;
    t.id = 135;
    t.caption = "Marvek - Indenter area function and elastic modulus";
    t.width = 309;
    t.height = 359;
    using K = ControlKind;
    t.controls = {
        {K::PushButton, IDOK, "OK", 252, 7, 50, 14, kDefault},
        {K::PushButton, IDCANCEL, "Cancel", 252, 25, 50, 14},

        {K::GroupBox, kNoId, "Indenter Properties", 7, 9, 158, 47},
        {K::Static, kNoId, "Elastic Modulus Indenter :", 12, 23, 90, 8, kAlignRight},
        {K::Edit, IDC_INDENTER_MODULUS, "", 105, 21, 40, 12},
        {K::Static, kNoId, "GPa", 148, 23, 14, 8},
        {K::Static, kNoId, "Poisson's Ratio Indenter :", 12, 39, 90, 8, kAlignRight},
        {K::Edit, IDC_INDENTER_POISSON, "", 105, 37, 40, 12},

        {K::GroupBox, kNoId, "Indenter Area Functions (nm) ", 7, 65, 295, 165},
        {K::Static, kNoId, "Ap (h) =", 12, 85, 30, 8},
        {K::Static, kNoId, "As (h) =", 155, 85, 30, 8},
        {K::Static, kNoId, "R^2 :", 20, 217, 20, 8},
        {K::CheckBox, IDC_FIX_LEADING, "Keep the h^2 term fixed in the fit", 105, 216, 140, 10},
        {K::Edit, IDC_R_SQUARED, "", 43, 215, 54, 12},

        {K::GroupBox, kNoId, "Calculated Projected Area Function", 67, 236, 183, 116},
        {K::Static, kNoId, "Sample Modulus (Eit) : ", 72, 248, 90, 8, kAlignRight},
        {K::Edit, IDC_SAMPLE_MODULUS, "", 165, 246, 40, 12},
        {K::Static, kNoId, "GPa", 208, 248, 20, 8},
        {K::Static, kNoId, "Sample Poisson's (Vs) : ", 72, 261, 90, 8, kAlignRight},
        {K::Edit, IDC_SAMPLE_POISSON, "", 165, 259, 40, 12},
        {K::Static, kNoId, "Function Terms :", 72, 274, 90, 8, kAlignRight},
        {K::Edit, IDC_TERMS, "", 165, 272, 40, 12},
        {K::Static, kNoId, "Frame Compliance :", 72, 287, 90, 8, kAlignRight},
        {K::Edit, IDC_FRAME_COMPLIANCE, "", 165, 285, 40, 12},
        {K::Static, kNoId, "nm/mN", 208, 287, 24, 8},
        {K::Static, kNoId,
         "This requires several indentation files for a material with a constant elastic "
         "modulus to calculate the area function.",
         72, 298, 175, 26},
        {K::PushButton, IDC_SELECT_FILES, "Select Files", 84, 325, 65, 13},
        {K::PushButton, IDC_CALCULATE, "Calculate", 166, 325, 65, 13},
        {K::Static, kNoId, "Select files first then click the calculate.", 84, 341, 160, 8},
    };
    const int rows[9] = {83, 98, 113, 128, 143, 158, 173, 188, 202};
    const char* exponents[9] = {"2", "1", "1/2", "1/4", "1/8", "1/16", "1/32", "1/64", "1/128"};
    for (int k = 0; k < 9; ++k) {
        const int y = rows[k];
        t.controls.push_back({K::Edit, IDC_AP_FIRST + k, "", 43, y, 71, 12});
        t.controls.push_back({K::Static, kNoId, "h", 116, y + 2, 6, 8});
        t.controls.push_back({K::Static, kNoId, exponents[k], 122, y - 1, 20, 8});
        t.controls.push_back({K::Edit, IDC_AS_FIRST + k, "", 187, y, 71, 12});
        t.controls.push_back({K::Static, kNoId, "h", 260, y + 2, 6, 8});
        t.controls.push_back({K::Static, kNoId, exponents[k], 266, y - 1, 20, 8});
    }
    return t;
}

CAreaFunctionDlg g_dlgAreaFunction;
