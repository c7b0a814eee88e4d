// "Хроматограммы уровней…" from the main dialog: the five level chromatograms in one window,
// which follows the dialog's levels while it is open.
#include "DialogDriver.h"

#include "app/LevelOverlayWindow.h"
#include "chart/AutoCtrl.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace {

using namespace apptest;

// Waits for the window's reads (they run off the window's thread).
void WaitShown(CLevelOverlayWindow* window) {
    for (int i = 0; i < 500 && !window->Current(); ++i) QTest::qWait(10);
    ASSERT_TRUE(window->Current());
}

std::vector<bool> Missing(const CLevelOverlayWindow* window) {
    std::vector<bool> missing;
    for (const OverlayLegendEntry& entry : window->Plot().Legend()) missing.push_back(entry.missing);
    return missing;
}

TEST(LevelOverlayWindow, OpensFromTheDialogAndFollowsItsLevels) {
    const auto profile = Profile::Demo();
    Driver d;
    d.Click(resources::IDC_LEVEL_OVERLAY);
    CLevelOverlayWindow* window = d.dialog->LevelOverlay();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    WaitShown(window);
    EXPECT_EQ(Missing(window), std::vector<bool>(5, false));
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(window->Plot().Levels()[static_cast<std::size_t>(k)].path,
                  profile->demo.levelPaths[static_cast<std::size_t>(k)]);
    d.Click(resources::IDC_LEVEL_OVERLAY);
    EXPECT_EQ(d.dialog->LevelOverlay(), window) << "asked again, the same window";

    // The components' region and back: the control's history holds the view it left.
    const ChartView full = window->Plot().FullView();
    QApplication::setActiveWindow(window);
    (void)QTest::qWaitForWindowActive(window);
    QTest::keyClick(window, Qt::Key_F5);
    (void)window->Chart()->grab();  // the frame takes the range it is given when it is drawn
    EXPECT_GT(window->Chart()->chart.xMin, full.xMin);
    EXPECT_LT(window->Chart()->chart.xMax, full.xMax);
    EXPECT_EQ(window->Chart()->History().size(), 1u);
    QTest::mouseClick(window->Chart(), Qt::RightButton, {}, window->Chart()->rect().center());
    QApplication::processEvents();  // the control posts the click on to the window
    (void)window->Chart()->grab();
    EXPECT_DOUBLE_EQ(window->Chart()->chart.xMin, full.xMin);
    EXPECT_DOUBLE_EQ(window->Chart()->chart.xMax, full.xMax);

    // A level chosen anew, then "Очистить": the window shows what the dialog holds.
    std::string chosen = profile->demo.analysisPaths[0];
    d.dialog->SetLevelFileChooser([&](QWidget*, const CCalibrationDlg::LevelFileRequest&) { return chosen; });
    d.Click(resources::IDC_LEVEL2);
    WaitShown(window);
    EXPECT_EQ(window->Plot().Levels()[2].path, chosen);
    d.Click(resources::IDC_CLEAR);
    WaitShown(window);
    EXPECT_EQ(Missing(window), std::vector<bool>(5, true));
    EXPECT_EQ(window->Plot().Legend()[1].text, "Уровень 0.05: хроматограмма не выбрана");
    EXPECT_EQ(window->Chart()->chart.GetSeries(2 * LevelOverlayPlot::kMaxLevels).count, 0);

    window->close();
    QApplication::processEvents();
    EXPECT_EQ(d.dialog->LevelOverlay(), nullptr);
}

}  // namespace
