// The main dialog in each language the program speaks.
#include "DialogDriver.h"

#include "support/DialogLanguage.h"


#include <QHeaderView>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

namespace {

using namespace apptest;
using namespace resources;

class CalibrationDialogIn : public ::testing::TestWithParam<Language> {};

// The substitute font runs a little wider than the template's, and English captions are not the
// Russian ones: still every caption shows whole, and no two controls overlap.
TEST_P(CalibrationDialogIn, EveryCaptionShowsWholeAndNoControlsOverlap) {
    auto profile = Profile::Demo();
    fixtures::DialogLanguage language(GetParam());
    MessageLog log;
    Driver d;
    fixtures::ExpectCaptionsWholeAndNoOverlap(*d.dialog);
    for (int c = 0; c < d.Levels()->columnCount(); ++c) {
        const QString header = d.Levels()->headerItem()->text(c);
        EXPECT_LE(d.Levels()->header()->fontMetrics().horizontalAdvance(header), d.Levels()->columnWidth(c))
            << header.toStdString();
    }
    if (const char* shots = std::getenv("OSTREL_SCREENSHOTS"))
        d.dialog->grab().save(QString::fromUtf8(shots) + "/ostrel-" +
                              QString::fromStdString(fixtures::LanguageName({GetParam(), 0})) + ".png");
}

INSTANTIATE_TEST_SUITE_P(Languages, CalibrationDialogIn, ::testing::ValuesIn(fixtures::kLanguages),
                         fixtures::LanguageName);

// In English the dialog shows no Russian of its own, while what files, settings and peers depend
// on stays as it is: the peak names are still found (the demo calibration comes out the same),
// the samples and the method keep their names.
TEST(CalibrationDialogInEnglish, TranslatesCaptionsButNeverData) {
    auto profile = Profile::Demo();
    std::string russianAverage;
    {
        MessageLog log;
        Driver d;
        russianAverage = d.Average();
        EXPECT_EQ(d.Levels()->headerItem()->text(1).toStdString(), "Проба");
        d.dialog->reject();
    }
    fixtures::DialogLanguage language(Language::English);
    MessageLog log;
    Driver d;
    EXPECT_EQ(d.dialog->windowTitle().toStdString(), "Calibration to GOST 25742.4-83 (version 1.1)");
    EXPECT_EQ(d.Levels()->headerItem()->text(1).toStdString(), "Sample");
    fixtures::ExpectNoRussianCaptions(*d.dialog, {IDC_LEVEL_LIST, IDC_METHOD_LIST});
    EXPECT_EQ(d.Average(), russianAverage);
    EXPECT_NE(russianAverage, "0");
    EXPECT_EQ(d.Cell(0, 1), "Градуировка 0") << "a sample name is data";
    EXPECT_EQ(d.MethodTitle(), "Этанол") << "a method title is data";

    d.Paste(IDC_NAV, "x");
    d.Click(IDOK);
    ASSERT_FALSE(log.messages.empty());
    EXPECT_EQ(log.messages[0].text, "Please enter a number.");
}

TEST(CalibrationDialogInEnglish, ALevelWithoutAChromatogramIsNotSet) {
    Profile profile;
    fixtures::DialogLanguage language(Language::English);
    MessageLog log;
    Driver d;
    EXPECT_EQ(d.Cell(0, 1), "Not set");
}

// The reasons of a refused calibration, a refused write and the audit trail's notice are the
// core's messages: the English dialog shows them in English with the same figures, while the
// core's own Russian (the audit trail, ostrel-cli, the protocol) stays as it is.
TEST(CalibrationDialogInEnglish, SaysWhyTheCalibrationIsRefusedAndWhyNothingWasWritten) {
    auto profile = Profile::Demo();
    std::filesystem::remove(profile->demo.levelPaths[2]);
    const std::string log = profile->home.OstrelData() + "/audit.jsonl";
    std::filesystem::create_directories(profile->home.OstrelData());
    std::ofstream(log) << "{\"prev\":\"edited by hand\"}\n";
    fixtures::DialogLanguage language(Language::English);
    MessageLog boxes;
    Driver d;
    std::string chosen = profile->demo.levelPaths[3];
    d.dialog->SetLevelFileChooser([&](QWidget*, const CCalibrationDlg::LevelFileRequest&) { return chosen; });
    d.Click(IDC_LEVEL4);  // the file of level 0.2 again
    chosen = profile->demo.analysisPaths[0];
    d.Click(IDC_LEVEL1);  // an analysis
    d.Choose("Метанол");  // no ethanol record
    boxes.answer = [](const ChoiceBox&) { return 0; };
    d.Click(IDC_SAVE_TO_METHOD);

    const core::CalibrationQuality& q = d.dialog->Quality();
    using Kind = core::CalibrationProblem::Kind;
    std::vector<Kind> kinds;
    for (const core::CalibrationProblem& problem : q.reasons) kinds.push_back(problem.kind);
    ASSERT_EQ(kinds, (std::vector<Kind>{Kind::Unreadable, Kind::SameFile, Kind::SpreadOverLimit,
                                        Kind::NotCalibrationRun}));
    QStringList data{"Метанол", "этанол", "изопропанол"};
    for (int k = 0; k < core::CalibrationTable::kLevelCount; ++k)
        data << QString::fromStdString(d.dialog->State().table[k].sampleName);
    const QString tip = d.Control<QLabel>(IDC_VERDICT)->toolTip();
    // The spread's figure as the Russian text has it: "Разброс коэффициентов 106.7 % больше …".
    const std::string russianSpread = q.problems[2].substr(std::string("Разброс коэффициентов ").size());
    const QString spread = QString::fromStdString(russianSpread.substr(0, russianSpread.find(' ')));
    EXPECT_EQ(d.Verdict(), "Calibration not accepted: Level 0.1: error reading file calibration-0.1.stg: file not found");
    EXPECT_EQ(tip.split('\n').size(), 4) << tip.toStdString();
    EXPECT_TRUE(tip.contains("\nLevels 0.2 and 0.5: the same file calibration-0.2.stg\nThe spread of the coefficients " +
                             spread + " % is over the limit of 15 %\n"))
        << tip.toStdString();
    EXPECT_FALSE(fixtures::HasRussianBesides(tip, data)) << tip.toStdString();

    ASSERT_EQ(boxes.boxes.size(), 2u);
    for (const ChoiceBox& box : boxes.boxes)
        EXPECT_FALSE(fixtures::HasRussianBesides(box.text, data)) << box.text.toStdString();
    EXPECT_TRUE(boxes.boxes[0].text.contains("In the method now: no ethanol record\n")) << boxes.Box(0);
    EXPECT_TRUE(boxes.boxes[0].text.contains("WARNING: the calibration is NOT accepted:\n  • Level 0.1: error reading file "))
        << boxes.Box(0);
    EXPECT_EQ(boxes.Box(1),
              "The coefficient was not written into the method “Метанол”: no ethanol record.\nMethod file: " +
                  profile->demo.MethodFile("Метанол") +
                  "\nThe method is unchanged.\n\nAudit trail, line 1: the chain is broken (the line before it was "
                  "edited, removed or inserted, or this line itself was edited).");

    // The trail keeps the core's Russian, whatever language the window speaks.
    std::ifstream in(log);
    nlohmann::json last;
    for (std::string line; std::getline(in, line);) last = nlohmann::json::parse(line);
    EXPECT_EQ(last["error"], "нет записи этанола");
    EXPECT_EQ(last["quality"]["problems"][0], "Уровень 0.1: ошибка чтения файла calibration-0.1.stg: файл не найден");
    EXPECT_EQ(last["quality"]["problems"], q.problems);
}

}  // namespace
