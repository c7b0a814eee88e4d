#include "app/ChromatogramWindow.h"

#include "app/ChromatogramExport.h"
#include "chart/ChromatogramPlot.h"
#include "core/NumberText.h"
#include "selection/ChromatogramPreview.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>


namespace {

constexpr int kChartWidth = 900;
constexpr int kChartHeight = 480;
constexpr int kListHeight = 90;

QString Number(double value) { return QString::fromStdString(core::SignificantText(value, 6)); }

}  // namespace

CChromatogramWindow::CChromatogramWindow(QWidget* parent, const core::CalibrationLevel& level)
    : QWidget(parent, Qt::Window),
      preview_(new CChromatogramPreview(this)),
      peaks_(new QTreeWidget(this)),
      export_(new QPushButton(tr("Экспорт…"), this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Хроматограмма уровня %1: %2 (%3)")
                       .arg(Number(level.fraction), QString::fromStdString(level.sampleName),
                            QFileInfo(QString::fromStdString(level.path)).fileName()));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(preview_, 1);
    layout->addWidget(peaks_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(export_);
    layout->addLayout(buttons);
    connect(export_, &QPushButton::clicked, this, &CChromatogramWindow::ExportChromatogram);
    preview_->setMinimumSize(kChartWidth / 2, kChartHeight / 2);
    peaks_->setRootIsDecorated(false);
    peaks_->setHeaderLabels({tr("Компонент"), tr("Начало"), tr("Конец"), tr("Время удерживания"), tr("Площадь")});
    peaks_->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    peaks_->setFixedHeight(kListHeight);
    resize(kChartWidth, kChartHeight + kListHeight);

    // Read on the preview's thread: the window shows at once, "чтение…" until the file answers.
    connect(preview_, &CChromatogramPreview::shown, this, [this] {
        file_ = preview_->CurrentState() == CChromatogramPreview::State::Shown ? preview_->Plot().SharedFile() : nullptr;
        if (file_) ListTakenPeaks();
        export_->setEnabled(file_ != nullptr);
    });
    export_->setEnabled(false);
    preview_->ShowFile(level.path);
}

// The file is written on a worker; the button stays off until it is done.
void CChromatogramWindow::ExportChromatogram() {
    if (!file_) return;
    export_->setEnabled(false);
    const bool started = OfferChromatogramExport(this, file_, [this](const std::optional<std::string>&) {
        export_->setEnabled(file_ != nullptr);
    });
    if (!started) export_->setEnabled(true);
}

// The calibration takes the area of the last peak of each name, so a name that occurs twice
// lists the later peak.
void CChromatogramWindow::ListTakenPeaks() {
    peaks_->clear();
    const chromatogram::ChromatogramFile* file = preview_->Plot().File();
    const chromatogram::Peak* taken[2] = {nullptr, nullptr};
    for (const chromatogram::Peak& peak : file->peaks) {
        if (!IsCalibrationComponent(peak.name)) continue;
        taken[IsStandardComponent(peak.name) ? 1 : 0] = &peak;  // ethanol first, the standard second
    }
    for (const chromatogram::Peak* peak : taken) {
        if (peak == nullptr) continue;
        new QTreeWidgetItem(peaks_, {QString::fromStdString(peak->name), Number(peak->startTime), Number(peak->endTime),
                                     Number(peak->retentionTime), Number(peak->area)});
    }
}
