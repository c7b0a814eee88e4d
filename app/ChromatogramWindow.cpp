#include "app/ChromatogramWindow.h"

#include "app/ChromatogramExport.h"
#include "app/Translated.h"
#include "chart/ChromatogramPlot.h"
#include "core/NumberText.h"
#include "core/ReadFailureMessage.h"
#include "selection/ChromatogramPreview.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>


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
      export_(new QPushButton(tr("Экспорт…"), this)),
      close_(new QPushButton(tr("Закрыть"), this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(preview_, 1);
    layout->addWidget(peaks_);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(export_, QDialogButtonBox::ActionRole);
    buttons->addButton(close_, QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(export_, &QPushButton::clicked, this, &CChromatogramWindow::ExportChromatogram);
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
    connect(preview_, &CChromatogramPreview::shown, this, &CChromatogramWindow::TakeShownFile);
    ShowLevel(level);
}

// Read on the preview's thread: the window shows at once, "чтение…" until the file answers.
void CChromatogramWindow::ShowLevel(const core::CalibrationLevel& level) {
    peaks_->clear();
    file_ = nullptr;
    export_->setEnabled(false);
    fraction_ = level.fraction;
    fileName_ = QFileInfo(QString::fromStdString(level.path)).fileName();
    setWindowTitle(tr("Хроматограмма уровня %1: %2 (%3)")
                       .arg(Number(fraction_), QString::fromStdString(level.sampleName), fileName_));
    preview_->ShowFile(level.path);
}

void CChromatogramWindow::TakeShownFile() {
    peaks_->clear();
    file_ = nullptr;
    if (preview_->CurrentState() == CChromatogramPreview::State::Shown) {
        file_ = preview_->Plot().SharedFile();
        setWindowTitle(tr("Хроматограмма уровня %1: %2 (%3)")
                           .arg(Number(fraction_), QString::fromStdString(file_->passport.sampleName), fileName_));
        ListTakenPeaks();
    } else if (preview_->CurrentState() == CChromatogramPreview::State::Unreadable) {
        setWindowTitle(tr("Хроматограмма уровня %1: %2 — ошибка чтения: %3")
                           .arg(Number(fraction_), fileName_,
                                Translated(core::ReadFailureMessage(preview_->FailureKind()))));
    }
    export_->setEnabled(file_ != nullptr);
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
