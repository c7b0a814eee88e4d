#pragma once

#include "chromatogram/FolderScan.h"
#include "selection/FormDialog.h"

#include <QRect>

#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

class CChromatogramPreview;
class CDirTreeCtrl;
class QComboBox;
class QAbstractButton;
class QLabel;
class QPlainTextEdit;
class QTreeView;
class QTimer;
class QTreeWidgetItem;
class ChrmListModel;

// The part of the screen a window may take: by default the available geometry of the screen of
// `window` (a dialog not shown yet: its parent's). Tests put a function of their own in place of
// the screen; an empty function brings the screen's back. Returns the function it replaces.
using AvailableAreaFunction = std::function<QRect(const QWidget* window)>;
AvailableAreaFunction SetAvailableAreaFunction(AvailableAreaFunction function);

// One scanned chromatogram file.
using ChrmFileEntry = chromatogram::ScannedFile;

// "Открытие хроматограммы": the operator picks chromatogram files ("*.stg") of one folder, chosen
// in a folder tree, from a list showing each file's date, sample and name from its passport,
// narrowed by method, type, sampling site and sampling point. The box below the list shows the
// focused file's passport. "Совместный выбор" makes selecting one chromatogram select the others
// recorded less than 5 seconds apart (in multiple selection only). The folder mode, the folder last
// looked at in each mode and the state of "Совместный выбор" survive between runs in the per-user
// settings key; they are stored by Open only.
//
// A folder is scanned in the background (chromatogram::FolderScan): rows appear as the files are
// read, always in the list's final order, and the folder caption tells how many files of how
// many have been read. The operator may filter, select and Open meanwhile (Open takes what is
// listed); choosing another folder or type, or closing the dialog, cancels the scan at once.
// Once the scan ends, entries, rows and filters are what a whole scan followed by FillFilters and
// FillList gives, except that a filter the operator chose during the scan keeps its choice.
class COpenChrmDlg : public CFormDialog {
    Q_OBJECT

public:
    enum TypeFilter { TypeAny = 0, TypeCalibration = 1, TypeAnalysis = 2 };

    // The role under which every row of the list holds the index of its entry in Entries().
    static constexpr int kEntryRole = Qt::UserRole;

    explicit COpenChrmDlg(QWidget* parent = nullptr);
    ~COpenChrmDlg() override;

    // Runs the dialog modally: 1 (IDOK) after Open, 2 (IDCANCEL) after Cancel or closing the
    // window, -1 when the dialog could not be created. With singleSelection one row at most can
    // be selected.
    int Run(bool singleSelection);

    // Closes the dialog with `result`, cancelling a scan in progress.
    void done(int result) override;

    // The file to select and focus whenever its folder is listed, as a level's current
    // chromatogram is; "" for none. Set before Run.
    void SetPreselectedFile(std::string path) { preselectedFile_ = std::move(path); }

    // The chosen files after Run returned 1: full paths in list order.
    int SelectedCount() const { return static_cast<int>(selectedPaths_.size()); }
    std::string SelectedPath(int i) const { return selectedPaths_.at(static_cast<std::size_t>(i)); }

    // Lists currentFolder anew: cancels a scan in progress, empties the list and the filters and
    // starts scanning; returns at once. ScanFinished is emitted when the scan has ended.
    void Refresh();
    // Whether a scan is in progress.
    bool Scanning() const { return scan_ != nullptr; }
    // How the scans read a passport (tests put a slow or failing reader here); by default
    // Passport::ReadFromFile.
    void SetPassportReader(chromatogram::PassportReader reader) { passportReader_ = std::move(reader); }
    // Fill the filters from all entries (each at its any-item), fill the list from the entries
    // that pass the filters.
    void FillFilters();
    void FillList();

    // Files of currentFolder that pass the type filter: in the list's order once the scan has
    // ended, in the order they were read while it runs.
    const std::vector<ChrmFileEntry>& Entries() const { return entries_; }
    // The focused file's chromatogram, beside the passport box.
    CChromatogramPreview* Preview() const { return preview_; }
    const std::string& CurrentFolder() const { return currentFolder_; }
    std::string FilePathOf(const ChrmFileEntry& entry) const;

signals:
    void ScanFinished();
    // Emitted on a scan's thread when its last read has ended; taken in on the dialog's thread.
    void ScanReadsEnded();

private:
    void OnInitDialog();
    void ReadControls();
    void WriteControls();
    void ApplyFolderMode();

    void OnTreeSelectionChanged(QTreeWidgetItem* item);
    void OnTypeChanged();
    void OnRowStateChanged();
    void PlacePreview();
    // The list, the passport box and the preview for the dialog's size: the band under the list
    // takes half of the height the dialog has grown by, and the passport box as much of the
    // band's width as its longest line needs, the preview keeping at least its opening width.
    void LayOutBand();
    int PassportWidthWanted() const;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void ShowFocusedChromatogram();
    void OnListDoubleClick();
    void OnOK();
    void OnCancel();
    void CollectSelection();
    void SelectPreselectedFile();
    bool IsPreselected(const ChrmFileEntry& entry) const;
    void reject() override;

    // The scan.
    void StartScan();
    void TakeScanned();
    void AddEntries(std::vector<ChrmFileEntry> read);
    void AddFilterValues(std::size_t firstEntry, std::size_t enough = 0);
    std::size_t FilterValueCount() const;
    void FinishScan();
    void ShowScanState();
    void CancelScan();
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Controls.
    QTreeView* list_ = nullptr;
    ChrmListModel* rows_ = nullptr;
    QPlainTextEdit* passportBox_ = nullptr;
    QComboBox* methodFilter_ = nullptr;
    QComboBox* siteFilter_ = nullptr;
    QComboBox* pointFilter_ = nullptr;
    QComboBox* typeFilterBox_ = nullptr;
    QLabel* folderCaption_ = nullptr;
    QAbstractButton* jointSelectionButton_ = nullptr;
    QAbstractButton* wholeFileSystemBox_ = nullptr;
    CDirTreeCtrl* tree_ = nullptr;
    CChromatogramPreview* preview_ = nullptr;

    std::vector<ChrmFileEntry> entries_;
    std::vector<std::string> selectedPaths_;
    std::string currentFolder_;
    std::string lastPathWholeFs_;
    std::string lastPathUnderRoot_;
    bool jointSelection_ = true;
    int typeFilter_ = TypeAny;
    bool wholeFileSystem_ = false;
    bool singleSelection_ = false;
    std::string anyMethodText_;
    std::string anySiteText_;
    std::string anyPointText_;
    std::string preselectedFile_;

    bool previewPlaced_ = false;
    // Where the three lay at the template's size, once the band was placed.
    QRect listBase_, passportBase_, previewBase_;
    bool fillingList_ = false;  // rows come and go: no row-state handling meanwhile

    chromatogram::PassportReader passportReader_;
    std::unique_ptr<chromatogram::FolderScan> scan_;
    std::vector<std::unique_ptr<chromatogram::FolderScan>> cancelledScans_;  // ending their reads in flight
    chromatogram::ScanProgress scanProgress_;
    QTimer* scanTimer_ = nullptr;
    // Per filter list, the values met so far as spelt and their case foldings (its items).
    struct FilterValues {
        std::unordered_set<std::string> seen;
        std::unordered_set<std::string> folded;
    };
    FilterValues filterValues_[3];
};
