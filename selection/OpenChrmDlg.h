#pragma once

#include "chromatogram/Archive.h"
#include "selection/FormDialog.h"

#include <string>
#include <vector>

class CChromatogramPreview;
class CDirTreeCtrl;
class QComboBox;
class QAbstractButton;
class QLabel;
class QPlainTextEdit;
class QTreeView;
class QTreeWidgetItem;
class ChrmListModel;

// One scanned chromatogram file.
struct ChrmFileEntry {
    std::string fileName;   // the name as found on disk, extension included
    std::string fileTitle;  // the name without its extension
    std::string sampleName;  // "????" when the passport cannot be read
    std::string methodName;  // empty when the passport cannot be read
    std::string samplingSite;
    std::string samplingPoint;
    chromatogram::Time dateTime;  // the file's last-write time when the passport cannot be read
};

// "Открытие хроматограммы": the operator picks chromatogram files ("*.stg") of one folder, chosen
// in a folder tree, from a list showing each file's date, sample and name from its passport,
// narrowed by method, type, sampling site and sampling point. The box below the list shows the
// focused file's passport. "Совместный выбор" makes selecting one chromatogram select the others
// recorded less than 5 seconds apart (in multiple selection only). The folder mode, the folder last
// looked at in each mode and the state of "Совместный выбор" survive between runs in the per-user
// settings key; they are stored by Open only.
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

    // The file to select and focus whenever its folder is listed, as a level's current
    // chromatogram is; "" for none. Set before Run.
    void SetPreselectedFile(std::string path) { preselectedFile_ = std::move(path); }

    // The chosen files after Run returned 1: full paths in list order.
    int SelectedCount() const { return static_cast<int>(selectedPaths_.size()); }
    std::string SelectedPath(int i) const { return selectedPaths_.at(static_cast<std::size_t>(i)); }

    // The steps of a refresh, open to benchmarks: scan the folder, fill the filters, fill the list.
    void Refresh();
    void ScanFolder();
    void FillFilters();
    void FillList();

    const std::vector<ChrmFileEntry>& Entries() const { return entries_; }
    // The focused file's chromatogram, beside the passport box.
    CChromatogramPreview* Preview() const { return preview_; }
    const std::string& CurrentFolder() const { return currentFolder_; }
    std::string FilePathOf(const ChrmFileEntry& entry) const;

private:
    void OnInitDialog();
    void ReadControls();
    void WriteControls();
    void ApplyFolderMode();

    void OnTreeSelectionChanged(QTreeWidgetItem* item);
    void OnTypeChanged();
    void OnRowStateChanged();
    void PlacePreview();
    void ShowFocusedChromatogram();
    void OnListDoubleClick();
    void OnOK();
    void OnCancel();
    void CollectSelection();
    void SelectPreselectedFile();
    void reject() override;
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
    bool fillingList_ = false;  // rows come and go: no row-state handling meanwhile
};
