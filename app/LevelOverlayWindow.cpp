#include "app/LevelOverlayWindow.h"

#include "chart/AutoCtrl.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include <utility>

namespace {

constexpr int kChartWidth = 900;
constexpr int kChartHeight = 480;

// The legend under the chart, drawn as the overlay's picture draws it.
class LegendStrip : public QWidget {
public:
    explicit LegendStrip(QWidget* parent) : QWidget(parent) {
        setAutoFillBackground(false);
        Show({});
    }

    void Show(std::vector<OverlayLegendEntry> entries) {
        entries_ = std::move(entries);
        setFixedHeight(LevelOverlayPlot::LegendHeight(LevelOverlayPlot::kMaxLevels));
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        platform::Surface surface(*this);
        surface.FillRect({0, 0, width(), height()}, {255, 255, 255});
        LevelOverlayPlot::DrawLegend(surface, {0, 0, width(), height()}, entries_);
    }

private:
    std::vector<OverlayLegendEntry> entries_;
};

}  // namespace

CLevelOverlayWindow::CLevelOverlayWindow(QWidget* parent) : QWidget(parent, Qt::Window), chart_(new CAutoCtrl(this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Хроматограммы уровней"));
    LevelOverlayPlot::Configure(chart_->chart);
    auto* legend = new LegendStrip(this);
    legend_ = legend;
    auto* components = new QPushButton(tr("Этанол и изопропанол"), this);
    auto* whole = new QPushButton(tr("Весь график"), this);
    components->setToolTip(tr("Увеличить область пиков этанола и изопропанола (F5)"));
    whole->setToolTip(tr("Показать хроматограммы целиком (Home)"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(components);
    buttons->addWidget(whole);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(chart_, 1);
    layout->addWidget(legend_);
    layout->addLayout(buttons);
    chart_->setMinimumSize(kChartWidth / 2, kChartHeight / 2);
    resize(kChartWidth, kChartHeight + legend_->height());

    connect(components, &QPushButton::clicked, this, &CLevelOverlayWindow::ZoomOnComponents);
    connect(whole, &QPushButton::clicked, this, &CLevelOverlayWindow::ShowWhole);
    connect(new QShortcut(QKeySequence(Qt::Key_F5), this), &QShortcut::activated, this,
            &CLevelOverlayWindow::ZoomOnComponents);
    connect(new QShortcut(QKeySequence(Qt::Key_Home), this), &QShortcut::activated, this,
            &CLevelOverlayWindow::ShowWhole);
    connect(this, &CLevelOverlayWindow::readFinished, this, &CLevelOverlayWindow::TakeRead, Qt::QueuedConnection);
}

CLevelOverlayWindow::~CLevelOverlayWindow() {
    if (reader_.joinable()) reader_.join();
}

void CLevelOverlayWindow::ShowLevels(const core::CalibrationTable& table) {
    Request request;
    for (int k = 0; k < core::CalibrationTable::kLevelCount; ++k) {
        request.fractions.push_back(table[k].fraction);
        request.paths.push_back(table[k].path);
    }
    if (reading_) {
        pending_ = request == shownRequest_ ? std::nullopt : std::optional(std::move(request));
        return;
    }
    if (request == shownRequest_) return;
    StartRead(std::move(request));
}

void CLevelOverlayWindow::StartRead(Request request) {
    if (reader_.joinable()) reader_.join();  // finished: its result was taken
    reading_ = true;
    shownRequest_ = request;
    reader_ = std::thread([this, request = std::move(request)] {
        std::vector<OverlayLevel> levels;
        for (std::size_t k = 0; k < request.paths.size(); ++k)
            levels.push_back(ReadOverlayLevel(request.fractions[k], request.paths[k]));
        {
            const std::lock_guard<std::mutex> hold(readMutex_);
            readResult_ = std::move(levels);
        }
        emit readFinished();
    });
}

void CLevelOverlayWindow::TakeRead() {
    reader_.join();
    reading_ = false;
    std::vector<OverlayLevel> levels;
    {
        const std::lock_guard<std::mutex> hold(readMutex_);
        levels = std::move(readResult_);
    }
    if (pending_) {  // what was read is stale already
        Request next = std::move(*pending_);
        pending_.reset();
        StartRead(std::move(next));
        return;
    }
    plot_.Show(chart_->chart, std::move(levels));
    static_cast<LegendStrip*>(legend_)->Show(plot_.Legend());
    ShowWhole();
    emit shown();
}

void CLevelOverlayWindow::ShowWhole() {
    const ChartView full = plot_.FullView();
    chart_->SetFullXRange(full.xMin, full.xMax);
    chart_->SetFullYRange(full.yMin, full.yMax);
    chart_->ClearHistory();
    chart_->ZoomTo(full.xMin, full.yMin, full.xMax, full.yMax);
    chart_->update();
}

// From any view, zoomed or not; a right click goes back to the view it leaves.
void CLevelOverlayWindow::ZoomOnComponents() {
    const ChartView view = plot_.ComponentView();
    chart_->RememberView();
    chart_->ZoomTo(view.xMin, view.yMin, view.xMax, view.yMax);
    chart_->update();
}

// The chart control passes on the clicks it does not use: the right button goes back to the
// view before the last zoom or scroll, or to the whole chart.
void CLevelOverlayWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::RightButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    if (chart_->History().empty())
        ShowWhole();
    else
        chart_->Unzoom();
    chart_->update();
}
