#include "DialogDriver.h"

#include "app/CalculationWorker.h"
#include "core/Calc.h"
#include "support/StalledReads.h"

#include <QPushButton>

#include <charconv>
#include <cstring>

// The main dialog while the share of its level files stalls: the window shows and answers at
// once, only the newest pass is shown, the buttons that act on the figures wait for the pass of
// the inputs shown, and closing waits for no read.
namespace {

using namespace apptest;
using namespace resources;

constexpr const char* kReading = "чтение…";

// Bit for bit: a NaN equals itself, 0 and -0 differ.
template <class T>
bool SameBits(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}
bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

// The figures the synchronous pass makes of the same inputs and files, from fresh levels.
core::Calibration SynchronousPass(const core::Calibration& state) {
    core::Calibration c;
    c.nav = state.nav;
    c.nav2 = state.nav2;
    c.dolya = state.dolya;
    for (int k = 0; k < 5; ++k) c.table[k].path = state.table[k].path;
    c.ComputeCalibration();
    return c;
}

void ExpectSameFigures(const core::Calibration& shown, const core::Calibration& expected) {
    for (int k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        const core::CalibrationLevel &a = shown.table[k], &b = expected.table[k];
        EXPECT_EQ(a.sampleName, b.sampleName);
        EXPECT_EQ(a.file, b.file);
        EXPECT_EQ(a.sameFileAs, b.sameFileAs);
        for (auto field : {&core::CalibrationLevel::ethanolArea, &core::CalibrationLevel::standardArea,
                           &core::CalibrationLevel::ethanolAmount, &core::CalibrationLevel::standardAmount,
                           &core::CalibrationLevel::coefficient})
            EXPECT_TRUE(SameBits(a.*field, b.*field)) << a.*field << " " << b.*field;
    }
    EXPECT_TRUE(SameBits(shown.averageCoefficient, expected.averageCoefficient));
    EXPECT_TRUE(SameBits(shown.pointsX, expected.pointsX));
    EXPECT_TRUE(SameBits(shown.pointsY, expected.pointsY));
    EXPECT_TRUE(SameBits(shown.lineX, expected.lineX));
    EXPECT_TRUE(SameBits(shown.lineY, expected.lineY));
}

std::string Shortest(double value) {
    char buffer[64];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

// Start on a share that does not answer: the window is there and takes input while every level
// read waits; "Сохранить в метод" pressed meanwhile asks about the figures of the mass typed
// meanwhile, once the share answers, and those are the synchronous pass's to the bit.
TEST(BackgroundCalculation, TheWindowAnswersWhileTheLevelFilesStall) {
    auto profile = Profile::Demo();
    MessageLog log;
    log.answer = [](const ChoiceBox&) { return 1; };  // "Не записывать"
    fixtures::StalledReads stall(profile->demo.chromatograms);
    Driver d(false);
    ASSERT_TRUE(stall.WaitForWaiting(1)) << "the first level's read never began";
    EXPECT_TRUE(d.dialog->isVisible());
    EXPECT_TRUE(d.dialog->Calculating());
    for (int row = 0; row < 5; ++row) EXPECT_EQ(d.Cell(row, 1), kReading) << row;
    EXPECT_EQ(d.Average(), "…");
    EXPECT_EQ(d.Verdict(), "Идёт расчёт: чтение хроматограмм…");

    QLineEdit* nav = d.Field(IDC_NAV);
    nav->setFocus();
    nav->selectAll();
    QTest::keyClicks(nav, "2");
    EXPECT_EQ(nav->text().toStdString(), "2");
    QTest::mouseClick(d.Control<QPushButton>(IDC_SAVE_TO_METHOD), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_TRUE(log.boxes.empty()) << "nothing is offered before the figures are there";
    EXPECT_EQ(d.Verdict(), "Идёт расчёт: чтение хроматограмм… Запись в метод — по окончании расчёта.");
    EXPECT_EQ(stall.Waiting(), 1) << "the newer pass waits for the read in hand, it does not open another";

    stall.Release();
    ASSERT_TRUE(d.Settle());
    const core::Calibration& state = d.dialog->State();
    EXPECT_EQ(state.nav, 2);
    ExpectSameFigures(state, SynchronousPass(state));
    EXPECT_EQ(d.Cell(2, 1), "Градуировка 0.1");
    ASSERT_EQ(log.boxes.size(), 1u);
    EXPECT_NE(log.Box(0).find("Будет записано: " + Shortest(state.averageCoefficient)), std::string::npos)
        << log.Box(0);
}

// A pass superseded while it reads is never shown: with the first pass stalled on level 1 and
// the second on the file chosen for level 2, releasing the first shows nothing until the second
// has ended.
TEST(BackgroundCalculation, OnlyTheNewestPassIsShown) {
    auto profile = Profile::Demo();
    MessageLog log;
    const std::string first = profile->demo.levelPaths[1];
    const std::string chosen = profile->demo.analysisPaths.at(0);
    fixtures::StalledReads stall({first, chosen});
    Driver d(false);
    ASSERT_TRUE(stall.WaitForWaiting(1, first));
    d.dialog->SetLevelFileChooser([&](QWidget*, const CCalibrationDlg::LevelFileRequest&) { return chosen; });
    QTest::mouseClick(d.Control<QPushButton>(IDC_LEVEL2), Qt::LeftButton);

    stall.Release(first);
    ASSERT_TRUE(stall.WaitForWaiting(1, chosen)) << "the newer pass never reached its file";
    QTest::qWait(50);
    EXPECT_TRUE(d.dialog->Calculating());
    EXPECT_EQ(d.Average(), "…") << "the superseded pass's figures were shown";
    EXPECT_EQ(d.Cell(2, 1), kReading);

    stall.Release();
    ASSERT_TRUE(d.Settle());
    const core::Calibration& state = d.dialog->State();
    EXPECT_EQ(state.table[2].path, chosen);
    EXPECT_EQ(d.Cell(1, 1), "Градуировка 0.05");
    ExpectSameFigures(state, SynchronousPass(state));
}

// A read that has not answered for a few seconds says so on its row and in the verdict, with the
// file and the seconds waited; "Очистить" then gets the window away from it at once, without
// waiting for the read, which is left as it is.
TEST(BackgroundCalculation, AReadThatDoesNotAnswerIsToldAndClearingLeavesIt) {
    auto profile = Profile::Demo();
    MessageLog log;
    const std::string blank = profile->demo.levelPaths[0];
    fixtures::StalledReads stall(blank);
    Driver d(false);
    ASSERT_TRUE(stall.WaitForWaiting(1));
    EXPECT_EQ(d.Cell(0, 1), kReading);
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.Cell(0, 1) != kReading; }, 10000));
    EXPECT_EQ(d.Cell(0, 1), "ожидание файла: 3 с");
    EXPECT_EQ(d.Control<QLabel>(IDC_VERDICT)->toolTip().toStdString(),
              "Расчёт ждёт ответа файла " + blank + " (3 с)");

    d.Click(IDC_CLEAR);
    EXPECT_FALSE(d.dialog->Calculating());
    for (int row = 0; row < 5; ++row) EXPECT_EQ(d.Cell(row, 1), "Не задан") << row;
    EXPECT_EQ(d.Average(), "0");
    EXPECT_EQ(stall.Waiting(), 1) << "the stalled read is left to end by itself";
}

// Closing stores the settings and ends the dialog while the read still hangs.
TEST(BackgroundCalculation, ClosingNeverWaitsForAStalledRead) {
    auto profile = Profile::Demo();
    MessageLog log;
    fixtures::StalledReads stall(profile->demo.chromatograms);
    {
        Driver d(false);
        ASSERT_TRUE(stall.WaitForWaiting(1));
        d.dialog->reject();
        EXPECT_FALSE(d.dialog->isVisible());
    }
    EXPECT_EQ(stall.Waiting(), 1);
    EXPECT_EQ(StoredString("1"), profile->demo.levelPaths[0]);
    EXPECT_TRUE(log.messages.empty());
}

}  // namespace
