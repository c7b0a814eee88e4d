#pragma once

#include <QTreeWidget>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QIcon;
class QFileIconProvider;

// Where the folder tree takes its drives and icons from. The default lists "/" and the mounted
// media and network folders, and takes icons from Qt's file icon provider; tests put in a shell
// that fails, to reach the tree's failure paths.
class DirTreeShell {
public:
    DirTreeShell();
    virtual ~DirTreeShell();

    // Whether there is a source of icons at all.
    virtual bool HasImageList() const;
    // The drive roots, each ending in '/'; false when there is no drive list.
    virtual bool LogicalDrives(std::vector<std::string>& drives) const;
    // The small icon of a folder or file (its open form when `open`); false when there is none.
    virtual bool PathIcon(const std::string& path, bool open, QIcon& icon) const;

private:
    std::unique_ptr<QFileIconProvider> icons_;
};

// The mount points strictly below /media, /run/media and /mnt in a mount table in the format of
// /proc/self/mounts (octal escapes decoded), each ending in '/', in the table's order.
std::vector<std::string> MountedMediaFolders(std::string_view mountTable);

// A folder tree that shows either every drive or one root folder, lists a folder's subfolders only
// when it is expanded (afresh from disk on every expansion), and can find and select the item of a
// folder path. Items carry only their text: a top-level item's text is a whole path ("/",
// "/media/usb", or the root folder), every other item's text is the last component of its folder,
// and the folder of an item is derived from the texts along its path (PathOfItem). A folder never
// listed carries one placeholder child (empty text) so that it shows an expand button.
class CDirTreeCtrl : public QTreeWidget {
    Q_OBJECT

public:
    explicit CDirTreeCtrl(QWidget* parent = nullptr);
    ~CDirTreeCtrl() override;

    void SetShell(std::unique_ptr<DirTreeShell> shell);

    // Rebuilds the whole tree: all drives when root is empty, else the one folder root (listed
    // and expanded). False on failure, with ErrorText set; the tree may then be empty.
    bool ShowTree(const std::string& root, bool showFiles);

    // Expands the items along path, listing each afresh from disk, and selects the item of its
    // last component; whether an item was selected. The path must begin with a top-level item's
    // path and exist as a folder. Letter case is ignored.
    bool SelectPath(const std::string& path);

    // The full path of an item, without a trailing '/' (except "/" itself).
    std::string PathOfItem(const QTreeWidgetItem* item) const;

    const std::string& ErrorText() const { return errorText_; }
    const std::string& RootPath() const { return rootPath_; }  // ends in '/'; empty showing all drives
    bool ShowsFiles() const { return showFiles_; }

    static bool IsPlaceholder(const QTreeWidgetItem* item);
    static bool ExpandedOnce(const QTreeWidgetItem* item);

signals:
    // The selected item changed, by the operator or by SelectPath.
    void SelectionChanged(QTreeWidgetItem* item);

private:
    void OnItemExpanded(QTreeWidgetItem* item);
    void OnItemCollapsed(QTreeWidgetItem* item);
    void OnCurrentItemChanged(QTreeWidgetItem* current);

    bool AttachSystemImageList();
    bool ListDrives();
    void ListFolder(QTreeWidgetItem* item, const std::string& path);
    QTreeWidgetItem* InsertPathItem(QTreeWidgetItem* parent, const std::string& path);
    static void InsertPlaceholder(QTreeWidgetItem* item);
    void RefreshChildren(QTreeWidgetItem* item);
    void DeleteChildren(QTreeWidgetItem* item);
    void CollapseReset(QTreeWidgetItem* item);
    void SelectIfInside(QTreeWidgetItem* item);
    void ExpandAfresh(QTreeWidgetItem* item);
    bool PathIsShown(const std::string& path) const;
    QTreeWidgetItem* TopLevelItemOf(const std::string& upperPath, std::size_t& matched) const;
    static QTreeWidgetItem* FindChildByText(QTreeWidgetItem* parent, const std::string& text);

    bool showFiles_ = false;
    std::string errorText_;
    bool systemImages_ = false;  // whether the icon source is attached
    std::string rootPath_;
    std::unique_ptr<DirTreeShell> shell_;
    bool resetting_ = false;  // collapsing an item for relisting: not an operator's collapse
};
