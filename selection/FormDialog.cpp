#include "selection/FormDialog.h"

#include "platform/MulDiv.h"
#include "platform/gui/DialogTemplate.h"
#include "resources/Resource.h"

#include <QEvent>
#include <QResizeEvent>

#include <algorithm>

namespace {

struct Placement {
    int offset = 0;    // added to the leading edge
    int addition = 0;  // added to the extent
};

// One direction of the layout: `lead` and `extent` are the control's registered left edge and
// width (top edge and height), `initial` the client width (height) at creation.
Placement PlaceAlong(CFormDialog::LayoutMode mode, int d, int lead, int extent, int initial) {
    switch (mode) {
    case CFormDialog::Move:
        return {d, 0};
    case CFormDialog::Stretch:
        return {0, d};
    case CFormDialog::MoveProportional:
        return {platform::MulDiv(d, lead, initial), 0};
    case CFormDialog::ScaleProportional:
        return {platform::MulDiv(d, lead, initial), platform::MulDiv(d, extent, initial)};
    case CFormDialog::Fixed:
        break;
    }
    return {};
}

}  // namespace

CFormDialog::Rect CFormDialog::LaidOut(const ControlAnchor& anchor, int dx, int dy, int initialWidth,
                                       int initialHeight) {
    const Rect& r = anchor.rect;
    const Placement h = PlaceAlong(anchor.horizontalMode, dx, r.left, r.right - r.left, initialWidth);
    const Placement v = PlaceAlong(anchor.verticalMode, dy, r.top, r.bottom - r.top, initialHeight);
    Rect moved{r.left + h.offset, r.top + v.offset, r.right + h.offset, r.bottom + v.offset};
    moved.right += h.addition;
    moved.bottom += v.addition;
    return moved;
}

CFormDialog::CFormDialog(int templateId, QWidget* parent, bool keepMinSize,
                         const platform::gui::ControlFactory& factory)
    : QDialog(parent), keepMinSize_(keepMinSize) {
    OnCreate(resources::FindDialogTemplate(templateId), factory);
}

CFormDialog::CFormDialog(const platform::gui::DialogTemplate& dialogTemplate, QWidget* parent, bool keepMinSize,
                         const platform::gui::ControlFactory& factory)
    : QDialog(parent), keepMinSize_(keepMinSize) {
    OnCreate(&dialogTemplate, factory);
}

void CFormDialog::OnCreate(const platform::gui::DialogTemplate* dialogTemplate,
                           const platform::gui::ControlFactory& factory) {
    if (!dialogTemplate) return;
    platform::gui::BuildDialog(*this, *dialogTemplate, factory);
    created_ = true;
    initialClient_ = Rect{0, 0, width(), height()};
    if (keepMinSize_) {
        // Qt sizes a window by its client area and the frame never changes, so holding the client
        // area at its opening size holds the outer window there as well.
        minWidth_ = width();
        minHeight_ = height();
        setMinimumSize(minWidth_, minHeight_);
    }
}

void CFormDialog::AnchorControl(std::uint32_t id, LayoutMode horizontalMode, LayoutMode verticalMode) {
    const QWidget* control = Control(static_cast<int>(id));
    if (!control) return;
    // The restored geometry, even when the window is minimized: Qt keeps a control's geometry.
    const QRect g = control->geometry();
    anchors_[id] = ControlAnchor{Rect{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()}, verticalMode,
                                 horizontalMode};
}

QWidget* CFormDialog::Control(int id) const { return platform::gui::FindControl(this, id); }

void CFormDialog::OnSize(SizeType type, int cx, int cy) {
    if (type == SizeMinimized) return;
    if (width() < minWidth_ || height() < minHeight_) {
        // A window manager that ignores the minimum size hint: put the window back, which
        // brings a new size change that lays the controls out.
        resize(std::max(width(), minWidth_), std::max(height(), minHeight_));
        return;
    }
    const int initialWidth = initialClient_.right - initialClient_.left;
    const int initialHeight = initialClient_.bottom - initialClient_.top;
    const int dx = cx - initialWidth;
    const int dy = cy - initialHeight;
    for (const auto& [id, anchor] : anchors_) MoveControl(id, LaidOut(anchor, dx, dy, initialWidth, initialHeight));
    update();
}

void CFormDialog::MoveControl(std::uint32_t id, const Rect& r) {
    if (QWidget* control = Control(static_cast<int>(id)))
        control->setGeometry(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void CFormDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    OnSize(isMinimized() ? SizeMinimized : (isMaximized() ? SizeMaximized : SizeRestored), event->size().width(),
           event->size().height());
}

void CFormDialog::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    // Coming back from minimized brings no resize when the size stayed the same; lay out anyway
    // so that the controls certainly match the restored size.
    if (event->type() == QEvent::WindowStateChange && !isMinimized())
        OnSize(isMaximized() ? SizeMaximized : SizeRestored, width(), height());
}
