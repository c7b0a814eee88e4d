// The main dialog in each language the program speaks.
#include "DialogDriver.h"

#include "support/DialogLanguage.h"

#include <QHeaderView>

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

}  // namespace
