// The open dialog's chromatogram preview follows the focused row: it shows the focused file's
// chromatogram, only the last of quickly passed rows, and "Ошибка чтения" with the reason for a damaged file,
// never the picture before it.
#include "selection/ChromatogramPreview.h"

#include "chart/AutoCtrl.h"
#include "platform/Registry.h"
#include "platform/XTPRegistryManager.h"
#include "selection/OpenChrmDlg.h"
#include "support/SettingsHome.h"
#include "support/StalledReads.h"
#include "support/StgBuilder.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

namespace {

constexpr std::int64_t kNoon = 1700049600;

class ChromatogramPreviewTest : public ::testing::Test {
protected:
    ChromatogramPreviewTest() : folder(data.MakeFolder("runs")) {
        const auto key =
            platform::RegistryKey::Create(platform::RootKey::CurrentUser, platform::ApplicationKeyPath());
        platform::WriteRegString(*key, "LastOpenPath2", folder);
        platform::WriteRegDword(*key, "OpenDirType", 0);
        // A screen with room for the dialog's opening size, whatever the test platform's is.
        previousArea_ = SetAvailableAreaFunction([](const QWidget*) { return QRect(0, 0, 1400, 1000); });
    }
    ~ChromatogramPreviewTest() override { SetAvailableAreaFunction(previousArea_); }

    // A run whose signal is `samples` long with one ethanol peak in the middle.
    void Write(const std::string& name, int samples, std::int64_t time) const {
        fixtures::SyntheticRun run;
        run.sampleCount = samples;
        run.peaks = {{"этанол", run.step * samples / 2, run.step * 10, 100}};
        fixtures::ChromatogramFixture c = fixtures::Synthesize(run);
        c.passport.sampleName = name;
        c.passport.dateTime = time;
        fixtures::WriteStg(folder + "/" + name + ".stg", c);
    }

    // Runs the dialog and, once its folder has been read, `operate`.
    int Run(const std::function<void()>& operate) {
        QTimer::singleShot(0, &dialog, [this, operate] {
            if (!QTest::qWaitFor([&] { return !dialog.Scanning(); }, 10000)) {
                ADD_FAILURE() << "the scan never ended";
                dialog.done(99);
                return;
            }
            operate();
        });
        QTimer::singleShot(20000, &dialog, [this] {
            if (!dialog.isVisible()) return;
            ADD_FAILURE() << "the dialog was left open";
            dialog.done(99);
        });
        return dialog.Run(false);
    }

    QTreeView* List() { return dialog.findChild<QTreeView*>(); }
    int RowOf(const std::string& title) {
        for (int r = 0; r < List()->model()->rowCount(); ++r)
            if (List()->model()->index(r, 2).data().toString().toStdString() == title) return r;
        ADD_FAILURE() << "no row " << title;
        return 0;
    }
    void Focus(const std::string& title) {
        List()->setFocus();
        List()->setCurrentIndex(List()->model()->index(RowOf(title), 0));
    }
    // Waits until the preview has shown what was asked for last.
    bool Settled() {
        QElapsedTimer clock;
        clock.start();
        while (dialog.Preview()->CurrentState() == CChromatogramPreview::State::Reading && clock.elapsed() < 5000)
            QTest::qWait(5);
        return dialog.Preview()->CurrentState() != CChromatogramPreview::State::Reading;
    }
    std::string Shown() {
        const CChromatogramPreview* p = dialog.Preview();
        if (p->CurrentState() != CChromatogramPreview::State::Shown) return "<" + p->Message().toStdString() + ">";
        const chromatogram::ChromatogramFile* file = p->Plot().File();
        return file ? file->passport.sampleName : "<no file>";
    }

    AvailableAreaFunction previousArea_;
    fixtures::SettingsHome home;
    fixtures::TempDir data;
    std::string folder;
    COpenChrmDlg dialog;
};

TEST_F(ChromatogramPreviewTest, FollowsTheFocusedRow) {
    Write("first", 2000, kNoon);
    Write("second", 3000, kNoon - 60);
    Write("third", 100'000, kNoon - 120);
    data.WriteFile("runs/damaged.stg", "not a compound file");
    Run([&] {
        EXPECT_EQ(dialog.Preview()->CurrentState(), CChromatogramPreview::State::Empty);
        EXPECT_GT(dialog.Preview()->width(), 300) << "no room for the preview";

        Focus("second");
        ASSERT_TRUE(Settled());
        EXPECT_EQ(Shown(), "second");
        ASSERT_NE(dialog.Preview()->Plot().File(), nullptr);
        EXPECT_EQ(dialog.Preview()->Plot().File()->signal.GetSize(), 3000);
        // The chart is drawn: the signal's colour is on the screen.
        const QImage picture = dialog.Preview()->Chart()->grab().toImage();
        int signalPixels = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                signalPixels += picture.pixel(x, y) == qRgb(kSignalColor.r, kSignalColor.g, kSignalColor.b);
        EXPECT_GT(signalPixels, 50);

        // Rows passed quickly: only the last one is shown.
        int shown = 0;
        const QMetaObject::Connection counting =
            QObject::connect(dialog.Preview(), &CChromatogramPreview::shown, [&] { ++shown; });
        for (const char* title : {"third", "first", "third", "second", "first"}) Focus(title);
        ASSERT_TRUE(Settled());
        EXPECT_EQ(Shown(), "first");
        EXPECT_EQ(shown, 1) << "files passed over were drawn";
        QObject::disconnect(counting);

        // A damaged file: the read error and its reason, not the picture before it.
        Focus("damaged");
        ASSERT_TRUE(Settled());
        EXPECT_EQ(dialog.Preview()->CurrentState(), CChromatogramPreview::State::Unreadable);
        EXPECT_EQ(Shown(), "<Ошибка чтения\nэто не файл хроматограммы>");
        EXPECT_EQ(dialog.Preview()->Plot().File(), nullptr);
        EXPECT_TRUE(dialog.Preview()->Chart()->isHidden() || !dialog.Preview()->Chart()->isVisible());

        Focus("third");
        ASSERT_TRUE(Settled());
        EXPECT_EQ(Shown(), "third");
        dialog.done(2);
    });
}

// The share stalls once the folder is listed: moving through the rows goes on (the passport box
// shows what the scan read, the preview says it is reading the row focused last), Esc closes
// while the read still hangs, and a preview going away leaves its hanging read behind.
TEST_F(ChromatogramPreviewTest, NothingWaitsForAStalledShare) {
    Write("first", 2000, kNoon);
    Write("second", 2000, kNoon - 60);
    Write("third", 2000, kNoon - 120);
    std::optional<fixtures::StalledReads> stall;
    Run([&] {
        stall.emplace(folder);
        Focus("first");
        ASSERT_TRUE(stall->WaitForWaiting(1));
        QTest::keyClick(List(), Qt::Key_Down);
        QTest::keyClick(List(), Qt::Key_Down);
        EXPECT_EQ(List()->currentIndex().row(), RowOf("third"));
        const std::string passport = dialog.findChild<QPlainTextEdit*>()->toPlainText().toStdString();
        EXPECT_EQ(passport.substr(0, passport.find('\n')), "Проба: third");
        EXPECT_EQ(dialog.Preview()->CurrentState(), CChromatogramPreview::State::Reading);
        EXPECT_EQ(dialog.Preview()->Path(), folder + "/third.stg");
        EXPECT_EQ(Shown(), "<чтение…>");
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.result(), 2);
    ASSERT_TRUE(stall);
    EXPECT_EQ(stall->Waiting(), 1) << "closing waited for the read";

    auto* alone = new CChromatogramPreview;
    alone->ShowFile(folder + "/second.stg");
    ASSERT_TRUE(stall->WaitForWaiting(2));
    delete alone;
    EXPECT_EQ(stall->Waiting(), 2) << "going away waited for the read";
}

}  // namespace
