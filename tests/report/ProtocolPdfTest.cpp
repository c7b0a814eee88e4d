#include "report/ProtocolPdf.h"

#include "core/Calc.h"
#include "core/Protocol.h"
#include "core/Quality.h"
#include "core/Settings.h"
#include "support/DemoProfile.h"
#include "support/PdfText.h"
#include "support/SettingsHome.h"
#include "support/StgBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <regex>
#include <string>

namespace {

namespace fs = std::filesystem;
using fixtures::PdfWord;

// 2024-03-14 12:15:00 UTC: a fixed moment, so that the README's picture changes only with the
// layout.
constexpr std::int64_t kProtocolMoment = 1710418500;

// The text with every run of blanks (pdftotext's layout spaces, line breaks) made one space.
std::string Squeezed(const std::string& text) {
    return std::regex_replace(text, std::regex(R"(\s+)"), " ");
}

std::string FirstHexDigitsOfSha256(const std::string& path) {
    return fixtures::CommandOutput("sha256sum " + fixtures::ShellQuoted(path)).substr(0, 16);
}

std::string PrintfFigure(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string LocalDateTime(std::chrono::sys_seconds moment) {
    const std::time_t t = std::chrono::system_clock::to_time_t(moment);
    std::tm local{};
    localtime_r(&t, &local);
    char text[64];
    std::strftime(text, sizeof text, "%d.%m.%Y %H:%M:%S", &local);
    return text;
}

// Every page carries "Стр. N из M", M being the document's page count.
void ExpectPageFooters(const std::string& pdf) {
    const int pages = fixtures::ReadPdfInfo(pdf).pages;
    ASSERT_GE(pages, 1);
    for (int page = 1; page <= pages; ++page)
        EXPECT_NE(Squeezed(fixtures::PdfText(pdf, page)).find("Стр. " + std::to_string(page) + " из " + std::to_string(pages)),
                  std::string::npos)
            << "page " << page;
}

// No two words of a page overlap (a hair of tolerance for the fonts' rounded ascent and
// descent).
void ExpectNoOverlappingWords(const std::string& pdf) {
    constexpr double kTolerance = 0.3;
    const std::vector<PdfWord> words = fixtures::PdfWords(pdf);
    ASSERT_FALSE(words.empty());
    for (std::size_t i = 0; i < words.size(); ++i)
        for (std::size_t j = i + 1; j < words.size(); ++j) {
            const PdfWord& a = words[i];
            const PdfWord& b = words[j];
            if (a.page != b.page) continue;
            const bool apart = a.xMax <= b.xMin + kTolerance || b.xMax <= a.xMin + kTolerance ||
                               a.yMax <= b.yMin + kTolerance || b.yMax <= a.yMin + kTolerance;
            EXPECT_TRUE(apart) << "'" << a.text << "' (" << a.xMin << ", " << a.yMin << ", " << a.xMax << ", " << a.yMax
                               << ") overlaps '" << b.text << "' (" << b.xMin << ", " << b.yMin << ", " << b.xMax << ", "
                               << b.yMax << ") on page " << a.page;
        }
}

// The protocol of the demo profile as the dialog would make it at start-up, by a named operator
// at a fixed moment; written into the build tree with a picture of its first page for the
// README.
TEST(ProtocolPdf, DemoProfileOnOneA4PageWithEveryFigureNameAndHash) {
    fixtures::SettingsHome home;
    const std::string folder = std::string(OSTREL_BINARY_DIR) + "/docs";
    const fixtures::DemoProfile demo = fixtures::WriteDemoProfile(folder + "/demo");
    ::setenv("XDG_CONFIG_HOME", demo.userConfig.c_str(), 1);
    ::setenv("XDG_CONFIG_DIRS", demo.machineConfig.c_str(), 1);

    core::Calibration c;
    const std::string method = core::LoadSettings(c);
    c.ComputeCalibration();
    const core::CalibrationQuality q = core::JudgeCalibration(c, core::ReadMaxSpread());
    core::ProtocolOrigin origin = core::ReadProtocolOrigin();
    EXPECT_EQ(origin.labName, fixtures::kDemoLabName);
    origin.operatorLogin = "ivanova";
    origin.operatorName = "Иванова Мария Петровна";
    origin.madeAt = std::chrono::sys_seconds(std::chrono::seconds(kProtocolMoment));
    const core::Protocol protocol = core::MakeProtocol(c, q, method, origin);

    const std::string pdf = folder + "/protocol.pdf";
    ASSERT_EQ(WriteProtocolPdf(pdf, protocol), std::nullopt);

    const fixtures::PdfInfo info = fixtures::ReadPdfInfo(pdf);
    EXPECT_EQ(info.pages, 1);
    EXPECT_NEAR(info.width, 595.28, 0.5) << "A4 portrait";
    EXPECT_NEAR(info.height, 841.89, 0.5);
    EXPECT_EQ(info.title, "Протокол градуировки — Этанол");
    const std::vector<fixtures::PdfFont> fonts = fixtures::PdfFonts(pdf);
    ASSERT_FALSE(fonts.empty());
    for (const fixtures::PdfFont& font : fonts) EXPECT_TRUE(font.embedded) << font.name;

    const std::string text = Squeezed(fixtures::PdfText(pdf));
    const auto expectText = [&](const std::string& what) {
        EXPECT_NE(text.find(what), std::string::npos) << "'" << what << "' missing from:\n" << text;
    };
    expectText(fixtures::kDemoLabName);
    expectText("Протокол градуировки");
    expectText("ГОСТ 25742.4-83");
    expectText("Дата и время " + LocalDateTime(origin.madeAt));
    expectText("Оператор Иванова Мария Петровна (ivanova)");
    expectText("Программа Ostrel " + protocol.programVersion);
    EXPECT_TRUE(std::regex_match(protocol.programVersion, std::regex(R"(\d+\.\d+(\.\d+)*)"))) << protocol.programVersion;
    expectText("Метод Этанол");
    expectText("Файл метода " + demo.MethodFile("Этанол"));
    expectText("Масса навески этанола, г " + PrintfFigure("%.6g", demo.nav));
    expectText("Масса навески изопропанола, г " + PrintfFigure("%.6g", demo.nav2));
    expectText("Массовая доля основного вещества, % " + PrintfFigure("%.6g", demo.dolya));
    for (int k = 0; k < 5; ++k) {
        const core::CalibrationLevel& level = c.table[k];
        SCOPED_TRACE("level " + std::to_string(k));
        ASSERT_EQ(level.file, core::LevelFile::Read);
        expectText(fs::path(demo.levelPaths[static_cast<std::size_t>(k)]).filename().string());
        expectText(level.sampleName);
        ASSERT_TRUE(level.acquired.has_value());
        expectText(LocalDateTime(*level.acquired).substr(0, 10));  // the date; the time may sit on the next line
        expectText(LocalDateTime(*level.acquired).substr(11));
        expectText(FirstHexDigitsOfSha256(demo.levelPaths[static_cast<std::size_t>(k)]));
        expectText(PrintfFigure("%.6g", level.ethanolArea));
        expectText(PrintfFigure("%.6g", level.standardArea));
        expectText(PrintfFigure("%.6g", level.standardRetention));
        if (k > 0) {
            expectText(PrintfFigure("%.6g", level.ethanolRetention));
            expectText(PrintfFigure("%.6g", level.ethanolAmount));
            expectText(PrintfFigure("%.6g", level.coefficient));
            expectText(PrintfFigure("%+.2f", q.deviations[static_cast<std::size_t>(k - 1)]));
        }
    }
    expectText("Средний градуировочный коэффициент Кср " + PrintfFigure("%.6g", c.averageCoefficient));
    expectText("ОСКО коэффициентов, % " + PrintfFigure("%.6g", q.rsd));
    expectText("Разброс (Кmax − Кmin) / Кср, % " + PrintfFigure("%.6g", q.spread));
    expectText("Допуск на разброс, % 15");
    expectText("Допуск на отклонение tR от медианы, % 2");
    expectText("r² линии среднего коэффициента " + PrintfFigure("%.6g", q.r2));
    expectText("Холостая проба: S(0) / S(0.05), % " + PrintfFigure("%.6g", q.blankRatio));
    expectText("Калибровка принята");
    EXPECT_EQ(text.find("не принята"), std::string::npos);
    expectText("Градуировочный график");
    expectText("Отклик детектора");  // the chart's titles: real text, not a picture
    expectText("Количество");
    expectText("Выполнил");
    expectText("Проверил");
    ExpectPageFooters(pdf);
    ExpectNoOverlappingWords(pdf);

    fixtures::RenderFirstPage(pdf, folder + "/protocol.png", 90);
    EXPECT_TRUE(fs::exists(folder + "/protocol.png"));
}

// Levels 0, 3 and 4 without a chromatogram, level 2 a file that is no chromatogram, level 1 one
// with long names; no ethanol mass, so no coefficient and figures that do not exist.
TEST(ProtocolPdf, MissingLevelsLongNamesAndMissingFiguresStillRenderWithoutOverlap) {
    fixtures::SettingsHome home;
    fixtures::TempDir dir;
    fixtures::SyntheticRun run;
    run.sampleCount = 2000;
    run.peaks = {{"этанол", 20, 1, 100}, {"изопропанол", 60, 1, 1000}};
    fixtures::ChromatogramFixture chromatogram = fixtures::Synthesize(run);
    std::string longSample;
    for (int i = 0; i < 8; ++i) longSample += "Градуировочная смесь номер " + std::to_string(i) + " ";
    longSample += "конец";
    chromatogram.passport.sampleName = longSample;
    std::string longFileName;
    for (int i = 0; i < 9; ++i) longFileName += "хроматограмма_";
    longFileName += ".stg";
    const std::string level1 = dir.Path() + "/" + longFileName;
    fixtures::WriteStg(level1, chromatogram);
    const std::string level2 = dir.WriteFile(std::string(200, 'x') + ".stg", "not a compound file");

    core::Calibration c;
    c.nav = 0;
    c.nav2 = 0.8;
    c.dolya = 96.2;
    c.table[1].path = level1;
    c.table[2].path = level2;
    c.ComputeCalibration();
    const core::CalibrationQuality q = core::JudgeCalibration(c, core::kDefaultMaxSpread);
    ASSERT_FALSE(q.accepted);
    ASSERT_TRUE(std::isnan(q.rsd));
    const core::Protocol protocol = core::MakeProtocol(c, q, "", core::ReadProtocolOrigin());

    const std::string pdf = dir.Path() + "/protocol.pdf";
    ASSERT_EQ(WriteProtocolPdf(pdf, protocol), std::nullopt);
    const std::string text = Squeezed(fixtures::PdfText(pdf));
    for (const std::string& what : {std::string("не выбран"), std::string("Ошибка чтения"),
                                    std::string("Калибровка не принята"), std::string("ОСКО коэффициентов, % —"),
                                    std::string("Разброс (Кmax − Кmin) / Кср, % —"), std::string("Градуировочная смесь номер 0"),
                                    std::string("хроматограмма_"), std::string("xxxxxxxx"),
                                    FirstHexDigitsOfSha256(level1), FirstHexDigitsOfSha256(level2), std::string("…")})
        EXPECT_NE(text.find(what), std::string::npos) << "'" << what << "' missing from:\n" << text;
    for (const std::string& problem : q.problems)
        EXPECT_NE(text.find(problem.substr(0, 30)), std::string::npos) << problem;
    ExpectPageFooters(pdf);
    ExpectNoOverlappingWords(pdf);

    // Enough remarks to fill a page: the blocks that no longer fit move to further pages, each
    // numbered of the same total.
    core::Protocol longer = protocol;
    for (int i = 0; i < 60; ++i) longer.quality.problems.push_back("Замечание номер " + std::to_string(i));
    const std::string pages = dir.Path() + "/pages.pdf";
    ASSERT_EQ(WriteProtocolPdf(pages, longer), std::nullopt);
    EXPECT_GE(fixtures::ReadPdfInfo(pages).pages, 2);
    ExpectPageFooters(pages);
    ExpectNoOverlappingWords(pages);
    EXPECT_NE(Squeezed(fixtures::PdfText(pages)).find("Замечание номер 59"), std::string::npos);
}

TEST(ProtocolPdf, AnUnwritablePathIsAnErrorAndLeavesNoFile) {
    fixtures::TempDir dir;
    const std::string regular = dir.WriteFile("regular", "x");
    const core::Protocol protocol;
    for (const std::string& path : {regular + "/protocol.pdf", dir.MakeFolder("folder.pdf")}) {
        const std::optional<std::string> failure = WriteProtocolPdf(path, protocol);
        ASSERT_TRUE(failure.has_value()) << path;
        EXPECT_NE(failure->find(path), std::string::npos) << *failure;
    }
    std::vector<std::string> left;
    for (const auto& entry : fs::recursive_directory_iterator(dir.Path())) left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"folder.pdf", "regular"}));
}

}  // namespace
