// A level's chromatogram from the main dialog: a double click on its row (or F3) opens it in a
// window of its own, with the peaks the calibration took and the areas the list shows.
#include "DialogDriver.h"

#include "app/ChromatogramWindow.h"
#include "selection/ChromatogramPreview.h"

#include <QApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

#include <filesystem>

#include <gtest/gtest.h>

namespace {

using namespace apptest;

std::vector<CChromatogramWindow*> Windows() {
    std::vector<CChromatogramWindow*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<CChromatogramWindow*>(w); window && window->isVisible()) found.push_back(window);
    return found;
}

TEST(ChromatogramWindow, OpensFromALevelRowWithThePeaksTheCalibrationTook) {
    const auto profile = Profile::Demo();
    Driver d;
    QTreeWidget* levels = d.Levels();
    const QRect row = levels->visualItemRect(levels->topLevelItem(1));
    QTest::mouseClick(levels->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(levels->viewport(), Qt::LeftButton, {}, row.center());
    QApplication::processEvents();
    ASSERT_EQ(Windows().size(), 1u);
    CChromatogramWindow* window = Windows()[0];
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->Preview()->CurrentState() == CChromatogramPreview::State::Shown; }))
        << "the file is read in the background";
    EXPECT_EQ(window->Preview()->Path(), profile->demo.levelPaths[1]);
    QTreeWidget* peaks = window->PeakList();
    ASSERT_EQ(peaks->topLevelItemCount(), 2);
    const core::CalibrationLevel& level = d.dialog->State().table[1];
    EXPECT_EQ(peaks->topLevelItem(0)->text(0).toStdString(), "этанол");
    EXPECT_NEAR(peaks->topLevelItem(0)->text(4).toDouble(), level.ethanolArea, 1e-4 * level.ethanolArea);
    EXPECT_EQ(peaks->topLevelItem(1)->text(0).toStdString(), "изопропанол");
    EXPECT_NEAR(peaks->topLevelItem(1)->text(4).toDouble(), level.standardArea, 1e-4 * level.standardArea);
    window->close();
    QApplication::processEvents();

    // F3 on the focused row does the same; the dialog stays open.
    QApplication::setActiveWindow(d.dialog.get());
    (void)QTest::qWaitForWindowActive(d.dialog.get());
    levels->setFocus();
    levels->setCurrentItem(levels->topLevelItem(4));
    QTest::keyClick(levels, Qt::Key_F3);
    QApplication::processEvents();
    ASSERT_EQ(Windows().size(), 1u);
    EXPECT_EQ(Windows()[0]->Preview()->Path(), profile->demo.levelPaths[4]);
    EXPECT_TRUE(d.dialog->isVisible());
    Windows()[0]->close();
}

// Esc and the window's own button close it; it follows its level's file while it is open, and
// a file it cannot read is named with its reason, in the title and on the chart's place.
TEST(ChromatogramWindow, ClosesByEscOrButtonAndFollowsItsLevel) {
    const auto profile = Profile::Demo();
    Driver d;
    QTreeWidget* levels = d.Levels();
    const auto open = [&](int row) {
        QApplication::setActiveWindow(d.dialog.get());
        levels->setFocus();
        levels->setCurrentItem(levels->topLevelItem(row));
        QTest::keyClick(levels, Qt::Key_F3);
        QApplication::processEvents();
    };
    open(1);
    ASSERT_EQ(Windows().size(), 1u);
    CChromatogramWindow* window = Windows()[0];
    QHeaderView* header = window->PeakList()->header();
    for (int column = 0; column < header->count(); ++column) {
        const QString text = window->PeakList()->headerItem()->text(column);
        EXPECT_GE(header->sectionSize(column), header->fontMetrics().horizontalAdvance(text))
            << text.toStdString() << ": the header is cut";
    }
    QApplication::setActiveWindow(window);
    (void)QTest::qWaitForWindowActive(window);
    QTest::keyClick(window, Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_TRUE(Windows().empty()) << "Esc closes";

    open(2);
    ASSERT_EQ(Windows().size(), 1u);
    window = Windows()[0];
    const std::string other = profile->demo.levelPaths[4];
    d.dialog->SetLevelFileChooser([&](QWidget*, const CCalibrationDlg::LevelFileRequest&) { return other; });
    d.Click(resources::IDC_LEVEL2);
    ASSERT_EQ(Windows().size(), 1u);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window->Preview()->CurrentState() != CChromatogramPreview::State::Reading; }, 10000));
    EXPECT_EQ(window->Preview()->Path(), other) << "the window shows the level's new file";
    EXPECT_EQ(window->PeakList()->topLevelItemCount(), 2);

    const std::string gone = profile->home.Dir().Path() + "/gone.stg";
    d.dialog->SetLevelFileChooser([&](QWidget*, const CCalibrationDlg::LevelFileRequest&) { return gone; });
    d.Click(resources::IDC_LEVEL2);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window->Preview()->CurrentState() != CChromatogramPreview::State::Reading; }, 10000));
    EXPECT_EQ(window->Preview()->CurrentState(), CChromatogramPreview::State::Unreadable);
    EXPECT_EQ(window->Preview()->Message().toStdString(), "Ошибка чтения\nфайл не найден");
    EXPECT_EQ(window->windowTitle().toStdString(), "Хроматограмма уровня 0.1: gone.stg — ошибка чтения: файл не найден");
    EXPECT_EQ(window->PeakList()->topLevelItemCount(), 0);
    QTest::mouseClick(window->CloseButton(), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_TRUE(Windows().empty()) << "its button closes";
}

}  // namespace
