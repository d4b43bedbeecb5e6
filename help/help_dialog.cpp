#include "help/help_dialog.h"

#include "ui/data_exchange.h"

using namespace marvek::ui;

namespace {
enum : int {
    IDC_FILE_FORMAT_HELP = 1053,
    IDC_SELECTION_HELP = 1054,
    IDC_COMPARISON_HELP = 1055,
    IDC_MULTI_CYCLE_HELP = 1056,
    IDC_CALIBRATION_HELP = 1057,
};
constexpr unsigned kHelpEdit = kMultiLine | kReadOnly | kNoBorder;
}  // namespace

CHelpDlg::CHelpDlg(QWidget* parent)
    : Dialog(HelpTemplate(), parent),
      m_strFileFormatHelp(
          "Start by making some indentation using any indentation tester that can record the "
          "displacement and force during indentation. For time dependent material record the "
          "time. The displacement can be in units of nanometers (nm), or micrometer (um), the "
          "force in millinewton (mN), and time in seconds (s).  The first header line of the "
          ".csv data file must have the units next to the descriptor as shown in the example "
          "data below. The default units are nm, mN, and s. The optional fourth column is the "
          "process step segment with only the key words (LOAD, TOP_HOLD, UNLOAD, "
          "BOTTOM_HOLD). Besides this layout the program reads, by their content: delimited "
          "text (comma, semicolon or tab, decimal comma too) with a header naming depth and "
          "load and their units; the text exports of TriboScan (.txt), FISCHERSCOPE (.hld) and "
          "NanoTest (.txt, and .zip archives of them); and InView workbooks (.xls, .xlsx), one "
          "curve per test sheet. File > File Information (or `marvek-cli list FILE`) shows "
          "what was read from a file; File > Columns and Units gives the columns and units of a "
          "text file whose header does not name them."),
      m_strSelectionHelp(
          "You can select as many files as you want to analyze and compare. The slider bar at "
          "the bottom lets you change the curve displayed. As soon as they are open the "
          "hardness, and elastic modulus are calculated. The results are shown in the box on "
          "the left hand side. Two techniques are used to calculate the elastic modulus the "
          "Oliver-Pharr method (non-linear) and the Doerner-Nix (linear) method using the Hertz "
          "contact theory. They are both used to determine the slope of the unload curve at the "
          "maximum displacement point."),
      m_strMultiCycleHelp(
          "To save time multiple load-unload steps can be made in a single indent by increasing "
          "the load at each step. This will result in a continuous data file with the entire "
          "load-unload curves together. The Separate Multi-to Unload automatically separates "
          "each load-unload step into its own data file. After running this command you can "
          "click on the File/Open and see the newly created files with _01 _02 _03 for steps 1 "
          "2 and 3 etc... Select all of the individual curves to do a comparison of load versus "
          "elastic modulus or the other Graphical analysis procedures."),
      m_strComparisonHelp(
          "Once you have selected and open the files you want they are ready to be analyzed. "
          "You can start by using the Graphic  Comparison function to compare the depth versus "
          "hardness or elastic modulus versus load. You can read any of the major publications "
          "on nanoindentation to understand each of the variables. The Graininess functions are "
          "just something I made to test a theory that the grain size could be found by "
          "observing small oscillations in the loading or unloading curves. More testing is "
          "required to provide enough evidence to support this theory."),
      m_strCalibrationHelp(
          "At large loads the testing machine itself gives way a little, and this frame "
          "compliance adds to the measured depth. Calibrate it with a series of indents of "
          "increasing load, from 1 mN up to the largest load the machine can apply, and the "
          "program removes it from every later analysis. At small depths the indenter is not "
          "the ideal shape: its tip is rounded and imperfect, so the ideal area function "
          "overstates the modulus and hardness at the nanoscale. A series of indents into a "
          "reference material of known modulus is used to calculate the indenter area "
          "function, which then gives correct results for shallow indents.") {}

DialogTemplate CHelpDlg::HelpTemplate() {
    DialogTemplate t;
    t.id = 146;
    t.caption = "Marvek Indentation Help";
    t.width = 662;
    t.height = 463;
    t.fitScreen = true;
    t.controls = {
        {ControlKind::Static, kNoId, "Basic Indentation Load Unload Curve Analysis Procedure", 203,
         6, 198, 15},
        {ControlKind::Edit, IDC_FILE_FORMAT_HELP, "", 7, 21, 648, 31, kHelpEdit | kVScroll},
        {ControlKind::Picture, kNoId, ":/res/help_file_format.png", 7, 57, 253, 167},
        {ControlKind::Edit, IDC_SELECTION_HELP, "", 263, 59, 392, 46, kHelpEdit},
        {ControlKind::Edit, IDC_MULTI_CYCLE_HELP, "", 261, 113, 394, 45, kHelpEdit},
        {ControlKind::Edit, IDC_COMPARISON_HELP, "", 261, 168, 394, 52, kHelpEdit},
        {ControlKind::Picture, kNoId, ":/res/help_multi_cycle.png", 7, 228, 552, 175},
        {ControlKind::Static, kNoId,
         "Instructions for Frame Compliance and Indenter Area Function ", 7, 407, 183, 9},
        {ControlKind::Edit, IDC_CALIBRATION_HELP, "", 7, 417, 648, 39, kHelpEdit},
    };
    return t;
}

void CHelpDlg::DoDataExchange(DataExchange& dx) {
    dx.Text(IDC_FILE_FORMAT_HELP, m_strFileFormatHelp);
    dx.Text(IDC_SELECTION_HELP, m_strSelectionHelp);
    dx.Text(IDC_MULTI_CYCLE_HELP, m_strMultiCycleHelp);
    dx.Text(IDC_COMPARISON_HELP, m_strComparisonHelp);
    dx.Text(IDC_CALIBRATION_HELP, m_strCalibrationHelp);
}
