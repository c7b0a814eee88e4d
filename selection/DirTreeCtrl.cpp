#include "selection/DirTreeCtrl.h"

#include "platform/FileSearch.h"
#include "platform/Text.h"
#include "platform/gui/Controls.h"
#include "selection/SortStringArray.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QIcon>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

constexpr int kExpandedOnceRole = Qt::UserRole + 1;

bool EndsWithSeparator(std::string_view path) { return !path.empty() && path.back() == '/'; }

std::string WithSeparator(std::string path) {
    if (!EndsWithSeparator(path)) path += '/';
    return path;
}

// Trailing separators go, but the root "/" stays a path.
std::string WithoutSeparator(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// The last component of a path, a trailing separator being ignored first.
std::string LastComponent(const std::string& path) {
    const std::string trimmed = WithoutSeparator(path);
    const std::size_t slash = trimmed.rfind('/');
    return slash == std::string::npos || trimmed.size() == 1 ? trimmed : trimmed.substr(slash + 1);
}

std::string ItemText(const QTreeWidgetItem* item) { return item->text(0).toStdString(); }

// "\040" and its kin stand for blanks and other bytes in a mount table's fields.
std::string DecodeMountField(const std::string& field) {
    const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) && isOctal(field[i + 2]) &&
            isOctal(field[i + 3])) {
            out += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

// Whether path names a folder when letter case is ignored, as the Windows file system ignores it:
// "/srv/DATA" finds "/srv/Data". The exact spelling is tried first, so only a path spelt in another
// case costs a listing per component.
bool FolderExistsIgnoringCase(const std::string& path) {
    if (platform::FolderExists(path)) return true;
    if (path.empty() || path[0] != '/') return false;
    std::string folder = "/";
    std::size_t begin = 1;
    while (begin < path.size()) {
        std::size_t end = path.find('/', begin);
        if (end == std::string::npos) end = path.size();
        const std::string component = path.substr(begin, end - begin);
        begin = end + 1;
        if (component.empty()) continue;
        const std::string exact = WithSeparator(folder) + component;
        if (platform::FolderExists(exact)) {
            folder = exact;
            continue;
        }
        bool found = false;
        for (const platform::FileEntry& entry : platform::FindFiles(WithSeparator(folder) + "*")) {
            if (entry.isDirectory && entry.name != "." && entry.name != ".." &&
                platform::EqualIgnoreCase(entry.name, component)) {
                folder = WithSeparator(folder) + entry.name;
                found = true;
                break;
            }
        }
        if (!found) return false;
    }
    return true;
}

}  // namespace

// ---- shell ---------------------------------------------------------------------------------

DirTreeShell::DirTreeShell() = default;
DirTreeShell::~DirTreeShell() = default;

bool DirTreeShell::HasImageList() const { return true; }

std::vector<std::string> MountedMediaFolders(std::string_view mountTable) {
    static constexpr std::string_view kMediaRoots[] = {"/media/", "/run/media/", "/mnt/"};
    std::vector<std::string> folders;
    std::istringstream lines{std::string(mountTable)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string device, mountPoint;
        if (!(fields >> device >> mountPoint)) continue;
        const std::string folder = WithSeparator(DecodeMountField(mountPoint));
        const bool underMediaRoot = std::any_of(std::begin(kMediaRoots), std::end(kMediaRoots), [&](std::string_view root) {
            return folder.size() > root.size() && folder.compare(0, root.size(), root) == 0;
        });
        if (underMediaRoot && std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
    }
    return folders;
}

bool DirTreeShell::LogicalDrives(std::vector<std::string>& drives) const {
    drives.assign(1, "/");
    std::ifstream mounts("/proc/self/mounts");
    std::stringstream table;
    table << mounts.rdbuf();
    for (std::string& folder : MountedMediaFolders(table.str())) drives.push_back(std::move(folder));
    return true;
}

bool DirTreeShell::PathIcon(const std::string& path, bool /*open*/, QIcon& icon) const {
    if (!icons_) const_cast<DirTreeShell*>(this)->icons_ = std::make_unique<QFileIconProvider>();
    icon = icons_->icon(QFileInfo(QString::fromStdString(path)));
    return !icon.isNull();
}

// ---- tree ----------------------------------------------------------------------------------

CDirTreeCtrl::CDirTreeCtrl(QWidget* parent) : QTreeWidget(parent), shell_(std::make_unique<DirTreeShell>()) {
    setHeaderHidden(true);
    setColumnCount(1);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QTreeWidget::itemExpanded, this, &CDirTreeCtrl::OnItemExpanded);
    connect(this, &QTreeWidget::itemCollapsed, this, &CDirTreeCtrl::OnItemCollapsed);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { OnCurrentItemChanged(current); });
}

CDirTreeCtrl::~CDirTreeCtrl() = default;

void CDirTreeCtrl::SetShell(std::unique_ptr<DirTreeShell> shell) { shell_ = std::move(shell); }

bool CDirTreeCtrl::IsPlaceholder(const QTreeWidgetItem* item) { return item->text(0).isEmpty(); }

bool CDirTreeCtrl::ExpandedOnce(const QTreeWidgetItem* item) { return item->data(0, kExpandedOnceRole).toBool(); }

bool CDirTreeCtrl::ShowTree(const std::string& root, bool showFiles) {
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    clear();
    if (!AttachSystemImageList()) return false;
    showFiles_ = showFiles;
    if (root.empty() || root[0] == '\0') {
        if (!ListDrives()) return false;
        rootPath_.clear();
        return true;
    }
    rootPath_ = WithSeparator(root);
    QTreeWidgetItem* item = InsertPathItem(nullptr, rootPath_);
    // A root without an item has nowhere to hang its folders: its subfolders must not pose as
    // top-level paths.
    if (!item) return false;
    item->setExpanded(true);  // the expansion lists the folder
    return true;
}

bool CDirTreeCtrl::AttachSystemImageList() {
    systemImages_ = false;
    if (!shell_->HasImageList()) {
        errorText_ = "Cannot retrieve the Handle of SystemImageList!";
        return false;
    }
    systemImages_ = true;
    return true;
}

bool CDirTreeCtrl::ListDrives() {
    clear();
    std::vector<std::string> drives;
    if (!shell_->LogicalDrives(drives) || drives.empty()) {
        errorText_ = "Error Getting Logical DriveStrings!";
        return false;
    }
    for (const std::string& drive : drives)
        if (QTreeWidgetItem* item = InsertPathItem(nullptr, drive)) InsertPlaceholder(item);
    return true;
}

void CDirTreeCtrl::ListFolder(QTreeWidgetItem* item, const std::string& path) {
    CSortStringArray folders, files;
    for (const platform::FileEntry& entry : platform::FindFiles(WithSeparator(path) + "*.*")) {
        if (entry.isDirectory) {
            if (entry.name != "." && entry.name != "..") folders.push_back(entry.fullPath);
        } else if (showFiles_) {
            files.push_back(entry.fullPath);
        }
    }
    folders.Sort();

    platform::gui::RedrawSuspended suspended(this);
    platform::gui::WaitCursor wait;
    for (const std::string& folder : folders)
        if (QTreeWidgetItem* child = InsertPathItem(item, folder)) InsertPlaceholder(child);
    if (showFiles_) {
        files.Sort();
        for (const std::string& file : files) InsertPathItem(item, file);
    }
}

QTreeWidgetItem* CDirTreeCtrl::InsertPathItem(QTreeWidgetItem* parent, const std::string& path) {
    const std::string s = WithSeparator(path);
    // A file's path with a separator after it names nothing on Linux: ask for the icon without.
    const std::string iconPath = WithoutSeparator(s);
    QIcon normal, open;
    if (!shell_->PathIcon(iconPath, false, normal) || !shell_->PathIcon(iconPath, true, open)) {
        errorText_ = "Error Gettting SystemFileInfo!";
        return nullptr;
    }
    const std::string text = parent ? LastComponent(s) : WithoutSeparator(s);
    auto* item = new QTreeWidgetItem(QStringList{QString::fromStdString(text)});
    item->setIcon(0, normal);
    if (parent)
        parent->addChild(item);
    else
        addTopLevelItem(item);
    return item;
}

void CDirTreeCtrl::InsertPlaceholder(QTreeWidgetItem* item) { item->addChild(new QTreeWidgetItem(QStringList{QString()})); }

void CDirTreeCtrl::DeleteChildren(QTreeWidgetItem* item) {
    const QList<QTreeWidgetItem*> children = item->takeChildren();
    qDeleteAll(children);
}

void CDirTreeCtrl::RefreshChildren(QTreeWidgetItem* item) {
    DeleteChildren(item);
    ListFolder(item, PathOfItem(item));
}

void CDirTreeCtrl::OnItemExpanded(QTreeWidgetItem* item) {
    item->setData(0, kExpandedOnceRole, true);
    RefreshChildren(item);
}

void CDirTreeCtrl::OnItemCollapsed(QTreeWidgetItem* item) {
    if (resetting_) return;
    // As the Windows tree does, collapsing the folder that holds the selection selects the folder.
    SelectIfInside(item);
    DeleteChildren(item);
    InsertPlaceholder(item);
}

void CDirTreeCtrl::SelectIfInside(QTreeWidgetItem* item) {
    for (const QTreeWidgetItem* up = currentItem(); up; up = up->parent())
        if (up->parent() == item) {
            setCurrentItem(item);
            return;
        }
}

void CDirTreeCtrl::OnCurrentItemChanged(QTreeWidgetItem* current) {
    // Deleting all items leaves no selection; that is no folder to show.
    if (current) emit SelectionChanged(current);
}

std::string CDirTreeCtrl::PathOfItem(const QTreeWidgetItem* item) const {
    std::string path;
    for (; item; item = item->parent()) {
        const std::string text = ItemText(item);
        path = EndsWithSeparator(text) ? text + path : text + "/" + path;
    }
    return WithoutSeparator(path);
}

void CDirTreeCtrl::CollapseReset(QTreeWidgetItem* item) {
    SelectIfInside(item);
    resetting_ = true;
    item->setExpanded(false);
    resetting_ = false;
    DeleteChildren(item);
    item->setData(0, kExpandedOnceRole, false);
}

void CDirTreeCtrl::ExpandAfresh(QTreeWidgetItem* item) {
    if (ExpandedOnce(item)) {
        CollapseReset(item);
        InsertPlaceholder(item);
    }
    item->setExpanded(true);  // lists the folder
}

bool CDirTreeCtrl::PathIsShown(const std::string& path) const {
    const std::string upper = platform::ToUpper(WithoutSeparator(path));
    bool shown = false;
    for (int i = 0; i < topLevelItemCount() && !shown; ++i) {
        const std::string text = platform::ToUpper(ItemText(topLevelItem(i)));
        shown = upper.compare(0, text.size(), text) == 0;
    }
    return shown && FolderExistsIgnoringCase(path);
}

QTreeWidgetItem* CDirTreeCtrl::TopLevelItemOf(const std::string& upperPath, std::size_t& matched) const {
    // A top-level item stands for its whole path, so it must cover whole leading components;
    // of several ("/" and "/media/usb"), the longest is the nearest.
    QTreeWidgetItem* best = nullptr;
    matched = 0;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        const std::string text = WithSeparator(platform::ToUpper(ItemText(topLevelItem(i))));
        if (upperPath.compare(0, text.size(), text) == 0 && (!best || text.size() > matched)) {
            best = topLevelItem(i);
            matched = text.size();
        }
    }
    return best;
}

QTreeWidgetItem* CDirTreeCtrl::FindChildByText(QTreeWidgetItem* parent, const std::string& text) {
    for (int i = 0; i < parent->childCount(); ++i) {
        QTreeWidgetItem* child = parent->child(i);
        if (!IsPlaceholder(child) && platform::EqualIgnoreCase(ItemText(child), text)) return child;
    }
    return nullptr;
}

bool CDirTreeCtrl::SelectPath(const std::string& path) {
    if (!PathIsShown(path)) return false;
    const std::string upper = WithSeparator(platform::ToUpper(path));

    platform::gui::RedrawSuspended suspended(this);
    std::size_t matched = 0;
    QTreeWidgetItem* item = TopLevelItemOf(upper, matched);
    if (!item) return false;
    ExpandAfresh(item);

    std::size_t begin = matched;
    while (begin < upper.size()) {
        const std::size_t end = upper.find('/', begin);
        const std::string component = upper.substr(begin, end - begin);
        begin = end + 1;
        if (component.empty()) continue;  // a doubled separator
        QTreeWidgetItem* child = FindChildByText(item, component);
        if (!child) return false;  // the items opened on the way stay open
        ExpandAfresh(child);
        item = child;
    }
    setCurrentItem(item);
    scrollToItem(item);
    return true;
}
