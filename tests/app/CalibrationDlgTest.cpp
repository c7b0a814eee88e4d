#include "DialogDriver.h"

#include "app/Ostrel.h"
#include "chart/AutoCtrl.h"
#include "chart/CalibrationChart.h"
#include "platform/Registry.h"
#include "cli/CliRun.h"
#include "selection/OpenChrmDlg.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTimer>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

namespace {

using namespace apptest;
using namespace resources;

constexpr const char* kMessage = "Введите число.";
constexpr const char* kFractions[] = {"0", "0.05", "0.1", "0.2", "0.5"};

std::string Format4(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.4g", value);
    return buffer;
}

// ---------------------------------------------------------------------------------------------
// A clean profile

TEST(CalibrationDialog, FirstStartOnACleanProfile) {
    Profile profile;
    MessageLog log;
    Driver d;
    EXPECT_EQ(d.dialog->windowTitle().toStdString(), "Калибровка по ГОСТ 25742.4-83 (версия 1.1)");
    EXPECT_EQ(d.dialog->minimumSize(), d.dialog->maximumSize()) << "the dialog has a fixed size";
    EXPECT_FALSE(d.dialog->windowIcon().isNull());
    EXPECT_TRUE(platform::RegistryKey::Open(platform::RootKey::CurrentUser, "Software\\Tarnwick\\Velmora\\Ostrel"))
        << "reading the settings creates their keys";

    for (int id : {IDC_NAV, IDC_NAV2, IDC_DOLYA}) {
        EXPECT_EQ(d.Field(id)->text().toStdString(), "0");
        EXPECT_TRUE(d.Marked(id)) << "0 is no mass and no fraction";
    }
    EXPECT_FALSE(d.dialog->FieldsAcceptable());
    EXPECT_EQ(d.Average(), "0");
    EXPECT_EQ(d.Methods()->count(), 0);
    EXPECT_EQ(d.Methods()->currentIndex(), -1);

    // Eight columns of the given widths, five rows of empty levels.
    const char* headers[] = {"ID", "Проба", "S", "Sст", "С", "Сст", "К", "Откл., %"};
    const int widths[] = {40, 150, 70, 70, 70, 70, 70, 60};
    ASSERT_EQ(d.Levels()->columnCount(), 8);
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(d.Levels()->headerItem()->text(c).toStdString(), headers[c]);
        EXPECT_EQ(d.Levels()->columnWidth(c), widths[c]) << headers[c];
    }
    ASSERT_EQ(d.Levels()->topLevelItemCount(), 5);
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(d.Cell(row, 0), kFractions[row]);
        EXPECT_EQ(d.Cell(row, 1), "Не задан");
        for (int c = 2; c < 7; ++c) EXPECT_EQ(d.Cell(row, c), "0") << row << "/" << c;
        EXPECT_EQ(d.Cell(row, 7), row == 0 ? "" : "—") << "no deviation from an average of 0";
    }
    EXPECT_LE(d.Levels()->header()->length() + 2 * d.Levels()->frameWidth(), d.Levels()->width())
        << "every column shows";
    EXPECT_EQ(d.Verdict(), "Калибровка не принята: Уровень 0: хроматограмма не выбрана");
    EXPECT_EQ(d.VerdictColour(), QColor(200, 0, 0));
    EXPECT_EQ(d.Statistics(), "ОСКО — %   разброс — % (допуск 15 %)   r² —");

    // No chromatogram: the points are 0/0 and the line is empty; the chart still has them.
    const CAutoSeries& line = d.dialog->Chart()->chart.GetSeries(kCalibrationLineSeries);
    const CAutoSeries& points = d.dialog->Chart()->chart.GetSeries(kCalibrationPointSeries);
    EXPECT_EQ(line.count, 0);
    EXPECT_EQ(points.count, 4);
    EXPECT_EQ(points.x, d.dialog->State().pointsX.data()) << "the series draw the dialog's own arrays";
    EXPECT_EQ(platform::gui::FindControl(d.dialog.get(), IDC_CHART), d.dialog->Chart()) << "in the frame's place";
    EXPECT_EQ(d.dialog->Chart()->geometry(),
              platform::gui::DialogUnitsToPixels(QRect(7, 94, 405, 154),
                                                 platform::gui::DialogBaseUnits(d.dialog->font())));
    EXPECT_TRUE(log.messages.empty());

    d.Click(IDOK);
    EXPECT_FALSE(d.dialog->isVisible());
    EXPECT_EQ(d.dialog->result(), QDialog::Accepted);
    EXPECT_EQ(StoredDouble("nav"), 0);
    EXPECT_EQ(StoredString("mtd"), "");
    for (const char* level : {"1", "2", "3", "4", "5"}) EXPECT_EQ(StoredString(level), "");
}

// The application object puts the settings below the data system's key, runs the dialog to its
// end, and ends the program.
TEST(CalibrationApp, RunsTheDialogBelowTheDataSystemsKey) {
    Profile profile;
    platform::SetRegistryKeyName("");
    platform::SetProfileName("");
    MessageLog log;
    CCalibrationApp app;
    QWidget* running = nullptr;
    QTimer::singleShot(0, [&] {
        running = app.MainWindow();
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->reject();
    });
    EXPECT_FALSE(app.InitInstance());
    EXPECT_NE(running, nullptr);
    EXPECT_EQ(app.MainWindow(), nullptr);
    EXPECT_EQ(platform::ApplicationKeyPath(), "Software\\Tarnwick\\Velmora");
    EXPECT_EQ(StoredString("1"), "") << "the settings were stored when the dialog ended";
}

// The controls come in the order of the template, which is the tab order: the ethanol mass (in
// the middle row) before the isopropanol mass (top row).
TEST(CalibrationDialog, TabOrderFollowsTheTemplate) {
    Profile profile;
    MessageLog log;
    Driver d;
    d.Field(IDC_NAV)->setFocus();
    const int expected[] = {IDC_NAV2,   IDC_DOLYA,  IDC_SAVE_TO_METHOD, IDC_UNDO_METHOD_WRITE, IDC_METHOD_LIST,
                            IDC_LEVEL_LIST, IDC_LEVEL0, IDC_LEVEL1, IDC_LEVEL2, IDC_LEVEL3,
                            IDC_CLEAR, IDC_LEVEL4, IDC_PROTOCOL, IDC_LEVEL_OVERLAY, IDOK, IDC_NAV};
    for (int id : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(platform::gui::ControlId(QApplication::focusWidget()), id);
    }
    EXPECT_TRUE(log.messages.empty());
}

// ---------------------------------------------------------------------------------------------
// The number fields

enum Mark { Taken, NoNumber, OutOfRange };

// A field takes what the shared number reader reads (a comma or a point, blanks around, the
// whole text); a text that is no number, or a number out of range, is marked, and nothing pops
// up. The calculation takes every number, out of range or not, and keeps the last number while a
// field holds none.
TEST(CalibrationDialog, NumberFieldsTakeNumbersInRangeAndMarkTheRest) {
    auto profile = Profile::Demo();
    MessageLog log;
    Driver d;
    struct Case {
        int field;
        const char* text;
        Mark mark;
        double value;  // what the calculation then uses
    };
    const Case cases[] = {
        {IDC_NAV, "1,5", Taken, 1.5},
        {IDC_NAV, " \t2.5e-1 ", Taken, 0.25},
        {IDC_NAV, "", NoNumber, 0.25},
        {IDC_NAV, "1,5.", NoNumber, 0.25},
        {IDC_NAV, "12abc", NoNumber, 0.25},
        {IDC_NAV, "один", NoNumber, 0.25},
        {IDC_NAV, "inf", NoNumber, 0.25},
        {IDC_NAV, "0x10", NoNumber, 0.25},
        {IDC_NAV, "1e400", NoNumber, 0.25},
        {IDC_NAV, "1234567890123456789012345678901x", NoNumber, 0.25},  // the whole text counts
        {IDC_NAV, "0", OutOfRange, 0},
        {IDC_NAV, "-2,5", OutOfRange, -2.5},
        {IDC_NAV, "x", NoNumber, -2.5},
        {IDC_NAV, "0,25", Taken, 0.25},
        {IDC_NAV2, "0,8", Taken, 0.8},
        {IDC_DOLYA, "100", Taken, 100},
        {IDC_DOLYA, "100,001", OutOfRange, 100.001},
        {IDC_DOLYA, "0,001", Taken, 0.001},
        {IDC_DOLYA, "150", OutOfRange, 150},
        {IDC_DOLYA, "96,2", Taken, 96.2},
    };
    const auto input = [&](int field) {
        const core::Calibration& state = d.dialog->State();
        return field == IDC_NAV ? state.nav : field == IDC_NAV2 ? state.nav2 : state.dolya;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        d.Paste(c.field, c.text);
        EXPECT_EQ(d.Marked(c.field), c.mark != Taken);
        EXPECT_EQ(d.dialog->FieldsAcceptable(), c.mark == Taken);
        EXPECT_EQ(input(c.field), c.value);
        if (c.mark != Taken) {
            EXPECT_NE(d.Field(c.field)->toolTip().indexOf(c.mark == NoNumber ? "нет числа" : "больше 0"), -1)
                << d.Field(c.field)->toolTip().toStdString();
        }
    }
    EXPECT_TRUE(log.messages.empty());

    // Each field stands alone: one without a number stops none of the others.
    d.Paste(IDC_NAV, "x");
    d.Paste(IDC_DOLYA, "97");
    EXPECT_EQ(d.dialog->State().dolya, 97);
    EXPECT_FALSE(d.Marked(IDC_DOLYA));
}

// Typing a value passes through texts that are no number or out of range: each is marked while it
// stands, nothing pops up, and the calculation goes on with the last number the field held.
TEST(CalibrationDialog, TypingKeyByKeyMarksWithoutMessages) {
    auto profile = Profile::Demo();
    MessageLog log;
    Driver d;
    QLineEdit* nav = d.Field(IDC_NAV);
    const double demo = profile->demo.nav;
    struct Step {
        const char* typed;  // one key: a character, or "\b" for Backspace
        Mark mark;
        double value;       // the calculation's input afterwards
    };
    struct Typing {
        const char* what;
        std::vector<Step> steps;
    };
    const Typing typings[] = {
        {"0,5", {{"0", OutOfRange, 0}, {",", OutOfRange, 0}, {"5", Taken, 0.5}}},
        {"-5", {{"-", NoNumber, demo}, {"5", OutOfRange, -5}}},
        {".5", {{".", NoNumber, demo}, {"5", Taken, 0.5}}},
        {"x", {{"x", NoNumber, demo}}},
        {"emptied", {{"\b", NoNumber, demo}}},
    };
    for (const Typing& typing : typings) {
        SCOPED_TRACE(typing.what);
        d.Paste(IDC_NAV, "1.5028");  // the demo's mass again
        const std::string demoAverage = d.Average();
        nav->setFocus();
        nav->selectAll();
        for (const Step& step : typing.steps) {
            if (std::string(step.typed) == "\b") {
                QTest::keyClick(nav, Qt::Key_Backspace);
                d.Settle();
            } else
                d.Type(IDC_NAV, step.typed);
            SCOPED_TRACE(nav->text().toStdString());
            EXPECT_EQ(d.Marked(IDC_NAV), step.mark != Taken);
            EXPECT_EQ(d.dialog->State().nav, step.value);
            if (step.mark == NoNumber) {
                EXPECT_EQ(d.Average(), demoAverage) << "nothing recomputed from nothing";
            }
        }
        EXPECT_TRUE(nav->hasFocus());
        EXPECT_TRUE(d.dialog->isVisible());
    }
    EXPECT_TRUE(log.messages.empty());
}

// Enter takes the field and goes on to the next field; it never reaches a button. Leaving a
// field that holds no number, by Enter, Tab or a click, brings "Введите число." once for that text.
TEST(CalibrationDialog, EnterMovesOnAndLeavingAFieldWithoutANumberSaysSoOnce) {
    auto profile = Profile::Demo();
    MessageLog log;
    Driver d;
    QLineEdit* nav = d.Field(IDC_NAV);
    nav->setFocus();
    nav->selectAll();
    d.Type(IDC_NAV, "0,5");
    d.Key(Qt::Key_Return);
    EXPECT_TRUE(d.dialog->isVisible());
    EXPECT_EQ(d.FocusId(), IDC_NAV2) << "the next field in the tab order";
    EXPECT_EQ(d.dialog->State().nav, 0.5);
    d.Key(Qt::Key_Enter);
    EXPECT_EQ(d.FocusId(), IDC_DOLYA);
    d.Key(Qt::Key_Enter);
    EXPECT_EQ(d.FocusId(), IDC_NAV) << "from the last field back to the first, never to a button";
    EXPECT_EQ(d.Field(IDC_NAV)->selectedText(), d.Field(IDC_NAV)->text()) << "ready for retyping";
    EXPECT_TRUE(d.dialog->isVisible());
    EXPECT_TRUE(log.messages.empty());

    nav->setFocus();
    nav->selectAll();
    d.Type(IDC_NAV, "0,5x");
    EXPECT_TRUE(log.messages.empty()) << "not while typing";
    d.Key(Qt::Key_Return);
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(log.messages[0].text, kMessage);
    EXPECT_EQ(log.messages[0].caption, "test_app") << "the executable's name";
    EXPECT_TRUE(d.dialog->isVisible());
    EXPECT_TRUE(nav->hasFocus()) << "back in the field";
    EXPECT_EQ(nav->selectedText(), nav->text()) << "its text selected for retyping";

    d.Key(Qt::Key_Tab);  // the same text again: no second message
    EXPECT_EQ(d.FocusId(), IDC_NAV2);
    QTest::mouseClick(nav, Qt::LeftButton);
    QTest::mouseClick(d.Field(IDC_DOLYA), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(log.messages.size(), 1u);

    nav->setFocus();
    d.Type(IDC_NAV, "y");  // another text that is no number
    QTest::mouseClick(d.Field(IDC_DOLYA), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(log.messages.size(), 2u);
    EXPECT_TRUE(nav->hasFocus());
    EXPECT_EQ(d.dialog->State().nav, 0.5);

    // Leaving a field out of range is marked only.
    d.Paste(IDC_NAV, "-1");
    d.Key(Qt::Key_Tab);
    EXPECT_EQ(log.messages.size(), 2u);
}

// "Закрыть", Esc and the window's close button take one path: with a field that holds no number,
// one message and the window stays, that field focused; then, with the field mended, the same way
// stores the settings and ends the dialog.
TEST(CalibrationDialog, EveryWayOfClosingRefusesAFieldWithoutANumber) {
    struct Way {
        const char* what;
        std::function<void(Driver&)> close;
        int result;
    };
    const Way ways[] = {
        {"Закрыть", [](Driver& d) { d.Click(IDOK); }, QDialog::Accepted},
        {"Esc", [](Driver& d) { d.Key(Qt::Key_Escape); }, QDialog::Rejected},
        {"the window's close button", [](Driver& d) { d.dialog->close(); }, QDialog::Rejected},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.what);
        auto profile = Profile::Demo();
        MessageLog log;
        Driver d;
        QLineEdit* nav2 = d.Field(IDC_NAV2);
        nav2->setFocus();
        nav2->selectAll();
        d.Type(IDC_NAV2, "2,5");
        d.Type(IDC_NAV2, "x");

        way.close(d);
        QApplication::processEvents();
        ASSERT_EQ(log.messages.size(), 1u);
        EXPECT_EQ(log.messages[0].text, kMessage);
        EXPECT_TRUE(d.dialog->isVisible());
        EXPECT_TRUE(nav2->hasFocus());
        EXPECT_EQ(StoredDouble("nav2"), profile->demo.nav2) << "nothing stored yet";

        QTest::keyClick(nav2, Qt::Key_End);
        QTest::keyClick(nav2, Qt::Key_Backspace);
        way.close(d);
        EXPECT_FALSE(d.dialog->isVisible());
        EXPECT_EQ(d.dialog->result(), way.result);
        EXPECT_EQ(log.messages.size(), 1u);
        EXPECT_EQ(StoredDouble("nav2"), 2.5);
    }
}

// A field out of range does not keep the window open: it holds a number, which the calculation
// uses and closing stores.
TEST(CalibrationDialog, ClosingWithAFieldOutOfRangeStoresTheValueTheCalculationUses) {
    auto profile = Profile::Demo();
    {
        MessageLog log;
        Driver d;
        d.Paste(IDC_DOLYA, "150");
        d.Click(IDOK);
        EXPECT_FALSE(d.dialog->isVisible());
        EXPECT_TRUE(log.messages.empty());
    }
    EXPECT_EQ(StoredDouble("dolya"), 150);
}

TEST(CalibrationDialog, SettingsThatCannotBeStoredAreReportedAtClosing) {
    Profile profile;
    MessageLog log;
    Driver d;
    d.Paste(IDC_NAV, "1,5");
    profile.home.BreakUserFolder();
    d.Click(IDOK);
    EXPECT_FALSE(d.dialog->isVisible()) << "reported, and the program ends";
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_NE(log.messages[0].text.find("Не удалось сохранить настройки в " + profile.home.UserHive()), std::string::npos)
        << log.messages[0].text;
    EXPECT_NE(log.messages[0].text.find(".\nПричина: "), std::string::npos) << "the system's reason: " << log.messages[0].text;
}

// ---------------------------------------------------------------------------------------------
// The demo profile

// The numbers of one key of ostrel-cli's JSON, in the order they appear.
std::vector<double> JsonNumbers(const std::string& json, const std::string& key) {
    std::vector<double> values;
    const std::string pattern = "\"" + key + "\": ";
    for (std::size_t at = json.find(pattern); at != std::string::npos; at = json.find(pattern, at + 1))
        values.push_back(std::strtod(json.c_str() + at + pattern.size(), nullptr));
    return values;
}

TEST(CalibrationDialog, StartsOnTheDemoProfileWithTheCalibrationTheCliComputes) {
    auto profile = Profile::Demo();
    MessageLog log;
    Driver d;
    EXPECT_EQ(d.Field(IDC_NAV)->text().toStdString(), "1.5028");
    EXPECT_EQ(d.Field(IDC_NAV2)->text().toStdString(), "0.7986");
    EXPECT_EQ(d.Field(IDC_DOLYA)->text().toStdString(), "96.2");
    EXPECT_EQ(d.MethodTitle(), "Этанол");

    const clitest::CliResult cli = clitest::Cli({"calibrate", "--stored"});
    ASSERT_EQ(cli.status, 0) << cli.out;
    const std::vector<double> average = JsonNumbers(cli.out, "averageCoefficient");
    ASSERT_EQ(average.size(), 1u);
    EXPECT_EQ(d.Average(), Format4(average[0]));
    EXPECT_GT(average[0], 0);
    const char* keys[] = {"fraction", nullptr, "ethanolArea", "standardArea", "ethanolAmount", "standardAmount",
                          "coefficient"};
    for (int c = 0; c < 7; ++c) {
        if (!keys[c]) continue;
        const std::vector<double> column = JsonNumbers(cli.out, keys[c]);
        ASSERT_EQ(column.size(), 5u) << keys[c];
        for (int row = 0; row < 5; ++row) EXPECT_EQ(d.Cell(row, c), Format4(column[row])) << keys[c] << " " << row;
    }
    for (int row = 0; row < 5; ++row) EXPECT_EQ(d.Cell(row, 1), std::string("Градуировка ") + kFractions[row]);

    // The chart draws the dialog's arrays themselves: twenty line points, four calibration points.
    const core::Calibration& state = d.dialog->State();
    const CAutoSeries& line = d.dialog->Chart()->chart.GetSeries(kCalibrationLineSeries);
    const CAutoSeries& points = d.dialog->Chart()->chart.GetSeries(kCalibrationPointSeries);
    EXPECT_EQ(line.x, state.lineX.data());
    EXPECT_EQ(line.y, state.lineY.data());
    EXPECT_EQ(line.count, 20);
    EXPECT_EQ(points.y, state.pointsY.data());
    EXPECT_EQ(points.count, 4);
    EXPECT_TRUE(log.messages.empty());
}

// The quality figures and the deviations are those of ostrel-cli; the verdict follows the limit
// of the machine.
TEST(CalibrationDialog, ShowsTheQualityOfTheDemoCalibrationAndItsVerdict) {
    auto profile = Profile::Demo();
    MessageLog log;
    const clitest::CliResult cli = clitest::Cli({"calibrate", "--stored"});
    ASSERT_EQ(cli.status, 0);
    const auto figure = [&](const char* key, const char* format) {
        const std::vector<double> values = JsonNumbers(cli.out, key);
        EXPECT_EQ(values.size(), 1u) << key;
        char text[64];
        std::snprintf(text, sizeof text, format, values.empty() ? 0.0 : values[0]);
        return std::string(text);
    };
    {
        Driver d;
        EXPECT_EQ(d.Statistics(), "ОСКО " + figure("rsd", "%.4g") + " %   разброс " + figure("spread", "%.4g") +
                                      " % (допуск 15 %)   r² " + figure("r2", "%.6g"));
        EXPECT_EQ(d.Verdict(), "Калибровка принята");
        EXPECT_EQ(d.VerdictColour(), QColor(0, 128, 0));
        const std::size_t at = cli.out.find("\"deviations\": [");
        ASSERT_NE(at, std::string::npos);
        const char* p = cli.out.c_str() + at + std::strlen("\"deviations\": [");
        for (int row = 1; row <= 4; ++row) {
            char* end = nullptr;
            const double deviation = std::strtod(p, &end);
            p = end + 2;  // ", "
            char text[64];
            std::snprintf(text, sizeof text, "%+.2f", deviation);
            EXPECT_EQ(d.Cell(row, 7), text) << row;
        }
        EXPECT_EQ(d.Cell(0, 7), "") << "the blank has no coefficient";
        for (int row = 0; row < 5; ++row)
            EXPECT_EQ(d.Levels()->topLevelItem(row)->foreground(1).color(), d.Levels()->palette().color(QPalette::Text))
                << "no row marked";
        d.dialog->close();
    }

    // The lab's own limit, from the machine hive.
    std::ofstream(profile->demo.machineConfig + "/Tarnwick/registry.reg", std::ios::app)
        << "\n[HKEY_LOCAL_MACHINE\\Software\\Tarnwick\\Velmora\\Ostrel]\n\"MaxSpread\"=\"1\"\n";
    Driver d;
    EXPECT_EQ(d.Verdict(), "Калибровка не принята: Разброс коэффициентов " + figure("spread", "%.4g") +
                               " % больше допустимого 1 %");
    EXPECT_EQ(d.VerdictColour(), QColor(200, 0, 0));
    EXPECT_NE(d.Statistics().find("(допуск 1 %)"), std::string::npos) << d.Statistics();
    EXPECT_TRUE(log.messages.empty());
}

// The verdict speaks only of figures the fields show, and of percentages of a positive average.
TEST(CalibrationDialog, TheVerdictNeverSaysMoreThanTheFieldsShow) {
    auto profile = Profile::Demo();
    MessageLog log;
    Driver d;
    ASSERT_EQ(d.Verdict(), "Калибровка принята");
    for (const char* text : {"", "x"}) {
        SCOPED_TRACE(std::string("nav holds '") + text + "'");
        d.Paste(IDC_NAV, text);
        EXPECT_TRUE(d.Marked(IDC_NAV));
        EXPECT_FALSE(d.dialog->Quality().accepted);
        EXPECT_EQ(d.Verdict().rfind("Калибровка не принята: Расчёт сделан не по значениям полей", 0), 0u) << d.Verdict();
        EXPECT_EQ(d.VerdictColour(), QColor(200, 0, 0));
        d.Click(IDC_SAVE_TO_METHOD);
        d.Click(IDC_PROTOCOL);
        ASSERT_EQ(log.boxes.size(), 2u) << "both refuse before asking anything";
        EXPECT_EQ(log.Box(0).rfind("Коэффициент не записан: не во всех полях", 0), 0u) << log.Box(0);
        EXPECT_EQ(log.Box(1).rfind("Протокол не составлен", 0), 0u) << log.Box(1);
        log.boxes.clear();
        log.messages.clear();
    }
    // A negative ethanol mass: K̄ < 0, and no percentage of it.
    d.Paste(IDC_NAV, "-5");
    EXPECT_FALSE(d.dialog->Quality().accepted);
    EXPECT_LT(d.dialog->State().averageCoefficient, 0);
    EXPECT_EQ(d.Statistics().rfind("ОСКО — %   разброс — % (допуск 15 %)", 0), 0u) << d.Statistics();
    for (int row = 1; row <= 4; ++row) EXPECT_EQ(d.Cell(row, 7), "—") << row;
    d.Paste(IDC_NAV, "1.5028");  // the demo's mass again
    EXPECT_EQ(d.Verdict(), "Калибровка принята");
    d.dialog->close();
}

// The picture of the README: the dialog on the demo profile, written into the build tree.
TEST(CalibrationDialog, ScreenshotOfTheDemoProfile) {
    auto profile = Profile::Demo();
    MessageLog log;
    Driver d;
    const std::string folder = std::string(OSTREL_BINARY_DIR) + "/docs";
    std::filesystem::create_directories(folder);
    const QPixmap picture = d.dialog->grab();
    EXPECT_FALSE(picture.isNull());
    EXPECT_TRUE(picture.save(QString::fromStdString(folder + "/ostrel.png"), "PNG"));
}

// "Очистить" is a fresh start for the levels: nothing of the cleared calibration stays on screen.
TEST(CalibrationDialog, ClearingRecomputes) {
    auto profile = Profile::Demo();
    MessageLog log;
    Driver d;
    ASSERT_NE(d.Average(), "0");
    d.Click(IDC_CLEAR);
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(d.Cell(row, 0), kFractions[row]);
        EXPECT_EQ(d.Cell(row, 1), "Не задан");
        for (int c = 2; c < 7; ++c) EXPECT_EQ(d.Cell(row, c), "0");
    }
    EXPECT_EQ(d.Average(), "0");
    EXPECT_EQ(d.dialog->State().averageCoefficient, 0);
    EXPECT_EQ(d.dialog->Chart()->chart.GetSeries(kCalibrationLineSeries).count, 0);
    for (float y : d.dialog->State().pointsY) EXPECT_EQ(y, 0);
    EXPECT_TRUE(log.messages.empty());

    d.Click(IDOK);
    for (const char* level : {"1", "2", "3", "4", "5"}) EXPECT_EQ(StoredString(level), "");
}

// A level button asks for one file, naming the level and its file now; the answer replaces the
// level's file and recomputes. A field left without a number is reported first, and the button
// still does its work.
TEST(CalibrationDialog, ALevelButtonAsksForOneFile) {
    auto profile = Profile::Demo();
    MessageLog log;
    Driver d;
    std::optional<std::string> chosen;
    std::vector<CCalibrationDlg::LevelFileRequest> asked;
    d.dialog->SetLevelFileChooser([&](QWidget* parent, const CCalibrationDlg::LevelFileRequest& request) {
        EXPECT_EQ(parent, d.dialog.get());
        EXPECT_EQ(log.messages.size(), 1u) << "the field's message came before";
        asked.push_back(request);
        return chosen;
    });
    const auto& levels = profile->demo.levelPaths;
    d.Field(IDC_DOLYA)->setFocus();
    d.Field(IDC_DOLYA)->selectAll();
    d.Type(IDC_DOLYA, "x");

    d.Click(IDC_LEVEL2);  // cancelled
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].levelName, "0.1");
    EXPECT_EQ(asked[0].currentPath, levels[2]);
    EXPECT_EQ(d.dialog->State().table[2].path, levels[2]);
    EXPECT_EQ(log.messages.size(), 1u);

    chosen = levels[3];
    const std::string average = d.Average();
    d.Click(IDC_LEVEL2);
    EXPECT_EQ(d.dialog->State().table[2].path, levels[3]);
    EXPECT_EQ(d.Cell(2, 1), "Градуировка 0.2");
    EXPECT_NE(d.Average(), average) << "recomputed";
    EXPECT_EQ(log.messages.size(), 1u);
}

// The level button runs the real open dialog for one file, named after the level, with the
// level's file selected and focused. Joint selection is on, and the file clicked has a twin
// recorded in the same second: the level still gets the file that was clicked.
TEST(CalibrationDialog, LevelButtonOpensTheChromatogramDialogForOneFile) {
    auto profile = Profile::Demo();
    const std::string twin = profile->demo.chromatograms + "/analysis-1 копия.stg";
    std::filesystem::copy_file(profile->demo.analysisPaths[0], twin);
    MessageLog log;
    Driver d;
    bool operated = false;
    QTimer::singleShot(0, d.dialog.get(), [&] {
        auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(open, nullptr);
        ASSERT_NE(open, d.dialog.get());
        EXPECT_EQ(open->windowTitle(), "Открытие хроматограммы — уровень 0.5");
        auto* list = platform::gui::FindControl<QTreeView>(open, IDC_CHRM_LIST);
        ASSERT_NE(list, nullptr);
        auto* openDialog = qobject_cast<COpenChrmDlg*>(open);
        ASSERT_TRUE(openDialog && QTest::qWaitFor([&] { return !openDialog->Scanning(); }, 10000));
        EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
        EXPECT_TRUE(platform::gui::FindControl<QAbstractButton>(open, IDC_JOINT_SELECTION)->isChecked());
        const auto rowOf = [&](const QString& file) {
            for (int row = 0; row < list->model()->rowCount(); ++row)
                if (list->model()->index(row, 2).data().toString() == file) return row;
            return -1;
        };
        const int current = rowOf(QStringLiteral("calibration-0.5"));
        ASSERT_GE(current, 0);
        EXPECT_EQ(list->currentIndex().row(), current) << "the level's file is focused";
        EXPECT_EQ(list->selectionModel()->selectedRows().size(), 1);
        EXPECT_TRUE(list->selectionModel()->isRowSelected(current));

        const QModelIndex clicked = list->model()->index(rowOf(QStringLiteral("analysis-1")), 1);
        list->scrollTo(clicked);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(clicked).center());
        EXPECT_EQ(list->selectionModel()->selectedRows().size(), 1) << "the twin is not added";
        operated = true;
        QTest::mouseClick(platform::gui::FindControl<QAbstractButton>(open, IDOK), Qt::LeftButton);
    });
    QTimer::singleShot(20000, d.dialog.get(), [] {
        if (QWidget* open = QApplication::activeModalWidget()) static_cast<QDialog*>(open)->reject();
    });
    d.Click(IDC_LEVEL4);
    EXPECT_TRUE(operated);
    EXPECT_EQ(d.dialog->State().table[4].path, profile->demo.analysisPaths[0]);
    EXPECT_EQ(d.Cell(4, 1), "Спирт-сырец, партия 17");
}

TEST(CalibrationDialog, SaveToMethodPatchesTheChosenMethodOnly) {
    auto profile = Profile::Demo();
    MessageLog log;
    Driver d;
    const std::string ethanol = profile->demo.MethodFile("Этанол");
    const std::string methanol = fixtures::ReadFileBytes(profile->demo.MethodFile("Метанол"));
    const std::string before = fixtures::ReadFileBytes(ethanol);
    ASSERT_EQ(before, fixtures::DemoEthanolMethod());

    d.Click(IDC_SAVE_TO_METHOD);
    const std::string after = fixtures::ReadFileBytes(ethanol);
    ASSERT_EQ(after.size(), before.size());
    const std::size_t p = fixtures::DemoEthanolRecordOffset();
    double coefficient;
    std::memcpy(&coefficient, after.data() + p + 31, 8);
    EXPECT_EQ(coefficient, d.dialog->State().averageCoefficient);
    EXPECT_EQ(after.substr(p + 43, 4), std::string("\x01\0\0\0", 4));
    EXPECT_EQ(after.substr(0, p + 31), before.substr(0, p + 31));
    EXPECT_EQ(after.substr(p + 39, 4), before.substr(p + 39, 4));
    EXPECT_EQ(after.substr(p + 47), before.substr(p + 47));
    EXPECT_EQ(fixtures::ReadFileBytes(profile->demo.MethodFile("Метанол")), methanol);
}

// Closing stores the inputs, the five paths and the chosen method, and writes nothing else: no
// chromatogram and no method.
TEST(CalibrationDialog, ClosingTheWindowStoresTheSettingsAndNothingElse) {
    auto profile = Profile::Demo();
    const fixtures::DemoProfile& demo = profile->demo;
    std::vector<std::string> files = {demo.MethodFile("Этанол"), demo.MethodFile("Метанол"),
                                      demo.MethodFile("Сивушные масла")};
    files.insert(files.end(), demo.levelPaths.begin(), demo.levelPaths.end());
    std::vector<std::string> contents;
    for (const std::string& f : files) contents.push_back(fixtures::ReadFileBytes(f));
    {
        MessageLog log;
        Driver d;
        d.dialog->SetLevelFileChooser(
            [&](QWidget*, const CCalibrationDlg::LevelFileRequest&) { return demo.analysisPaths[1]; });
        d.Click(IDC_LEVEL0);
        d.Field(IDC_NAV2)->selectAll();
        d.Type(IDC_NAV2, "0.8");
        d.Choose("Метанол");
        d.dialog->close();
        EXPECT_FALSE(d.dialog->isVisible());
        EXPECT_TRUE(log.messages.empty());
    }
    EXPECT_EQ(StoredDouble("nav"), 1.5028);
    EXPECT_EQ(StoredDouble("nav2"), 0.8);
    EXPECT_EQ(StoredDouble("dolya"), 96.2);
    EXPECT_EQ(StoredString("mtd"), "Метанол");
    EXPECT_EQ(StoredString("1"), demo.analysisPaths[1]);
    for (int i = 1; i < 5; ++i) EXPECT_EQ(StoredString(std::to_string(i + 1).c_str()), demo.levelPaths[i]);
    for (std::size_t i = 0; i < files.size(); ++i) EXPECT_EQ(fixtures::ReadFileBytes(files[i]), contents[i]) << files[i];
}

// ---------------------------------------------------------------------------------------------
// The method list

void WriteMethodSettings(const Profile& profile, const std::string& folder, const std::string& title) {
    profile.home.WriteUserHive("Windows Registry Editor Version 5.00\n\n"
                               "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora]\n"
                               "\"MethodPath\"=\"" + folder + "\"\n\n"
                               "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora\\Ostrel]\n"
                               "\"mtd\"=\"" + title + "\"\n");
}

// The list is sorted ignoring case; the stored title selects the first entry that begins with it,
// ignoring case, searching from the second entry and wrapping round to the first.
TEST(CalibrationDialog, StoredMethodTitleSelectsByPrefix) {
    Profile profile;
    const std::string folder = profile.home.Dir().MakeFolder("methods");
    for (const char* title : {"Wine-2", "white", "ВОДКА", "wine", "водка особая"})
        profile.home.Dir().WriteFile(std::string("methods/") + title + ".mtd", "x");
    profile.home.Dir().MakeFolder("methods/folder.mtd");
    struct Case {
        const char* stored;
        const char* selected;
    };
    const Case cases[] = {
        {"wine", "wine"},       {"WI", "wine"},   {"W", "wine"},   {"wine-", "Wine-2"},  {"Wh", "white"},
        {"водка", "ВОДКА"},     {"ВОДКА О", "водка особая"},   {"xyz", "white"},
        {"", "white"},  // nothing stored: the first entry
    };
    for (const Case& c : cases) {
        WriteMethodSettings(profile, folder, c.stored);
        MessageLog log;
        Driver d;
        QStringList items;
        for (int i = 0; i < d.Methods()->count(); ++i) items << d.Methods()->itemText(i);
        EXPECT_EQ(items.join(u'|').toStdString(), "white|wine|Wine-2|ВОДКА|водка особая");
        EXPECT_EQ(d.MethodTitle(), c.selected) << "stored " << c.stored;
    }
}

// ---------------------------------------------------------------------------------------------
// Faults: the program starts, shows what it can and loses nothing it did not mean to change.

// A level whose file is gone says so in its row, which is marked, and keeps its path; an analysis
// among the levels is a warning only.
TEST(CalibrationDialog, AMissingChromatogramSaysSoAndKeepsItsLevelPath) {
    auto profile = Profile::Demo();
    std::filesystem::remove(profile->demo.levelPaths[2]);
    {
        MessageLog log;
        Driver d;
        EXPECT_EQ(d.Cell(1, 1), "Градуировка 0.05");
        EXPECT_EQ(d.Cell(3, 1), "Градуировка 0.2");
        EXPECT_EQ(d.Cell(2, 1), "Ошибка чтения");
        EXPECT_EQ(d.Cell(2, 2), "0") << "nothing read for the missing file";
        const QTreeWidgetItem* row = d.Levels()->topLevelItem(2);
        EXPECT_EQ(row->toolTip(1).toStdString(), profile->demo.levelPaths[2] + "\nОшибка чтения: файл не найден");
        EXPECT_EQ(row->foreground(1).color(), QColor(200, 0, 0));
        EXPECT_EQ(d.Levels()->topLevelItem(1)->foreground(1).color(), d.Levels()->palette().color(QPalette::Text));
        EXPECT_EQ(d.Verdict().rfind("Калибровка не принята: Уровень 0.1: ошибка чтения файла calibration-0.1.stg", 0), 0u)
            << d.Verdict();
        const std::string tip = d.Control<QLabel>(IDC_VERDICT)->toolTip().toStdString();
        EXPECT_EQ(tip.rfind("Уровень 0.1: ошибка чтения файла calibration-0.1.stg: файл не найден\n", 0), 0u) << tip;
        EXPECT_NE(tip.find("\nРазброс коэффициентов"), std::string::npos) << "every problem in the tooltip: " << tip;

        // An analysis on level 0.1 instead: its row is marked as a warning, its area refuses by the spread.
        const std::string analysis = profile->demo.analysisPaths[0];
        d.dialog->SetLevelFileChooser([&](QWidget*, const CCalibrationDlg::LevelFileRequest&) { return analysis; });
        d.Click(IDC_LEVEL2);
        EXPECT_EQ(d.Cell(2, 1), "Спирт-сырец, партия 17");
        EXPECT_NE(d.Levels()->topLevelItem(2)->foreground(1).color(), d.Levels()->palette().color(QPalette::Text));
        EXPECT_NE(d.Levels()->topLevelItem(2)->foreground(1).color(), QColor(200, 0, 0));
        ASSERT_EQ(d.dialog->Quality().problems.size(), 2u);
        EXPECT_EQ(d.dialog->Quality().problems[1],
                  "Уровень 0.1: проба «Спирт-сырец, партия 17» не отмечена как градуировочная");
        EXPECT_EQ(d.Verdict().rfind("Калибровка не принята: Разброс коэффициентов ", 0), 0u) << d.Verdict();
        d.Click(IDOK);
    }
    EXPECT_EQ(StoredString("3"), profile->demo.analysisPaths[0]);
}

TEST(CalibrationDialog, AMissingMethodFolderKeepsTheStoredMethod) {
    Profile profile;
    WriteMethodSettings(profile, profile.home.Dir().Path() + "/no such folder", "Этанол");
    {
        MessageLog log;
        Driver d;
        EXPECT_EQ(d.Methods()->count(), 0);
        EXPECT_EQ(d.Methods()->placeholderText().toStdString(),
                  "Папка методов «" + profile.home.Dir().Path() + "/no such folder» не найдена")
            << "said where the list is, at start";
        d.Click(IDC_SAVE_TO_METHOD);
        d.Click(IDOK);
        EXPECT_TRUE(log.messages.empty());
        ASSERT_EQ(log.boxes.size(), 1u);
        EXPECT_NE(log.Box(0).find("Коэффициент не записан"), std::string::npos) << log.Box(0);
    }
    EXPECT_EQ(StoredString("mtd"), "Этанол");
    EXPECT_FALSE(std::filesystem::exists(profile.home.Dir().Path() + "/no such folder"));
}

TEST(CalibrationDialog, AnUnreadableHiveIsKeptAside) {
    Profile profile;
    const std::string garbage = "this is not a settings file\n\x01\x02";
    profile.home.WriteUserHive(garbage);
    const std::string aside = profile.home.UserHive() + ".damaged-1";
    {
        MessageLog log;
        Driver d;
        EXPECT_EQ(d.Field(IDC_NAV)->text().toStdString(), "0");
        // Said once, at start, with where the file went.
        ASSERT_EQ(log.messages.size(), 1u);
        EXPECT_NE(log.messages[0].text.find(profile.home.UserHive()), std::string::npos) << log.messages[0].text;
        EXPECT_NE(log.messages[0].text.find(aside), std::string::npos) << log.messages[0].text;
        d.Paste(IDC_NAV, "3");
        d.Click(IDOK);
        EXPECT_EQ(log.messages.size(), 1u);
    }
    EXPECT_EQ(StoredDouble("nav"), 3);
    EXPECT_EQ(fixtures::ReadFileBytes(aside), garbage) << "the damaged hive is moved aside, not overwritten";
}

}  // namespace
