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
#include <QScreen>
#include <QScrollBar>
#include <QTextDocument>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <initializer_list>
#include <system_error>
#include <thread>
#include <unordered_set>

namespace {

namespace gui = platform::gui;
using namespace resources;

constexpr const char* kReadError = QT_TRANSLATE_NOOP("COpenChrmDlg", "Ошибка чтения !!!");
// How often the list takes what the scan has read: soon enough for the first rows to show at
// once, seldom enough that a large folder is not re-laid out file by file.
constexpr int kScanPollMs = 10;
constexpr const char* kDefaultOpenPath = "/";
constexpr auto kJointSelectionSpan = std::chrono::seconds(5);
// Closing waits this long at most for the reads the scans have in flight, looking this often.
constexpr std::chrono::milliseconds kLongestCloseWait{300};
constexpr std::chrono::milliseconds kCloseWaitStep{5};
// The chromatogram preview shares the band under the list with the passport box, which keeps
// this width; the band takes this much height from the list, and the dialog opens this much
// larger than its template, so that the list keeps its size and the preview has room.
constexpr int kPassportWidth = 190;
constexpr int kBandGrowth = 150;
constexpr int kPreviewGap = 6;
constexpr QSize kDialogGrowth{320, kBandGrowth};
// What a window manager's frame (title bar, borders) takes around the client area, kept free
// when the dialog opens, since the frame is not known before the window is shown.
constexpr QSize kFrameAllowance{16, 40};

QRect ScreenArea(const QWidget* window) {
    const QWidget* shown = window->parentWidget() ? window->parentWidget()->window() : window;
    const QScreen* screen = shown->screen();
    return screen ? screen->availableGeometry() : QRect();
}

AvailableAreaFunction& AvailableArea() {
    static AvailableAreaFunction area = ScreenArea;
    return area;
}

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

    // Puts `added` among the rows, both in the order `before` gives their entries, keeping the
    // selection and the focused row on the rows they were on.
    template <typename Before>
    void MergeRows(std::vector<Row> added, Before before) {
        if (added.empty()) return;
        const auto byEntry = [&](const Row& a, const Row& b) { return before(a.entry, b.entry); };
        std::sort(added.begin(), added.end(), byEntry);
        if (rows_.empty()) {
            beginInsertRows({}, 0, static_cast<int>(added.size()) - 1);
            rows_ = std::move(added);
            endInsertRows();
            return;
        }
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        std::vector<Row> merged;
        merged.reserve(rows_.size() + added.size());
        std::vector<int> movedTo(rows_.size());
        std::size_t next = 0;
        for (std::size_t r = 0; r < rows_.size(); ++r) {
            while (next < added.size() && byEntry(added[next], rows_[r])) merged.push_back(std::move(added[next++]));
            movedTo[r] = static_cast<int>(merged.size());
            merged.push_back(std::move(rows_[r]));
        }
        while (next < added.size()) merged.push_back(std::move(added[next++]));
        rows_ = std::move(merged);
        const QModelIndexList from = persistentIndexList();
        QModelIndexList to;
        for (const QModelIndex& index : from) to.append(index.isValid() ? createIndex(movedTo[static_cast<std::size_t>(index.row())], index.column()) : index);
        changePersistentIndexList(from, to);
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }

    // The entries were put in another order: row r now shows entry newIndex[old entry of r].
    void Renumber(const std::vector<std::size_t>& newIndex) {
        for (Row& row : rows_) row.entry = newIndex[row.entry];
        if (!rows_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {COpenChrmDlg::kEntryRole});
    }

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
        static constexpr const char* headers[] = {QT_TRANSLATE_NOOP("COpenChrmDlg", "Дата"),
                                                  QT_TRANSLATE_NOOP("COpenChrmDlg", "Проба"),
                                                  QT_TRANSLATE_NOOP("COpenChrmDlg", "Файл")};
        if (orientation != Qt::Horizontal || section < 0 || section > 2) return {};
        if (role == Qt::DisplayRole) return COpenChrmDlg::tr(headers[section]);
        if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        return {};
    }

private:
    std::vector<Row> rows_;
};

namespace {

ChrmListModel::Row RowOf(std::size_t index, const ChrmFileEntry& e) {
    return {index, Q(FormatDate(e.dateTime)), Q(e.sampleName), Q(e.fileTitle)};
}

// What the method, site and point lists let through: a list standing at its any-item lets every
// value through, any other item the values equal to it ignoring case.
class ListFilter {
public:
    ListFilter(const QComboBox* method, const QComboBox* site, const QComboBox* point, const std::string& anyMethod,
               const std::string& anySite, const std::string& anyPoint)
        : method_(gui::SelectedText(method)), site_(gui::SelectedText(site)), point_(gui::SelectedText(point)),
          // Only the any-item itself lifts a filter: a method spelt "* (ЛЮБОЙ)" is a value like any other.
          anyMethod_(method_ == anyMethod), anySite_(site_ == anySite), anyPoint_(point_ == anyPoint) {}

    bool Passes(const ChrmFileEntry& e) const {
        return Lets(anyMethod_, method_, e.methodName) && Lets(anySite_, site_, e.samplingSite) &&
               Lets(anyPoint_, point_, e.samplingPoint);
    }

private:
    static bool Lets(bool open, const std::string& filter, const std::string& value) {
        return open || platform::EqualIgnoreCase(filter, value);
    }

    std::string method_, site_, point_;
    bool anyMethod_, anySite_, anyPoint_;
};

}  // namespace

AvailableAreaFunction SetAvailableAreaFunction(AvailableAreaFunction function) {
    AvailableAreaFunction previous = std::move(AvailableArea());
    AvailableArea() = function ? std::move(function) : AvailableAreaFunction(ScreenArea);
    return previous;
}

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
    list_->setUniformRowHeights(true);  // every row is one line: a list of thousands lays out at once
    scanTimer_ = new QTimer(this);
    scanTimer_->setInterval(kScanPollMs);
    connect(scanTimer_, &QTimer::timeout, this, &COpenChrmDlg::TakeScanned);
    // The end comes through a signal without arguments: what the scan read stays behind its
    // lock, where the thread checker sees the hand-off.
    connect(this, &COpenChrmDlg::ScanReadsEnded, this, &COpenChrmDlg::TakeScanned, Qt::QueuedConnection);
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

// The scan's end signal must not come to a dialog that is going: cancelled, a scan calls nobody.
COpenChrmDlg::~COpenChrmDlg() { CancelScan(); }

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
// takes the rest up to the list's right edge. Placed once, before the controls are anchored.
// The dialog opens larger than its template, so that the list keeps its size and the preview
// has room, but never beyond the screen's available area; it can be made as small as its
// template, where every control is where the template puts it.
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
    listBase_ = list_->geometry();
    passportBase_ = passportBox_->geometry();
    previewBase_ = preview_->geometry();
    connect(passportBox_, &QPlainTextEdit::textChanged, this, &COpenChrmDlg::LayOutBand);
    QSize opening = size() + kDialogGrowth;
    if (const QRect area = AvailableArea()(this); area.isValid())
        opening = opening.boundedTo(area.size() - kFrameAllowance).expandedTo(minimumSize());
    resize(opening);
}

int COpenChrmDlg::PassportWidthWanted() const {
    const QFontMetrics metrics(passportBox_->font());
    int widest = 0;
    for (const QString& line : passportBox_->toPlainText().split('\n'))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    const int margins = 2 * static_cast<int>(std::ceil(passportBox_->document()->documentMargin())) +
                        2 * passportBox_->frameWidth() + passportBox_->cursorWidth() + 2;
    return widest + margins + passportBox_->verticalScrollBar()->sizeHint().width();
}

void COpenChrmDlg::LayOutBand() {
    if (!previewPlaced_) return;
    const int dx = width() - (InitialClient().right - InitialClient().left);
    const int dy = height() - (InitialClient().bottom - InitialClient().top);
    const int bandGrowth = std::max(0, dy) / 2;
    list_->setGeometry(listBase_.adjusted(0, 0, dx, dy - bandGrowth));
    const int top = passportBase_.top() + dy - bandGrowth;
    const int height = passportBase_.height() + bandGrowth;
    const int left = passportBase_.left();
    const int bandWidth = previewBase_.right() + dx - left + 1;
    const int roomForPassport = std::max(kPassportWidth, bandWidth - kPreviewGap - previewBase_.width());
    const int passportWidth = std::clamp(PassportWidthWanted(), kPassportWidth, roomForPassport);
    passportBox_->setGeometry(left, top, passportWidth, height);
    preview_->setGeometry(left + passportWidth + kPreviewGap, top, bandWidth - passportWidth - kPreviewGap, height);
}

void COpenChrmDlg::resizeEvent(QResizeEvent* event) {
    CFormDialog::resizeEvent(event);
    LayOutBand();
}

void COpenChrmDlg::changeEvent(QEvent* event) {
    CFormDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && !isMinimized()) LayOutBand();
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
    StartScan();
    folderCaption_->setText(Q(currentFolder_));
    FillFilters();
    FillList();
    ShowScanState();
}

// The scan of currentFolder, read on the scan's threads and taken in here by the poll timer,
// and at once when its reads have ended.
void COpenChrmDlg::StartScan() {
    CancelScan();
    entries_.clear();
    scanProgress_ = {};
    const auto type = static_cast<chromatogram::ScanType>(typeFilter_);
    chromatogram::FolderScan::Options options{type, 0, passportReader_, [this] { emit ScanReadsEnded(); }};
    scan_ = std::make_unique<chromatogram::FolderScan>(JoinPath(currentFolder_, "*.stg"), std::move(options));
    list_->viewport()->setCursor(Qt::BusyCursor);
    scanTimer_->start();
}

void COpenChrmDlg::TakeScanned() {
    // Cancelled scans whose last reads have ended can go.
    std::erase_if(cancelledScans_, [](const auto& scan) { return scan->Progress().finished; });
    if (!scan_) return;
    // The progress first: once it says finished, everything read is there to take.
    const chromatogram::ScanProgress progress = scan_->Progress();
    AddEntries(scan_->TakeRead());
    scanProgress_ = progress;
    if (progress.finished)
        FinishScan();
    else
        ShowScanState();
}

void COpenChrmDlg::AddEntries(std::vector<ChrmFileEntry> read) {
    if (read.empty()) return;
    const std::size_t first = entries_.size();
    std::move(read.begin(), read.end(), std::back_inserter(entries_));
    AddFilterValues(first);
    const ListFilter filter = ListFilter(methodFilter_, siteFilter_, pointFilter_, anyMethodText_, anySiteText_, anyPointText_);
    std::vector<ChrmListModel::Row> rows;
    for (std::size_t i = first; i < entries_.size(); ++i)
        if (filter.Passes(entries_[i])) rows.push_back(RowOf(i, entries_[i]));
    fillingList_ = true;
    rows_->MergeRows(std::move(rows), [this](std::size_t a, std::size_t b) {
        return chromatogram::ListedBefore(entries_[a], entries_[b]);
    });
    fillingList_ = false;
    // The level's file is chosen when its row comes, unless the operator has pointed at a row.
    if (!list_->currentIndex().isValid())
        for (std::size_t i = first; i < entries_.size(); ++i)
            if (IsPreselected(entries_[i])) SelectPreselectedFile();
}

// The entries in the listing's order; the rows, already in it, follow their entries. The rows
// give the order of the entries they show, so only those the filters hide need sorting.
void COpenChrmDlg::FinishScan() {
    scanTimer_->stop();
    scan_.reset();
    const auto before = [this](std::size_t a, std::size_t b) {
        return chromatogram::ListedBefore(entries_[a], entries_[b]);
    };
    std::vector<std::size_t> shown(static_cast<std::size_t>(rows_->rowCount()));
    std::vector<bool> isShown(entries_.size());
    for (std::size_t r = 0; r < shown.size(); ++r) isShown[shown[r] = rows_->EntryOf(static_cast<int>(r))] = true;
    std::vector<std::size_t> hidden;
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (!isShown[i]) hidden.push_back(i);
    std::sort(hidden.begin(), hidden.end(), before);
    std::vector<std::size_t> order(entries_.size());
    std::merge(shown.begin(), shown.end(), hidden.begin(), hidden.end(), order.begin(), before);
    std::vector<ChrmFileEntry> sorted;
    sorted.reserve(entries_.size());
    std::vector<std::size_t> newIndex(entries_.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
        newIndex[order[k]] = k;
        sorted.push_back(std::move(entries_[order[k]]));
    }
    entries_ = std::move(sorted);
    rows_->Renumber(newIndex);
    // The filter lists offered the values in the order they were read; filled again in the
    // listing's order they offer what a whole scan would (which spelling stands for values that
    // differ in case, where an any-item goes among values equal to it), and keep the operator's
    // choices. Those act ignoring case, so the rows stay as they are.
    const std::string chosen[] = {gui::SelectedText(methodFilter_), gui::SelectedText(siteFilter_),
                                  gui::SelectedText(pointFilter_)};
    FillFilters();
    const std::pair<QComboBox*, const std::string*> lists[] = {
        {methodFilter_, &anyMethodText_}, {siteFilter_, &anySiteText_}, {pointFilter_, &anyPointText_}};
    for (std::size_t f = 0; f < 3; ++f) {
        if (chosen[f] == *lists[f].second) continue;  // FillFilters stands them at their any-item
        QComboBox* box = lists[f].first;
        for (int i = 0; i < box->count(); ++i)
            if (box->itemText(i).toStdString() != *lists[f].second &&
                platform::EqualIgnoreCase(box->itemText(i).toStdString(), chosen[f]))
                box->setCurrentIndex(i);
    }
    list_->viewport()->unsetCursor();
    ShowScanState();
    emit ScanFinished();
}

// The folder caption: the folder, while scanning how far the scan has come, and after it what
// could not be listed.
void COpenChrmDlg::ShowScanState() {
    const chromatogram::ScanProgress& p = scanProgress_;
    QStringList notes;
    if (scan_) {
        notes << (p.listed ? tr("прочитано файлов: %1 из %2").arg(p.read).arg(p.total) : tr("чтение папки…"));
    } else {
        if (p.listError == ENOENT || p.listError == ENOTDIR)
            notes << tr("папка не найдена");
        else if (p.listError == EACCES || p.listError == EPERM)
            notes << tr("нет доступа к папке");
        else if (p.listError != 0)
            notes << (p.total > 0 ? tr("папка прочитана не полностью") : tr("папку не удалось прочитать"));
        if (p.vanished > 0) notes << tr("файлов исчезло во время чтения: %1").arg(p.vanished);
    }
    QString caption = Q(currentFolder_);
    if (!notes.isEmpty()) caption += QStringLiteral("   (") + notes.join(QStringLiteral("; ")) + QStringLiteral(")");
    folderCaption_->setText(caption);
}

// Stops the scan in progress at once; its reads in flight end on their own threads.
void COpenChrmDlg::CancelScan() {
    if (!scan_) return;
    scanTimer_->stop();
    scan_->Cancel();
    cancelledScans_.push_back(std::move(scan_));
    list_->viewport()->unsetCursor();
}

void COpenChrmDlg::FillFilters() {
    // The lists hold every value of the entries already (the scan offered each as it came): met
    // again in this order, they are all there once that many have been met.
    const std::size_t known = FilterValueCount();
    for (FilterValues& values : filterValues_) values = {};
    {
        gui::RedrawSuspended methodSuspended(methodFilter_), siteSuspended(siteFilter_), pointSuspended(pointFilter_);
        for (QComboBox* box : {methodFilter_, siteFilter_, pointFilter_}) box->clear();
        AddFilterValues(0, known);
    }
    methodFilter_->setCurrentIndex(gui::AddString(methodFilter_, anyMethodText_));
    siteFilter_->setCurrentIndex(gui::AddString(siteFilter_, anySiteText_));
    pointFilter_->setCurrentIndex(gui::AddString(pointFilter_, anyPointText_));
}

// Offers the values of entries from `firstEntry` on in the three filter lists, stopping once the
// lists hold `enough` values together (0: never); the lists keep the item they stand at.
void COpenChrmDlg::AddFilterValues(std::size_t firstEntry, std::size_t enough) {
    const std::pair<QComboBox*, std::string ChrmFileEntry::*> filters[] = {
        {methodFilter_, &ChrmFileEntry::methodName},
        {siteFilter_, &ChrmFileEntry::samplingSite},
        {pointFilter_, &ChrmFileEntry::samplingPoint}};
    for (std::size_t i = firstEntry; i < entries_.size(); ++i) {
        for (std::size_t f = 0; f < 3; ++f) {
            const std::string& value = entries_[i].*filters[f].second;
            FilterValues& values = filterValues_[f];
            // A folder repeats a few values thousands of times: fold each spelling once.
            if (value.empty() || !values.seen.insert(value).second) continue;
            if (values.folded.insert(platform::FoldCase(value)).second) gui::AddString(filters[f].first, value);
        }
        if (enough > 0 && FilterValueCount() == enough) return;
    }
}

std::size_t COpenChrmDlg::FilterValueCount() const {
    std::size_t count = 0;
    for (const FilterValues& values : filterValues_) count += values.folded.size();
    return count;
}

void COpenChrmDlg::FillList() {
    const ListFilter filter = ListFilter(methodFilter_, siteFilter_, pointFilter_, anyMethodText_, anySiteText_, anyPointText_);
    std::vector<std::size_t> shown;
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (filter.Passes(entries_[i])) shown.push_back(i);
    // While a scan runs the entries are in the order they were read; the rows never are.
    if (scan_)
        std::sort(shown.begin(), shown.end(), [this](std::size_t a, std::size_t b) {
            return chromatogram::ListedBefore(entries_[a], entries_[b]);
        });
    std::vector<ChrmListModel::Row> rows;
    rows.reserve(shown.size());
    for (std::size_t i : shown) rows.push_back(RowOf(i, entries_[i]));
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

bool COpenChrmDlg::IsPreselected(const ChrmFileEntry& entry) const {
    return !preselectedFile_.empty() && std::filesystem::path(FilePathOf(entry)).lexically_normal() ==
                                            std::filesystem::path(preselectedFile_).lexically_normal();
}

void COpenChrmDlg::SelectPreselectedFile() {
    if (preselectedFile_.empty()) return;
    for (int r = 0; r < rows_->rowCount(); ++r) {
        if (!IsPreselected(entries_[rows_->EntryOf(r)])) continue;
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
    // The chromatogram is read on the preview's thread. The selection changes before the focus
    // does, so this comes first.
    ShowFocusedChromatogram();
    const int row = focused.row();
    const ChrmFileEntry& e = entries_[rows_->EntryOf(row)];

    // The passport is the one the scan read: reading it again here would hold the window up
    // for as long as a stalled share takes to answer, at every key that moves the focus.
    if (!e.readable) {
        passportBox_->setPlainText(tr(kReadError));
        return;
    }
    passportBox_->setPlainText(Q(PassportText(e)));

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

// However the dialog closes, its scan stops, and the reads it has in flight end before the
// caller goes on: it may read the chosen files at once, and a read holding one must not fail it.
// That wait is bounded for all scans together: reads of a live file system end in microseconds,
// and one hanging on a share that stopped answering must not hold the window. The scans still
// reading then are left to end on a thread of their own.
void COpenChrmDlg::done(int result) {
    CancelScan();
    const auto deadline = std::chrono::steady_clock::now() + kLongestCloseWait;
    const auto unfinished = [this] {
        return std::any_of(cancelledScans_.begin(), cancelledScans_.end(),
                           [](const auto& scan) { return !scan->Progress().finished; });
    };
    while (unfinished() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(kCloseWaitStep);
    std::erase_if(cancelledScans_, [](const auto& scan) { return scan->Progress().finished; });
    if (!cancelledScans_.empty()) {
        try {
            std::thread([scans = std::move(cancelledScans_)]() mutable { scans.clear(); }).detach();
        } catch (const std::system_error&) {
            // No thread to be had: the scans end here, each within its own bounded wait.
        }
        cancelledScans_.clear();
    }
    CFormDialog::done(result);
}

// Escape and the window's close button come here: the same as Cancel.
void COpenChrmDlg::reject() { OnCancel(); }
