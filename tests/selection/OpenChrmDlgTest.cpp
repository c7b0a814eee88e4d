#include "selection/OpenChrmDlg.h"

#include "platform/XTPRegistryManager.h"
#include "platform/Registry.h"
#include "platform/gui/DialogTemplate.h"
#include "resources/Resource.h"
#include "selection/DirTreeCtrl.h"
#include "support/DialogLanguage.h"
#include "support/MixedFolder.h"
#include "support/ScrollBarParts.h"
#include "support/SettingsHome.h"
#include "support/StgBuilder.h"
#include "support/TempDir.h"
#include "support/TimeZone.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QScrollBar>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <functional>
#include <future>
#include <optional>

#include <gtest/gtest.h>

namespace {

using namespace resources;
namespace gui = platform::gui;

// 2023-11-15 12:00:00 UTC: noon, so the local date is the 15th in every time zone a lab is in.
constexpr std::int64_t kNoon = 1700049600;

using Rows = std::vector<std::vector<std::string>>;

struct Chrm {
    const char* name;
    std::int64_t time = kNoon;
    const char* sample = "";
    const char* method = "";
    const char* site = "";
    const char* point = "";
    int isCalibration = 0;
};

class OpenChrmDlgTest : public ::testing::Test {
protected:
    OpenChrmDlgTest() : folder(data.MakeFolder("runs")) {}

    void Write(const Chrm& c, const std::string& in = {}) const {
        fixtures::ChromatogramFixture f;
        f.passport.sampleName = c.sample;
        f.passport.methodName = c.method;
        f.passport.samplingSite = c.site;
        f.passport.samplingPoint = c.point;
        f.passport.isCalibration = c.isCalibration;
        f.passport.dateTime = c.time;
        fixtures::WriteStg((in.empty() ? folder : in) + "/" + c.name, f);
    }

    static void SetLastWriteTime(const std::string& path, std::int64_t time) {
        const timespec times[2] = {{time, 0}, {time, 0}};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    }
    // A file that is no chromatogram, last written at `time`.
    void WriteUnreadable(const char* name, std::int64_t time) const {
        SetLastWriteTime(data.WriteFile(std::string("runs/") + name, "not a compound file"), time);
    }
    // A calibration run whose passport breaks off in its last value, last written at `time`.
    void WriteCutCalibration(const char* name, std::int64_t time) const {
        fixtures::ChromatogramFixture f;
        f.passport.isCalibration = 1;
        std::string passport = fixtures::EncodePassport(f.passport);
        passport.resize(passport.size() - 4);
        const std::string path = folder + "/" + name;
        fixtures::WriteCompoundFile(path, fixtures::Replaced(fixtures::EncodeStreams(f), "Passport", passport));
        SetLastWriteTime(path, time);
    }

    static std::optional<platform::RegistryKey> UserKey() {
        return platform::RegistryKey::Create(platform::RootKey::CurrentUser, platform::ApplicationKeyPath());
    }
    void Remember(const std::string& underRoot, const std::string& wholeFs = {}, bool wholeFileSystem = false) const {
        const auto key = UserKey();
        ASSERT_TRUE(key);
        platform::WriteRegString(*key, "LastOpenPath2", underRoot);
        platform::WriteRegString(*key, "LastOpenPath1", wholeFs);
        platform::WriteRegDword(*key, "OpenDirType", wholeFileSystem);
    }
    // A stored value, or "<missing>" (77) when it or the key is missing.
    static std::string UserString(const char* name) {
        std::string value = "<missing>";
        if (const auto key = UserKey()) platform::ReadRegString(value, *key, name, "<missing>");
        return value;
    }
    static std::uint32_t UserDword(const char* name) {
        const auto key = UserKey();
        return key ? platform::ReadRegDword(*key, name, 77) : 77;
    }

    // Runs the dialog with `operate` acting as the operator once it shows; a dialog still open a
    // while later is a failure and is closed.
    // The operator's actions wait for the scans they start, so that what the test reads next is
    // the folder's whole listing.
    int Run(const std::function<void()>& operate, bool singleSelection = false, bool settleFirst = true) {
        QTimer::singleShot(0, &dialog, [&, settleFirst] {
            if (settleFirst) Settle();
            operate();
        });
        QTimer::singleShot(20000, &dialog, [this] {
            if (!dialog.isVisible()) return;
            ADD_FAILURE() << "the dialog was left open";
            dialog.done(99);
        });
        return dialog.Run(singleSelection);
    }
    std::vector<std::string> Result() const {
        std::vector<std::string> paths;
        for (int i = 0; i < dialog.SelectedCount(); ++i) paths.push_back(dialog.SelectedPath(i));
        return paths;
    }

    void Settle() { ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.Scanning(); }, 10000)) << "the scan never ended"; }

    template <class T = QWidget>
    T* Control(int id) {
        return gui::FindControl<T>(&dialog, id);
    }
    QTreeView* List() { return Control<QTreeView>(IDC_CHRM_LIST); }
    int RowCount() { return List()->model()->rowCount(); }
    std::string Text(int row, int column) {
        return List()->model()->index(row, column).data().toString().toStdString();
    }
    int RowOf(const std::string& file) {
        for (int r = 0; r < RowCount(); ++r)
            if (Text(r, 2) == file) return r;
        ADD_FAILURE() << "no row " << file;
        return 0;
    }
    Rows ListRows() {
        Rows rows;
        for (int r = 0; r < RowCount(); ++r) rows.push_back({Text(r, 0), Text(r, 1), Text(r, 2)});
        return rows;
    }
    std::vector<std::string> Files() {
        std::vector<std::string> files;
        for (const auto& row : ListRows()) files.push_back(row[2]);
        return files;
    }
    std::vector<std::string> SelectedFiles() {
        std::vector<std::string> files;
        for (int r = 0; r < RowCount(); ++r)
            if (List()->selectionModel()->isSelected(List()->model()->index(r, 0))) files.push_back(Text(r, 2));
        return files;
    }
    std::string FocusedFile() {
        const QModelIndex focused = List()->currentIndex();
        return focused.isValid() ? Text(focused.row(), 2) : "<none>";
    }
    std::vector<std::string> Items(int comboId) {
        std::vector<std::string> items;
        auto* combo = Control<QComboBox>(comboId);
        for (int i = 0; i < combo->count(); ++i) items.push_back(combo->itemText(i).toStdString());
        return items;
    }
    std::string Chosen(int comboId) { return Control<QComboBox>(comboId)->currentText().toStdString(); }
    std::string PassportBox() { return Control<QPlainTextEdit>(IDC_PASSPORT)->toPlainText().toStdString(); }
    std::string Caption() { return Control<QLabel>(IDC_FOLDER_CAPTION)->text().toStdString(); }

    // Operator actions.
    QPoint RowCentre(const std::string& file) {
        const QModelIndex index = List()->model()->index(RowOf(file), 1);
        List()->scrollTo(index);
        return List()->visualRect(index).center();
    }
    void ClickRow(const std::string& file, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, modifiers, RowCentre(file));
    }
    void DoubleClickRow(const std::string& file) {
        ClickRow(file);
        QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, RowCentre(file));
    }
    // Chooses an item with the arrow keys, as the operator does on a closed drop-down list.
    void Choose(int comboId, const std::string& text) {
        auto* combo = Control<QComboBox>(comboId);
        const int target = combo->findText(QString::fromStdString(text), Qt::MatchExactly | Qt::MatchCaseSensitive);
        ASSERT_GE(target, 0) << text;
        while (combo->currentIndex() < target) QTest::keyClick(combo, Qt::Key_Down);
        while (combo->currentIndex() > target) QTest::keyClick(combo, Qt::Key_Up);
        Settle();
    }
    void Click(int buttonId) {
        QTest::mouseClick(Control<QAbstractButton>(buttonId), Qt::LeftButton);
        Settle();
    }
    void ClickFolder(const std::string& path) {
        auto* tree = Control<CDirTreeCtrl>(IDC_FOLDER_TREE);
        QTreeWidgetItem* found = nullptr;
        for (QTreeWidgetItemIterator it(tree); *it && !found; ++it)
            if (tree->PathOfItem(*it) == path) found = *it;
        ASSERT_TRUE(found) << path;
        tree->scrollToItem(found);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(found).center());
        Settle();
    }

    // The list shows local dates: the zone is fixed so that they do not depend on the machine's.
    fixtures::TimeZone zone{"MSK-3"};
    fixtures::SettingsHome home;
    fixtures::TempDir data;
    std::string folder;
    COpenChrmDlg dialog;
};

TEST_F(OpenChrmDlgTest, OpensOnTheRememberedFolderNewestFirst) {
    Write({"old.stg", kNoon - 86400, "Бланк", "Этанол", "Цех 1", "Кран 2", 1});
    Write({"new.stg", kNoon + 3600, "Проба 5", "Вода", "Цех 2"});
    Write({"b-same.stg", kNoon, "Проба 2"});
    Write({"A-same.stg", kNoon, "Проба 1"});
    data.MakeFolder("runs/sub.stg");  // a folder matching the pattern is no file
    Remember(folder);
    const int result = Run([&] {
        EXPECT_EQ(ListRows(), (Rows{{"15.11.23", "Проба 5", "new"},
                                    {"15.11.23", "Проба 1", "A-same"},  // same second: by title
                                    {"15.11.23", "Проба 2", "b-same"},
                                    {"14.11.23", "Бланк", "old"}}));
        EXPECT_EQ(Control<QLabel>(IDC_FOLDER_CAPTION)->text().toStdString(), folder);
        auto* tree = Control<CDirTreeCtrl>(IDC_FOLDER_TREE);
        ASSERT_TRUE(tree->currentItem());
        EXPECT_EQ(tree->PathOfItem(tree->currentItem()), folder);
        EXPECT_EQ(tree->topLevelItem(0)->text(0), "/");  // root mode with the default root
        EXPECT_EQ(Items(IDC_METHOD_FILTER), (std::vector<std::string>{"* (любой)", "Вода", "Этанол"}));
        EXPECT_EQ(Items(IDC_SITE_FILTER), (std::vector<std::string>{"* (любой)", "Цех 1", "Цех 2"}));
        EXPECT_EQ(Items(IDC_POINT_FILTER), (std::vector<std::string>{"* (любая)", "Кран 2"}));
        EXPECT_EQ(Chosen(IDC_METHOD_FILTER), "* (любой)");
        EXPECT_EQ(Chosen(IDC_POINT_FILTER), "* (любая)");
        EXPECT_EQ(Chosen(IDC_TYPE_FILTER), "Любые");
        EXPECT_TRUE(Control<QAbstractButton>(IDC_JOINT_SELECTION)->isChecked());
        EXPECT_FALSE(Control<QAbstractButton>(IDC_WHOLE_FILE_SYSTEM)->isChecked());
        // No row is focused before the operator points at one, even when the list takes the focus.
        QApplication::setActiveWindow(&dialog);
        List()->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        EXPECT_TRUE(List()->hasFocus());
        EXPECT_EQ(FocusedFile(), "<none>");
        EXPECT_EQ(List()->model()->headerData(1, Qt::Horizontal).toString(), "Проба");
        EXPECT_EQ(List()->columnWidth(1), 180);
        ClickRow("A-same");
        if (const char* shots = std::getenv("OSTREL_SCREENSHOTS")) dialog.grab().save(QString(shots) + "/open.png");
        Click(IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(dialog.SelectedCount(), 0);
}

TEST_F(OpenChrmDlgTest, JointSelectionAddsRowsLessThanFiveSecondsApart) {
    Write({"a.stg", kNoon});
    Write({"b.stg", kNoon + 4});
    Write({"c.stg", kNoon + 9});  // 5 seconds from b
    Remember(folder);
    Run([&] {
        ASSERT_EQ(Files(), (std::vector<std::string>{"c", "b", "a"}));
        ClickRow("a");
        EXPECT_EQ(SelectedFiles(), (std::vector<std::string>{"b", "a"}));
        ClickRow("c");
        EXPECT_EQ(SelectedFiles(), std::vector<std::string>{"c"});
        ClickRow("b", Qt::ControlModifier);  // adds b, which brings a (4 s) but not c's neighbours
        EXPECT_EQ(SelectedFiles(), (std::vector<std::string>{"c", "b", "a"}));
        ClickRow("a", Qt::ControlModifier);  // deselecting a: the focused row is not selected, nothing added
        EXPECT_EQ(SelectedFiles(), (std::vector<std::string>{"c", "b"}));

        Click(IDC_JOINT_SELECTION);
        EXPECT_FALSE(Control<QAbstractButton>(IDC_JOINT_SELECTION)->isChecked());
        ClickRow("a");
        EXPECT_EQ(SelectedFiles(), std::vector<std::string>{"a"});
        Click(IDOK);
    });
    EXPECT_EQ(Result(), std::vector<std::string>{folder + "/a.stg"});
    EXPECT_EQ(UserDword("MultiSelectMode"), 0u);
}

TEST_F(OpenChrmDlgTest, HiddenRowsAreNeverJoined) {
    Write({"shown.stg", kNoon, "", "Этанол"});
    Write({"hidden.stg", kNoon + 2, "", "Метанол"});
    Remember(folder);
    Run([&] {
        Choose(IDC_METHOD_FILTER, "Этанол");
        ASSERT_EQ(Files(), std::vector<std::string>{"shown"});
        ClickRow("shown");
        Choose(IDC_METHOD_FILTER, "* (любой)");  // the hidden file comes back, unselected
        EXPECT_EQ(Files(), (std::vector<std::string>{"hidden", "shown"}));
        EXPECT_TRUE(SelectedFiles().empty());
        Choose(IDC_METHOD_FILTER, "Этанол");
        ClickRow("shown");
        Click(IDOK);
    });
    EXPECT_EQ(Result(), std::vector<std::string>{folder + "/shown.stg"});
}

// The passport box shows the focused file's passport in readable lines, or that it cannot be read.
TEST_F(OpenChrmDlgTest, UnreadableFilesKeepTheirRowsAndCanBeChosen) {
    const fixtures::TimeZone utc("UTC");
    Write({"good.stg", kNoon + 60, "Проба", "Этанол", "", "", 1});
    WriteUnreadable("broken.stg", kNoon - 2 * 86400);
    WriteCutCalibration("cut.stg", kNoon - 86400);
    Remember(folder);
    Run([&] {
        EXPECT_EQ(ListRows(), (Rows{{"15.11.23", "Проба", "good"},
                                    {"14.11.23", "????", "cut"},
                                    {"13.11.23", "????", "broken"}}));
        ClickRow("broken");
        EXPECT_EQ(PassportBox(), "Ошибка чтения !!!");
        ClickRow("good");
        EXPECT_EQ(PassportBox(), "Проба: Проба\n"
                                 "Метод: Этанол\n"
                                 "Пункт отбора: —\n"
                                 "Точка отбора: —\n"
                                 "Дата и время: 15.11.2023 12:01:00\n"
                                 "Тип: градуировка");

        // The cut passport got as far as its calibration flag before the read failed.
        Choose(IDC_TYPE_FILTER, "Градуировочные");
        EXPECT_EQ(Files(), (std::vector<std::string>{"good", "cut"}));
        Choose(IDC_TYPE_FILTER, "Анализы");
        EXPECT_EQ(Files(), std::vector<std::string>{"broken"});
        EXPECT_EQ(Items(IDC_METHOD_FILTER), std::vector<std::string>{"* (любой)"});  // filters offer what was scanned
        Choose(IDC_TYPE_FILTER, "Любые");
        Choose(IDC_METHOD_FILTER, "Этанол");
        EXPECT_EQ(Files(), std::vector<std::string>{"good"});  // no method: gone under any method filter
        Choose(IDC_METHOD_FILTER, "* (любой)");
        ClickRow("broken");
        Click(IDOK);
    });
    EXPECT_EQ(Result(), std::vector<std::string>{folder + "/broken.stg"});
}

// Every kind of file a lab folder holds, listed under each type as the dialog always listed it.
TEST_F(OpenChrmDlgTest, ListsAMixedFolderUnderEachType) {
    const fixtures::MixedFolder mix = fixtures::WriteMixedFolder(folder);
    Remember(folder);
    Run([&] {
        const char* types[] = {"Любые", "Градуировочные", "Анализы"};
        for (int type = 0; type < 3; ++type) {
            Choose(IDC_TYPE_FILTER, types[type]);
            std::vector<std::string> listed, expected;
            for (const ChrmFileEntry& e : dialog.Entries())
                listed.push_back(e.fileName + " | " + e.sampleName + " | " + e.methodName + " | " + e.samplingSite +
                                 " | " + e.samplingPoint + " | " + std::to_string(e.dateTime.time_since_epoch().count()));
            for (const fixtures::ExpectedScanEntry& e : mix.ExpectedOfType(type))
                expected.push_back(e.fileName + " | " + e.sampleName + " | " + e.methodName + " | " + e.samplingSite +
                                   " | " + e.samplingPoint + " | " + std::to_string(e.dateTime));
            EXPECT_EQ(listed, expected) << types[type];
            EXPECT_EQ(RowCount(), static_cast<int>(expected.size()));
        }
        Click(IDCANCEL);
    });
}

// A passport reader that hangs on the files whose names contain `hangOn` until Release, as a
// file on a share gone quiet does. It holds only shared state, so the scan's readers may run
// on after the test has let go of it.
class HangingReader {
public:
    explicit HangingReader(std::string hangOn) : hangOn_(std::move(hangOn)) {}

    chromatogram::PassportReader Reader() const {
        return [hangOn = hangOn_, released = released_, ended = ended_](const std::string& path,
                                                                        chromatogram::Passport& passport) {
            const bool hangs = path.find(hangOn) != std::string::npos;
            if (hangs) released.wait();
            const bool read = passport.ReadFromFile(path, "Passport");
            if (hangs) *ended = true;
            return read;
        };
    }
    void Release() { release_.set_value(); }
    bool HungReadEnded() const { return *ended_; }

private:
    std::string hangOn_;
    std::promise<void> release_;
    std::shared_future<void> released_ = release_.get_future().share();
    std::shared_ptr<std::atomic<bool>> ended_ = std::make_shared<std::atomic<bool>>(false);
};

// While one file hangs the others are listed in their final order, the caption counts them,
// the operator's clicks are handled (a row chosen, its twin joined by the joint selection) and
// Open takes what is listed.
TEST_F(OpenChrmDlgTest, TheOperatorWorksWhileAFileHangs) {
    Write({"a.stg", kNoon});
    Write({"b.stg", kNoon + 2});
    Write({"c.stg", kNoon + 100});
    Write({"slow.stg", kNoon + 50});
    Remember(folder);
    HangingReader slow("slow.stg");
    dialog.SetPassportReader(slow.Reader());
    Run(
        [&] {
            ASSERT_TRUE(QTest::qWaitFor([&] { return RowCount() == 3; }, 10000));
            EXPECT_TRUE(dialog.Scanning());
            EXPECT_EQ(Files(), (std::vector<std::string>{"c", "b", "a"}));
            EXPECT_EQ(Caption(), folder + "   (прочитано файлов: 3 из 4)");
            ClickRow("a");
            EXPECT_EQ(SelectedFiles(), (std::vector<std::string>{"b", "a"}));
            QTest::mouseClick(Control<QAbstractButton>(IDOK), Qt::LeftButton);
        },
        false, false);
    EXPECT_EQ(dialog.result(), IDOK);
    EXPECT_EQ(Result(), (std::vector<std::string>{folder + "/b.stg", folder + "/a.stg"}));
    slow.Release();
}

// Another folder chosen while a file of the first hangs: the first scan is dropped at once and
// nothing it reads later reaches the list.
TEST_F(OpenChrmDlgTest, AFolderChangeCancelsTheScanAndListsOnlyTheNewFolder) {
    Write({"old.stg", kNoon});
    Write({"old-slow.stg", kNoon});
    const std::string more = data.MakeFolder("runs/more");
    Write({"new.stg", kNoon}, more);
    Remember(folder);
    HangingReader slow("old-slow.stg");
    dialog.SetPassportReader(slow.Reader());
    Run(
        [&] {
            ASSERT_TRUE(QTest::qWaitFor([&] { return RowCount() == 1; }, 10000));
            EXPECT_EQ(Files(), std::vector<std::string>{"old"});
            ClickFolder(more);
            EXPECT_EQ(Files(), std::vector<std::string>{"new"});
            EXPECT_EQ(Caption(), more);
            slow.Release();
            ASSERT_TRUE(QTest::qWaitFor([&] { return slow.HungReadEnded(); }, 10000));
            QTest::qWait(3 * 20);  // a few turns of the list's poll, had it kept the old scan
            EXPECT_EQ(Files(), std::vector<std::string>{"new"});
            EXPECT_EQ(dialog.Entries().size(), 1u);
            Click(IDCANCEL);
        },
        false, false);
}

// A folder that cannot be listed: an empty list, and the caption says why.
TEST_F(OpenChrmDlgTest, SaysWhyAFolderCannotBeListed) {
    Remember(folder + "/gone");
    Run([&] {
        EXPECT_EQ(RowCount(), 0);
        EXPECT_EQ(Caption(), folder + "/gone   (папка не найдена)");
        Click(IDCANCEL);
    });
}

TEST_F(OpenChrmDlgTest, MethodsThatDifferInCaseAreOneFilterItem) {
    Write({"1.stg", kNoon + 3, "", "ЭТАНОЛ-м"});
    Write({"2.stg", kNoon + 2, "", "Этанол-М"});
    Write({"3.stg", kNoon + 1, "", "* (ЛЮБОЙ)"});  // looks like the any-item, but is a value
    Write({"4.stg", kNoon, "", "Вода"});
    Remember(folder);
    Run([&] {
        EXPECT_EQ(Items(IDC_METHOD_FILTER), (std::vector<std::string>{"* (ЛЮБОЙ)", "* (любой)", "Вода", "ЭТАНОЛ-м"}));
        Choose(IDC_METHOD_FILTER, "ЭТАНОЛ-м");
        EXPECT_EQ(Files(), (std::vector<std::string>{"1", "2"}));
        Choose(IDC_METHOD_FILTER, "* (ЛЮБОЙ)");
        EXPECT_EQ(Files(), std::vector<std::string>{"3"});
        Click(IDCANCEL);
    });
}

TEST_F(OpenChrmDlgTest, ChangingFolderOrTypeResetsTheValueFilters) {
    Write({"1.stg", kNoon, "", "Этанол", "Цех", "Кран"});
    Write({"2.stg", kNoon, "", "Этанол", "Цех", "Кран"}, data.MakeFolder("runs/more"));
    Remember(folder);
    Run([&] {
        const auto setAll = [&] {
            Choose(IDC_METHOD_FILTER, "Этанол");
            Choose(IDC_SITE_FILTER, "Цех");
            Choose(IDC_POINT_FILTER, "Кран");
        };
        const auto expectAny = [&] {
            EXPECT_EQ(Chosen(IDC_METHOD_FILTER), "* (любой)");
            EXPECT_EQ(Chosen(IDC_SITE_FILTER), "* (любой)");
            EXPECT_EQ(Chosen(IDC_POINT_FILTER), "* (любая)");
        };
        setAll();
        Choose(IDC_TYPE_FILTER, "Анализы");
        expectAny();
        setAll();
        ClickFolder(folder + "/more");
        expectAny();
        EXPECT_EQ(Files(), std::vector<std::string>{"2"});
        EXPECT_EQ(Control<QLabel>(IDC_FOLDER_CAPTION)->text().toStdString(), folder + "/more");
        Click(IDOK);
    });
    EXPECT_EQ(UserString("LastOpenPath2"), folder + "/more");
}

TEST_F(OpenChrmDlgTest, OpenTakesTheFocusedRowAndStoresTheFolders) {
    Write({"A.B.stg", kNoon});
    Write({"RUN1.STG", kNoon + 100});
    Write({"far.stg", kNoon + 1000});
    Remember(folder, "/nowhere");
    Run([&] {
        Click(IDC_JOINT_SELECTION);  // off, so the focused row comes alone
        ClickRow("far");
        ClickRow("far", Qt::ControlModifier);  // the selection is emptied, the focus stays
        QTest::keyClick(List(), Qt::Key_Down, Qt::ControlModifier);  // the focus moves alone
        QTest::keyClick(List(), Qt::Key_Down, Qt::ControlModifier);
        ASSERT_TRUE(SelectedFiles().empty());
        ASSERT_EQ(FocusedFile(), "A.B");
        Click(IDOK);
    });
    EXPECT_EQ(Result(), std::vector<std::string>{folder + "/A.B.stg"});
    EXPECT_EQ(UserString("LastOpenPath1"), "/nowhere");
    EXPECT_EQ(UserString("LastOpenPath2"), folder);
    EXPECT_EQ(UserDword("MultiSelectMode"), 0u);
    EXPECT_EQ(UserDword("OpenDirType"), 0u);

    // The path keeps the name as the disk spells it.
    COpenChrmDlg again;
    QTimer::singleShot(0, &again, [&] {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !again.Scanning(); }, 10000));
        auto* list = gui::FindControl<QTreeView>(&again, IDC_CHRM_LIST);
        list->setCurrentIndex(list->model()->index(1, 0));
        QTest::mouseClick(gui::FindControl<QAbstractButton>(&again, IDOK), Qt::LeftButton);
    });
    ASSERT_EQ(again.Run(false), IDOK);
    ASSERT_EQ(again.SelectedCount(), 1);
    EXPECT_EQ(again.SelectedPath(0), folder + "/RUN1.STG");
}

TEST_F(OpenChrmDlgTest, OpenOnAnEmptyFolderReturnsNothing) {
    Remember(data.MakeFolder("empty"));
    EXPECT_EQ(Run([&] { Click(IDOK); }), IDOK);
    EXPECT_EQ(dialog.SelectedCount(), 0);
}

TEST_F(OpenChrmDlgTest, CancelWritesNothing) {
    Write({"1.stg"}, data.MakeFolder("runs/other"));
    Remember(folder);
    std::string before;
    const int result = Run([&] {
        before = fixtures::ReadFileBytes(home.UserHive());
        ClickFolder(folder + "/other");
        Click(IDC_WHOLE_FILE_SYSTEM);
        ClickRow("1");
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_FALSE(before.empty());
    EXPECT_EQ(fixtures::ReadFileBytes(home.UserHive()), before);
    EXPECT_EQ(dialog.SelectedCount(), 0);
}

TEST_F(OpenChrmDlgTest, RootModeListsARememberedFolderOutsideTheRoot) {
    const std::string root = data.MakeFolder("root");
    data.MakeFolder("root/inside");
    Write({"outside.stg"});
    home.WriteMachineHive("Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\Tarnwick\\Velmora]\n"
                          "\"OpenPath\"=\"" + root + "\"\n");
    Remember(folder);
    Run([&] {
        auto* tree = Control<CDirTreeCtrl>(IDC_FOLDER_TREE);
        ASSERT_EQ(tree->topLevelItemCount(), 1);
        EXPECT_EQ(tree->PathOfItem(tree->topLevelItem(0)), root);
        EXPECT_EQ(tree->currentItem(), nullptr);
        EXPECT_EQ(Files(), std::vector<std::string>{"outside"});
        EXPECT_EQ(Control<QLabel>(IDC_FOLDER_CAPTION)->text().toStdString(), folder);
        ClickFolder(root + "/inside");
        EXPECT_TRUE(Files().empty());
        Click(IDOK);
    });
    EXPECT_EQ(UserString("LastOpenPath2"), root + "/inside");
}

TEST_F(OpenChrmDlgTest, WholeFileSystemModeKeepsItsOwnFolder) {
    const std::string other = data.MakeFolder("other");
    Write({"w.stg"}, other);
    Write({"r.stg"});
    Remember(folder, other, true);
    Run([&] {
        auto* tree = Control<CDirTreeCtrl>(IDC_FOLDER_TREE);
        EXPECT_TRUE(Control<QAbstractButton>(IDC_WHOLE_FILE_SYSTEM)->isChecked());
        EXPECT_EQ(tree->RootPath(), "");
        ASSERT_TRUE(tree->currentItem());
        EXPECT_EQ(tree->PathOfItem(tree->currentItem()), other);
        EXPECT_EQ(Files(), std::vector<std::string>{"w"});
        Click(IDC_WHOLE_FILE_SYSTEM);  // to root mode: its own remembered folder
        EXPECT_EQ(Files(), std::vector<std::string>{"r"});
        Click(IDC_WHOLE_FILE_SYSTEM);
        EXPECT_EQ(Files(), std::vector<std::string>{"w"});
        Click(IDOK);
    });
    EXPECT_EQ(UserDword("OpenDirType"), 1u);
    EXPECT_EQ(UserString("LastOpenPath1"), other);
    EXPECT_EQ(UserString("LastOpenPath2"), folder);
    EXPECT_EQ(UserDword("MultiSelectMode"), 1u);
}

TEST_F(OpenChrmDlgTest, DoubleClickPostsOpen) {
    Write({"x.stg", kNoon});
    Write({"y.stg", kNoon + 2});
    Remember(folder);
    bool openAfterDoubleClick = false;
    Run([&] {
        DoubleClickRow("x");
        openAfterDoubleClick = dialog.isVisible();  // Open runs once the click has been handled
    });
    EXPECT_TRUE(openAfterDoubleClick);
    EXPECT_EQ(dialog.result(), IDOK);
    EXPECT_EQ(Result(), (std::vector<std::string>{folder + "/y.stg", folder + "/x.stg"}));
}

TEST_F(OpenChrmDlgTest, SingleSelectionAllowsOneRowAndJoinsNothing) {
    Write({"x.stg", kNoon});
    Write({"y.stg", kNoon + 2});
    Remember(folder);
    Run(
        [&] {
            ASSERT_TRUE(Control<QAbstractButton>(IDC_JOINT_SELECTION)->isChecked());
            ClickRow("x");
            EXPECT_EQ(SelectedFiles(), std::vector<std::string>{"x"}) << "y, 2 seconds apart, is not joined";
            ClickRow("y", Qt::ControlModifier);
            EXPECT_EQ(SelectedFiles(), std::vector<std::string>{"y"});
            Click(IDOK);
        },
        true);
    EXPECT_EQ(Result(), std::vector<std::string>{folder + "/y.stg"});
}

// "Совместный выбор" opens as it was last stored by Open.
TEST_F(OpenChrmDlgTest, JointSelectionStartsAsLastStored) {
    Write({"x.stg", kNoon});
    Write({"y.stg", kNoon + 2});
    Remember(folder);
    for (const bool stored : {false, true}) {
        SCOPED_TRACE(stored);
        platform::WriteRegDword(*UserKey(), "MultiSelectMode", stored ? 1 : 0);
        COpenChrmDlg again;
        QTimer::singleShot(0, &again, [&] {
            ASSERT_TRUE(QTest::qWaitFor([&] { return !again.Scanning(); }, 10000));
            EXPECT_EQ(gui::FindControl<QAbstractButton>(&again, IDC_JOINT_SELECTION)->isChecked(), stored);
            auto* list = gui::FindControl<QTreeView>(&again, IDC_CHRM_LIST);
            const QModelIndex x = list->model()->index(1, 1);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(x).center());
            EXPECT_EQ(list->selectionModel()->selectedRows().size(), stored ? 2 : 1);
            QTest::mouseClick(gui::FindControl<QAbstractButton>(&again, IDOK), Qt::LeftButton);
        });
        ASSERT_EQ(again.Run(false), IDOK);
        EXPECT_EQ(UserDword("MultiSelectMode"), stored ? 1u : 0u);
    }
}

// The file given beforehand (a level's chromatogram) is selected and focused whenever its folder
// is listed.
TEST_F(OpenChrmDlgTest, ThePreselectedFileIsSelectedAndFocusedWhenItsFolderShows) {
    for (int i = 0; i < 60; ++i) Write({("f" + std::to_string(100 + i) + ".stg").c_str(), kNoon + 10 * i});
    const std::string other = data.MakeFolder("runs/other");
    Write({"o.stg"}, other);
    Remember(folder);
    dialog.SetPreselectedFile(folder + "/f105.stg");
    Run(
        [&] {
            EXPECT_EQ(FocusedFile(), "f105");
            EXPECT_EQ(SelectedFiles(), std::vector<std::string>{"f105"});
            EXPECT_TRUE(List()->viewport()->rect().contains(List()->visualRect(List()->currentIndex()).center()))
                << "scrolled into view";
            ClickFolder(other);
            EXPECT_TRUE(SelectedFiles().empty());
            ClickFolder(folder);
            EXPECT_EQ(FocusedFile(), "f105");
            Click(IDOK);
        },
        true);
    EXPECT_EQ(Result(), std::vector<std::string>{folder + "/f105.stg"});
}

// The list's horizontal scroll bar follows the view: with the view at the left edge of the columns
// the thumb, the dark part of the bar, stands at the left, and at the right edge at the right.
TEST_F(OpenChrmDlgTest, TheScrollBarThumbStandsWhereTheViewIs) {
    Write({"x.stg", kNoon, "Проба"});
    Remember(folder);
    Run([&] {
        QScrollBar* bar = List()->horizontalScrollBar();
        // The dialog opens wider than its template (room for the chromatogram preview): a wide
        // sample column makes the columns wider than the list again.
        List()->setColumnWidth(1, List()->viewport()->width());
        QApplication::processEvents();
        ASSERT_GT(bar->maximum(), 0) << "the three columns are wider than the list";
        for (const bool atRight : {false, true}) {
            SCOPED_TRACE(atRight ? "the right edge shown" : "the left edge shown");
            bar->setValue(atRight ? bar->maximum() : bar->minimum());
            QApplication::processEvents();
            const QHeaderView* header = List()->header();
            if (atRight)
                EXPECT_EQ(header->sectionViewportPosition(2) + header->sectionSize(2), List()->viewport()->width());
            else
                EXPECT_EQ(header->sectionViewportPosition(0), 0);

            const QRect groove = fixtures::ScrollBarPart(*bar, QStyle::SC_ScrollBarGroove);
            const QImage picture = bar->grab().toImage();
            const int y = groove.center().y();
            const int leftEnd = qGray(picture.pixel(groove.left() + 3, y));
            const int rightEnd = qGray(picture.pixel(groove.right() - 3, y));
            if (atRight)
                EXPECT_LT(rightEnd, leftEnd) << "the dark thumb at the right";
            else
                EXPECT_LT(leftEnd, rightEnd) << "the dark thumb at the left";
        }
        Click(IDCANCEL);
    });
}

// The language is chosen before the dialog is built (the base class comes first).
class LanguageFirst {
protected:
    explicit LanguageFirst(resources::Language language) : language_(language) {}

private:
    fixtures::DialogLanguage language_;
};

class OpenChrmDlgIn : public LanguageFirst,
                      public OpenChrmDlgTest,
                      public ::testing::WithParamInterface<resources::Language> {
protected:
    OpenChrmDlgIn() : LanguageFirst(GetParam()) {}
};

INSTANTIATE_TEST_SUITE_P(Languages, OpenChrmDlgIn, ::testing::ValuesIn(fixtures::kLanguages), fixtures::LanguageName);

TEST_P(OpenChrmDlgIn, EveryCaptionShowsWholeAndNoControlsOverlap) {
    Write({"a.stg", kNoon, "Проба 1", "Этанол", "Цех 1", "Кран 2", 1});
    Remember(folder);
    Run([&] {
        fixtures::ExpectCaptionsWholeAndNoOverlap(dialog, {IDC_FOLDER_CAPTION});
        const QTreeView* list = List();
        for (int c = 0; c < 3; ++c) {
            const QString header = list->model()->headerData(c, Qt::Horizontal).toString();
            EXPECT_LE(list->header()->fontMetrics().horizontalAdvance(header), list->columnWidth(c))
                << header.toStdString();
        }
        if (GetParam() == resources::Language::English) {
            fixtures::ExpectNoRussianCaptions(dialog, {IDC_FOLDER_CAPTION, IDC_CHRM_LIST, IDC_FOLDER_TREE});
            EXPECT_EQ(Items(IDC_TYPE_FILTER), (std::vector<std::string>{"Any", "Calibration", "Analyses"}));
            EXPECT_EQ(Chosen(IDC_METHOD_FILTER), "* (any)");
            EXPECT_EQ(Items(IDC_METHOD_FILTER), (std::vector<std::string>{"* (any)", "Этанол"}))
                << "a method's name is data";
        }
        if (const char* shots = std::getenv("OSTREL_SCREENSHOTS"))
            dialog.grab().save(QString::fromUtf8(shots) + "/open-" +
                               QString::fromStdString(fixtures::LanguageName({GetParam(), 0})) + ".png");
        Click(IDCANCEL);
    });
}

TEST_P(OpenChrmDlgIn, ControlsFollowTheWindowAndComeBackExactly) {
    Remember(folder);
    Run([&] {
        const int ids[] = {IDC_CHRM_LIST,    IDC_PASSPORT,        IDOK,           IDCANCEL,
                           IDC_SITE_LABEL,   IDC_SITE_FILTER,     IDC_POINT_LABEL, IDC_POINT_FILTER,
                           IDC_FOLDER_CAPTION, IDC_JOINT_SELECTION, IDC_FOLDER_TREE, IDC_METHOD_FILTER,
                           IDC_TYPE_FILTER,  IDC_WHOLE_FILE_SYSTEM, IDC_METHOD_LABEL, IDC_TYPE_LABEL,
                           IDC_CHRM_PREVIEW};
        std::map<int, QRect> opening;
        for (int id : ids) opening[id] = Control(id)->geometry();
        const QSize size = dialog.size();

        dialog.resize(size + QSize(100, 50));
        QApplication::processEvents();
        // The list and the band under it share the added height.
        const std::map<int, QRect> expected = {
            {IDC_CHRM_LIST, opening[IDC_CHRM_LIST].adjusted(0, 0, 100, 25)},
            {IDC_PASSPORT, opening[IDC_PASSPORT].adjusted(0, 25, 0, 50)},
            {IDC_CHRM_PREVIEW, opening[IDC_CHRM_PREVIEW].adjusted(0, 25, 100, 50)},
            {IDOK, opening[IDOK].translated(100, 0)},
            {IDCANCEL, opening[IDCANCEL].translated(100, 0)},
            {IDC_SITE_LABEL, opening[IDC_SITE_LABEL].translated(100, 0)},
            {IDC_SITE_FILTER, opening[IDC_SITE_FILTER].translated(100, 0)},
            {IDC_POINT_LABEL, opening[IDC_POINT_LABEL].translated(100, 0)},
            {IDC_POINT_FILTER, opening[IDC_POINT_FILTER].translated(100, 0)},
            {IDC_FOLDER_CAPTION, opening[IDC_FOLDER_CAPTION].adjusted(0, 0, 100, 0)},
            {IDC_JOINT_SELECTION, opening[IDC_JOINT_SELECTION].translated(100, 50)},
            {IDC_FOLDER_TREE, opening[IDC_FOLDER_TREE].adjusted(0, 0, 0, 50)},
            {IDC_METHOD_FILTER, opening[IDC_METHOD_FILTER]},
            {IDC_TYPE_FILTER, opening[IDC_TYPE_FILTER]},
            {IDC_WHOLE_FILE_SYSTEM, opening[IDC_WHOLE_FILE_SYSTEM]},
            {IDC_METHOD_LABEL, opening[IDC_METHOD_LABEL]},
            {IDC_TYPE_LABEL, opening[IDC_TYPE_LABEL]},
        };
        for (const auto& [id, rect] : expected) EXPECT_EQ(Control(id)->geometry(), rect) << "control " << id;
        if (const char* shots = std::getenv("OSTREL_SCREENSHOTS")) dialog.grab().save(QString(shots) + "/open-enlarged.png");

        dialog.resize(dialog.minimumSize() - QSize(80, 10));  // smaller than its minimum: held there
        QApplication::processEvents();
        EXPECT_EQ(dialog.size(), dialog.minimumSize());
        dialog.resize(size);
        QApplication::processEvents();
        for (int id : ids) EXPECT_EQ(Control(id)->geometry(), opening[id]) << "control " << id;
        Click(IDCANCEL);
    });
}

// An instrument PC's 1024 x 768 screen, less a panel: the dialog opens within it and can be made
// as small as a window there may be, with every control inside; grown, the passport box takes the
// width its lines need and the preview grows in height as well.
TEST_P(OpenChrmDlgIn, FitsASmallScreenAndGivesThePassportItsRoom) {
    const QRect screen(0, 0, 1024, 768 - 32);
    const AvailableAreaFunction previous = SetAvailableAreaFunction([&](const QWidget*) { return screen; });
    Write({"long.stg", kNoon, "Проба", "Этанол", "Цех 1", "Градуировочный раствор этанола в воде, колба 5", 1});
    Remember(folder);
    Run([&] {
        EXPECT_LE(dialog.width(), screen.width());
        EXPECT_LE(dialog.height(), screen.height());
        EXPECT_LE(dialog.minimumWidth() + 16, 1024);
        EXPECT_LE(dialog.minimumHeight() + 40, 768 - 32);
        dialog.resize(dialog.minimumSize());
        QApplication::processEvents();
        const int ids[] = {IDC_CHRM_LIST,   IDC_PASSPORT,        IDOK,           IDCANCEL,        IDC_SITE_LABEL,
                           IDC_SITE_FILTER, IDC_POINT_LABEL,     IDC_POINT_FILTER, IDC_FOLDER_CAPTION,
                           IDC_JOINT_SELECTION, IDC_FOLDER_TREE, IDC_METHOD_FILTER, IDC_TYPE_FILTER,
                           IDC_WHOLE_FILE_SYSTEM, IDC_CHRM_PREVIEW};
        for (int id : ids) {
            EXPECT_TRUE(dialog.rect().contains(Control(id)->geometry())) << "control " << id << " outside";
            EXPECT_GT(Control(id)->width(), 0) << "control " << id;
        }
        for (int id : {IDOK, IDCANCEL, IDC_JOINT_SELECTION, IDC_POINT_FILTER, IDC_SITE_FILTER})
            for (int other : {IDC_CHRM_LIST, IDC_PASSPORT, IDC_CHRM_PREVIEW})
                EXPECT_FALSE(Control(id)->geometry().intersects(Control(other)->geometry())) << id << " under " << other;
        const int smallPreviewHeight = Control(IDC_CHRM_PREVIEW)->height();

        Settle();
        ClickRow("long");
        dialog.resize(1398, 1000);
        QApplication::processEvents();
        auto* passport = Control<QPlainTextEdit>(IDC_PASSPORT);
        ASSERT_NE(PassportBox().find("колба 5"), std::string::npos) << PassportBox();
        EXPECT_EQ(passport->horizontalScrollBar()->maximum(), 0) << "the passport's lines need scrolling";
        EXPECT_GT(Control(IDC_CHRM_PREVIEW)->height(), smallPreviewHeight);
        EXPECT_GT(Control(IDC_CHRM_PREVIEW)->width(), passport->width()) << "the preview keeps its room";
        Click(IDCANCEL);
    });
    SetAvailableAreaFunction(previous);
}

}  // namespace
