#pragma once

#include "chart/AutoChart.h"

#include <QEvent>
#include <QImage>
#include <QWidget>

#include <mutex>
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
// ranges, keeps a history of views, and tells its parent about zooming and scrolling. Mouse
// messages it does not use are posted on to the parent, positions in the control's coordinates.
class CAutoCtrl : public QWidget {
    Q_OBJECT

public:
    CAutoChart chart;  // owners configure the chart here
    std::vector<ViewRange> history;  // newest last
    double fullXMin = 0, fullXMax = 0, fullYMin = 0, fullYMax = 0;  // limits of scrolling
    bool zoomEnabled = true;
    bool hScrollEnabled = true;
    bool vScrollEnabled = true;
    bool autoFullX = true;
    bool autoFullY = true;
    bool dragging = false;
    platform::Point dragStart;  // client pixels
    platform::Point dragEnd;
    std::mutex lock;  // held while painting

    explicit CAutoCtrl(QWidget* parent = nullptr);
    ~CAutoCtrl() override;

    // These take effect at the next mouse press or paint.
    void EnableZoom(bool enable) { zoomEnabled = enable; }
    void EnableHorzScroll(bool enable) { hScrollEnabled = enable; }
    void EnableVertScroll(bool enable) { vScrollEnabled = enable; }

    // min < max fixes the full range (logarithms on a logarithmic axis); anything else lets it
    // follow the data.
    void SetFullXRange(double min, double max);
    void SetFullYRange(double min, double max);

    // Shows the rectangle (x1, y1)-(x2, y2), in data values, clipped to the current view;
    // records the view it leaves, even when the zoom is refused for being too narrow.
    bool ZoomIn(double x1, double y1, double x2, double y2);
    // The same clipped to the full ranges, without history entry or notification.
    bool ZoomTo(double x1, double y1, double x2, double y2);
    // Back to the newest view of the history.
    void Unzoom();
    void ShowAllX();
    void ShowAllY();

    // Takes the place, size and id of a placeholder widget, which is destroyed.
    virtual void ReplaceControl(QWidget* placeholder);

    // The scroll requests of the two bars; owners may scroll by program with them too.
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
