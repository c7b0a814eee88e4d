#pragma once

#include <string>

class QIcon;

namespace platform::gui {
struct DialogTemplate;
}

// Resource ids of the program: the two dialog templates, their control ids, the string table and
// the icon. The templates themselves are constant tables in Templates.cpp; the icon's pictures
// are PNG files compiled in (icons.qrc).
namespace resources {

// Buttons that end a dialog carry the ids of the codes they end it with.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Main calibration dialog.
inline constexpr int IDD_CALIBRATION = 102;
inline constexpr int IDC_NAV = 5018;
inline constexpr int IDC_NAV2 = 5019;
inline constexpr int IDC_DOLYA = 5020;
inline constexpr int IDC_SAVE_TO_METHOD = 5021;
inline constexpr int IDC_METHOD_LIST = 5022;
inline constexpr int IDC_LEVEL_LIST = 5023;
inline constexpr int IDC_LEVEL0 = 5024;
inline constexpr int IDC_LEVEL1 = 5025;
inline constexpr int IDC_LEVEL2 = 5026;
inline constexpr int IDC_LEVEL3 = 5027;
inline constexpr int IDC_CLEAR = 5028;
inline constexpr int IDC_LEVEL4 = 5029;
inline constexpr int IDC_CHART = 5030;
inline constexpr int IDC_AVERAGE = 5031;
inline constexpr int IDC_STATISTICS = 5040;  // RSD, spread and r² of the calibration
inline constexpr int IDC_VERDICT = 5041;     // accepted, or the first reason it is not
inline constexpr int IDC_UNDO_METHOD_WRITE = 5042;  // puts the method's newest kept copy back
inline constexpr int IDC_PROTOCOL = 5043;           // the calibration protocol: saved as PDF or printed
inline constexpr int IDC_LEVEL_OVERLAY = 5046;      // the five level chromatograms in one chart

// Chromatogram open dialog.
inline constexpr int IDD_OPEN_CHRM = 172;
inline constexpr int IDC_CHRM_LIST = 1007;
inline constexpr int IDC_PASSPORT = 2075;
inline constexpr int IDC_METHOD_FILTER = 2113;
inline constexpr int IDC_SITE_FILTER = 2114;
inline constexpr int IDC_POINT_FILTER = 2115;
inline constexpr int IDC_TYPE_FILTER = 2116;
inline constexpr int IDC_FOLDER_CAPTION = 2177;
inline constexpr int IDC_METHOD_LABEL = 2198;
inline constexpr int IDC_SITE_LABEL = 2199;
inline constexpr int IDC_POINT_LABEL = 2200;
inline constexpr int IDC_TYPE_LABEL = 2201;
inline constexpr int IDC_JOINT_SELECTION = 2618;
inline constexpr int IDC_FOLDER_TREE = 2690;
inline constexpr int IDC_WHOLE_FILE_SYSTEM = 2691;
inline constexpr int IDC_CHRM_PREVIEW = 2692;  // made by the dialog, not in the template

// The application icon.
inline constexpr int IDR_MAINFRAME = 128;

// String table.
inline constexpr int IDS_ANY_METHOD = 130;
inline constexpr int IDS_ANY_SITE = 131;
inline constexpr int IDS_ANY_POINT = 132;

// The template of a dialog, or nullptr for an id without one.
const platform::gui::DialogTemplate* FindDialogTemplate(int id);

// The string of the string table, or "" for an id without one.
std::string LoadString(int id);

// The icon with all its sizes, or a null icon for an id without one. A QGuiApplication must exist.
QIcon LoadIcon(int id);

}  // namespace resources
