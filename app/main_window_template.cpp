// Layout of the main window and its menu.
#include "app/main_window.h"
#include "app/resource_ids.h"

using namespace marvek::ui;
using namespace resource;

DialogTemplate CIndentMainDlg::MainTemplate() {
    DialogTemplate t;
    t.id = IDD_MAIN;
    t.caption = "Marvek - Depth Sensing Indentation Measurement Software ";
    t.width = 575;
    t.height = 420;
    t.resizable = true;
    t.controls = {
        {ControlKind::Edit, IDC_POISSON, "", 84, 11, 40, 12},
        {ControlKind::GroupBox, kNoId, "Results", 7, 32, 120, 381, kTitleAbove},
        {ControlKind::Static, IDC_RESULTS, "", 13, 33, 108, 277, kSunken | kNoWrap},
        {ControlKind::Static, IDC_ISO_RESULTS, "", 13, 313, 108, 96, kSunken | kNoWrap},
        {ControlKind::HScrollBar, IDC_CURVE_SCROLL, "", 195, 379, 371, 12},
        {ControlKind::Static, kNoId, "Sample Poisson's (Vs) :", 7, 13, 74, 10, kAlignRight},
        {ControlKind::Edit, IDC_FILE_NAME, "", 194, 364, 371, 13, kReadOnly | kAlignCenter},
        {ControlKind::Static, kNoId,
         "Use this slide bar to change indentation load-unload file on displayed above.", 271, 393,
         219, 9},
    };
    // One style throughout: title case, " - " between the two axes of a graph, "..." where a
    // window or a file dialog follows.
    t.menu = {
        {"File",
         {{"Select Curve Files...", ID_SELECT_CURVE_FILES},
          {"File Information...", ID_FILE_INFORMATION},
          {"Columns and Units...", ID_COLUMNS_UNITS},
          MenuItem::Separator(),
          {"Open Project...", ID_OPEN_PROJECT},
          {"Save Project", ID_SAVE_PROJECT},
          {"Save Project As...", ID_SAVE_PROJECT_AS},
          MenuItem::Separator(),
          {"Export Report (HTML, PDF)...", ID_EXPORT_REPORT},
          MenuItem::Separator(),
          {"Separate Multi-Cycle Curves to Unload Only", ID_SEPARATE_UNLOAD},
          {"Separate Multi-Cycle Curves to Reload Only", ID_SEPARATE_RELOAD},
          MenuItem::Separator(),
          {"Save Curves...", ID_SAVE_CURVES},
          MenuItem::Separator(),
          {"Exit", ID_EXIT}}},
        {"Edit", {{"Undo", ID_UNDO}, {"Redo", ID_REDO}}},
        {"Graphic Comparison of Multiple Indentation Tests",
         {{"Modulus - Load", ID_MODULUS_LOAD},
          {"Modulus - Depth", ID_MODULUS_DEPTH},
          {"Modulus - Curve", ID_MODULUS_CURVE},
          MenuItem::Separator(),
          {"HM - Load", ID_HM_LOAD},
          {"HM - Depth", ID_HM_DEPTH},
          {"HM - Curve", ID_HM_CURVE},
          {"H(IT) - Load", ID_HIT_LOAD},
          {"H(IT) - Depth", ID_HIT_DEPTH},
          {"H(OP) - Load", ID_HOP_LOAD},
          {"H(OP) - Depth", ID_HOP_DEPTH},
          {"HV - Load", ID_HV_LOAD},
          {"HV - Depth", ID_HV_DEPTH},
          MenuItem::Separator(),
          {"Percent Series", ID_PERCENT_SERIES},
          {"Unload Sections", ID_UNLOAD_SECTIONS},
          {"Load - Alpha", ID_LOAD_ALPHA},
          {"Load - m", ID_LOAD_M},
          {"Load - R", ID_LOAD_R},
          {"Percent - m", ID_PERCENT_M},
          {"Section - m", ID_SECTION_M},
          {"Percent - R", ID_PERCENT_R},
          {"Section - R", ID_SECTION_R},
          MenuItem::Separator(),
          {"Graininess - Load", ID_GRAININESS_LOAD},
          {"Graininess - Unload", ID_GRAININESS_UNLOAD},
          {"Graininess 2 - Load", ID_GRAININESS2_LOAD},
          {"Graininess 2 - Unload", ID_GRAININESS2_UNLOAD},
          MenuItem::Separator(),
          {"Hardness Profile", ID_HARDNESS_PROFILE},
          {"Modulus Profile", ID_MODULUS_PROFILE},
          {"Depth Profiles of the Workbook...", ID_PROFILE_VIEW},
          {"First Pop-in Loads", ID_FIRST_POPIN_LOADS},
          {"First Pop-in Load Histogram", ID_FIRST_POPIN_HISTOGRAM},
          MenuItem::Separator(),
          {"Results Table...", ID_RESULTS_TABLE},
          {"Curve Overlay...", ID_OVERLAY},
          {"Property Map and Phases...", ID_PROPERTY_MAP}}},
        {"Analysis Setup",
         {{"Elastic Modulus Calculation Strategy...", ID_STRATEGY},
          {"Indenter Area Function and Modulus...", ID_AREA_FUNCTION},
          {"Compliance of the Testing Machine...", ID_COMPLIANCE},
          MenuItem::Separator(),
          {"Use the Instrument's Calibration Where the File Records It", ID_USE_FILE_CALIBRATION}}},
        {"View",
         {{"Explore Plot...", ID_EXPLORE_PLOT},
          MenuItem::Separator(),
          {"Reset Zoom", ID_PLOT_RESET},
          {"Grid", ID_PLOT_GRID},
          {"Segment Colours", ID_PLOT_SEGMENTS},
          {"Show Pop-ins", ID_PLOT_POPINS},
          {"Zoom to Pop-ins", ID_PLOT_ZOOM_POPINS},
          {"Reset Fit Range to the Settings'", ID_RESET_FIT_RANGE},
          MenuItem::Separator(),
          {"Export Figure (PNG, PDF, SVG)...", ID_PLOT_EXPORT_PNG},
          {"Export Plot as SVG...", ID_PLOT_EXPORT_SVG}}},
        {"Help", {{"Help", ID_HELP_HELP}, {"About", ID_HELP_ABOUT}}, true},
    };
    return t;
}
