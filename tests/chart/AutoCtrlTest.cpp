#include "chart/AutoCtrl.h"
#include "chart/CalibrationChart.h"
#include "platform/gui/DialogTemplate.h"
#include "support/ScrollBarParts.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

// A parent that records the mouse messages and notifications it receives.
class Recorder : public QWidget {
public:
    struct Mouse {
        QEvent::Type type;
        QPoint position;
        Qt::MouseButton button;
    };
    std::vector<Mouse> mice;
    std::vector<int> codes;
    std::vector<int> ids;

    int Count(QEvent::Type type) const {
        int n = 0;
        for (const Mouse& m : mice) n += m.type == type ? 1 : 0;
        return n;
    }

protected:
    bool event(QEvent* e) override {
        if (e->type() == ChartNotifyEvent::EventType()) {
            const auto* n = static_cast<ChartNotifyEvent*>(e);
            codes.push_back(n->code);
            ids.push_back(n->id);
            return true;
        }
        switch (e->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove: {
                const auto* m = static_cast<QMouseEvent*>(e);
                mice.push_back({e->type(), m->position().toPoint(), m->button()});
                break;
            }
            default: break;
        }
        return QWidget::event(e);
    }
};

class AutoCtrlTest : public ::testing::Test {
protected:
    Recorder parent_;
    CAutoCtrl* ctrl_ = new CAutoCtrl(&parent_);
    std::vector<float> xs_{0, 10}, ys_{0, 10};

    void SetUp() override {
        parent_.resize(600, 400);
        ctrl_->setGeometry(10, 10, 560, 300);
        platform::gui::SetControlId(ctrl_, 5030);
        ctrl_->chart.AddSeries();
        ctrl_->chart.GetSeries(0).SetData(xs_.data(), ys_.data(), 2);
        parent_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent_));
        Paint();
        parent_.mice.clear();
    }

    void Paint() {
        ctrl_->repaint();
        QCoreApplication::processEvents();
    }
    QPoint PixelOf(double x, double y) const { return {ctrl_->chart.XToPixel(x), ctrl_->chart.YToPixel(y)}; }
    void Send(QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent e(type, p, ctrl_->mapToGlobal(p), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(ctrl_, &e);
    }
    void Press(QPoint p, Qt::MouseButton b = Qt::LeftButton) { Send(QEvent::MouseButtonPress, p, b, b); }
    void Release(QPoint p, Qt::MouseButton b = Qt::LeftButton) { Send(QEvent::MouseButtonRelease, p, b, Qt::NoButton); }
    void Move(QPoint p, Qt::MouseButtons buttons) { Send(QEvent::MouseMove, p, Qt::NoButton, buttons); }
    void Drag(QPoint from, QPoint to) {
        Press(from);
        Move((from + to) / 2, Qt::LeftButton);
        Move(to, Qt::LeftButton);
        Release(to);
    }
    // What the window shows, from the backing store.
    QImage Screen() {
        QCoreApplication::processEvents();
        return parent_.screen()->grabWindow(parent_.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    }
    void ClickArrow(QScrollBar* bar, QStyle::SubControl arrow) {
        QTest::mouseClick(bar, Qt::LeftButton, {}, fixtures::ScrollBarPart(*bar, arrow).center());
    }
};

TEST_F(AutoCtrlTest, WithZoomAndScrollingOffEveryMouseMessageReachesTheParentUnchanged) {
    ConfigureCalibrationChart(ctrl_->chart);  // the main dialog's control
    ctrl_->EnableZoom(false);
    ctrl_->EnableHorzScroll(false);
    ctrl_->EnableVertScroll(false);
    ctrl_->chart.GetSeries(0).SetData(xs_.data(), ys_.data(), 2);
    ctrl_->ZoomTo(2, 2, 4, 4);  // a view narrower than the data would otherwise bring scroll bars
    Paint();

    Press({100, 50});
    Move({120, 60}, Qt::LeftButton);
    Release({120, 60});
    Press({30, 40}, Qt::RightButton);
    Release({31, 41}, Qt::RightButton);
    Send(QEvent::MouseButtonDblClick, {5, 5}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(parent_.mice.empty());  // posted, not sent
    QCoreApplication::processEvents();

    ASSERT_EQ(parent_.mice.size(), 5u);
    EXPECT_EQ(parent_.mice[0].type, QEvent::MouseButtonPress);
    EXPECT_EQ(parent_.mice[0].position, QPoint(100, 50));  // the control's own coordinates
    EXPECT_EQ(parent_.mice[0].button, Qt::LeftButton);
    EXPECT_EQ(parent_.mice[1].type, QEvent::MouseMove);
    EXPECT_EQ(parent_.mice[2].type, QEvent::MouseButtonRelease);
    EXPECT_EQ(parent_.mice[3].button, Qt::RightButton);
    EXPECT_EQ(parent_.mice[4].position, QPoint(31, 41));
    EXPECT_FALSE(ctrl_->Dragging());
    EXPECT_TRUE(ctrl_->History().empty());
    EXPECT_TRUE(parent_.codes.empty());
    EXPECT_TRUE(ctrl_->HorizontalBar()->isHidden());
    EXPECT_TRUE(ctrl_->VerticalBar()->isHidden());
    EXPECT_EQ(ctrl_->ClientRect(), QRect(0, 0, 560, 300));
}

TEST_F(AutoCtrlTest, RubberBandZoomsRecordsTheViewAndNotifiesAtOnce) {
    const QPoint from = PixelOf(2, 8), to = PixelOf(6, 3);
    const double x1 = ctrl_->chart.PixelToX(from.x()), x2 = ctrl_->chart.PixelToX(to.x());
    const double y1 = ctrl_->chart.PixelToY(to.y()), y2 = ctrl_->chart.PixelToY(from.y());
    Press(from);
    EXPECT_TRUE(ctrl_->Dragging());
    Move(to, Qt::LeftButton);
    Release(to);
    ASSERT_EQ(parent_.codes, std::vector<int>{kZoomedNotification});  // sent before Release returned
    EXPECT_EQ(parent_.ids, std::vector<int>{5030});
    EXPECT_FALSE(ctrl_->chart.autoX);
    EXPECT_DOUBLE_EQ(ctrl_->chart.fixXMin, x1);
    EXPECT_DOUBLE_EQ(ctrl_->chart.fixXMax, x2);
    EXPECT_DOUBLE_EQ(ctrl_->chart.fixYMin, y1);
    EXPECT_DOUBLE_EQ(ctrl_->chart.fixYMax, y2);
    ASSERT_EQ(ctrl_->History().size(), 1u);
    EXPECT_EQ(ctrl_->History()[0].xMin, 0);
    EXPECT_EQ(ctrl_->History()[0].xMax, 10);

    QCoreApplication::processEvents();
    EXPECT_EQ(parent_.Count(QEvent::MouseButtonPress), 0);
    EXPECT_EQ(parent_.Count(QEvent::MouseButtonRelease), 0);
    EXPECT_EQ(parent_.Count(QEvent::MouseMove), 1);  // moves always go on
    Paint();
    EXPECT_DOUBLE_EQ(ctrl_->chart.xMin, x1);  // shown as given: a fixed range is not rounded out
    EXPECT_FALSE(ctrl_->HorizontalBar()->isHidden());
    EXPECT_FALSE(ctrl_->VerticalBar()->isHidden());
}

TEST_F(AutoCtrlTest, ClickOrTinyBandIsNoZoom) {
    const QPoint p = PixelOf(5, 5);
    Press(p);
    Release(p);
    Drag(p, p + QPoint(2, 40));
    Drag(p, p + QPoint(40, -2));
    EXPECT_TRUE(ctrl_->History().empty());
    EXPECT_TRUE(parent_.codes.empty());
    EXPECT_TRUE(ctrl_->chart.autoX);
    QCoreApplication::processEvents();
    EXPECT_EQ(parent_.Count(QEvent::MouseButtonPress), 0);
    EXPECT_EQ(parent_.Count(QEvent::MouseButtonRelease), 0);
}

TEST_F(AutoCtrlTest, TooNarrowZoomIsRefusedButLeavesItsHistoryEntry) {
    EXPECT_FALSE(ctrl_->ZoomIn(5, 2, 5.00001, 8));
    EXPECT_TRUE(ctrl_->chart.autoX);
    EXPECT_EQ(ctrl_->History().size(), 1u);
    EXPECT_TRUE(ctrl_->ZoomIn(5, 2, 5.001, 8));
    EXPECT_EQ(ctrl_->History().size(), 2u);
    // Clipped to the current view.
    EXPECT_TRUE(ctrl_->ZoomIn(-50, 2, 3, 80));
    EXPECT_DOUBLE_EQ(ctrl_->chart.fixXMin, 0);
    EXPECT_DOUBLE_EQ(ctrl_->chart.fixYMax, 10);
}

TEST_F(AutoCtrlTest, RubberBandIsInvertedOnTheWindowAndErasedByDrawingItAgain) {
    const QImage before = Screen();
    const QPoint origin = ctrl_->pos();
    const QPoint from = PixelOf(2, 8), to = PixelOf(6, 3);
    Press(from);
    Move(to, Qt::LeftButton);
    const QImage banded = Screen();
    const QPoint corner = origin + from, inside = origin + (from + to) / 2;
    EXPECT_EQ(banded.pixel(corner), ~before.pixel(corner) | 0xff000000);
    EXPECT_EQ(banded.pixel(origin + QPoint(to.x() - 1, from.y())), ~before.pixel(origin + QPoint(to.x() - 1, from.y())) | 0xff000000);
    EXPECT_EQ(banded.pixel(inside), before.pixel(inside));
    // Moving on without the button ends the band: drawn once more, the window is as it was.
    Move(to + QPoint(5, 5), Qt::NoButton);
    EXPECT_FALSE(ctrl_->Dragging());
    EXPECT_EQ(Screen(), before);
    EXPECT_TRUE(ctrl_->History().empty());
}

TEST_F(AutoCtrlTest, UnzoomReturnsToTheNewestViewAndShowAllToTheFullRange) {
    ctrl_->Unzoom();  // empty history: nothing
    EXPECT_TRUE(ctrl_->chart.autoX);
    ASSERT_TRUE(ctrl_->ZoomIn(2, 2, 6, 6));
    Paint();
    ASSERT_TRUE(ctrl_->ZoomIn(3, 3, 4, 4));
    Paint();
    ctrl_->Unzoom();
    EXPECT_EQ(ctrl_->History().size(), 1u);
    Paint();
    EXPECT_DOUBLE_EQ(ctrl_->chart.xMin, 2);
    EXPECT_DOUBLE_EQ(ctrl_->chart.xMax, 6);
    ctrl_->ShowAllX();
    EXPECT_TRUE(ctrl_->chart.autoX);
    EXPECT_FALSE(ctrl_->chart.autoY);
    ctrl_->SetFullYRange(-20, 20);
    ctrl_->ShowAllY();
    Paint();
    EXPECT_FALSE(ctrl_->chart.autoY);  // a fixed full range keeps the axis fixed
    EXPECT_EQ(ctrl_->chart.xMin, 0);
    EXPECT_EQ(ctrl_->chart.xMax, 10);
    EXPECT_EQ(ctrl_->chart.yMin, -20);
    EXPECT_EQ(ctrl_->chart.yMax, 20);
}

TEST_F(AutoCtrlTest, ZoomToClipsToTheFullRangeWithoutHistoryOrNotification) {
    EXPECT_TRUE(ctrl_->ZoomTo(4, 50, -5, 3));
    EXPECT_DOUBLE_EQ(ctrl_->chart.fixXMin, 0);
    EXPECT_DOUBLE_EQ(ctrl_->chart.fixXMax, 4);
    EXPECT_DOUBLE_EQ(ctrl_->chart.fixYMin, 3);
    EXPECT_DOUBLE_EQ(ctrl_->chart.fixYMax, 10);
    EXPECT_FALSE(ctrl_->ZoomTo(5, 5, 5, 6));
    EXPECT_TRUE(ctrl_->History().empty());
    EXPECT_TRUE(parent_.codes.empty());
}

TEST_F(AutoCtrlTest, ScrollBarsMoveTheViewByTickStepsWithinTheFullRange) {
    ASSERT_TRUE(ctrl_->ZoomTo(2, 2, 4, 4));
    Paint();
    QScrollBar* h = ctrl_->HorizontalBar();
    QScrollBar* v = ctrl_->VerticalBar();
    ASSERT_FALSE(h->isHidden());
    ASSERT_FALSE(v->isHidden());
    EXPECT_EQ(ctrl_->ClientRect().width(), 560 - v->width());
    const double xStep = ctrl_->chart.xStep, yStep = ctrl_->chart.yStep;
    ASSERT_GT(xStep, 0);
    EXPECT_EQ(h->maximum(), static_cast<int>(std::ceil(8 / xStep)));
    EXPECT_EQ(h->value(), static_cast<int>(std::ceil(2 / xStep)));
    EXPECT_EQ(v->value(), static_cast<int>(std::ceil(6 / yStep)));  // from the top: 10 - 4

    h->setSliderPosition(0);  // thumb track to 0: the view starts at the full range's start
    EXPECT_EQ(parent_.codes, std::vector<int>{kHorzScrolledNotification});
    EXPECT_DOUBLE_EQ(ctrl_->chart.fixXMin, 0);
    EXPECT_DOUBLE_EQ(ctrl_->chart.fixXMax, 2);
    EXPECT_TRUE(ctrl_->History().empty());  // scrolling is no zoom
    Paint();
    EXPECT_EQ(h->value(), 0);

    h->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_NEAR(ctrl_->chart.fixXMin, xStep, 1e-12);
    EXPECT_NEAR(ctrl_->chart.fixXMax, 2 + xStep, 1e-12);
    Paint();  // requests move the view the last paint showed
    h->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_NEAR(ctrl_->chart.fixXMin, 0, 1e-12);

    v->setSliderPosition(0);  // position 0: the view's top is the full range's top
    EXPECT_EQ(parent_.codes.back(), kVertScrolledNotification);
    EXPECT_DOUBLE_EQ(ctrl_->chart.fixYMax, 10);
    EXPECT_DOUBLE_EQ(ctrl_->chart.fixYMin, 8);
    Paint();
    EXPECT_EQ(v->value(), 0);
    v->triggerAction(QAbstractSlider::SliderSingleStepAdd);  // down
    EXPECT_DOUBLE_EQ(ctrl_->chart.fixYMax, 10 - yStep);
}

TEST_F(AutoCtrlTest, ScrollingPastTheEndChangesNothing) {
    ASSERT_TRUE(ctrl_->ZoomTo(6, 2, 10, 4));
    Paint();
    QScrollBar* h = ctrl_->HorizontalBar();
    ASSERT_FALSE(h->isHidden());
    ClickArrow(h, QStyle::SC_ScrollBarAddLine);  // a line right, then the end of scrolling
    EXPECT_TRUE(parent_.codes.empty());
    EXPECT_DOUBLE_EQ(ctrl_->chart.fixXMax, 10);
    ClickArrow(h, QStyle::SC_ScrollBarSubLine);
    EXPECT_EQ(parent_.codes, std::vector<int>{kHorzScrolledNotification});
    EXPECT_DOUBLE_EQ(ctrl_->chart.fixXMin, 6 - ctrl_->chart.xStep);
    EXPECT_TRUE(ctrl_->History().empty());
}

// A right click in the dialogs unzooms: after a zoom and any scrolling it must come back to the
// view zoomed from, and then to the whole chart, not step back through the scrolling.
TEST_F(AutoCtrlTest, UnzoomAfterScrollingReturnsToTheViewsZoomedFrom) {
    ASSERT_TRUE(ctrl_->ZoomIn(2, 2, 6, 6));
    Paint();
    ASSERT_TRUE(ctrl_->ZoomIn(3, 3, 4, 4));
    Paint();
    QScrollBar* h = ctrl_->HorizontalBar();
    QScrollBar* v = ctrl_->VerticalBar();
    ASSERT_FALSE(h->isHidden());
    for (int click = 0; click < 7; ++click) {
        ClickArrow(h, click % 2 == 0 ? QStyle::SC_ScrollBarAddLine : QStyle::SC_ScrollBarSubLine);
        ClickArrow(v, QStyle::SC_ScrollBarAddLine);
        Paint();
    }
    EXPECT_NE(ctrl_->chart.yMin, 3);  // the clicks moved the view
    ASSERT_EQ(ctrl_->History().size(), 2u);
    ctrl_->Unzoom();
    Paint();
    EXPECT_DOUBLE_EQ(ctrl_->chart.xMin, 2);
    EXPECT_DOUBLE_EQ(ctrl_->chart.xMax, 6);
    EXPECT_DOUBLE_EQ(ctrl_->chart.yMin, 2);
    EXPECT_DOUBLE_EQ(ctrl_->chart.yMax, 6);
    ctrl_->Unzoom();
    Paint();
    EXPECT_EQ(ctrl_->chart.xMin, 0);
    EXPECT_EQ(ctrl_->chart.xMax, 10);
    EXPECT_EQ(ctrl_->chart.yMin, 0);
    EXPECT_EQ(ctrl_->chart.yMax, 10);
    EXPECT_TRUE(ctrl_->History().empty());
}

// A click in the track beside the thumb moves the view by its own width, and the thumb's share
// of the track is the view's share of the full range.
TEST_F(AutoCtrlTest, ATrackClickPagesByOneViewAndTheThumbShowsTheVisibleShare) {
    ASSERT_TRUE(ctrl_->ZoomTo(0, 0, 2, 10));  // a fifth of the x range
    Paint();
    QScrollBar* h = ctrl_->HorizontalBar();
    ASSERT_FALSE(h->isHidden());
    const double step = ctrl_->chart.xStep;
    ASSERT_GT(step, 0);
    EXPECT_EQ(h->pageStep(), static_cast<int>(std::ceil(2 / step)));
    EXPECT_EQ(h->maximum(), static_cast<int>(std::ceil(8 / step)));

    const QRect groove = fixtures::ScrollBarPart(*h, QStyle::SC_ScrollBarGroove);
    const QRect thumb = fixtures::ScrollBarPart(*h, QStyle::SC_ScrollBarSlider);
    EXPECT_NEAR(static_cast<double>(thumb.width()) / groove.width(), 0.2, 0.05);
    const QRect track = fixtures::ScrollBarPart(*h, QStyle::SC_ScrollBarAddPage);
    ASSERT_FALSE(track.isEmpty());
    QTest::mouseClick(h, Qt::LeftButton, {}, track.center());
    EXPECT_EQ(parent_.codes, std::vector<int>{kHorzScrolledNotification});
    EXPECT_DOUBLE_EQ(ctrl_->chart.fixXMin, 2);
    EXPECT_DOUBLE_EQ(ctrl_->chart.fixXMax, 4);
    EXPECT_TRUE(ctrl_->History().empty());
}

TEST_F(AutoCtrlTest, PaintDrawsAgainOnceInfiniteDataAreMended) {
    ys_[1] = std::numeric_limits<float>::infinity();  // as a level without internal standard gives
    Paint();
    EXPECT_EQ(ctrl_->chart.yStep, 0);
    ys_[1] = 10;
    Paint();
    EXPECT_GT(ctrl_->chart.yStep, 0);
    const QImage screen = Screen();
    const QPoint middle = ctrl_->pos() + PixelOf(5, 5);
    int dark = 0;
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) dark += qGray(screen.pixel(middle + QPoint(dx, dy))) < 64 ? 1 : 0;
    EXPECT_GT(dark, 0);
}

TEST_F(AutoCtrlTest, LogarithmicAxisZoomsInDataValuesAndKeepsViewsInFrameUnits) {
    xs_ = {1, 1000};
    ctrl_->chart.SetFlags(kLogX);
    ctrl_->chart.GetSeries(0).SetData(xs_.data(), ys_.data(), 2);
    Paint();
    EXPECT_DOUBLE_EQ(ctrl_->chart.xMax, 3);
    ASSERT_TRUE(ctrl_->ZoomIn(10, 2, 100000, 8));  // clipped to the view's end, 1000
    EXPECT_DOUBLE_EQ(ctrl_->chart.fixXMin, 1);
    EXPECT_DOUBLE_EQ(ctrl_->chart.fixXMax, 3);
    Paint();
    ctrl_->Unzoom();
    EXPECT_DOUBLE_EQ(ctrl_->chart.fixXMin, 0);
    EXPECT_DOUBLE_EQ(ctrl_->chart.fixXMax, 3);
    ctrl_->SetFullXRange(10, 100);
    EXPECT_DOUBLE_EQ(ctrl_->FullRange().xMax, 2);
}

TEST(AutoCtrlPlacement, ReplaceControlTakesThePlaceSizeAndIdOfThePlaceholder) {
    QWidget dialog;
    auto* frame = new QWidget(&dialog);
    frame->setGeometry(12, 34, 200, 100);
    platform::gui::SetControlId(frame, 5030);
    const QPointer<QWidget> placeholder(frame);
    auto* ctrl = new CAutoCtrl;
    ctrl->ReplaceControl(frame);
    EXPECT_TRUE(placeholder.isNull());
    EXPECT_EQ(ctrl->parentWidget(), &dialog);
    EXPECT_EQ(ctrl->geometry(), QRect(12, 34, 200, 100));
    EXPECT_EQ(platform::gui::ControlId(ctrl), 5030);
    EXPECT_FALSE(ctrl->isHidden());
}

}  // namespace
