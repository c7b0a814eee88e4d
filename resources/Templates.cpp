// The dialog templates and the string table. They are constant tables compiled into the program
// rather than a text file read at start: the compiler checks every field, the control ids are the
// same named constants the dialogs use, and nothing can fail to load or parse at run time.
//
// Every text a window shows is marked QT_TRANSLATE_NOOP("DialogTemplate", ...): lupdate collects
// it into translations/ostrel_*.ts, and BuildDialog and LoadString show it translated.
#include "resources/Resource.h"

#include "platform/gui/DialogTemplate.h"

#include <QCoreApplication>

namespace resources {

namespace {

using platform::gui::ControlKind;
using platform::gui::ControlTemplate;
using platform::gui::DialogTemplate;
using platform::gui::kNoId;
namespace style = platform::gui::style;

constexpr std::uint32_t kCombo = style::VScroll;
constexpr std::uint32_t kNumberEdit = style::Border | style::AutoHScroll;

// "Калибровка по ГОСТ 25742.4-83 (версия 1.1)": fixed size, shown in the task bar. Wider than
// the data system's original by the level list's deviation column, and taller by the verdict line
// under the chart and the quality figures under the average coefficient.
constexpr ControlTemplate kCalibrationControls[] = {
    {IDOK, ControlKind::PushButton, style::DefPushButton,
     QT_TRANSLATE_NOOP("DialogTemplate", "Закрыть"), 362, 308, 50, 14},
    {kNoId, ControlKind::Label, 0, QT_TRANSLATE_NOOP("DialogTemplate", "Масса навески этанола"), 7, 286, 82, 8},
    {kNoId, ControlKind::Label, 0, QT_TRANSLATE_NOOP("DialogTemplate", "Масса навески изопропанола"), 7, 267, 103, 8},
    {kNoId, ControlKind::Label, 0,
     QT_TRANSLATE_NOOP("DialogTemplate", "Массовая доля основного вещества"), 7, 302, 126, 8},
    {IDC_NAV, ControlKind::Edit, kNumberEdit, "", 138, 283, 40, 14},
    {IDC_NAV2, ControlKind::Edit, kNumberEdit, "", 138, 265, 40, 14},
    {IDC_DOLYA, ControlKind::Edit, kNumberEdit, "", 138, 301, 40, 14},
    {kNoId, ControlKind::Label, 0,
     QT_TRANSLATE_NOOP("DialogTemplate", "Средний градуировочный коэффициент"), 193, 265, 135, 8},
    {IDC_AVERAGE, ControlKind::Label, 0, "0", 331, 265, 81, 8},
    {IDC_STATISTICS, ControlKind::Label, style::NoWordWrap, "", 193, 276, 219, 8},
    {IDC_VERDICT, ControlKind::Label, style::NoWordWrap, "", 7, 252, 405, 8},
    {IDC_SAVE_TO_METHOD, ControlKind::PushButton, 0,
     QT_TRANSLATE_NOOP("DialogTemplate", "Сохранить в метод"), 338, 288, 74, 14},
    {IDC_UNDO_METHOD_WRITE, ControlKind::PushButton, 0,
     QT_TRANSLATE_NOOP("DialogTemplate", "Отменить запись"), 283, 308, 74, 14},
    {IDC_METHOD_LIST, ControlKind::ComboBox, kCombo | style::Sorted, "", 194, 289, 139, 107},
    {IDC_CHART, ControlKind::Frame, 0, "", 7, 94, 405, 154},
    {IDC_LEVEL_LIST, ControlKind::ListView, style::ReportView | style::Border, "List1", 7, 30, 405, 59},
    {kNoId, ControlKind::Label, 0, QT_TRANSLATE_NOOP("DialogTemplate", "Хроматограммы"), 7, 10, 58, 8},
    {IDC_LEVEL0, ControlKind::PushButton, 0, "0", 75, 7, 19, 14},
    {IDC_LEVEL1, ControlKind::PushButton, 0, "0.05", 102, 7, 19, 14},
    {IDC_LEVEL2, ControlKind::PushButton, 0, "0.1", 129, 7, 19, 14},
    {IDC_LEVEL3, ControlKind::PushButton, 0, "0.2", 156, 7, 19, 14},
    {IDC_CLEAR, ControlKind::PushButton, 0, QT_TRANSLATE_NOOP("DialogTemplate", "Очистить"), 213, 7, 59, 14},
    {IDC_LEVEL4, ControlKind::PushButton, 0, "0.5", 183, 7, 19, 14},
    {IDC_PROTOCOL, ControlKind::PushButton, 0, QT_TRANSLATE_NOOP("DialogTemplate", "Протокол…"), 353, 7, 59, 14},
    {IDC_LEVEL_OVERLAY, ControlKind::PushButton, 0, QT_TRANSLATE_NOOP("DialogTemplate", "Хроматограммы уровней…"), 148, 326, 95, 14},
};

constexpr DialogTemplate kCalibrationDialog = {
    IDD_CALIBRATION, QT_TRANSLATE_NOOP("DialogTemplate", "Калибровка по ГОСТ 25742.4-83 (версия 1.1)"), 419, 347,
    "MS Sans Serif", 8, style::Caption | style::SysMenu | style::ModalFrame | style::AppWindow, kCalibrationControls};

constexpr const char* kTypeFilterItems[] = {
    QT_TRANSLATE_NOOP("DialogTemplate", "Любые"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Градуировочные"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Анализы"),
};

// "Открытие хроматограммы": resizable, with a minimize box.
constexpr ControlTemplate kOpenChrmControls[] = {
    {IDC_CHRM_LIST, ControlKind::ListView,
     style::ReportView | style::ShowSelAlways | style::NoSortHeader | style::Border, "", 187, 43, 282, 192},
    {IDC_PASSPORT, ControlKind::Edit,
     style::MultiLine | style::ReadOnly | style::AutoHScroll | style::AutoVScroll | style::VScroll | style::Border, "",
     187, 241, 282, 82},
    {IDOK, ControlKind::PushButton, style::DefPushButton,
     QT_TRANSLATE_NOOP("DialogTemplate", "Открыть"), 477, 43, 59, 14},
    {IDCANCEL, ControlKind::PushButton, 0, QT_TRANSLATE_NOOP("DialogTemplate", "&Отмена"), 477, 60, 59, 14},
    {IDC_METHOD_LABEL, ControlKind::Label, 0, QT_TRANSLATE_NOOP("DialogTemplate", "Метод:"), 7, 11, 25, 8},
    {IDC_METHOD_FILTER, ControlKind::ComboBox, kCombo | style::Sorted, "", 39, 9, 106, 100},
    {IDC_SITE_LABEL, ControlKind::Label, 0, QT_TRANSLATE_NOOP("DialogTemplate", "Пункт отбора:"), 273, 11, 49, 8},
    {IDC_SITE_FILTER, ControlKind::ComboBox, kCombo | style::Sorted, "", 327, 9, 70, 100},
    {IDC_POINT_LABEL, ControlKind::Label, 0, QT_TRANSLATE_NOOP("DialogTemplate", "Точка отбора:"), 406, 12, 49, 8},
    {IDC_POINT_FILTER, ControlKind::ComboBox, kCombo | style::Sorted, "", 461, 9, 69, 100},
    {IDC_FOLDER_CAPTION, ControlKind::Label, style::NoWordWrap, "", 115, 31, 420, 8},
    {IDC_JOINT_SELECTION, ControlKind::CheckBox, style::PushLike | style::MultiLine,
     QT_TRANSLATE_NOOP("DialogTemplate", "Совместный выбор"), 478, 299, 58,
     19},
    {IDC_FOLDER_TREE, ControlKind::TreeView,
     style::HasButtons | style::HasLines | style::LinesAtRoot | style::ShowSelAlways | style::Border, "", 7, 43, 174,
     280},
    {IDC_TYPE_LABEL, ControlKind::Label, 0, QT_TRANSLATE_NOOP("DialogTemplate", "Тип:"), 161, 12, 17, 8},
    {IDC_TYPE_FILTER, ControlKind::ComboBox, kCombo, "", 183, 9, 75, 100, kTypeFilterItems},
    {IDC_WHOLE_FILE_SYSTEM, ControlKind::CheckBox, 0,
     QT_TRANSLATE_NOOP("DialogTemplate", "Вся файловая система"), 8, 30, 101, 8},
};

constexpr DialogTemplate kOpenChrmDialog = {
    IDD_OPEN_CHRM, QT_TRANSLATE_NOOP("DialogTemplate", "Открытие хроматограммы"), 542, 329, "MS Sans Serif", 8,
    style::Caption | style::SysMenu | style::ThickFrame | style::MinimizeBox, kOpenChrmControls};

constexpr const DialogTemplate* kDialogs[] = {&kCalibrationDialog, &kOpenChrmDialog};

struct StringEntry {
    int id;
    const char* text;
};

constexpr StringEntry kStrings[] = {
    {IDS_ANY_METHOD, QT_TRANSLATE_NOOP("DialogTemplate", "* (любой)")},
    {IDS_ANY_SITE, QT_TRANSLATE_NOOP("DialogTemplate", "* (любой)")},
    {IDS_ANY_POINT, QT_TRANSLATE_NOOP("DialogTemplate", "* (любая)")},
};

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
    for (const DialogTemplate* dialog : kDialogs)
        if (dialog->id == id) return dialog;
    return nullptr;
}

std::string LoadString(int id) {
    for (const StringEntry& entry : kStrings)
        if (entry.id == id)
            return QCoreApplication::translate(platform::gui::kTemplateTranslationContext, entry.text).toStdString();
    return std::string();
}

}  // namespace resources
