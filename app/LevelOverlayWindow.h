#pragma once

#include "chart/LevelOverlayPlot.h"
#include "core/Calc.h"

#include <QWidget>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class CAutoCtrl;
class QPushButton;

// "Хроматограммы уровней": the chromatograms of the five calibration levels in one chart
// (chart/LevelOverlayPlot.h), with a legend naming each level and its sample, or why it has no
// chromatogram. A left-button drag zooms into the rectangle dragged, a right click goes back to
// the view before, scroll bars move a zoomed view (the chart control's own mechanisms);
// "Этанол и изопропанол" (F5) zooms onto the two components' windows, "Весь график" (Home)
// shows everything again.
//
// The files are read on a thread of their own, never on the window's: of the levels handed
// over while a read runs, only the last are read next, and only those are ever shown. The
// window belongs to `parent` (it closes with it) and deletes itself when closed; closing waits
// for a read still running.
class CLevelOverlayWindow : public QWidget {
    Q_OBJECT

public:
    explicit CLevelOverlayWindow(QWidget* parent);
    ~CLevelOverlayWindow() override;

    // The levels to show: their fractions and paths. Handing over the levels shown already (the
    // same paths) reads nothing again.
    void ShowLevels(const core::CalibrationTable& table);

    CAutoCtrl* Chart() const { return chart_; }
    const LevelOverlayPlot& Plot() const { return plot_; }
    // Whether the levels last handed over are shown (no read is running or waiting).
    bool Current() const { return !reading_ && !pending_; }

    void ZoomOnComponents();
    void ShowWhole();

signals:
    // The levels handed over last have been read and are shown.
    void shown();
    // Internal: emitted by the reading thread once its result is stored.
    void readFinished();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct Request {
        std::vector<double> fractions;
        std::vector<std::string> paths;
        friend bool operator==(const Request&, const Request&) = default;
    };

    void StartRead(Request request);
    void TakeRead();

    CAutoCtrl* chart_;
    QWidget* legend_;
    LevelOverlayPlot plot_;
    std::optional<Request> shownRequest_;  // what the chart shows, or is being read for it
    std::optional<Request> pending_;       // handed over while a read ran
    bool reading_ = false;
    std::thread reader_;
    std::mutex readMutex_;  // guards readResult_, written by the reading thread
    std::vector<OverlayLevel> readResult_;
};
