#include "settings/strategy_dialog.h"

#include <QWidget>

#include "core/config/settings_validation.h"
#include "settings/settings_objects.h"
#include "ui/data_exchange.h"
#include "ui/dialog.h"
#include "ui/services.h"

using namespace marvek;
using namespace marvek::ui;

namespace {

enum : int {
    IDC_EPSILON = 1002,
    IDC_OP_MAX = 1014,
    IDC_ZERO_MAX = 1015,
    IDC_OP_MIN = 1016,
    IDC_ZERO_MIN = 1017,
    IDC_DN_MIN = 1018,
    IDC_DN_MAX = 1019,
    IDC_SECTION_SIZE = 1020,
    IDC_ZERO_POINT = 1030,
    IDC_OLIVER_PHARR = 1031,
    IDC_DOERNER_NIX = 1032,
    IDC_DRIFT = 1036,
    IDC_FORCE_ACCURACY = 1037,
    IDC_DISPLACEMENT_ACCURACY = 1038,
};

// The window edits a copy, so a value refused half-way through OK leaves the settings as they
// were when the user then cancels.
class CStrategyWindow : public Dialog {
public:
    explicit CStrategyWindow(const StrategySettings& values)
        : Dialog(CStrategyDlg::StrategyTemplate()), m_values(values) {
        NameFields();
    }

    StrategySettings m_values;

protected:
    bool OnInitDialog() override {
        Dialog::OnInitDialog();
        if (QWidget* edit = GetDlgItem(IDC_DISPLACEMENT_ACCURACY)) edit->setEnabled(false);
        return true;
    }

    void NameFields() {
        SetFieldName(IDC_EPSILON, "Sneddon's material epsilon");
        SetFieldName(IDC_OP_MIN, "Oliver-Pharr force range minimum");
        SetFieldName(IDC_OP_MAX, "Oliver-Pharr force range maximum");
        SetFieldName(IDC_DN_MIN, "Doerner-Nix force range minimum");
        SetFieldName(IDC_DN_MAX, "Doerner-Nix force range maximum");
        SetFieldName(IDC_ZERO_MIN, "Zero-point fit range minimum");
        SetFieldName(IDC_ZERO_MAX, "Zero-point fit range maximum");
        SetFieldName(IDC_SECTION_SIZE, "Section size");
        SetFieldName(IDC_FORCE_ACCURACY, "Tool force accuracy");
        SetFieldName(IDC_DISPLACEMENT_ACCURACY, "Tool displacement accuracy");
    }

    void DoDataExchange(DataExchange& dx) override {
        StrategySettings& v = m_values;
        // Each value is checked where it is read, by the checks the cli and the parameter file
        // use, so the message names it and the focus goes to it.
        auto check = [&](const char* setting) {
            Settings s;
            s.strategy = v;
            CheckSetting(dx, s, setting);
        };
        dx.Text(IDC_EPSILON, v.m_fEpsilon);
        check("material epsilon");
        dx.Text(IDC_OP_MIN, v.m_fOPMinPercent);
        dx.Text(IDC_OP_MAX, v.m_fOPMaxPercent);
        check("Oliver-Pharr force range");
        dx.Text(IDC_DN_MIN, v.m_fDNMinPercent);
        dx.Text(IDC_DN_MAX, v.m_fDNMaxPercent);
        check("Doerner-Nix force range");
        dx.Text(IDC_SECTION_SIZE, v.m_fSectionSizePercent);
        check("section size");
        dx.Check(IDC_ZERO_POINT, v.m_bZeroPointCorrection);
        dx.Text(IDC_ZERO_MIN, v.m_fZeroFitMinPercent);
        dx.Text(IDC_ZERO_MAX, v.m_fZeroFitMaxPercent);
        check("zero-point fit range");
        dx.Radio(IDC_OLIVER_PHARR, v.m_nMethod);
        dx.Check(IDC_DRIFT, v.m_bDriftCorrection);
        dx.Text(IDC_DISPLACEMENT_ACCURACY, v.m_fDisplacementAccuracy);
        check("displacement accuracy");
        dx.Text(IDC_FORCE_ACCURACY, v.m_fForceAccuracy);
        check("force accuracy");
    }

    // Each field passed its own range check; the values must also make sense together (a force
    // range whose minimum lies below its maximum), as the cli and the parameter file require.
    void OnOK() override {
        if (!UpdateData(true)) return;
        Settings settings;
        settings.strategy = m_values;
        const std::vector<SettingsProblem> problems = Validate(settings);
        if (!problems.empty()) {
            ShowMessage(this, DescribeProblems(problems), kApplicationName, MessageButtons::Ok,
                        MessageIcon::Warning);
            return;
        }
        EndDialog(IDOK);
    }
};

}  // namespace

int CStrategyDlg::DoModal() {
    CStrategyWindow window(*this);
    const int result = GetServices().RunModal(window);
    if (result == IDOK) static_cast<StrategySettings&>(*this) = window.m_values;
    return result;
}

DialogTemplate CStrategyDlg::StrategyTemplate() {
    DialogTemplate t;
    t.id = 139;
    t.caption = "Marvek - Strategy for calculating the elastic modulus";
    t.width = 307;
    t.height = 222;
    using K = ControlKind;
    t.controls = {
        {K::PushButton, IDOK, "OK", 250, 7, 50, 14, kDefault},
        {K::PushButton, IDCANCEL, "Cancel", 250, 25, 50, 14},

        {K::GroupBox, kNoId, "Strategy", 7, 7, 236, 90},
        {K::Static, kNoId, "Sneddon's Material Epsilon :", 14, 21, 100, 8, kAlignRight},
        {K::Edit, IDC_EPSILON, "", 118, 19, 40, 12},
        {K::Static, kNoId, "Curve Force Range :", 14, 39, 80, 8},
        {K::Static, kNoId, "Minimum", 100, 39, 40, 8, kAlignCenter},
        {K::Static, kNoId, "Maximum", 160, 39, 40, 8, kAlignCenter},
        // The two methods form one radio group, so they stand together in the list.
        {K::RadioButton, IDC_OLIVER_PHARR, "Oliver-Pharr", 14, 54, 75, 10, kGroupStart},
        {K::RadioButton, IDC_DOERNER_NIX, "Doerner-Nix", 14, 74, 75, 10},
        {K::Edit, IDC_OP_MIN, "", 100, 53, 40, 12},
        {K::Static, kNoId, "% to", 143, 55, 16, 8},
        {K::Edit, IDC_OP_MAX, "", 160, 53, 40, 12},
        {K::Static, kNoId, "%", 203, 55, 10, 8},
        {K::Edit, IDC_DN_MIN, "", 100, 73, 40, 12},
        {K::Static, kNoId, "% to", 143, 75, 16, 8},
        {K::Edit, IDC_DN_MAX, "", 160, 73, 40, 12},
        {K::Static, kNoId, "%", 203, 75, 10, 8},

        {K::GroupBox, kNoId, "Other", 7, 103, 236, 48},
        {K::CheckBox, IDC_ZERO_POINT, "Zero Point Correction", 14, 117, 84, 10},
        {K::Edit, IDC_ZERO_MIN, "", 100, 116, 40, 12},
        {K::Static, kNoId, "% to", 143, 118, 16, 8},
        {K::Edit, IDC_ZERO_MAX, "", 160, 116, 40, 12},
        {K::Static, kNoId, "%", 203, 118, 10, 8},
        {K::CheckBox, IDC_DRIFT, "Thermal Drift Correction (Use a hold time of 60s or more)", 14,
         134, 220, 10},

        {K::GroupBox, kNoId, "System Settings", 7, 157, 236, 58},
        {K::Static, kNoId, "Tool Displacement Accuracy", 14, 171, 100, 8, kAlignRight},
        {K::Edit, IDC_DISPLACEMENT_ACCURACY, "", 118, 169, 40, 12},
        {K::Static, kNoId, "+/- nm", 162, 171, 30, 8},
        {K::Static, kNoId, "Tool Force Accuracy", 14, 186, 100, 8, kAlignRight},
        {K::Edit, IDC_FORCE_ACCURACY, "", 118, 184, 40, 12},
        {K::Static, kNoId, "+/- mN", 162, 186, 30, 8},
        {K::Static, kNoId, "Section Size %", 14, 201, 100, 8, kAlignRight},
        {K::Edit, IDC_SECTION_SIZE, "", 118, 199, 40, 12},
    };
    return t;
}

CStrategyDlg g_dlgStrategy;
