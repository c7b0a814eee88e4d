#include "app/ChromatogramWindow.h"

#include "chart/ChromatogramPlot.h"
#include "core/NumberText.h"
#include "selection/ChromatogramPreview.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <memory>

namespace {

constexpr int kChartWidth = 900;
constexpr int kChartHeight = 480;
constexpr int kListHeight = 90;

QString Number(double value) { return QString::fromStdString(core::SignificantText(value, 6)); }

}  // namespace

CChromatogramWindow::CChromatogramWindow(QWidget* parent, const core::CalibrationLevel& level)
    : QWidget(parent, Qt::Window), preview_(new CChromatogramPreview(this)), peaks_(new QTreeWidget(this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Хроматограмма уровня %1: %2 (%3)")
                       .arg(Number(level.fraction), QString::fromStdString(level.sampleName),
                            QFileInfo(QString::fromStdString(level.path)).fileName()));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(preview_, 1);
    layout->addWidget(peaks_);
    preview_->setMinimumSize(kChartWidth / 2, kChartHeight / 2);
    peaks_->setRootIsDecorated(false);
    peaks_->setHeaderLabels({tr("Компонент"), tr("Начало"), tr("Конец"), tr("Время удерживания"), tr("Площадь")});
    peaks_->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    peaks_->setFixedHeight(kListHeight);
    resize(kChartWidth, kChartHeight + kListHeight);

    auto file = std::make_shared<chromatogram::ChromatogramFile>();
    if (file->Read(level.path)) {
        preview_->ShowChromatogram(std::move(file), level.path);
        ListTakenPeaks();
    } else {
        preview_->ShowUnreadable(level.path);
    }
}

// The calibration takes the area of the last peak of each name, so a name that occurs twice
// lists the later peak.
void CChromatogramWindow::ListTakenPeaks() {
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
