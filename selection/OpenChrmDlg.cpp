#include "selection/OpenChrmDlg.h"

#include "platform/XTPRegistryManager.h"
#include "chromatogram/Passport.h"
#include "platform/FileSearch.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "platform/gui/Controls.h"
#include "platform/gui/ScrollBarStyle.h"
#include "resources/Resource.h"
#include "selection/ChromatogramPreview.h"
#include "selection/DirTreeCtrl.h"
#include "selection/PassportText.h"

#include <QAbstractButton>
#include <QAbstractTableModel>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTreeView>

#include <algorithm>
#include <ctime>
#include <exception>
#include <filesystem>
#include <initializer_list>
#include <unordered_set>

namespace {

namespace gui = platform::gui;
using namespace resources;

constexpr const char* kPassportStream = "Passport";
constexpr const char* kUnreadableSample = "????";
constexpr const char* kReadError = "Ошибка чтения !!!";
constexpr const char* kDefaultOpenPath = "/";
constexpr auto kJointSelectionSpan = std::chrono::seconds(5);
// The chromatogram preview shares the band under the list with the passport box, which keeps
// this width; the band takes this much height from the list, and the dialog opens this much
// larger than its template, so that the list keeps its size and the preview has room.
constexpr int kPassportWidth = 190;
constexpr int kBandGrowth = 150;
constexpr int kPreviewGap = 6;
constexpr QSize kDialogGrowth{320, kBandGrowth};

// Settings values.
constexpr const char* kOpenDirType = "OpenDirType";
constexpr const char* kLastOpenPath1 = "LastOpenPath1";
constexpr const char* kLastOpenPath2 = "LastOpenPath2";
constexpr const char* kMultiSelectMode = "MultiSelectMode";
constexpr const char* kOpenPath = "OpenPath";

// The list leaves its rows without a focused row until the operator gives one: Qt would make
// the first row current whenever the list gains the keyboard focus, and Open would then return
// a file the operator never pointed at.
class ChrmListView : public QTreeView {
public:
    using QTreeView::QTreeView;

protected:
    void focusInEvent(QFocusEvent* event) override {
        if (currentIndex().isValid()) {
            QTreeView::focusInEvent(event);
            return;
        }
        QAbstractScrollArea::focusInEvent(event);
        viewport()->update();
    }
};

// folder + "/" + name, without doubling the separator of the root "/".
std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// A passport read that reports every failure as false: a file that exhausts memory is one more
// unreadable file, not the end of the dialog.
bool ReadPassport(chromatogram::Passport& passport, const std::string& path) {
    try {
        return passport.ReadFromFile(path, kPassportStream);
    } catch (const std::exception&) {
        return false;
    }
}

std::string FormatDate(chromatogram::Time time) {
    const std::time_t t = static_cast<std::time_t>(time.time_since_epoch().count());
    std::tm local{};
    char text[32] = "";
    if (localtime_r(&t, &local)) std::strftime(text, sizeof text, "%d.%m.%y", &local);
    return text;
}

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

std::optional<platform::RegistryKey> UserKey(platform::RegistryKey::Access access) {
    return platform::RegistryKey::Create(platform::RootKey::CurrentUser, platform::ApplicationKeyPath(), access);
}

}  // namespace

// The rows of the list: three texts each and the index of its entry. A folder holds thousands of
// chromatograms, so rows are plain records rather than item objects.
class ChrmListModel : public QAbstractTableModel {
public:
    struct Row {
        std::size_t entry;
        QString date, sample, file;
    };

    using QAbstractTableModel::QAbstractTableModel;

    void SetRows(std::vector<Row> rows) {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
    }
    std::size_t EntryOf(int row) const { return rows_[static_cast<std::size_t>(row)].entry; }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 3; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount()) return {};
        const Row& row = rows_[static_cast<std::size_t>(index.row())];
        if (role == Qt::DisplayRole) return index.column() == 0 ? row.date : index.column() == 1 ? row.sample : row.file;
        if (role == COpenChrmDlg::kEntryRole && index.column() == 0) return static_cast<qulonglong>(row.entry);
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        static const QString headers[] = {QStringLiteral("Дата"), QStringLiteral("Проба"), QStringLiteral("Файл")};
        if (orientation != Qt::Horizontal || section < 0 || section > 2) return {};
        if (role == Qt::DisplayRole) return headers[section];
        if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        return {};
    }

private:
    std::vector<Row> rows_;
};

COpenChrmDlg::COpenChrmDlg(QWidget* parent)
    : CFormDialog(IDD_OPEN_CHRM, parent, true, [](const gui::ControlTemplate& c, QWidget* p) -> QWidget* {
          if (c.id == IDC_FOLDER_TREE) return new CDirTreeCtrl(p);
          if (c.id == IDC_CHRM_LIST) return new ChrmListView(p);
          return nullptr;
      }) {
    if (!Created()) return;
    anyMethodText_ = LoadString(IDS_ANY_METHOD);
    anySiteText_ = LoadString(IDS_ANY_SITE);
    anyPointText_ = LoadString(IDS_ANY_POINT);

    list_ = gui::FindControl<QTreeView>(this, IDC_CHRM_LIST);
    rows_ = new ChrmListModel(list_);
    list_->setModel(rows_);
    passportBox_ = gui::FindControl<QPlainTextEdit>(this, IDC_PASSPORT);
    methodFilter_ = gui::FindControl<QComboBox>(this, IDC_METHOD_FILTER);
    siteFilter_ = gui::FindControl<QComboBox>(this, IDC_SITE_FILTER);
    pointFilter_ = gui::FindControl<QComboBox>(this, IDC_POINT_FILTER);
    typeFilterBox_ = gui::FindControl<QComboBox>(this, IDC_TYPE_FILTER);
    folderCaption_ = gui::FindControl<QLabel>(this, IDC_FOLDER_CAPTION);
    jointSelectionButton_ = gui::FindControl<QAbstractButton>(this, IDC_JOINT_SELECTION);
    wholeFileSystemBox_ = gui::FindControl<QAbstractButton>(this, IDC_WHOLE_FILE_SYSTEM);
    tree_ = gui::FindControl<CDirTreeCtrl>(this, IDC_FOLDER_TREE);
    for (QAbstractScrollArea* area : std::initializer_list<QAbstractScrollArea*>{list_, tree_, passportBox_})
        gui::UseDarkThumbScrollBars(area);

    connect(tree_, &CDirTreeCtrl::SelectionChanged, this, &COpenChrmDlg::OnTreeSelectionChanged);
    connect(typeFilterBox_, &QComboBox::activated, this, &COpenChrmDlg::OnTypeChanged);
    for (QComboBox* filter : {methodFilter_, siteFilter_, pointFilter_})
        connect(filter, &QComboBox::activated, this, &COpenChrmDlg::FillList);
    connect(wholeFileSystemBox_, &QAbstractButton::clicked, this, &COpenChrmDlg::ApplyFolderMode);
    connect(jointSelectionButton_, &QAbstractButton::clicked, this, &COpenChrmDlg::ReadControls);
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &COpenChrmDlg::OnRowStateChanged);
    connect(list_->selectionModel(), &QItemSelectionModel::currentChanged, this, &COpenChrmDlg::OnRowStateChanged);
    connect(list_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &COpenChrmDlg::ShowFocusedChromatogram);
    preview_ = new CChromatogramPreview(this);
    list_->viewport()->installEventFilter(this);
    connect(gui::FindControl<QAbstractButton>(this, IDOK), &QAbstractButton::clicked, this, &COpenChrmDlg::OnOK);
    connect(gui::FindControl<QAbstractButton>(this, IDCANCEL), &QAbstractButton::clicked, this,
            &COpenChrmDlg::OnCancel);
}

COpenChrmDlg::~COpenChrmDlg() = default;

int COpenChrmDlg::Run(bool singleSelection) {
    if (!Created()) return -1;
    singleSelection_ = singleSelection;
    OnInitDialog();
    return exec();
}

void COpenChrmDlg::OnInitDialog() {
    PlacePreview();
    AnchorControl(IDC_CHRM_LIST, Stretch, Stretch);
    AnchorControl(IDC_PASSPORT, Fixed, Move);
    AnchorControl(IDC_SITE_LABEL, Move, Fixed);
    AnchorControl(IDC_POINT_LABEL, Move, Fixed);
    AnchorControl(IDC_SITE_FILTER, Move, Fixed);
    AnchorControl(IDC_POINT_FILTER, Move, Fixed);
    AnchorControl(IDOK, Move, Fixed);
    AnchorControl(IDCANCEL, Move, Fixed);
    AnchorControl(IDC_JOINT_SELECTION, Move, Move);
    AnchorControl(IDC_FOLDER_TREE, Fixed, Stretch);
    AnchorControl(IDC_FOLDER_CAPTION, Stretch, Fixed);

    const int widths[] = {50, 180, 230};
    for (int column = 0; column < 3; ++column) list_->setColumnWidth(column, widths[column]);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setAllColumnsShowFocus(true);

    if (const auto key = UserKey(platform::RegistryKey::Access::Read)) {
        wholeFileSystem_ = platform::ReadRegDword(*key, kOpenDirType, wholeFileSystem_) != 0;
        platform::ReadRegString(lastPathWholeFs_, *key, kLastOpenPath1, "");
        platform::ReadRegString(lastPathUnderRoot_, *key, kLastOpenPath2, "");
        jointSelection_ = platform::ReadRegDword(*key, kMultiSelectMode, jointSelection_) != 0;
    }
    currentFolder_ = wholeFileSystem_ ? lastPathWholeFs_ : lastPathUnderRoot_;
    if (singleSelection_) list_->setSelectionMode(QAbstractItemView::SingleSelection);
    selectedPaths_.clear();
    WriteControls();
    ApplyFolderMode();
}

// The band under the list grows upwards; the passport box keeps its left part, the preview
// takes the rest up to the list's right edge. The preview stretches with the dialog's width,
// and the list takes all of its height. Placed once, before the controls are anchored.
void COpenChrmDlg::PlacePreview() {
    if (previewPlaced_) return;
    previewPlaced_ = true;
    const QRect list = list_->geometry(), passport = passportBox_->geometry();
    list_->setGeometry(list.adjusted(0, 0, 0, -kBandGrowth));
    const QRect band(passport.left(), passport.top() - kBandGrowth, list.width(), passport.height() + kBandGrowth);
    passportBox_->setGeometry(band.left(), band.top(), kPassportWidth, band.height());
    preview_->setGeometry(band.left() + kPassportWidth + kPreviewGap, band.top(),
                          band.width() - kPassportWidth - kPreviewGap, band.height());
    platform::gui::SetControlId(preview_, IDC_CHRM_PREVIEW);
    preview_->show();
    AnchorControl(IDC_CHRM_PREVIEW, Stretch, Move);
    resize(size() + kDialogGrowth);
    setMinimumSize(size());  // smaller, the preview would have no room
}

void COpenChrmDlg::ShowFocusedChromatogram() {
    const QModelIndex focused = list_->currentIndex();
    if (fillingList_ || !focused.isValid()) {
        preview_->ShowNothing();
        return;
    }
    preview_->ShowFile(FilePathOf(entries_[rows_->EntryOf(focused.row())]));
}

void COpenChrmDlg::ReadControls() {
    jointSelection_ = jointSelectionButton_->isChecked();
    typeFilter_ = std::clamp(typeFilterBox_->currentIndex(), 0, 2);
    wholeFileSystem_ = wholeFileSystemBox_->isChecked();
}

void COpenChrmDlg::WriteControls() {
    jointSelectionButton_->setChecked(jointSelection_);
    typeFilterBox_->setCurrentIndex(typeFilter_);
    wholeFileSystemBox_->setChecked(wholeFileSystem_);
}

void COpenChrmDlg::ApplyFolderMode() {
    ReadControls();
    if (wholeFileSystem_) {
        tree_->ShowTree("", false);
        // When found, the tree's selection event lists the folder and remembers it.
        tree_->SelectPath(lastPathWholeFs_);
    } else {
        std::string root = kDefaultOpenPath;
        const auto machineKey = platform::RegistryKey::Create(platform::RootKey::LocalMachine,
                                                              platform::ApplicationKeyPath(),
                                                              platform::RegistryKey::Access::Read);
        if (machineKey) platform::ReadRegString(root, *machineKey, kOpenPath, kDefaultOpenPath);
        const std::string remembered = lastPathUnderRoot_;
        tree_->ShowTree(root, false);
        tree_->SelectPath(remembered);
        // The remembered folder is listed whether or not the tree found it.
        currentFolder_ = remembered;
        lastPathUnderRoot_ = currentFolder_;
    }
    Refresh();
}

void COpenChrmDlg::Refresh() {
    gui::WaitCursor wait;
    ScanFolder();
    folderCaption_->setText(Q(currentFolder_));
    FillFilters();
    FillList();
}

void COpenChrmDlg::ScanFolder() {
    entries_.clear();
    for (const platform::FileEntry& file : platform::FindFiles(JoinPath(currentFolder_, "*.stg"))) {
        if (file.isDirectory) continue;
        ChrmFileEntry entry;
        entry.fileName = file.name;
        entry.fileTitle = file.title;
        chromatogram::Passport passport;
        if (ReadPassport(passport, file.fullPath)) {
            entry.sampleName = passport.sampleName;
            entry.methodName = passport.methodName;
            entry.samplingSite = passport.samplingSite;
            entry.samplingPoint = passport.samplingPoint;
            entry.dateTime = passport.dateTime;
        } else {
            entry.sampleName = kUnreadableSample;
            entry.dateTime = chromatogram::Time(std::chrono::seconds(file.lastWriteTime));
        }
        // An unreadable file keeps the flag the failed read left: zero unless the read got that far.
        const bool keep = typeFilter_ == TypeAny || (typeFilter_ == TypeCalibration && passport.isCalibration != 0) ||
                          (typeFilter_ == TypeAnalysis && passport.isCalibration == 0);
        if (keep) entries_.push_back(std::move(entry));
    }
    // Newest first; files of the same second by title, so that every scan lists them alike.
    std::sort(entries_.begin(), entries_.end(), [](const ChrmFileEntry& a, const ChrmFileEntry& b) {
        if (a.dateTime != b.dateTime) return a.dateTime > b.dateTime;
        const int byTitle = platform::CompareIgnoreCase(a.fileTitle, b.fileTitle);
        return byTitle != 0 ? byTitle < 0 : a.fileName < b.fileName;
    });
}

void COpenChrmDlg::FillFilters() {
    struct Filter {
        QComboBox* box;
        std::string ChrmFileEntry::*value;
        const std::string* anyText;
        std::unordered_set<std::string> seen;    // values met so far, as spelt
        std::unordered_set<std::string> folded;  // their case foldings: the items of the list
    };
    Filter filters[] = {{methodFilter_, &ChrmFileEntry::methodName, &anyMethodText_, {}, {}},
                        {siteFilter_, &ChrmFileEntry::samplingSite, &anySiteText_, {}, {}},
                        {pointFilter_, &ChrmFileEntry::samplingPoint, &anyPointText_, {}, {}}};
    {
        gui::RedrawSuspended methodSuspended(methodFilter_), siteSuspended(siteFilter_), pointSuspended(pointFilter_);
        for (Filter& f : filters) f.box->clear();
        for (const ChrmFileEntry& entry : entries_) {
            for (Filter& f : filters) {
                const std::string& value = entry.*f.value;
                // A folder repeats a few values thousands of times: fold each spelling once.
                if (value.empty() || !f.seen.insert(value).second) continue;
                if (f.folded.insert(platform::FoldCase(value)).second) gui::AddString(f.box, value);
            }
        }
    }
    for (Filter& f : filters) f.box->setCurrentIndex(gui::AddString(f.box, *f.anyText));
}

void COpenChrmDlg::FillList() {
    const std::string method = gui::SelectedText(methodFilter_);
    const std::string site = gui::SelectedText(siteFilter_);
    const std::string point = gui::SelectedText(pointFilter_);
    // Only the any-item itself lifts a filter: a method spelt "* (ЛЮБОЙ)" is a value like any other.
    const bool anyMethod = method == anyMethodText_;
    const bool anySite = site == anySiteText_;
    const bool anyPoint = point == anyPointText_;
    const auto passes = [](bool open, const std::string& filter, const std::string& value) {
        return open || platform::EqualIgnoreCase(filter, value);
    };

    std::vector<ChrmListModel::Row> rows;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const ChrmFileEntry& e = entries_[i];
        if (!passes(anyMethod, method, e.methodName) || !passes(anySite, site, e.samplingSite) ||
            !passes(anyPoint, point, e.samplingPoint))
            continue;
        rows.push_back({i, Q(FormatDate(e.dateTime)), Q(e.sampleName), Q(e.fileTitle)});
    }
    fillingList_ = true;
    {
        gui::RedrawSuspended suspended(list_);
        rows_->SetRows(std::move(rows));
    }
    fillingList_ = false;
    passportBox_->clear();
    preview_->ShowNothing();
    SelectPreselectedFile();
}

void COpenChrmDlg::SelectPreselectedFile() {
    if (preselectedFile_.empty()) return;
    const std::filesystem::path wanted = std::filesystem::path(preselectedFile_).lexically_normal();
    for (int r = 0; r < rows_->rowCount(); ++r) {
        if (std::filesystem::path(FilePathOf(entries_[rows_->EntryOf(r)])).lexically_normal() != wanted) continue;
        const QModelIndex index = rows_->index(r, 0);
        list_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        list_->scrollTo(index);
        return;
    }
}

std::string COpenChrmDlg::FilePathOf(const ChrmFileEntry& entry) const {
    // The name as found: "RUN1.STG" is not "RUN1.stg" on a case-sensitive file system.
    return JoinPath(currentFolder_, entry.fileName.empty() ? entry.fileTitle + ".stg" : entry.fileName);
}

void COpenChrmDlg::OnTreeSelectionChanged(QTreeWidgetItem* item) {
    currentFolder_ = tree_->PathOfItem(item);
    Refresh();
    (wholeFileSystem_ ? lastPathWholeFs_ : lastPathUnderRoot_) = currentFolder_;
}

void COpenChrmDlg::OnTypeChanged() {
    ReadControls();
    Refresh();
}

void COpenChrmDlg::OnRowStateChanged() {
    if (fillingList_) return;
    const QModelIndex focused = list_->currentIndex();
    if (!focused.isValid()) return;
    const int row = focused.row();
    const ChrmFileEntry& e = entries_[rows_->EntryOf(row)];

    chromatogram::Passport passport;
    if (!ReadPassport(passport, FilePathOf(e))) {
        passportBox_->setPlainText(Q(kReadError));
        return;
    }
    passportBox_->setPlainText(Q(PassportText(passport)));

    // One row at most may be selected in single selection, so joint selection has nothing to add.
    QItemSelectionModel* selection = list_->selectionModel();
    if (!jointSelection_ || singleSelection_ || !selection->isSelected(focused)) return;
    // Rows follow the entries, newest first, so the rows less than 5 seconds from the focused one
    // are its neighbours: the walk each way stops at the first row 5 seconds or more away.
    QItemSelection joined;
    const auto join = [&](int r) {
        const ChrmFileEntry& o = entries_[rows_->EntryOf(r)];
        const auto apart = o.dateTime > e.dateTime ? o.dateTime - e.dateTime : e.dateTime - o.dateTime;
        if (apart >= kJointSelectionSpan) return false;
        const QModelIndex first = rows_->index(r, 0);
        if (!selection->isSelected(first)) joined.select(first, first);
        return true;
    };
    for (int r = row - 1; r >= 0 && join(r); --r) {
    }
    for (int r = row + 1; r < rows_->rowCount() && join(r); ++r) {
    }
    if (!joined.isEmpty()) selection->select(joined, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

bool COpenChrmDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_->viewport() && event->type() == QEvent::MouseButtonDblClick && list_->currentIndex().isValid())
        // Open runs after the notification has been handled, as a press of "Открыть" would.
        QMetaObject::invokeMethod(this, &COpenChrmDlg::OnOK, Qt::QueuedConnection);
    return CFormDialog::eventFilter(watched, event);
}

void COpenChrmDlg::OnOK() {
    if (const auto key = UserKey(platform::RegistryKey::Access::ReadWrite)) {
        platform::WriteRegString(*key, kLastOpenPath1, lastPathWholeFs_);
        platform::WriteRegString(*key, kLastOpenPath2, lastPathUnderRoot_);
        platform::WriteRegDword(*key, kMultiSelectMode, jointSelection_ ? 1 : 0);
        platform::WriteRegDword(*key, kOpenDirType, wholeFileSystem_ ? 1 : 0);
    }
    CollectSelection();
    ReadControls();
    done(IDOK);
}

void COpenChrmDlg::CollectSelection() {
    QItemSelectionModel* selection = list_->selectionModel();
    const QModelIndex focused = list_->currentIndex();
    if (focused.isValid()) {
        const auto mode = singleSelection_ ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::Select;
        selection->select(focused, mode | QItemSelectionModel::Rows);
    }
    selectedPaths_.clear();
    for (int r = 0; r < rows_->rowCount(); ++r)
        if (selection->isSelected(rows_->index(r, 0))) selectedPaths_.push_back(FilePathOf(entries_[rows_->EntryOf(r)]));
}

void COpenChrmDlg::OnCancel() { done(IDCANCEL); }

// Escape and the window's close button come here: the same as Cancel.
void COpenChrmDlg::reject() { OnCancel(); }
