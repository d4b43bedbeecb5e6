#include "settings/compliance_dialog.h"

#include "core/calibration/compliance_calibration.h"
#include "core/io/number_format.h"
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
    IDC_COMPLIANCE = 1001,
    IDC_SELECT_FILES = 3,
    IDC_CALCULATE = 4,
};

class CComplianceWindow : public Dialog {
public:
    explicit CComplianceWindow(CComplianceDlg& settings)
        : Dialog(CComplianceDlg::ComplianceTemplate()), m_data(settings) {
        OnCommand(IDC_SELECT_FILES, [this] {
            if (!m_running) SelectCurveFiles(m_data.m_analyzer);
        });
        OnCommand(IDC_CALCULATE, [this] { OnCalculate(); });
    }

protected:
    bool OnInitDialog() override {
        Dialog::OnInitDialog();
        m_data.m_fSavedCompliance = m_data.m_fCompliance;
        return true;
    }

    void DoDataExchange(DataExchange& dx) override {
        dx.Text(IDC_COMPLIANCE, m_data.m_fCompliance);
        Settings s;
        s.compliance.m_fCompliance = m_data.m_fCompliance;
        CheckSetting(dx, s, "frame compliance");
    }

    void OnOK() override {
        if (m_running || !UpdateData(true)) return;
        EndDialog(IDOK);
    }

    void OnCancel() override {
        if (m_running) return;
        m_data.m_fCompliance = m_data.m_fSavedCompliance;
        UpdateData(false);
        Dialog::OnCancel();
    }

private:
    void OnCalculate() {
        if (m_running || m_data.m_analyzer.m_nFileCount == 0) return;
        if (!UpdateData(true)) return;
        StrategySettings strategy;
        strategy.m_nMethod = m_data.m_nMethod;
        strategy.m_fEpsilon = m_data.m_fEpsilon;
        strategy.m_fOPMaxPercent = m_data.m_fOPMaxPercent;
        strategy.m_fOPMinPercent = m_data.m_fOPMinPercent;
        strategy.m_fDNMaxPercent = m_data.m_fDNMaxPercent;
        strategy.m_fDNMinPercent = m_data.m_fDNMinPercent;
        const ComplianceCalibrationSettings settings =
            MakeComplianceCalibrationSettings(strategy, m_data.m_dApCoef);
        ComplianceCalibrationResult r;
        m_running = true;
        RunCalibrationWithProgress(this, [&](const CalibrationProgress& progress) {
            r = CalibrateCompliance(m_data.m_analyzer, settings, progress);
        });
        m_running = false;
        for (const ComplianceFit& fit : r.fits) ShowMessage(nullptr, fit.text, "Test");
        if (!r.ok()) {
            std::string text = "The frame compliance could not be calibrated and stays " +
                               FormatSignificant(m_data.m_fCompliance, 6) + " nm/mN.\n\n" +
                               r.status.message();
            if (!r.note.empty()) text += "\n\n" + r.note;
            ShowMessage(this, text, kApplicationName, MessageButtons::Ok, MessageIcon::Warning);
            return;
        }
        m_data.m_fCompliance = static_cast<float>(r.compliance);
        UpdateData(false);
        if (!r.note.empty()) {
            ShowMessage(this, r.note, kApplicationName, MessageButtons::Ok,
                        MessageIcon::Information);
        }
        ShowCalibrationGraph(kComplianceGraphXTitle, kComplianceGraphYTitle, r.x, r.y);
    }

    CComplianceDlg& m_data;
    bool m_running = false;  // the analyses run; the window takes no other command meanwhile
};

}  // namespace

int CComplianceDlg::DoModal() {
    CComplianceWindow window(*this);
    return GetServices().RunModal(window);
}

DialogTemplate CComplianceDlg::ComplianceTemplate() {
    DialogTemplate t;
    t.id = 134;
    t.caption = "Calculate the compliance of indentation machine";
    t.width = 223;
    t.height = 57;
    using K = ControlKind;
    t.controls = {
        {K::Edit, IDC_COMPLIANCE, "", 122, 9, 40, 12},
        {K::Static, kNoId, "Current Frame Compliance :", 22, 10, 93, 9, kAlignRight},
        {K::Static, kNoId, "nm/mN", 166, 12, 24, 9},
        {K::Static, kNoId, "Requires several indent test files between 1 mN to 300 mN force", 6, 24,
         199, 9},
        {K::PushButton, IDC_SELECT_FILES, "Select Files", 6, 36, 50, 14},
        {K::PushButton, IDC_CALCULATE, "Calculate", 59, 36, 50, 14},
        {K::PushButton, IDOK, "OK", 112, 36, 50, 14, kDefault},
        {K::PushButton, IDCANCEL, "Cancel", 166, 36, 50, 14},
    };
    return t;
}

CComplianceDlg g_dlgCompliance;
