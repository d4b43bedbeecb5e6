#pragma once
// Ids of the main window's dialog, controls and menu commands.

namespace resource {

inline constexpr int IDD_MAIN = 102;
inline constexpr int IDR_MAIN_MENU = 129;

inline constexpr int IDC_POISSON = 1004;
inline constexpr int IDC_RESULTS = 1005;
inline constexpr int IDC_CURVE_SCROLL = 1010;
inline constexpr int IDC_FILE_NAME = 1019;
inline constexpr int IDC_ISO_RESULTS = 1020;

inline constexpr int ID_SELECT_CURVE_FILES = 32773;
inline constexpr int ID_EXIT = 32774;
inline constexpr int ID_HELP_HELP = 32775;
inline constexpr int ID_HELP_ABOUT = 32776;
inline constexpr int ID_MODULUS_DEPTH = 32781;
inline constexpr int ID_MODULUS_LOAD = 32782;
inline constexpr int ID_HV_DEPTH = 32783;
inline constexpr int ID_HV_LOAD = 32784;
inline constexpr int ID_HM_DEPTH = 32785;
inline constexpr int ID_HM_LOAD = 32786;
inline constexpr int ID_AREA_FUNCTION = 32787;
inline constexpr int ID_COMPLIANCE = 32794;
inline constexpr int ID_STRATEGY = 32795;
inline constexpr int ID_PERCENT_SERIES = 32796;
inline constexpr int ID_HIT_DEPTH = 32799;
inline constexpr int ID_HIT_LOAD = 32800;
inline constexpr int ID_UNLOAD_SECTIONS = 32801;
inline constexpr int ID_PERCENT_M = 32802;
inline constexpr int ID_SECTION_M = 32803;
inline constexpr int ID_PERCENT_R = 32804;
inline constexpr int ID_SECTION_R = 32805;
inline constexpr int ID_LOAD_R = 32806;
inline constexpr int ID_LOAD_ALPHA = 32808;
inline constexpr int ID_LOAD_M = 32809;
inline constexpr int ID_SAVE_CURVES = 32821;
inline constexpr int ID_SEPARATE_UNLOAD = 32822;
inline constexpr int ID_SEPARATE_RELOAD = 32823;
inline constexpr int ID_MODULUS_CURVE = 32826;
inline constexpr int ID_HM_CURVE = 32827;
inline constexpr int ID_HOP_LOAD = 32828;
inline constexpr int ID_HOP_DEPTH = 32829;
inline constexpr int ID_GRAININESS_UNLOAD = 32830;
inline constexpr int ID_GRAININESS_LOAD = 32831;
inline constexpr int ID_GRAININESS2_LOAD = 32832;
inline constexpr int ID_GRAININESS2_UNLOAD = 32833;
inline constexpr int ID_HARDNESS_PROFILE = 32834;
inline constexpr int ID_MODULUS_PROFILE = 32835;
inline constexpr int ID_FIRST_POPIN_LOADS = 32836;
inline constexpr int ID_FIRST_POPIN_HISTOGRAM = 32837;
inline constexpr int ID_RESULTS_TABLE = 32840;
inline constexpr int ID_PROPERTY_MAP = 32841;
inline constexpr int ID_EXPLORE_PLOT = 32950;
inline constexpr int ID_PLOT_RESET = 32952;
inline constexpr int ID_PLOT_GRID = 32953;
inline constexpr int ID_PLOT_SEGMENTS = 32954;
inline constexpr int ID_PLOT_EXPORT_PNG = 32955;
inline constexpr int ID_PLOT_EXPORT_SVG = 32956;
inline constexpr int ID_PLOT_POPINS = 32957;
inline constexpr int ID_PLOT_ZOOM_POPINS = 32958;
inline constexpr int ID_OPEN_PROJECT = 32970;
inline constexpr int ID_SAVE_PROJECT = 32971;
inline constexpr int ID_SAVE_PROJECT_AS = 32972;
inline constexpr int ID_UNDO = 32973;
inline constexpr int ID_REDO = 32974;
inline constexpr int ID_EXPORT_REPORT = 32975;
inline constexpr int ID_OVERLAY = 33010;
inline constexpr int ID_RESET_FIT_RANGE = 33011;
inline constexpr int ID_PROFILE_VIEW = 33030;
inline constexpr int ID_FILE_INFORMATION = 33040;
inline constexpr int ID_COLUMNS_UNITS = 33041;
inline constexpr int ID_USE_FILE_CALIBRATION = 33042;
// File > Open Recent: entry k has command ID_OPEN_RECENT_FIRST + k.
inline constexpr int ID_OPEN_RECENT_FIRST = 32960;

}  // namespace resource
