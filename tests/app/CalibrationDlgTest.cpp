#include "DialogDriver.h"

#include "app/Ostrel.h"
#include "chart/AutoCtrl.h"
#include "chart/CalibrationChart.h"
#include "platform/Registry.h"
#include "cli/CliRun.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTimer>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

using namespace apptest;
using namespace resources;

constexpr const char* kMessage = "Please enter a number.";
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

    for (int id : {IDC_NAV, IDC_NAV2, IDC_DOLYA}) EXPECT_EQ(d.Field(id)->text().toStdString(), "0");
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
                            IDC_CLEAR, IDC_LEVEL4, IDC_PROTOCOL, IDOK, IDC_NAV};
    for (int id : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(platform::gui::ControlId(QApplication::focusWidget()), id);
    }
    EXPECT_TRUE(log.messages.empty());
}

// The substitute font runs a little wider than the template's: still every caption shows whole,
// and no two controls overlap.
TEST(CalibrationDialog, EveryCaptionShowsWholeAndNoControlsOverlap) {
    Profile profile;
    MessageLog log;
    Driver d;
    for (QLabel* label : d.dialog->findChildren<QLabel*>())
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width()) << label->text().toStdString();
    constexpr int kBevel = 2;  // each side of a button
    for (QPushButton* button : d.dialog->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly))
        EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 2 * kBevel, button->width())
            << button->text().toStdString();
    const QList<QWidget*> controls = d.dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (int i = 0; i < controls.size(); ++i)
        for (int j = i + 1; j < controls.size(); ++j)
            if (controls[i]->isVisible() && controls[j]->isVisible())
                EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
                    << platform::gui::ControlId(controls[i]) << " " << controls[i]->metaObject()->className() << " and "
                    << platform::gui::ControlId(controls[j]) << " " << controls[j]->metaObject()->className();
}

// ---------------------------------------------------------------------------------------------
// The number fields

// What a field accepts: blanks, a number as strtod reads it in the C locale, blanks; a text read
// as 0 only when it starts with the digit 0; only the first 31 characters count.
TEST(CalibrationDialog, NumberFieldsAcceptWhatTheCLibraryReads) {
    Profile profile;
    MessageLog log;
    Driver d;
    struct Case {
        const char* text;
        bool number;
        double value;
    };
    const Case cases[] = {
        {"0", true, 0},
        {"0.0", true, 0},
        {"0e5", true, 0},
        {" \t1.5 \t", true, 1.5},
        {"-2.5E3", true, -2500},
        {"+.25", true, 0.25},
        {"7.", true, 7},
        {"1e400", true, HUGE_VAL},
        {"1234567890123456789012345678901x", true, 1234567890123456789012345678901.0},  // the x is the 32nd
        {"", false, 0},
        {" ", false, 0},
        {".", false, 0},
        {"-", false, 0},
        {"-0", false, 0},
        {"+0", false, 0},
        {"0,5", false, 0},
        {"1 2", false, 0},
        {"1e-400", false, 0},  // read as 0, but not written with a 0 first
        {"12abc", false, 0},
        {"один", false, 0},
        {"inf", false, 0},  // glibc's strtod reads these; no mass is written so
        {"nan", false, 0},
        {"0x10", false, 0},
    };
    double last = 0;
    for (const Case& c : cases) {
        log.messages.clear();
        d.Paste(IDC_DOLYA, c.text);
        if (c.number) {
            EXPECT_TRUE(log.messages.empty()) << c.text;
            last = c.value;
        } else {
            ASSERT_EQ(log.messages.size(), 1u) << c.text;
            EXPECT_EQ(log.messages[0].text, kMessage);
            EXPECT_EQ(log.messages[0].caption, "test_app") << "the executable's name";
        }
        EXPECT_EQ(d.dialog->State().dolya, last) << c.text << ": a text that is not a number keeps the last value";
    }
}

// Typing goes through every intermediate text: "0" and "0." are numbers, a lone "." is not.
TEST(CalibrationDialog, TypingAValueKeyByKey) {
    Profile profile;
    MessageLog log;
    Driver d;
    QLineEdit* nav = d.Field(IDC_NAV);
    nav->clear();  // the dialog's own text "0" goes; an empty field is not a number
    ASSERT_EQ(log.messages.size(), 1u);
    log.messages.clear();

    d.Type(IDC_NAV, "0.5");
    EXPECT_TRUE(log.messages.empty());
    EXPECT_EQ(d.dialog->State().nav, 0.5);

    nav->selectAll();
    d.Type(IDC_NAV, ".");
    ASSERT_EQ(log.messages.size(), 1u) << "the lone point";
    EXPECT_TRUE(nav->hasFocus());
    EXPECT_EQ(nav->selectedText().toStdString(), ".") << "the field's text is selected for retyping";
    EXPECT_EQ(d.dialog->State().nav, 0.5);
    d.Type(IDC_NAV, "5");  // replaces the selection
    EXPECT_EQ(nav->text().toStdString(), "5");
    EXPECT_EQ(d.dialog->State().nav, 5);
    EXPECT_EQ(log.messages.size(), 1u);

    d.TypeText(d.Field(IDC_NAV2), QStringLiteral("ж"));
    EXPECT_EQ(log.messages.size(), 2u) << "a letter typed in a field";
}

// Every change takes the three fields in the order 5018, 5019, 5020 and stops at the first that is
// not a number, which gets the focus; the fields after it keep their values.
TEST(CalibrationDialog, AFieldThatIsNotANumberStopsTheFieldsAfterIt) {
    Profile profile;
    MessageLog log;
    Driver d;
    d.Paste(IDC_DOLYA, "96");
    d.Paste(IDC_NAV, "0,5");
    ASSERT_EQ(log.messages.size(), 1u);
    log.messages.clear();

    d.Field(IDC_DOLYA)->setFocus();
    d.Paste(IDC_DOLYA, "97");
    d.Paste(IDC_NAV2, "2");
    EXPECT_EQ(log.messages.size(), 2u) << "each change brings the message of the ethanol mass again";
    EXPECT_TRUE(d.Field(IDC_NAV)->hasFocus());
    EXPECT_EQ(d.dialog->State().dolya, 96) << "left unread";
    EXPECT_EQ(d.dialog->State().nav2, 0) << "left unread";

    // "Закрыть" with a field that is not a number keeps the dialog open.
    log.messages.clear();
    d.Click(IDOK);
    EXPECT_TRUE(d.dialog->isVisible());
    EXPECT_EQ(log.messages.size(), 1u);
    d.Paste(IDC_NAV, "0.5");
    d.Click(IDOK);
    EXPECT_FALSE(d.dialog->isVisible());
    EXPECT_EQ(StoredDouble("nav"), 0.5);
    EXPECT_EQ(StoredDouble("nav2"), 2);
    EXPECT_EQ(StoredDouble("dolya"), 97);
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

TEST(CalibrationDialog, ClearingEmptiesTheListButKeepsTheChartUntilTheNextRecalculation) {
    auto profile = Profile::Demo();
    MessageLog log;
    Driver d;
    const std::string average = d.Average();
    const std::vector<float> line = d.dialog->State().lineY;
    d.Click(IDC_CLEAR);
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(d.Cell(row, 0), kFractions[row]);
        EXPECT_EQ(d.Cell(row, 1), "Не задан");
        for (int c = 2; c < 7; ++c) EXPECT_EQ(d.Cell(row, c), "0");
    }
    EXPECT_EQ(d.Average(), average);
    EXPECT_EQ(d.dialog->Chart()->chart.GetSeries(kCalibrationLineSeries).count, 20);
    EXPECT_EQ(d.dialog->State().lineY, line);

    d.Paste(IDC_NAV, "1.5");
    EXPECT_EQ(d.Average(), "0");
    EXPECT_EQ(d.dialog->Chart()->chart.GetSeries(kCalibrationLineSeries).count, 0);
    EXPECT_TRUE(log.messages.empty());

    d.Click(IDOK);
    for (const char* level : {"1", "2", "3", "4", "5"}) EXPECT_EQ(StoredString(level), "");
}

// Several files chosen at once for one level: each becomes the level's in turn, with a
// recalculation each (counted here by the message a bad field brings to every one).
TEST(CalibrationDialog, SeveralFilesForOneLevelRecalculateOncePerFile) {
    auto profile = Profile::Demo();
    MessageLog log;
    Driver d;
    std::optional<std::vector<std::string>> chosen;
    d.dialog->SetLevelFileChooser([&](QWidget* parent) {
        EXPECT_EQ(parent, d.dialog.get());
        return chosen;
    });
    const auto& levels = profile->demo.levelPaths;
    d.Paste(IDC_DOLYA, "x");
    log.messages.clear();

    chosen = std::nullopt;  // cancelled
    d.Click(IDC_LEVEL2);
    EXPECT_TRUE(log.messages.empty());
    EXPECT_EQ(d.dialog->State().table[2].path, levels[2]);

    chosen = std::vector<std::string>{levels[1], levels[4], levels[3]};
    d.Click(IDC_LEVEL2);
    EXPECT_EQ(log.messages.size(), 3u);
    EXPECT_EQ(d.dialog->State().table[2].path, levels[3]);
    EXPECT_EQ(d.Cell(2, 1), "Градуировка 0.2");

    d.Paste(IDC_DOLYA, "96.2");
    d.Click(IDOK);
    EXPECT_EQ(StoredString("3"), levels[3]);
}

// The level button runs the real open dialog, which starts in the demo's chromatogram folder.
TEST(CalibrationDialog, LevelButtonOpensTheChromatogramDialog) {
    auto profile = Profile::Demo();
    MessageLog log;
    Driver d;
    bool operated = false;
    QTimer::singleShot(0, d.dialog.get(), [&] {
        QWidget* open = QApplication::activeModalWidget();
        ASSERT_NE(open, nullptr);
        ASSERT_NE(open, d.dialog.get());
        auto* list = platform::gui::FindControl<QTreeView>(open, IDC_CHRM_LIST);
        ASSERT_NE(list, nullptr);
        for (int row = 0; row < list->model()->rowCount(); ++row)
            if (list->model()->index(row, 2).data().toString() == QStringLiteral("analysis-1"))
                list->setCurrentIndex(list->model()->index(row, 0));
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

// Esc ends the dialog without taking the fields; the window's end takes them twice.
TEST(CalibrationDialog, EscWithAFieldThatIsNotANumberStoresTheLastGoodValue) {
    auto profile = Profile::Demo();
    MessageLog log;
    Driver d;
    d.Paste(IDC_NAV, "2.5");
    d.Paste(IDC_NAV, "2.5.");
    log.messages.clear();
    QTest::keyClick(d.dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(d.dialog->isVisible());
    EXPECT_EQ(d.dialog->result(), QDialog::Rejected);
    EXPECT_EQ(log.messages.size(), 2u);
    EXPECT_EQ(StoredDouble("nav"), 2.5);
    EXPECT_EQ(StoredDouble("nav2"), 0.7986) << "not read after the bad field, so as loaded";
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
        d.dialog->SetLevelFileChooser([&](QWidget*) { return std::vector<std::string>{demo.analysisPaths[1]}; });
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
        EXPECT_EQ(row->toolTip(1).toStdString(), profile->demo.levelPaths[2]);
        EXPECT_EQ(row->foreground(1).color(), QColor(200, 0, 0));
        EXPECT_EQ(d.Levels()->topLevelItem(1)->foreground(1).color(), d.Levels()->palette().color(QPalette::Text));
        EXPECT_EQ(d.Verdict(), "Калибровка не принята: Уровень 0.1: ошибка чтения файла calibration-0.1.stg");
        const std::string tip = d.Control<QLabel>(IDC_VERDICT)->toolTip().toStdString();
        EXPECT_NE(tip.find("\nРазброс коэффициентов"), std::string::npos) << "every problem in the tooltip: " << tip;

        // An analysis on level 0.1 instead: its row is marked as a warning, its area refuses by the spread.
        const std::string analysis = profile->demo.analysisPaths[0];
        d.dialog->SetLevelFileChooser([&](QWidget*) { return std::vector<std::string>{analysis}; });
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
    {
        MessageLog log;
        Driver d;
        EXPECT_EQ(d.Field(IDC_NAV)->text().toStdString(), "0");
        d.Paste(IDC_NAV, "3");
        d.Click(IDOK);
    }
    EXPECT_EQ(StoredDouble("nav"), 3);
    bool kept = false;
    for (const auto& entry : std::filesystem::directory_iterator(profile.home.Dir().Path() + "/user/Tarnwick"))
        kept = kept || fixtures::ReadFileBytes(entry.path().string()) == garbage;
    EXPECT_TRUE(kept) << "the damaged hive is moved aside, not overwritten";
}

}  // namespace
