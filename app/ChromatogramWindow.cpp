#include "app/ChromatogramWindow.h"

#include "app/Translated.h"
#include "chart/ChromatogramPlot.h"
#include "core/NumberText.h"
#include "core/ReadFailureMessage.h"
#include "selection/ChromatogramPreview.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <memory>

namespace {

constexpr int kChartWidth = 900;
constexpr int kChartHeight = 480;
constexpr int kListHeight = 90;

QString Number(double value) { return QString::fromStdString(core::SignificantText(value, 6)); }

}  // namespace

// A window of its own with the frame's usual buttons, close among them, whatever the window
// manager makes of a window that has an owner.
CChromatogramWindow::CChromatogramWindow(QWidget* parent, const core::CalibrationLevel& level)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                          Qt::WindowCloseButtonHint),
      preview_(new CChromatogramPreview(this)),
      peaks_(new QTreeWidget(this)),
      close_(new QPushButton(tr("Закрыть"), this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(preview_, 1);
    layout->addWidget(peaks_);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(close_, QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(close_, &QPushButton::clicked, this, &QWidget::close);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
    preview_->setMinimumSize(kChartWidth / 2, kChartHeight / 2);
    peaks_->setRootIsDecorated(false);
    peaks_->setHeaderLabels({tr("Компонент"), tr("Начало"), tr("Конец"), tr("Время удерживания"), tr("Площадь")});
    peaks_->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Each column as wide as its header or its widest figure, in either language.
    peaks_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    peaks_->setFixedHeight(kListHeight);
    resize(kChartWidth, kChartHeight + kListHeight);
    ShowLevel(level);
}

void CChromatogramWindow::ShowLevel(const core::CalibrationLevel& level) {
    peaks_->clear();
    const QString fileName = QFileInfo(QString::fromStdString(level.path)).fileName();
    auto file = std::make_shared<chromatogram::ChromatogramFile>();
    chromatogram::ReadFailure failure;
    if (file->Read(level.path, &failure)) {
        setWindowTitle(tr("Хроматограмма уровня %1: %2 (%3)")
                           .arg(Number(level.fraction), QString::fromStdString(file->passport.sampleName), fileName));
        preview_->ShowChromatogram(std::move(file), level.path);
        ListTakenPeaks();
    } else {
        setWindowTitle(tr("Хроматограмма уровня %1: %2 — ошибка чтения: %3")
                           .arg(Number(level.fraction), fileName, Translated(core::ReadFailureMessage(failure.kind))));
        preview_->ShowUnreadable(level.path, failure.kind);
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
