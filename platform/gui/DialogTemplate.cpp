#include "platform/gui/DialogTemplate.h"

#include "platform/MulDiv.h"
#include "platform/gui/Controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStringList>
#include <QTreeWidget>

#include <cstring>

namespace platform::gui {

namespace {

constexpr const char* kIdProperty = "ostrelControlId";

// Fonts the templates name that Linux does not have, and the ones with their metrics.
struct FontSubstitute {
    const char* name;
    const char* substitute;
};
constexpr FontSubstitute kFontSubstitutes[] = {
    {"MS Sans Serif", "Liberation Sans"},
    {"MS Shell Dlg", "Liberation Sans"},
    {"Arial", "Liberation Sans"},
    {"Times New Roman", "Liberation Serif"},
};

bool Has(std::uint32_t styleBits, std::uint32_t bit) { return (styleBits & bit) != 0; }

QString Text(const char* utf8) { return QString::fromUtf8(utf8 ? utf8 : ""); }

// A template's text in the language the program speaks.
QString Translated(const char* utf8) {
    if (utf8 == nullptr || *utf8 == '\0') return QString();
    return QCoreApplication::translate(kTemplateTranslationContext, utf8);
}

// A multi-line button caption breaks between words where the line would overflow, as the
// window system breaks it.
QString WrapCaption(const QString& text, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(text) <= width) return text;
    QString wrapped, line;
    for (const QString& word : text.split(u' ', Qt::SkipEmptyParts)) {
        const QString candidate = line.isEmpty() ? word : line + u' ' + word;
        if (!line.isEmpty() && metrics.horizontalAdvance(candidate) > width) {
            wrapped += line + u'\n';
            line = word;
        } else {
            line = candidate;
        }
    }
    return wrapped + line;
}

QWidget* CreateButton(const ControlTemplate& c, QWidget* parent, const QRect& place) {
    auto* button = new QPushButton(parent);
    const QString caption = Translated(c.text);
    constexpr int kCaptionMargin = 8;  // room the button's bevel takes on both sides together
    button->setText(Has(c.style, style::MultiLine)
                        ? WrapCaption(caption, QFontMetrics(parent->font()), place.width() - kCaptionMargin)
                        : caption);
    if (c.kind == ControlKind::CheckBox) button->setCheckable(true);
    if (Has(c.style, style::DefPushButton)) button->setDefault(true);
    return button;
}

QWidget* CreateLabel(const ControlTemplate& c, QWidget* parent, const QRect& place) {
    auto* label = new QLabel(parent);
    // Labels show paths and names as they are: never as markup.
    label->setTextFormat(Qt::PlainText);
    label->setText(Translated(c.text));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The substitute font runs a few pixels wider on some texts; in a box one line high, wrapping
    // would hide the rest of the text where no wrapping only clips its last pixels.
    const bool roomForTwoLines = place.height() >= 2 * QFontMetrics(parent->font()).height();
    label->setWordWrap(!Has(c.style, style::NoWordWrap) && roomForTwoLines);
    return label;
}

// The screen font that stands for the template's, and a translation, may run a few pixels wider
// than the template's box: a caption of one line widens to its text rather than lose its last
// letter (the templates leave the room).
QRect LabelPlace(const QLabel* label, const QRect& place) {
    if (label->wordWrap()) return place;
    const int need = label->fontMetrics().horizontalAdvance(label->text());
    return need > place.width() ? QRect(place.topLeft(), QSize(need, place.height())) : place;
}

QWidget* CreateEdit(const ControlTemplate& c, QWidget* parent) {
    if (!Has(c.style, style::MultiLine)) {
        auto* edit = new QLineEdit(Text(c.text), parent);
        edit->setReadOnly(Has(c.style, style::ReadOnly));
        edit->setFrame(Has(c.style, style::Border));
        return edit;
    }
    auto* box = new QPlainTextEdit(Text(c.text), parent);
    box->setReadOnly(Has(c.style, style::ReadOnly));
    box->setLineWrapMode(Has(c.style, style::AutoHScroll) ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
    box->setVerticalScrollBarPolicy(Has(c.style, style::VScroll) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
    if (!Has(c.style, style::Border)) box->setFrameShape(QFrame::NoFrame);
    return box;
}

QWidget* CreateComboBox(const ControlTemplate& c, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(false);
    SetSortedInsertion(combo, Has(c.style, style::Sorted));
    for (const char* item : c.items) AddString(combo, Translated(item).toStdString());
    return combo;
}

QWidget* CreateFrame(QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Plain);
    frame->setLineWidth(1);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    frame->setPalette(palette);
    return frame;
}

void ApplyListViewStyle(QTreeView* view, std::uint32_t styleBits) {
    // The dialog inserts the columns; until then the header is empty.
    if (auto* widget = qobject_cast<QTreeWidget*>(view)) widget->setColumnCount(0);
    view->setRootIsDecorated(false);
    view->setUniformRowHeights(true);
    view->setItemsExpandable(false);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->header()->setSectionsClickable(!Has(styleBits, style::NoSortHeader));
    view->header()->setSectionsMovable(false);
    view->header()->setStretchLastSection(false);
    if (!Has(styleBits, style::Border)) view->setFrameShape(QFrame::NoFrame);
}

void ApplyTreeViewStyle(QTreeView* view, std::uint32_t styleBits) {
    view->setHeaderHidden(true);
    view->setRootIsDecorated(Has(styleBits, style::LinesAtRoot) && Has(styleBits, style::HasButtons));
    view->setItemsExpandable(Has(styleBits, style::HasButtons));
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setAnimated(false);
    if (!Has(styleBits, style::Border)) view->setFrameShape(QFrame::NoFrame);
}

QWidget* CreateStandard(const ControlTemplate& c, QWidget* parent, const QRect& place) {
    switch (c.kind) {
    case ControlKind::PushButton:
        return CreateButton(c, parent, place);
    case ControlKind::CheckBox:
        if (Has(c.style, style::PushLike)) return CreateButton(c, parent, place);
        return new QCheckBox(Translated(c.text), parent);
    case ControlKind::Label:
        return CreateLabel(c, parent, place);
    case ControlKind::Edit:
        return CreateEdit(c, parent);
    case ControlKind::ComboBox:
        return CreateComboBox(c, parent);
    case ControlKind::ListView:
    case ControlKind::TreeView:
        return new QTreeWidget(parent);
    case ControlKind::Frame:
        return CreateFrame(parent);
    }
    return new QWidget(parent);
}

// A drop-down list is as high as its font makes it; the template's height is that of the list it
// drops, which decides how many items show at once.
QRect ComboBoxPlace(QComboBox* combo, const QRect& place) {
    const int closedHeight = combo->sizeHint().height();
    const int itemHeight = std::max(1, QFontMetrics(combo->font()).height());
    combo->setMaxVisibleItems(std::max(1, (place.height() - closedHeight) / itemHeight));
    return QRect(place.x(), place.y(), place.width(), closedHeight);
}

}  // namespace

QFont DialogFont(const char* fontName, int pointSize) {
    QString family = Text(fontName);
    for (const FontSubstitute& s : kFontSubstitutes)
        if (std::strcmp(s.name, fontName) == 0) family = QString::fromUtf8(s.substitute);
    int dpi = 96;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        dpi = static_cast<int>(screen->logicalDotsPerInchY() + 0.5);
    QFont font;
    font.setFamilies({family, Text(fontName)});
    font.setPixelSize(std::max(1, MulDiv(pointSize, dpi, 72)));
    font.setStyleStrategy(QFont::PreferDefault);
    return font;
}

BaseUnits DialogBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return BaseUnits{(width / 26 + 1) / 2, metrics.height()};
}

QRect DialogUnitsToPixels(const QRect& units, BaseUnits base) {
    return QRect(MulDiv(units.x(), base.x, 4), MulDiv(units.y(), base.y, 8), MulDiv(units.width(), base.x, 4),
                 MulDiv(units.height(), base.y, 8));
}

BaseUnits BuildDialog(QDialog& dialog, const DialogTemplate& t, const ControlFactory& factory) {
    const QFont font = DialogFont(t.fontName, t.pointSize);
    dialog.setFont(font);
    const BaseUnits base = DialogBaseUnits(font);
    dialog.setWindowTitle(Translated(t.caption));
    SetControlId(&dialog, t.id);

    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint;
    if (Has(t.style, style::Caption)) flags |= Qt::WindowTitleHint;
    if (Has(t.style, style::SysMenu)) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (Has(t.style, style::MinimizeBox)) flags |= Qt::WindowMinimizeButtonHint;
    dialog.setWindowFlags(flags);

    const QRect client = DialogUnitsToPixels(QRect(0, 0, t.width, t.height), base);
    if (Has(t.style, style::ThickFrame))
        dialog.resize(client.size());
    else
        dialog.setFixedSize(client.size());

    for (const ControlTemplate& c : t.controls) {
        QRect place = DialogUnitsToPixels(QRect(c.x, c.y, c.width, c.height), base);
        QWidget* widget = factory ? factory(c, &dialog) : nullptr;
        if (!widget) widget = CreateStandard(c, &dialog, place);
        if (c.kind == ControlKind::ListView)
            if (auto* view = qobject_cast<QTreeView*>(widget)) ApplyListViewStyle(view, c.style);
        if (c.kind == ControlKind::TreeView)
            if (auto* view = qobject_cast<QTreeView*>(widget)) ApplyTreeViewStyle(view, c.style);
        if (auto* combo = qobject_cast<QComboBox*>(widget)) place = ComboBoxPlace(combo, place);
        if (auto* label = qobject_cast<QLabel*>(widget)) place = LabelPlace(label, place);
        widget->setGeometry(place);
        SetControlId(widget, c.id);
    }
    return base;
}

void SetControlId(QWidget* widget, int id) { widget->setProperty(kIdProperty, id); }

int ControlId(const QWidget* widget) {
    const QVariant id = widget->property(kIdProperty);
    return id.isValid() ? id.toInt() : kNoId;
}

QWidget* FindControl(const QWidget* parent, int id) {
    if (!parent || id == kNoId) return nullptr;
    for (QWidget* child : parent->findChildren<QWidget*>())
        if (ControlId(child) == id) return child;
    return nullptr;
}

}  // namespace platform::gui
