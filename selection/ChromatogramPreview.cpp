#include "selection/ChromatogramPreview.h"

#include "chart/AutoCtrl.h"
#include "core/ReadFailureMessage.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QStackedLayout>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

// The preview only looks at a file: it shares it with other readers (the dialog reads the
// focused file's passport at the same moment, and the folder scan may still be at it) and keeps
// writers out. A file held alone elsewhere (a calibration reading it, the data system finishing
// a run) fails to open; such a failure is tried again a little later before the file is called
// unreadable.
constexpr int kReadAttempts = 3;
constexpr std::chrono::milliseconds kRetryDelay{30};

// The chromatogram, or null and why in `failure`.
std::shared_ptr<const chromatogram::ChromatogramFile> ReadChromatogram(const std::string& path,
                                                                        chromatogram::ReadFailure& failure) {
    auto file = std::make_shared<chromatogram::ChromatogramFile>();
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(kRetryDelay);
        if (file->Read(path, &failure, platform::CompoundSharing::DenyWrite)) return file;
    }
    return nullptr;
}

// How long going away waits for a read in flight: a live file system answers in far less.
constexpr std::chrono::milliseconds kLongestWaitForRead{200};

QString ReasonText(chromatogram::ReadFailure::Kind why) {
    return QString::fromStdString(core::RenderMessage(
        core::ReadFailureMessage(why),
        [](const char* context, const char* text) { return QCoreApplication::translate(context, text).toStdString(); }));
}

}  // namespace

// What the preview shares with its reading thread.
struct CChromatogramPreview::Reads {
    std::mutex mutex;  // guards what follows
    std::condition_variable ended;
    CChromatogramPreview* owner = nullptr;  // null once the preview is gone
    bool running = false;
    std::shared_ptr<const chromatogram::ChromatogramFile> file;
    chromatogram::ReadFailure::Kind failure = chromatogram::ReadFailure::Kind::None;
    std::uint64_t generation = 0;
};

CChromatogramPreview::CChromatogramPreview(QWidget* parent)
    : QWidget(parent), chart_(new CAutoCtrl(this)), message_(new QLabel(this)), pages_(new QStackedLayout(this)),
      reads_(std::make_shared<Reads>()) {
    reads_->owner = this;
    ChromatogramPlot::Configure(chart_->chart);
    message_->setAlignment(Qt::AlignCenter);
    message_->setAutoFillBackground(true);
    QPalette palette = message_->palette();
    palette.setColor(QPalette::Window, Qt::white);
    message_->setPalette(palette);
    pages_->setContentsMargins(0, 0, 0, 0);
    pages_->addWidget(chart_);
    pages_->addWidget(message_);
    connect(this, &CChromatogramPreview::readFinished, this, &CChromatogramPreview::TakeRead, Qt::QueuedConnection);
    ShowMessage({});
}

CChromatogramPreview::~CChromatogramPreview() {
    std::unique_lock lock(reads_->mutex);
    reads_->owner = nullptr;
    reads_->ended.wait_for(lock, kLongestWaitForRead, [this] { return !reads_->running; });
}

QString CChromatogramPreview::Message() const {
    return pages_->currentWidget() == message_ ? message_->text() : QString();
}

void CChromatogramPreview::ShowMessage(const QString& text) {
    plot_.Clear(chart_->chart);
    chart_->ClearHistory();
    message_->setText(text);
    pages_->setCurrentWidget(message_);
}

void CChromatogramPreview::ShowNothing() {
    ++generation_;
    path_.clear();
    state_ = State::Empty;
    ShowMessage({});
}

void CChromatogramPreview::ShowFile(const std::string& path) {
    if (path.empty()) {
        ShowNothing();
        return;
    }
    if (path == path_ && state_ != State::Empty) return;
    ++generation_;
    path_ = path;
    state_ = State::Reading;
    ShowMessage(tr(kReadingText));
    if (!reading_) StartRead();
}

// The result goes back through a lock of ours and a signal without arguments: the hand-off
// inside Qt's event queue is invisible to the thread checker, a lock of ours is not.
void CChromatogramPreview::StartRead() {
    reading_ = true;
    {
        std::lock_guard lock(reads_->mutex);
        reads_->running = true;
    }
    const auto read = [reads = reads_, path = path_, generation = generation_] {
        std::shared_ptr<const chromatogram::ChromatogramFile> file;
        chromatogram::ReadFailure failure;
        try {
            file = ReadChromatogram(path, failure);
        } catch (const std::exception&) {
            file = nullptr;  // out of memory on a huge file: unreadable here
            failure.kind = chromatogram::ReadFailure::Kind::Damaged;
        }
        std::lock_guard lock(reads->mutex);
        reads->file = std::move(file);
        reads->failure = failure.kind;
        reads->generation = generation;
        reads->running = false;
        reads->ended.notify_all();
        if (reads->owner) emit reads->owner->readFinished();
    };
    try {
        std::thread(read).detach();
    } catch (const std::system_error&) {
        read();  // no thread to be had: read here rather than never
    }
}

// A result for a file asked for before the last one is dropped, and the last one is read now.
void CChromatogramPreview::TakeRead() {
    std::shared_ptr<const chromatogram::ChromatogramFile> file;
    chromatogram::ReadFailure::Kind failure = chromatogram::ReadFailure::Kind::None;
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(reads_->mutex);
        file = std::move(reads_->file);
        failure = reads_->failure;
        generation = reads_->generation;
    }
    reading_ = false;
    if (generation != generation_) {
        if (state_ == State::Reading) StartRead();
        return;
    }
    if (!file) {
        ShowUnreadable(path_, failure);
        return;
    }
    ShowChromatogram(std::move(file), path_);
}

void CChromatogramPreview::ShowUnreadable(const std::string& path, chromatogram::ReadFailure::Kind why) {
    if (path != path_) ++generation_;
    path_ = path;
    state_ = State::Unreadable;
    failure_ = why;
    const QString reason = ReasonText(why);
    ShowMessage(reason.isEmpty() ? tr(kReadErrorText) : tr(kReadErrorText) + '\n' + reason);
    emit shown();
}

void CChromatogramPreview::ShowChromatogram(std::shared_ptr<const chromatogram::ChromatogramFile> file,
                                            const std::string& path) {
    if (!file) {
        ShowNothing();
        return;
    }
    if (path != path_) ++generation_;  // a read still running for another file is stale now
    path_ = path;
    state_ = State::Shown;
    plot_.Show(chart_->chart, std::move(file));
    const ChartView full = plot_.FullView();
    chart_->SetFullXRange(full.xMin, full.xMax);
    chart_->SetFullYRange(full.yMin, full.yMax);
    chart_->ClearHistory();
    pages_->setCurrentWidget(chart_);
    chart_->update();
    emit shown();
}

// The chart control passes on the clicks it does not use: the right button goes back to the
// view before the last zoom or scroll, or to the whole chromatogram.
void CChromatogramPreview::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::RightButton || state_ != State::Shown) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    if (chart_->History().empty()) {
        chart_->ShowAllX();
        chart_->ShowAllY();
    } else {
        chart_->Unzoom();
    }
    chart_->update();
}
