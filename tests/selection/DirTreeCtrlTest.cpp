#include "selection/DirTreeCtrl.h"

#include "selection/SortStringArray.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QIcon>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>

#include <gtest/gtest.h>

namespace {

using fixtures::TempDir;

// A shell whose drives are chosen by the test and which can fail on request.
class FakeShell : public DirTreeShell {
public:
    bool images = true;
    bool hasDrives = true;
    std::vector<std::string> drives;
    std::string noIconFor;  // a path that gets no icon

    bool HasImageList() const override { return images; }
    bool LogicalDrives(std::vector<std::string>& out) const override {
        out = drives;
        return hasDrives;
    }
    bool PathIcon(const std::string& path, bool open, QIcon& icon) const override {
        if (path == noIconFor) return false;
        return DirTreeShell::PathIcon(path, open, icon);
    }
};

std::vector<std::string> ChildTexts(const QTreeWidgetItem* item) {
    std::vector<std::string> texts;
    for (int i = 0; i < item->childCount(); ++i) texts.push_back(item->child(i)->text(0).toStdString());
    return texts;
}

QTreeWidgetItem* Child(QTreeWidgetItem* item, const char* text) {
    for (int i = 0; i < item->childCount(); ++i)
        if (item->child(i)->text(0) == QString::fromUtf8(text)) return item->child(i);
    return nullptr;
}

bool HasOnlyPlaceholder(const QTreeWidgetItem* item) {
    return item->childCount() == 1 && CDirTreeCtrl::IsPlaceholder(item->child(0));
}

class DirTreeTest : public ::testing::Test {
protected:
    DirTreeTest() {
        auto fake = std::make_unique<FakeShell>();
        shell = fake.get();
        tree.SetShell(std::move(fake));
        tree.resize(300, 400);
        tree.show();
        for (const char* folder : {"gamma", "Beta", "alpha/inner", "Data/Run1"}) temp.MakeFolder(folder);
        temp.WriteFile("file.stg", "x");
    }

    // Clicks the expand button of an item, as the operator does.
    void ClickExpander(QTreeWidgetItem* item) {
        tree.scrollToItem(item);
        const QRect r = tree.visualItemRect(item);
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, QPoint(r.left() - tree.indentation() / 2, r.center().y()));
    }

    TempDir temp;
    FakeShell* shell;
    CDirTreeCtrl tree;
};

TEST_F(DirTreeTest, RootModeListsSubfoldersAlphabeticallyIgnoringCase) {
    ASSERT_TRUE(tree.ShowTree(temp.Path() + "/", false));
    EXPECT_EQ(tree.RootPath(), temp.Path() + "/");
    ASSERT_EQ(tree.topLevelItemCount(), 1);
    QTreeWidgetItem* root = tree.topLevelItem(0);
    EXPECT_EQ(root->text(0).toStdString(), temp.Path());  // the whole path, without its separator
    EXPECT_TRUE(root->isExpanded());
    EXPECT_EQ(ChildTexts(root), (std::vector<std::string>{"alpha", "Beta", "Data", "gamma"}));  // no files
    for (int i = 0; i < root->childCount(); ++i) EXPECT_TRUE(HasOnlyPlaceholder(root->child(i)));
    EXPECT_EQ(tree.PathOfItem(root), temp.Path());
    EXPECT_EQ(tree.PathOfItem(Child(root, "Beta")), temp.Path() + "/Beta");
    EXPECT_EQ(tree.currentItem(), nullptr);
}

TEST_F(DirTreeTest, FilesComeAfterFoldersWithoutPlaceholders) {
    ASSERT_TRUE(tree.ShowTree(temp.Path(), true));
    QTreeWidgetItem* root = tree.topLevelItem(0);
    EXPECT_EQ(ChildTexts(root), (std::vector<std::string>{"alpha", "Beta", "Data", "gamma", "file.stg"}));
    ASSERT_TRUE(Child(root, "file.stg"));
    EXPECT_EQ(Child(root, "file.stg")->childCount(), 0);
}

TEST_F(DirTreeTest, EveryExpansionListsAfreshAndCollapsingLeavesAPlaceholder) {
    ASSERT_TRUE(tree.ShowTree(temp.Path(), false));
    QTreeWidgetItem* gamma = Child(tree.topLevelItem(0), "gamma");
    ASSERT_TRUE(HasOnlyPlaceholder(gamma));  // an expand button although gamma has no subfolders

    ClickExpander(gamma);
    EXPECT_TRUE(gamma->isExpanded());
    EXPECT_EQ(gamma->childCount(), 0);  // the placeholder is gone, and with it the expand button
    EXPECT_TRUE(CDirTreeCtrl::ExpandedOnce(gamma));

    QTreeWidgetItem* alpha = Child(tree.topLevelItem(0), "alpha");
    ClickExpander(alpha);
    EXPECT_EQ(ChildTexts(alpha), std::vector<std::string>{"inner"});
    ClickExpander(alpha);
    EXPECT_FALSE(alpha->isExpanded());
    EXPECT_TRUE(HasOnlyPlaceholder(alpha));

    temp.MakeFolder("alpha/Added");
    std::filesystem::remove(temp.Path() + "/alpha/inner");
    ClickExpander(alpha);
    EXPECT_EQ(ChildTexts(alpha), std::vector<std::string>{"Added"});
}

TEST_F(DirTreeTest, FolderThatCannotBeListedLosesItsExpandButton) {
    ASSERT_TRUE(tree.ShowTree(temp.Path(), false));
    QTreeWidgetItem* beta = Child(tree.topLevelItem(0), "Beta");
    std::filesystem::remove(temp.Path() + "/Beta");
    beta->setExpanded(true);
    EXPECT_EQ(beta->childCount(), 0);
}

TEST_F(DirTreeTest, CollapsingTheFolderThatHoldsTheSelectionSelectsIt) {
    ASSERT_TRUE(tree.ShowTree(temp.Path(), false));
    ASSERT_TRUE(tree.SelectPath(temp.Path() + "/Data/Run1"));
    QSignalSpy spy(&tree, &CDirTreeCtrl::SelectionChanged);
    QTreeWidgetItem* data = Child(tree.topLevelItem(0), "Data");
    ClickExpander(data);
    EXPECT_EQ(tree.currentItem(), data);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(tree.PathOfItem(spy[0][0].value<QTreeWidgetItem*>()), temp.Path() + "/Data");
}

TEST_F(DirTreeTest, SelectPathIgnoresCaseAndTrailingSeparators) {
    ASSERT_TRUE(tree.ShowTree(temp.Path(), false));
    QSignalSpy spy(&tree, &CDirTreeCtrl::SelectionChanged);
    ASSERT_TRUE(tree.SelectPath(temp.Path() + "/DATA/run1/"));
    QTreeWidgetItem* selected = tree.currentItem();
    ASSERT_TRUE(selected);
    EXPECT_EQ(tree.PathOfItem(selected), temp.Path() + "/Data/Run1");  // as the disk spells it
    EXPECT_TRUE(selected->isSelected());
    EXPECT_EQ(spy.count(), 1);
    EXPECT_TRUE(selected->parent()->isExpanded());
}

TEST_F(DirTreeTest, SelectPathOfWhatIsNotShownChangesNothing) {
    ASSERT_TRUE(tree.ShowTree(temp.Path() + "/alpha", false));
    QSignalSpy spy(&tree, &CDirTreeCtrl::SelectionChanged);
    const std::string notThere[] = {
        temp.Path() + "/alpha/missing",  // below the root, but not on disk
        temp.Path() + "/Beta",           // on disk, but outside the root
        temp.Path() + "/alphabet",       // passes the plain prefix test only
        "",
    };
    for (const std::string& path : notThere) {
        EXPECT_FALSE(tree.SelectPath(path)) << path;
        EXPECT_EQ(tree.currentItem(), nullptr);
        EXPECT_TRUE(HasOnlyPlaceholder(tree.topLevelItem(0)->child(0)));
    }
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(DirTreeTest, SelectPathListsAnExpandedFolderAgain) {
    ASSERT_TRUE(tree.ShowTree(temp.Path(), false));
    ASSERT_TRUE(tree.SelectPath(temp.Path() + "/alpha"));
    temp.MakeFolder("alpha/later");
    temp.MakeFolder("Zeta");
    ASSERT_TRUE(tree.SelectPath(temp.Path() + "/alpha/later"));
    EXPECT_EQ(tree.PathOfItem(tree.currentItem()), temp.Path() + "/alpha/later");
    EXPECT_EQ(ChildTexts(tree.topLevelItem(0)), (std::vector<std::string>{"alpha", "Beta", "Data", "gamma", "Zeta"}));
}

TEST_F(DirTreeTest, DriveModeListsEveryDriveWithPathsThatNeverDoubleASeparator) {
    shell->drives = {"/", temp.Path() + "/Data/"};
    ASSERT_TRUE(tree.ShowTree("", false));
    EXPECT_EQ(tree.RootPath(), "");
    ASSERT_EQ(tree.topLevelItemCount(), 2);
    QTreeWidgetItem* slash = tree.topLevelItem(0);
    EXPECT_EQ(slash->text(0), "/");
    EXPECT_EQ(tree.PathOfItem(slash), "/");
    EXPECT_EQ(tree.topLevelItem(1)->text(0).toStdString(), temp.Path() + "/Data");
    EXPECT_TRUE(HasOnlyPlaceholder(slash));

    slash->setExpanded(true);
    QTreeWidgetItem* tmp = nullptr;
    for (int i = 0; i < slash->childCount(); ++i)
        if (tree.PathOfItem(slash->child(i)) == "/tmp") tmp = slash->child(i);
    EXPECT_TRUE(tmp);

    // The nearest drive serves: the mounted folder's own item, not the way down from "/".
    ASSERT_TRUE(tree.SelectPath(temp.Path() + "/Data/Run1"));
    EXPECT_EQ(tree.currentItem()->parent(), tree.topLevelItem(1));
    ASSERT_TRUE(tree.SelectPath(temp.Path() + "/gamma"));
    EXPECT_EQ(tree.PathOfItem(tree.currentItem()), temp.Path() + "/gamma");
    ASSERT_TRUE(tree.SelectPath("/"));
    EXPECT_EQ(tree.currentItem(), slash);
}

TEST_F(DirTreeTest, FailuresSetTheirErrorText) {
    shell->images = false;
    temp.MakeFolder("x");
    EXPECT_FALSE(tree.ShowTree(temp.Path(), false));
    EXPECT_EQ(tree.ErrorText(), "Cannot retrieve the Handle of SystemImageList!");
    EXPECT_EQ(tree.topLevelItemCount(), 0);

    shell->images = true;
    shell->hasDrives = false;
    EXPECT_FALSE(tree.ShowTree("", false));
    EXPECT_EQ(tree.ErrorText(), "Error Getting Logical DriveStrings!");
    EXPECT_EQ(tree.topLevelItemCount(), 0);

    shell->noIconFor = temp.Path() + "/Beta";
    ASSERT_TRUE(tree.ShowTree(temp.Path(), false));
    EXPECT_EQ(tree.ErrorText(), "Error Gettting SystemFileInfo!");
    EXPECT_EQ(ChildTexts(tree.topLevelItem(0)), (std::vector<std::string>{"alpha", "Data", "gamma", "x"}));

    shell->noIconFor = temp.Path();
    EXPECT_FALSE(tree.ShowTree(temp.Path(), false));  // no root item: nothing to hang folders on
    EXPECT_EQ(tree.topLevelItemCount(), 0);
}

TEST(MountedMediaFolders, TakesMountPointsBelowTheMediaRoots) {
    const char* table =
        "/dev/sda1 / ext4 rw 0 0\n"
        "/dev/sdb1 /media/anna/USB\\040DISK vfat rw 0 0\n"
        "server:/export /mnt/share nfs4 rw 0 0\n"
        "tmpfs /mnt tmpfs rw 0 0\n"
        "/dev/sdc1 /run/media/anna/CARD exfat rw 0 0\n"
        "/dev/sdd1 /home ext4 rw 0 0\n"
        "/dev/sdb1 /media/anna/USB\\040DISK vfat rw 0 0\n"
        "garbage\n";
    EXPECT_EQ(MountedMediaFolders(table),
              (std::vector<std::string>{"/media/anna/USB DISK/", "/mnt/share/", "/run/media/anna/CARD/"}));
}

TEST(SortStringArray, SortsIgnoringCaseAndKeepsEqualStringsInOrder) {
    CSortStringArray a{"gamma", "b", "Beta", "B", "alpha", "антилопа", "Zebra", "ЁЖ", "ель"};
    a.Sort();
    EXPECT_EQ(a, (CSortStringArray{"alpha", "b", "B", "Beta", "gamma", "Zebra", "антилопа", "ель", "ЁЖ"}));
}

}  // namespace
