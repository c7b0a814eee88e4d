#pragma once

#include "core/CalcItem.h"

#include "chromatogram/ChmFile.h"

#include <QString>
#include <QWidget>

#include <memory>
#include <string>

class CChromatogramPreview;
class QPushButton;
class QTreeWidget;

// The chromatogram of one calibration level in a window of its own: the chart (signal, peak
// windows and baselines, the areas of "этанол" and "изопропанол" filled) and under it the
// peaks the calibration took from the file, with their windows, retention times and areas.
// The calibration takes the last peak of each name in the table, so those are the ones listed.
// "Экспорт…" writes the chromatogram shown for other programs (app/ChromatogramExport.h); it is
// off while the file is unreadable and while an export is being written.
// The window belongs to `parent` (it closes with it) and deletes itself when closed; Esc and
// its "Закрыть" button close it.
class CChromatogramWindow : public QWidget {
    Q_OBJECT

public:
    // Shows at once and reads the level's file in the background ("чтение…" meanwhile; ShowLevel).
    CChromatogramWindow(QWidget* parent, const core::CalibrationLevel& level);

    // Shows the level's file afresh: its chromatogram and peaks, titled with the level, the
    // sample and the file name; a file that cannot be read shows "Ошибка чтения" and why, and
    // the title names the file and the reason.
    void ShowLevel(const core::CalibrationLevel& level);

    CChromatogramPreview* Preview() const { return preview_; }
    QTreeWidget* PeakList() const { return peaks_; }
    QPushButton* ExportButton() const { return export_; }
    QPushButton* CloseButton() const { return close_; }

private:
    void ListTakenPeaks();
    void TakeShownFile();
    void ExportChromatogram();

    CChromatogramPreview* preview_;
    QTreeWidget* peaks_;
    QPushButton* export_;
    QPushButton* close_;
    std::shared_ptr<const chromatogram::ChromatogramFile> file_;  // the file shown; null when unreadable
    double fraction_ = 0;  // the level shown, for the title
    QString fileName_;     // its file's name, for the title
};
