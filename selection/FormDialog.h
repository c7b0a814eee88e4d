#pragma once

#include "platform/gui/DialogTemplate.h"

#include <QDialog>

#include <cstdint>
#include <map>

// A dialog built from a template whose registered controls follow the window when it is resized:
// each is moved and/or stretched, separately in each direction, by the growth of the client
// area. Positions are always computed from the geometry captured when the dialog was created,
// never from the previous size, so repeated resizing accumulates no error. With keepMinSize the
// window cannot be made smaller than it was created.
class CFormDialog : public QDialog {
    Q_OBJECT

public:
    enum LayoutMode : int {
        Fixed = 0,              // stays where it is
        Move = 1,               // keeps its distance from the right or bottom edge
        Stretch = 2,            // keeps both edges at their distances from the window's edges
        MoveProportional = 3,   // its leading edge stays at the same fraction of the client size
        ScaleProportional = 4,  // both its edges stay at the same fractions
    };

    // Pixels in the parent's client coordinates; right and bottom exclusive.
    struct Rect {
        int left = 0, top = 0, right = 0, bottom = 0;
        bool operator==(const Rect&) const = default;
    };

    struct ControlAnchor {
        Rect rect;  // the control's normal position when it was registered
        LayoutMode verticalMode = Fixed;
        LayoutMode horizontalMode = Fixed;
    };

    // The client area grew by dx, dy from the initial width and height: where the control goes.
    // Modes other than the five above act as Fixed.
    static Rect LaidOut(const ControlAnchor& anchor, int dx, int dy, int initialWidth, int initialHeight);

    // `factory` creates the controls that are of the derived dialog's own classes.
    CFormDialog(int templateId, QWidget* parent, bool keepMinSize,
                const platform::gui::ControlFactory& factory = {});
    CFormDialog(const platform::gui::DialogTemplate& dialogTemplate, QWidget* parent, bool keepMinSize,
                const platform::gui::ControlFactory& factory = {});

    // False when the template could not be found: the dialog has no controls and must not run.
    bool Created() const { return created_; }

    // Registers a control (after it exists) with its current normal position; registering an id
    // again replaces its record.
    void AnchorControl(std::uint32_t id, LayoutMode horizontalMode, LayoutMode verticalMode);

    QWidget* Control(int id) const;

    Rect InitialClient() const { return initialClient_; }
    int MinWidth() const { return minWidth_; }
    int MinHeight() const { return minHeight_; }

protected:
    enum SizeType { SizeRestored, SizeMinimized, SizeMaximized };

    // The client area is now cx x cy: lays the registered controls out for it, or first brings
    // the window back to its minimum size.
    void OnSize(SizeType type, int cx, int cy);

    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void OnCreate(const platform::gui::DialogTemplate* dialogTemplate, const platform::gui::ControlFactory& factory);
    void MoveControl(std::uint32_t id, const Rect& rect);

    bool created_ = false;
    Rect initialClient_;
    bool keepMinSize_;
    int minWidth_ = 0;
    int minHeight_ = 0;
    std::map<std::uint32_t, ControlAnchor> anchors_;
};
