#include "chart/AutoCtrl.h"

#include "platform/gui/DialogTemplate.h"

#include <QCoreApplication>
#include <QLayout>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace {

constexpr int kMinBandExtent = 2;           // a rubber band must be wider and taller than this
constexpr double kZoomLimit = 100000;       // a view is wider than 1/kZoomLimit of its larger end

// ceil(v) as a scroll-bar unit count, or false when it has none (not finite or beyond int).
bool ScrollUnits(double v, int& units) {
    const double c = std::ceil(v);
    if (!std::isfinite(c) || c > INT_MAX || c < INT_MIN) return false;
    units = static_cast<int>(c);
    return true;
}

double DataValue(double frameValue, bool log) { return log ? std::pow(10.0, frameValue) : frameValue; }

bool WideEnough(double a, double b) {
    return std::fabs(b - a) * kZoomLimit > std::max(std::fabs(a), std::fabs(b));
}

}  // namespace

QEvent::Type ChartNotifyEvent::EventType() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

ChartNotifyEvent::ChartNotifyEvent(CAutoCtrl* c, int i, int n) : QEvent(EventType()), control(c), id(i), code(n) {}

CAutoCtrl::CAutoCtrl(QWidget* parent)
    : QWidget(parent), hBar_(new QScrollBar(Qt::Horizontal, this)), vBar_(new QScrollBar(Qt::Vertical, this)) {
    // The whole client area is painted every time: nothing to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    // Every mouse move counts (the rubber band's end without a button, moves for the parent).
    setMouseTracking(true);
    for (QScrollBar* bar : {hBar_, vBar_}) {
        bar->hide();
        bar->setPageStep(1);
        bar->installEventFilter(this);
        connect(bar, &QAbstractSlider::actionTriggered, this, [this, bar](int action) { OnScrollAction(bar, action); });
    }
}

CAutoCtrl::~CAutoCtrl() = default;

QRect CAutoCtrl::ClientRect() const {
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return QRect(0, 0, std::max(0, width() - (vBarShown_ ? extent : 0)), std::max(0, height() - (hBarShown_ ? extent : 0)));
}

ViewRange CAutoCtrl::CurrentView() const { return {chart.xMin, chart.xMax, chart.yMin, chart.yMax}; }

void CAutoCtrl::SetFullXRange(double min, double max) {
    autoFullX_ = !StoreRange(min, max, LogX(), fullXMin_, fullXMax_);
}

void CAutoCtrl::SetFullYRange(double min, double max) {
    autoFullY_ = !StoreRange(min, max, LogY(), fullYMin_, fullYMax_);
}

// Views are kept in frame units; SetXRange takes data values.
void CAutoCtrl::SetViewX(double min, double max) { chart.SetXRange(DataValue(min, LogX()), DataValue(max, LogX())); }
void CAutoCtrl::SetViewY(double min, double max) { chart.SetYRange(DataValue(min, LogY()), DataValue(max, LogY())); }

void CAutoCtrl::RefreshFullRanges() {
    if (chart.autoX || autoFullX_) chart.ComputeXRange(fullXMin_, fullXMax_);
    if (chart.autoY || autoFullY_) chart.ComputeYRange(fullYMin_, fullYMax_);
}

bool CAutoCtrl::ZoomIn(double x1, double y1, double x2, double y2) {
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    x1 = std::max(x1, DataValue(chart.xMin, LogX()));
    x2 = std::min(x2, DataValue(chart.xMax, LogX()));
    y1 = std::max(y1, DataValue(chart.yMin, LogY()));
    y2 = std::min(y2, DataValue(chart.yMax, LogY()));
    history_.push_back(CurrentView());
    return ShowZoomed(x1, y1, x2, y2);
}

bool CAutoCtrl::ZoomTo(double x1, double y1, double x2, double y2) {
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    RefreshFullRanges();
    x1 = std::max(x1, DataValue(fullXMin_, LogX()));
    x2 = std::min(x2, DataValue(fullXMax_, LogX()));
    y1 = std::max(y1, DataValue(fullYMin_, LogY()));
    y2 = std::min(y2, DataValue(fullYMax_, LogY()));
    return ShowZoomed(x1, y1, x2, y2);
}

// A view narrower than a hundred-thousandth of its larger end value is refused.
bool CAutoCtrl::ShowZoomed(double x1, double y1, double x2, double y2) {
    if (!WideEnough(x1, x2) || !WideEnough(y1, y2)) return false;
    chart.SetXRange(x1, x2);
    chart.SetYRange(y1, y2);
    update();
    return true;
}

void CAutoCtrl::Unzoom() {
    if (history_.empty()) return;
    const ViewRange view = history_.back();
    SetViewX(view.xMin, view.xMax);
    SetViewY(view.yMin, view.yMax);
    history_.pop_back();
    if (QWidget* parent = parentWidget())
        parent->update();
    else
        update();
}

void CAutoCtrl::ShowAllX() {
    SetViewX(fullXMin_, fullXMax_);
    chart.autoX = autoFullX_;
    update();
}

void CAutoCtrl::ShowAllY() {
    SetViewY(fullYMin_, fullYMax_);
    chart.autoY = autoFullY_;
    update();
}

void CAutoCtrl::ReplaceControl(QWidget* placeholder) {
    QWidget* parent = placeholder->parentWidget();
    const QRect geometry = placeholder->geometry();
    const int id = platform::gui::ControlId(placeholder);
    setParent(parent);
    setGeometry(geometry);
    platform::gui::SetControlId(this, id);
    if (parent != nullptr && parent->layout() != nullptr) delete parent->layout()->replaceWidget(placeholder, this);
    stackUnder(placeholder);
    delete placeholder;
    show();
}

// A line is one tick step and a page the view's width, within the full range. Scrolling keeps
// no history: the view zoomed from stays the one Unzoom returns to.
void CAutoCtrl::HorizontalScroll(ScrollRequest request, int position) {
    const double x0 = chart.xMin, x1 = chart.xMax, step = chart.xStep, width = x1 - x0;
    bool changed = false;
    double n0 = x0, n1 = x1;
    switch (request) {
        case ScrollRequest::LineBack:
        case ScrollRequest::PageBack:
            n0 = std::max(x0 - (request == ScrollRequest::LineBack ? step : width), fullXMin_);
            changed = n0 != x0;
            n1 = n0 - x0 + x1;
            break;
        case ScrollRequest::LineForward:
        case ScrollRequest::PageForward:
            n1 = std::min(x1 + (request == ScrollRequest::LineForward ? step : width), fullXMax_);
            changed = n1 != x1;
            n0 = n1 - x1 + x0;
            break;
        case ScrollRequest::ThumbTrack:
            n0 = std::min(fullXMin_ + position * step, fullXMax_ - width);
            changed = true;
            n1 = n0 - x0 + x1;
            break;
        default:
            break;
    }
    if (changed) {
        SetViewX(n0, n1);
        update();
        Notify(kHorzScrolledNotification);
    }
}

// The top of the vertical bar is the high end of the y axis.
void CAutoCtrl::VerticalScroll(ScrollRequest request, int position) {
    const double y0 = chart.yMin, y1 = chart.yMax, step = chart.yStep, height = y1 - y0;
    bool changed = false;
    double n0 = y0, n1 = y1;
    switch (request) {
        case ScrollRequest::LineBack:
        case ScrollRequest::PageBack:
            n1 = std::min(y1 + (request == ScrollRequest::LineBack ? step : height), fullYMax_);
            changed = n1 != y1;
            n0 = n1 - y1 + y0;
            break;
        case ScrollRequest::LineForward:
        case ScrollRequest::PageForward:
            n0 = std::max(y0 - (request == ScrollRequest::LineForward ? step : height), fullYMin_);
            changed = n0 != y0;
            n1 = n0 - y0 + y1;
            break;
        case ScrollRequest::ThumbTrack:
            n1 = std::max(fullYMax_ - position * step, fullYMin_ + height);
            changed = true;
            n0 = n1 - y1 + y0;
            break;
        default:
            break;
    }
    if (changed) {
        SetViewY(n0, n1);
        update();
        Notify(kVertScrolledNotification);
    }
}

void CAutoCtrl::OnScrollAction(QScrollBar* bar, int action) {
    ScrollRequest request = ScrollRequest::Other;
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub: request = ScrollRequest::LineBack; break;
        case QAbstractSlider::SliderSingleStepAdd: request = ScrollRequest::LineForward; break;
        case QAbstractSlider::SliderPageStepSub: request = ScrollRequest::PageBack; break;
        case QAbstractSlider::SliderPageStepAdd: request = ScrollRequest::PageForward; break;
        case QAbstractSlider::SliderMove: request = ScrollRequest::ThumbTrack; break;
        default: break;
    }
    if (bar == hBar_)
        HorizontalScroll(request, bar->sliderPosition());
    else
        VerticalScroll(request, bar->sliderPosition());
}

// A scroll bar ends every mouse interaction with a request to end scrolling, after a thumb
// drag preceded by the final thumb position.
bool CAutoCtrl::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == hBar_ || watched == vBar_) && event->type() == QEvent::MouseButtonRelease) {
        QScrollBar* bar = static_cast<QScrollBar*>(watched);
        const auto scroll = [&](ScrollRequest r) {
            if (bar == hBar_)
                HorizontalScroll(r, bar->sliderPosition());
            else
                VerticalScroll(r, bar->sliderPosition());
        };
        if (bar->isSliderDown()) scroll(ScrollRequest::ThumbPosition);
        scroll(ScrollRequest::EndScroll);
    }
    return QWidget::eventFilter(watched, event);
}

void CAutoCtrl::ShowScrollBars(bool horizontal, bool vertical) {
    if (horizontal == hBarShown_ && vertical == vBarShown_) return;
    hBarShown_ = horizontal;
    vBarShown_ = vertical;
    LayoutScrollBars();
    hBar_->setVisible(horizontal);
    vBar_->setVisible(vertical);
}

void CAutoCtrl::LayoutScrollBars() {
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const QRect client = ClientRect();
    hBar_->setGeometry(0, client.height(), client.width(), extent);
    vBar_->setGeometry(client.width(), 0, extent, client.height());
}

void CAutoCtrl::resizeEvent(QResizeEvent* event) {
    LayoutScrollBars();
    QWidget::resizeEvent(event);
}

// A bar moves in tick steps over the part of the full range the view does not cover, and its
// page is the view in tick steps, so that the thumb's share of the track is the view's share of
// the full range. An axis whose last drawing found no tick step has no such units; its bar keeps
// its place.
void CAutoCtrl::UpdateScrollPositions() {
    const double x0 = chart.xMin, x1 = chart.xMax, y0 = chart.yMin, y1 = chart.yMax;
    int n = 0, position = 0, page = 0;
    if (chart.xStep != 0 && ScrollUnits(((fullXMax_ - fullXMin_) - (x1 - x0)) / chart.xStep, n) && n > 0 &&
        ScrollUnits((x0 - fullXMin_) / chart.xStep, position) && ScrollUnits((x1 - x0) / chart.xStep, page)) {
        const QSignalBlocker blocker(hBar_);
        hBar_->setRange(0, n);
        hBar_->setPageStep(std::max(page, 1));
        hBar_->setValue(position);
    }
    if (chart.yStep != 0 && ScrollUnits(((fullYMax_ - fullYMin_) - (y1 - y0)) / chart.yStep, n) && n > 0 &&
        ScrollUnits((fullYMax_ - y1) / chart.yStep, position) && ScrollUnits((y1 - y0) / chart.yStep, page)) {
        const QSignalBlocker blocker(vBar_);
        vBar_->setRange(0, n);
        vBar_->setPageStep(std::max(page, 1));
        vBar_->setValue(position);
    }
}

// Once a drawing has found a tick step of 0 (an axis with an infinite end), the steps are only
// found again by drawing. So the chart is drawn on every paint, and a zero step only keeps that
// axis's scroll bar where it is: the chart comes back as soon as its data allow ticks again.
void CAutoCtrl::paintEvent(QPaintEvent* event) {
    const QRect client = ClientRect();
    const bool bandOnly = !bandDirty_.isNull() && bandDirty_.contains(event->region().boundingRect()) &&
                          CanvasFits(client.size());
    bandDirty_ = QRect();
    if (bandOnly) {
        // The source rectangle is in the canvas's own pixels, the ratio times the logical ones.
        const double ratio = canvas_.devicePixelRatio();
        const QRectF part = event->rect();
        QPainter painter(this);
        painter.drawImage(part, canvas_,
                          QRectF(part.x() * ratio, part.y() * ratio, part.width() * ratio, part.height() * ratio));
        return;
    }

    RefreshFullRanges();
    chart.ComputeRanges();
    const double x0 = chart.xMin, x1 = chart.xMax, y0 = chart.yMin, y1 = chart.yMax;
    ShowScrollBars(hScrollEnabled_ && (x1 < fullXMax_ || x0 > fullXMin_), vScrollEnabled_ && (y1 < fullYMax_ || y0 > fullYMin_));
    UpdateScrollPositions();

    const QRect area = ClientRect();
    if (area.isEmpty()) return;
    // The canvas has the screen's resolution: on a high-density screen (a device pixel ratio of
    // 2, say) the chart is drawn with that many pixels to each of its own, not drawn at 1x and
    // scaled up. The chart itself works in logical pixels either way.
    if (!CanvasFits(area.size())) canvas_ = platform::MakeImage(area.width(), area.height(), devicePixelRatioF());
    {
        platform::Surface surface(canvas_);
        chart.Draw(surface, {0, 0, area.width(), area.height()});
    }
    if (dragging_) DrawRubberBand();

    QPainter painter(this);
    painter.drawImage(0, 0, canvas_);
    if (hBarShown_ && vBarShown_)
        painter.fillRect(QRect(area.right() + 1, area.bottom() + 1, width() - area.width(), height() - area.height()),
                         palette().window());
}

bool CAutoCtrl::CanvasFits(const QSize& area) const {
    return !canvas_.isNull() && canvas_.deviceIndependentSize().toSize() == area &&
           canvas_.devicePixelRatio() == std::max(1.0, devicePixelRatioF());
}

// Inverts the rubber band's outline on the canvas: done twice, the canvas is as it was.
void CAutoCtrl::DrawRubberBand() {
    if (canvas_.isNull()) return;
    platform::Surface surface(canvas_);
    surface.SelectBrush(platform::Brush::Hollow());
    surface.SelectPen({platform::kPenSolid, 0, {0, 0, 0}});
    surface.SetInvert(true);
    surface.Rectangle(dragStart_.x, dragStart_.y, dragEnd_.x, dragEnd_.y);
}

// The rubber band drawn between paints, shown without drawing the chart again.
void CAutoCtrl::InvertRubberBand() {
    DrawRubberBand();
    const QRect band = QRect(QPoint(dragStart_.x, dragStart_.y), QPoint(dragEnd_.x, dragEnd_.y)).normalized();
    bandDirty_ = bandDirty_.united(band);
    update(band);
}

void CAutoCtrl::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton) {
        if (zoomEnabled_ && !dragging_) {
            const QPoint p = event->position().toPoint();
            dragStart_ = dragEnd_ = {p.x(), p.y()};
            dragging_ = true;
        } else {
            PassToParent(event);
        }
    } else if (event->button() == Qt::RightButton) {
        PassToParent(event);
    }
}

void CAutoCtrl::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton) {
        if (dragging_)
            EndRubberBand();
        else
            PassToParent(event);
    } else if (event->button() == Qt::RightButton) {
        PassToParent(event);
    }
}

void CAutoCtrl::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    const QPoint p = event->position().toPoint();
    const platform::Point position{p.x(), p.y()};
    if (dragging_ && position != dragEnd_) {
        InvertRubberBand();
        if (event->buttons() & Qt::LeftButton) {
            dragEnd_ = position;
            InvertRubberBand();
        } else {
            dragging_ = false;
        }
    }
    PassToParent(event);
}

void CAutoCtrl::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }

// A band of two pixels or less either way is a click, not a zoom.
void CAutoCtrl::EndRubberBand() {
    dragging_ = false;
    InvertRubberBand();
    if (std::abs(dragEnd_.x - dragStart_.x) <= kMinBandExtent || std::abs(dragEnd_.y - dragStart_.y) <= kMinBandExtent)
        return;
    if (ZoomIn(chart.PixelToX(dragStart_.x), chart.PixelToY(dragStart_.y), chart.PixelToX(dragEnd_.x),
               chart.PixelToY(dragEnd_.y)))
        Notify(kZoomedNotification);
}

void CAutoCtrl::Notify(int code) {
    if (QWidget* parent = parentWidget()) {
        ChartNotifyEvent event(this, platform::gui::ControlId(this), code);
        QCoreApplication::sendEvent(parent, &event);
    }
    emit notified(code);
}

void CAutoCtrl::PassToParent(const QMouseEvent* event) {
    if (QWidget* parent = parentWidget()) QCoreApplication::postEvent(parent, event->clone());
}
