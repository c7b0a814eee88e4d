#include "selection/FormDialog.h"

#include "platform/gui/DialogTemplate.h"

#include <QApplication>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

namespace gui = platform::gui;
using Rect = CFormDialog::Rect;

}  // namespace

void PrintTo(const CFormDialog::Rect& r, std::ostream* os) {
    *os << "(" << r.left << ", " << r.top << ")-(" << r.right << ", " << r.bottom << ")";
}

namespace {

TEST(FormDialogLayout, EachModeMovesOrStretchesByTheGrowth) {
    struct Case {
        CFormDialog::LayoutMode horizontal, vertical;
        int dx, dy;
        Rect expected;
    };
    // Registered at (100, 50)-(140, 70) in a client area of 400 x 200.
    const Case cases[] = {
        {CFormDialog::Fixed, CFormDialog::Fixed, 100, 50, {100, 50, 140, 70}},
        {CFormDialog::Move, CFormDialog::Move, 100, 50, {200, 100, 240, 120}},
        {CFormDialog::Stretch, CFormDialog::Stretch, 100, 50, {100, 50, 240, 120}},
        {CFormDialog::Move, CFormDialog::Stretch, -30, -20, {70, 50, 110, 50}},
        // 100 * 100 / 400 = 25; 50 * 50 / 200 = 12.5 rounds away from zero to 13.
        {CFormDialog::MoveProportional, CFormDialog::MoveProportional, 100, 50, {125, 63, 165, 83}},
        // Offsets as above; additions 100 * 40 / 400 = 10 and 50 * 20 / 200 = 5.
        {CFormDialog::ScaleProportional, CFormDialog::ScaleProportional, 100, 50, {125, 63, 175, 88}},
        {CFormDialog::ScaleProportional, CFormDialog::Fixed, -50, 0, {87, 50, 122, 70}},  // -12.5 -> -13; -5
        {static_cast<CFormDialog::LayoutMode>(7), static_cast<CFormDialog::LayoutMode>(-1), 100, 50,
         {100, 50, 140, 70}},  // unknown modes stay put
    };
    for (const Case& c : cases) {
        const CFormDialog::ControlAnchor anchor{Rect{100, 50, 140, 70}, c.vertical, c.horizontal};
        EXPECT_EQ(CFormDialog::LaidOut(anchor, c.dx, c.dy, 400, 200), c.expected)
            << c.horizontal << "/" << c.vertical << " by " << c.dx << ", " << c.dy;
    }
    // A control at left 1 in a client area 2 wide, grown by 3: 1.5 rounds away from zero both ways.
    const CFormDialog::ControlAnchor narrow{Rect{1, 0, 2, 1}, CFormDialog::Fixed, CFormDialog::ScaleProportional};
    EXPECT_EQ(CFormDialog::LaidOut(narrow, 3, 0, 2, 1).left, 3);
    EXPECT_EQ(CFormDialog::LaidOut(narrow, -3, 0, 2, 1).left, -1);
}

// One control per mode, both directions alike, and one that is never registered.
constexpr gui::ControlTemplate kControls[] = {
    {10, gui::ControlKind::PushButton, 0, "fixed", 10, 10, 40, 14},
    {11, gui::ControlKind::PushButton, 0, "move", 60, 10, 40, 14},
    {12, gui::ControlKind::PushButton, 0, "stretch", 10, 30, 40, 14},
    {13, gui::ControlKind::PushButton, 0, "moveprop", 60, 30, 40, 14},
    {14, gui::ControlKind::PushButton, 0, "scaleprop", 10, 50, 40, 14},
    {15, gui::ControlKind::PushButton, 0, "unregistered", 60, 50, 40, 14},
};
constexpr gui::DialogTemplate kTemplate = {900, "test", 200, 100, "MS Sans Serif", 8,
                                           gui::style::Caption | gui::style::ThickFrame, kControls};

class FormDialogTest : public ::testing::Test {
protected:
    void Open(bool keepMinSize) {
        dialog = std::make_unique<CFormDialog>(kTemplate, nullptr, keepMinSize);
        for (int id = 10; id <= 14; ++id) {
            const auto mode = static_cast<CFormDialog::LayoutMode>(id - 10);
            dialog->AnchorControl(id, mode, mode);
        }
        dialog->show();
        for (int id = 10; id <= 15; ++id) opening.push_back(Geometry(id));
        initial = dialog->size();
    }
    QRect Geometry(int id) const { return dialog->Control(id)->geometry(); }
    std::vector<QRect> AllGeometries() const {
        std::vector<QRect> all;
        for (int id = 10; id <= 15; ++id) all.push_back(Geometry(id));
        return all;
    }
    void ResizeTo(int w, int h) {
        dialog->resize(w, h);
        QApplication::processEvents();
    }

    std::unique_ptr<CFormDialog> dialog;
    std::vector<QRect> opening;
    QSize initial;
};

TEST_F(FormDialogTest, ControlsFollowTheWindowAndComeBackExactly) {
    Open(true);
    ASSERT_TRUE(dialog->Created());
    const int w0 = initial.width(), h0 = initial.height();
    EXPECT_EQ(dialog->InitialClient(), (Rect{0, 0, w0, h0}));

    ResizeTo(w0 + 101, h0 + 51);
    EXPECT_EQ(Geometry(10), opening[0]);
    EXPECT_EQ(Geometry(11), opening[1].translated(101, 51));
    EXPECT_EQ(Geometry(12), opening[2].adjusted(0, 0, 101, 51));
    EXPECT_EQ(Geometry(15), opening[5]);  // never registered, never moved
    EXPECT_NE(Geometry(13), opening[3]);
    EXPECT_NE(Geometry(14), opening[4]);

    // Uneven steps with rounding at each: positions come from the opening geometry every time.
    for (int step : {7, 13, 29, 3, 55}) ResizeTo(w0 + step, h0 + step / 2);
    ResizeTo(w0, h0);
    EXPECT_EQ(AllGeometries(), opening);
}

TEST_F(FormDialogTest, KeepMinSizeSnapsBackOnlyTheDirectionThatWasTooSmall) {
    Open(true);
    EXPECT_EQ(dialog->MinWidth(), initial.width());
    EXPECT_EQ(dialog->MinHeight(), initial.height());
    ResizeTo(initial.width() - 60, initial.height() + 40);
    EXPECT_EQ(dialog->size(), QSize(initial.width(), initial.height() + 40));
    EXPECT_EQ(Geometry(11), opening[1].translated(0, 40));
}

TEST_F(FormDialogTest, WithoutKeepMinSizeTheWindowShrinks) {
    Open(false);
    EXPECT_EQ(dialog->MinWidth(), 0);
    ResizeTo(initial.width() - 60, initial.height() - 20);
    EXPECT_EQ(dialog->size(), QSize(initial.width() - 60, initial.height() - 20));
    EXPECT_EQ(Geometry(11), opening[1].translated(-60, -20));
}

TEST_F(FormDialogTest, MinimizingMovesNothingAndRestoringLaysOut) {
    Open(true);
    ResizeTo(initial.width() + 40, initial.height() + 20);
    const std::vector<QRect> before = AllGeometries();
    dialog->showMinimized();
    QApplication::processEvents();
    ASSERT_TRUE(dialog->isMinimized());
    EXPECT_EQ(AllGeometries(), before);
    ResizeTo(initial.width() + 90, initial.height() + 70);  // a size change while minimized
    EXPECT_EQ(AllGeometries(), before);
    dialog->showNormal();
    QApplication::processEvents();
    EXPECT_EQ(Geometry(11), opening[1].translated(dialog->width() - initial.width(), dialog->height() - initial.height()));
}

TEST_F(FormDialogTest, RegisteringAgainReplacesTheRecord) {
    Open(true);
    dialog->AnchorControl(11, CFormDialog::Fixed, CFormDialog::Fixed);
    ResizeTo(initial.width() + 30, initial.height() + 30);
    EXPECT_EQ(Geometry(11), opening[1]);
}

TEST(FormDialog, UnknownTemplateIsACreationFailure) {
    CFormDialog dialog(4711, nullptr, true);
    EXPECT_FALSE(dialog.Created());
}

}  // namespace
