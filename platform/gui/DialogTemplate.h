#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include <QRect>
#include <QWidget>

class QDialog;
class QFont;

// Dialog templates are data: every control with its numeric id, kind, style, text and place in
// dialog units. BuildDialog turns one into Qt widgets, converting dialog units with the base
// units of the dialog's font as the Windows dialog manager does (x * avgCharWidth / 4,
// y * charHeight / 8, each through MulDiv), so the layout keeps the proportions it was drawn in.
// Handlers find their widgets by id (FindControl) and are connected by the dialog itself.
//
// The texts of a template (caption, control texts, combo-box items) are shown translated: a
// template marks them QT_TRANSLATE_NOOP("DialogTemplate", "...") and BuildDialog looks each up
// in that context; a text without a translation (a number, an unmarked text) shows as written.
namespace platform::gui {

inline constexpr const char* kTemplateTranslationContext = "DialogTemplate";

enum class ControlKind {
    PushButton,  // style DefPushButton makes it the default button
    CheckBox,    // style PushLike draws it as a push button that stays pressed
    Label,
    Edit,        // style MultiLine makes it a text box
    ComboBox,    // a drop-down list: the operator picks, never types
    ListView,    // a list with columns (style ReportView)
    TreeView,
    Frame,       // a black rectangle (a placeholder another control takes the place of)
};

// Control and dialog styles, named after the window styles they stand for. Only the bits the
// builder acts on are listed; the others of the original templates change nothing on screen.
namespace style {
inline constexpr std::uint32_t DefPushButton = 1u << 0;
inline constexpr std::uint32_t PushLike = 1u << 1;
inline constexpr std::uint32_t MultiLine = 1u << 2;      // edit: several lines; button: wrapped caption
inline constexpr std::uint32_t ReadOnly = 1u << 3;
inline constexpr std::uint32_t AutoHScroll = 1u << 4;    // edit: no word wrap, scrolls sideways
inline constexpr std::uint32_t AutoVScroll = 1u << 5;
inline constexpr std::uint32_t VScroll = 1u << 6;        // a vertical scroll bar (always, for an edit)
inline constexpr std::uint32_t Border = 1u << 7;
inline constexpr std::uint32_t Sorted = 1u << 8;         // combo box: AddString inserts in order
inline constexpr std::uint32_t ReportView = 1u << 9;
inline constexpr std::uint32_t ShowSelAlways = 1u << 10;
inline constexpr std::uint32_t NoSortHeader = 1u << 11;  // list view: headers are not buttons
inline constexpr std::uint32_t NoWordWrap = 1u << 12;    // label: one line, clipped
inline constexpr std::uint32_t HasButtons = 1u << 13;    // tree view: expand buttons
inline constexpr std::uint32_t HasLines = 1u << 14;
inline constexpr std::uint32_t LinesAtRoot = 1u << 15;

// Dialog styles.
inline constexpr std::uint32_t Caption = 1u << 20;
inline constexpr std::uint32_t SysMenu = 1u << 21;
inline constexpr std::uint32_t ThickFrame = 1u << 22;   // the operator can resize it
inline constexpr std::uint32_t MinimizeBox = 1u << 23;
inline constexpr std::uint32_t ModalFrame = 1u << 24;
inline constexpr std::uint32_t AppWindow = 1u << 25;    // shown in the task bar
}  // namespace style

// The id of a control that handlers never address (a plain label).
inline constexpr int kNoId = -1;

struct ControlTemplate {
    int id;
    ControlKind kind;
    std::uint32_t style;
    const char* text;  // caption (UTF-8); empty for none
    int x, y, width, height;  // dialog units; a combo box's height is that of its dropped list
    std::span<const char* const> items = {};  // initial items of a combo box, in this order
};

struct DialogTemplate {
    int id;
    const char* caption;
    int width, height;  // client area, dialog units
    const char* fontName;
    int pointSize;
    std::uint32_t style;
    std::span<const ControlTemplate> controls;  // template order, which is also the tab order
};

// Pixels per 4 horizontal and per 8 vertical dialog units.
struct BaseUnits {
    int x = 0;  // average character width
    int y = 0;  // character height
};

// The screen font that stands for a template's font. "MS Sans Serif" and "Arial" are not found on
// Linux; Liberation Sans has Arial's metrics and gives nearly the base units of MS Sans Serif
// (6 x 12 pixels at 8 points and 96 dpi, against 6 x 13). The pixel size is the point size at the
// screen's vertical resolution, rounded as Windows rounds a font height.
QFont DialogFont(const char* fontName, int pointSize);

// Base units of a font: the rounded average width of the 52 Latin letters and the line height.
BaseUnits DialogBaseUnits(const QFont& font);

// A rectangle in dialog units (x, y, width, height) to pixels, each value on its own through MulDiv.
QRect DialogUnitsToPixels(const QRect& units, BaseUnits base);

// Creates the control of a template entry when the dialog wants a class of its own for it (a
// folder tree, a chart); returning nullptr lets the builder create the standard widget.
using ControlFactory = std::function<QWidget*(const ControlTemplate& control, QWidget* parent)>;

// Gives `dialog` the template's caption, font, window style and client size, and creates its
// controls in template order (so the tab order follows the template), each placed, styled and
// marked with its id. Returns the base units used.
BaseUnits BuildDialog(QDialog& dialog, const DialogTemplate& dialogTemplate, const ControlFactory& factory = {});

// Control ids. Every widget the builder creates carries its template id; a widget put in the
// place of another (ReplaceControl of the chart) takes the id over with SetControlId.
void SetControlId(QWidget* widget, int id);
int ControlId(const QWidget* widget);  // kNoId for a widget without one

// The descendant of `parent` with that id, or nullptr.
QWidget* FindControl(const QWidget* parent, int id);

template <class T>
T* FindControl(const QWidget* parent, int id) {
    return qobject_cast<T*>(FindControl(parent, id));
}

}  // namespace platform::gui
