#pragma once

#include "chart/AutoChart.h"

#include <QEvent>
#include <QImage>
#include <QWidget>

#include <vector>

class QScrollBar;

// Notification codes the chart control sends its parent.
inline constexpr int kZoomedNotification = 1025;
inline constexpr int kHorzScrolledNotification = 1026;
inline constexpr int kVertScrolledNotification = 1027;

class CAutoCtrl;

// The notification a chart control sends (not posts) to its parent widget.
class ChartNotifyEvent : public QEvent {
public:
    static QEvent::Type EventType();
    ChartNotifyEvent(CAutoCtrl* control, int id, int code);

    CAutoCtrl* control;
    int id;
    int code;
};

// A view of the chart in frame units.
struct ViewRange {
    double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
};

// What a scroll bar asks for. "Back" is left or up, "forward" right or down.
enum class ScrollRequest { LineBack, LineForward, PageBack, PageForward, ThumbTrack, ThumbPosition, EndScroll, Other };

// The child window that shows one chart: it paints the chart into its client area, zooms with a
// rubber band dragged with the left button, moves the view with scroll bars within the full
// ranges, keeps a history of the views zoomed from, and tells its parent about zooming and
// scrolling. Mouse messages it does not use are posted on to the parent, positions in the
// control's coordinates. Used from the window's thread only.
class CAutoCtrl : public QWidget {
    Q_OBJECT

public:
    CAutoChart chart;  // owners configure the chart here

    explicit CAutoCtrl(QWidget* parent = nullptr);
    ~CAutoCtrl() override;

    // These take effect at the next mouse press or paint.
    void EnableZoom(bool enable) { zoomEnabled_ = enable; }
    void EnableHorzScroll(bool enable) { hScrollEnabled_ = enable; }
    void EnableVertScroll(bool enable) { vScrollEnabled_ = enable; }

    // The views zoomed from, newest last, in frame units (logarithms on a logarithmic axis).
    // Only zooming adds to it: scrolling moves the view it shows, and Unzoom goes back past all
    // the scrolling to the view before the zoom.
    const std::vector<ViewRange>& History() const { return history_; }
    void ClearHistory() { history_.clear(); }
    // Records the view shown, so that Unzoom comes back to it (for a zoom made by a key or button).
    void RememberView() { history_.push_back({chart.xMin, chart.xMax, chart.yMin, chart.yMax}); }
    // The limits of scrolling, in frame units.
    ViewRange FullRange() const { return {fullXMin_, fullXMax_, fullYMin_, fullYMax_}; }
    // A rubber band is being dragged.
    bool Dragging() const { return dragging_; }

    // min < max fixes the full range (logarithms on a logarithmic axis); anything else lets it
    // follow the data.
    void SetFullXRange(double min, double max);
    void SetFullYRange(double min, double max);

    // Shows the rectangle (x1, y1)-(x2, y2), in data values, clipped to the current view;
    // records the view it leaves, even when the zoom is refused for being too narrow.
    bool ZoomIn(double x1, double y1, double x2, double y2);
    // The same clipped to the full ranges, without history entry or notification.
    bool ZoomTo(double x1, double y1, double x2, double y2);
    // Back to the newest view of the history, which it leaves.
    void Unzoom();
    void ShowAllX();
    void ShowAllY();

    // Takes the place, size and id of a placeholder widget, which is destroyed.
    virtual void ReplaceControl(QWidget* placeholder);

    // The scroll requests of the two bars; owners may scroll by program with them too. A line
    // moves the view by one tick step, a page by the view's own width (or height), a thumb to
    // its position in tick steps; always within the full range.
    void HorizontalScroll(ScrollRequest request, int position = 0);
    void VerticalScroll(ScrollRequest request, int position = 0);

    QScrollBar* HorizontalBar() const { return hBar_; }
    QScrollBar* VerticalBar() const { return vBar_; }
    // The area the chart is drawn into: the widget less the scroll bars shown.
    QRect ClientRect() const;

signals:
    void notified(int code);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ViewRange CurrentView() const;
    bool LogX() const { return (chart.flags & kLogX) != 0; }
    bool LogY() const { return (chart.flags & kLogY) != 0; }
    bool ShowZoomed(double x1, double y1, double x2, double y2);
    void RefreshFullRanges();
    void ShowScrollBars(bool horizontal, bool vertical);
    void LayoutScrollBars();
    void UpdateScrollPositions();
    void SetViewX(double min, double max);
    void SetViewY(double min, double max);
    void DrawRubberBand();
    void InvertRubberBand();
    void EndRubberBand();
    void Notify(int code);
    void PassToParent(const QMouseEvent* event);
    void OnScrollAction(QScrollBar* bar, int action);
    // The canvas has the size of the area and the resolution of the screen the control is on.
    bool CanvasFits(const QSize& area) const;

    std::vector<ViewRange> history_;  // newest last
    double fullXMin_ = 0, fullXMax_ = 0, fullYMin_ = 0, fullYMax_ = 0;  // limits of scrolling
    bool zoomEnabled_ = true;
    bool hScrollEnabled_ = true;
    bool vScrollEnabled_ = true;
    bool autoFullX_ = true;
    bool autoFullY_ = true;
    bool dragging_ = false;
    platform::Point dragStart_;  // client pixels
    platform::Point dragEnd_;

    QScrollBar* hBar_;
    QScrollBar* vBar_;
    bool hBarShown_ = false;
    bool vBarShown_ = false;
    // What the client area shows: the last painted chart with the rubber band inverted into it,
    // at the screen's device pixel ratio.
    QImage canvas_;
    // The part of the canvas changed by rubber-band drawing since the last paint: a paint of
    // only that part copies the canvas instead of drawing the chart again.
    QRect bandDirty_;
};
