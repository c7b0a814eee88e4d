#pragma once

#include "chart/ChromatogramPlot.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>

class CAutoCtrl;
class QLabel;
class QStackedLayout;

// The chromatogram of one file in a chart control (chart/ChromatogramPlot.h): a left-button
// drag zooms into the rectangle dragged, a right click goes back to the view before, scroll
// bars move a zoomed view. Files are read in the background, one at a time: of the files asked
// for while a read runs, only the last one is read next, and only the file asked for last is
// ever shown. A file that cannot be read shows "Ошибка чтения" and why (core/ReadFailureMessage.h:
// "файл не найден", "файл повреждён"…), never the picture before it; one being read shows "чтение…".
//
// Threads: the reading thread hands its result back through a lock and the signal
// readFinished. The preview never waits for a read on the window's thread: going away, it waits
// a moment for a read in flight, and leaves one that hangs (a share that stopped answering) to
// end on its own; its result is then dropped.
class CChromatogramPreview : public QWidget {
    Q_OBJECT

public:
    enum class State {
        Empty,       // nothing asked for
        Reading,     // the file asked for is being read ("чтение…" is shown meanwhile)
        Shown,       // its chromatogram is shown
        Unreadable,  // "Ошибка чтения" and the reason
    };

    explicit CChromatogramPreview(QWidget* parent = nullptr);
    // Waits at most kLongestWaitForRead for a read still running.
    ~CChromatogramPreview() override;

    // Shows the chromatogram of the file at `path` once it is read; an empty path shows nothing.
    // Asking for the file already shown or being read changes nothing.
    void ShowFile(const std::string& path);
    // Shows a chromatogram read elsewhere, under `path`.
    void ShowChromatogram(std::shared_ptr<const chromatogram::ChromatogramFile> file, const std::string& path);
    void ShowNothing();
    // Shows "Ошибка чтения" and the reason `why` (none: no reason line) for a file found
    // unreadable elsewhere.
    void ShowUnreadable(const std::string& path,
                        chromatogram::ReadFailure::Kind why = chromatogram::ReadFailure::Kind::None);

    State CurrentState() const { return state_; }
    // Why the file shown as unreadable could not be read; None otherwise.
    chromatogram::ReadFailure::Kind FailureKind() const { return failure_; }
    // The file asked for last.
    const std::string& Path() const { return path_; }
    // The text shown instead of the chart: "Ошибка чтения", a line break and the reason, or empty.
    QString Message() const;
    CAutoCtrl* Chart() const { return chart_; }
    const ChromatogramPlot& Plot() const { return plot_; }

    static constexpr const char* kReadErrorText = QT_TRANSLATE_NOOP("CChromatogramPreview", "Ошибка чтения");
    static constexpr const char* kReadingText = QT_TRANSLATE_NOOP("CChromatogramPreview", "чтение…");

signals:
    // The file asked for last has been read and its chromatogram (or the read error) is shown.
    void shown();
    // Internal: emitted by the reading thread once its result is stored. It carries nothing;
    // the window's thread takes the result under the lock.
    void readFinished();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void StartRead();
    void TakeRead();
    void ShowMessage(const QString& text);

    CAutoCtrl* chart_;
    QLabel* message_;
    QStackedLayout* pages_;
    ChromatogramPlot plot_;
    State state_ = State::Empty;
    std::string path_;
    std::uint64_t generation_ = 0;  // counts the files asked for
    bool reading_ = false;
    chromatogram::ReadFailure::Kind failure_ = chromatogram::ReadFailure::Kind::None;
    struct Reads;
    std::shared_ptr<Reads> reads_;  // shared with the reading thread, which may outlive the preview
};
