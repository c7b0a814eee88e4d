#include "core/Quality.h"

#include "platform/LockedFile.h"
#include "support/SettingsHome.h"
#include "support/StgBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <optional>

namespace {

using core::Calibration;
using core::CalibrationQuality;
using core::LevelFile;
using core::LevelMark;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// ---- The figures ------------------------------------------------------------------------------

// The figures of the five levels as the chromatograms would give them; the coefficients and K̄
// come from the calculation itself.
struct Figures {
    double blankArea;
    std::array<double, 4> ethanolArea, standardArea, standardAmount, ethanolAmount;
};

Calibration Computed(const Figures& f) {
    Calibration c;
    c.table[0].ethanolArea = f.blankArea;
    for (int k = 1; k <= 4; ++k) {
        const size_t i = static_cast<size_t>(k - 1);
        c.table[k].ethanolArea = f.ethanolArea[i];
        c.table[k].standardArea = f.standardArea[i];
        c.table[k].standardAmount = f.standardAmount[i];
        c.table[k].ethanolAmount = f.ethanolAmount[i];
    }
    c.ComputeCoefficient();
    return c;
}

// Equal within a relative 1e-9, or both not a number.
void ExpectFigure(double actual, double expected, const char* what) {
    if (std::isnan(expected))
        EXPECT_TRUE(std::isnan(actual)) << what << " is " << actual;
    else
        EXPECT_NEAR(actual, expected, 1e-9 * std::max(1.0, std::abs(expected))) << what;
}

// The expected figures were worked out with python3 (statistics.stdev for s), independently of
// this code: K = C·Sст / ((S − S0)·Сст), x = (S − S0)·Сст / Sст, y = C.
TEST(CalibrationQuality, FiguresOfHandWorkedCalibrations) {
    constexpr double kDemoStandard = 0.8 / 1980000;
    struct Case {
        const char* what;
        Figures figures;
        std::array<double, 4> deviations;
        double rsd, spread, r2, blankRatio;
    };
    const Case cases[] = {
        {"four equal coefficients on a perfect line",
         {0, {1, 2, 4, 10}, {1, 1, 1, 1}, {1, 1, 1, 1}, {2, 4, 8, 20}},
         {0, 0, 0, 0}, 0, 0, 1, 0},
        {"K = 90, 100, 110, 100: s = √(200 / 3)",
         {0, {1, 2, 3, 4}, {1, 1, 1, 1}, {1, 1, 1, 1}, {90, 200, 330, 400}},
         {-10, 0, 10, 0}, 8.16496580927726, 20, 1 - 1000.0 / 56900, 0},
        {"the demo calibration: nav 1.5, nav2 0.8, dolya 96.2",
         {3.1,
          {93.4, 181.7, 366.0, 897.3},
          {996.5, 1001.2, 1007.9, 993.8},
          {kDemoStandard, kDemoStandard, kDemoStandard, kDemoStandard},
          {1.5 * 96.2 * 0.05 / 1980000, 1.5 * 96.2 * 0.1 / 1980000, 1.5 * 96.2 * 0.2 / 1980000,
           1.5 * 96.2 * 0.5 / 1980000}},
         {-0.7388638392519262, 0.8460915784184432, -0.07361934288838062, -0.03360839627809383},
         0.6502153653399287, 1.5849554176703695, 0.9999926777703396, 3.3190578158458246},
        {"no level has a coefficient: K̄ = 0 divides nothing",
         {0, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}},
         {kNaN, kNaN, kNaN, kNaN}, kNaN, kNaN, kNaN, kNaN},
        {"one ethanol amount on every level: Σ(y − ȳ)² = 0",
         {0, {1, 2, 4, 8}, {1, 1, 1, 1}, {1, 1, 1, 1}, {8, 8, 8, 8}},
         // K = 8, 4, 2, 1; K̄ = 3.75
         {113.33333333333333, 6.666666666666667, -46.666666666666664, -73.33333333333333},
         82.55189164891871, 186.66666666666666, kNaN, 0},
        {"negative ethanol amounts: K̄ = −2 is no base for percentages",
         {0, {1, 2, 4, 10}, {1, 1, 1, 1}, {1, 1, 1, 1}, {-2, -4, -8, -20}},
         {kNaN, kNaN, kNaN, kNaN}, kNaN, kNaN, 1, 0},
        {"a blank peak and no ethanol on level 0.05",
         {5, {0, 20, 40, 105}, {1, 1, 1, 1}, {1, 1, 1, 1}, {0, 30, 70, 200}},
         // K = 0, 2, 2, 2; K̄ = 1.5; x = −5, 15, 35, 100
         {-100, 33.333333333333336, 33.333333333333336, 33.333333333333336}, 66.66666666666667,
         133.33333333333334, 1 - 2918.75 / 23300, kNaN},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        const CalibrationQuality q = core::JudgeCalibration(Computed(k.figures), core::kDefaultMaxSpread);
        for (size_t i = 0; i < 4; ++i) ExpectFigure(q.deviations[i], k.deviations[i], "deviation");
        ExpectFigure(q.rsd, k.rsd, "rsd");
        ExpectFigure(q.spread, k.spread, "spread");
        ExpectFigure(q.r2, k.r2, "r2");
        ExpectFigure(q.blankRatio, k.blankRatio, "blankRatio");
        EXPECT_FALSE(q.complete) << "no level was read from a file";
        EXPECT_FALSE(q.accepted);
        EXPECT_EQ(q.maxSpread, core::kDefaultMaxSpread);
    }
}

// ---- The verdict over real files --------------------------------------------------------------

class QualityOfFiles : public ::testing::Test {
protected:
    // A chromatogram whose ethanol peak grows with `ethanol` (none for 0) beside a fixed
    // isopropanol peak, so that levels written with their fraction share one coefficient.
    std::string Write(const std::string& file, double ethanol, bool calibrationRun = true) {
        fixtures::ChromatogramFixture c;
        const float h = static_cast<float>(ethanol);
        c.signal = {0, h, 2 * h, h, 0, 0, 2, 5, 2, 0};
        c.table.peaks = {fixtures::MakePeak(5, 9, "изопропанол")};
        if (ethanol > 0) c.table.peaks.push_back(fixtures::MakePeak(0, 4, "этанол"));
        c.passport.sampleName = "Проба " + file;
        c.passport.isCalibration = calibrationRun ? 1 : 0;
        const std::string path = home.Dir().Path() + "/" + file;
        fixtures::WriteStg(path, c);
        return path;
    }

    // Five good levels: a blank without ethanol, and the ethanol peak in step with the fraction.
    Calibration FiveGoodLevels() {
        Calibration c;
        c.nav = 1.5;
        c.nav2 = 0.8;
        c.dolya = 96;
        c.table[0].path = Write("l0.stg", 0);
        c.table[1].path = Write("l1.stg", 0.5);
        c.table[2].path = Write("l2.stg", 1);
        c.table[3].path = Write("l3.stg", 2);
        c.table[4].path = Write("l4.stg", 5);
        return c;
    }

    static CalibrationQuality Judge(Calibration& c, double maxSpread = core::kDefaultMaxSpread) {
        c.ComputeCalibration();
        return core::JudgeCalibration(c, maxSpread);
    }

    fixtures::SettingsHome home;
};

TEST_F(QualityOfFiles, FiveGoodLevelsAreAccepted) {
    Calibration c = FiveGoodLevels();
    const CalibrationQuality q = Judge(c);
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(c.table[k].file, LevelFile::Read) << k;
        EXPECT_TRUE(c.table[k].calibrationRun) << k;
        EXPECT_EQ(c.table[k].sameFileAs, -1) << k;
        EXPECT_EQ(q.levelMarks[static_cast<size_t>(k)], LevelMark::None) << k;
    }
    EXPECT_TRUE(q.complete);
    EXPECT_TRUE(q.accepted);
    EXPECT_TRUE(q.problems.empty()) << q.problems.front();
    EXPECT_LT(q.spread, 1e-9);
    EXPECT_NEAR(q.r2, 1, 1e-9);
    EXPECT_EQ(q.blankRatio, 0);
}

// Each fault alone on otherwise good levels: whether it refuses, the problems in their order and
// the rows it marks.
TEST_F(QualityOfFiles, EachFaultIsNamedAndRefusesOrWarns) {
    const std::string junk = home.Dir().WriteFile("junk.stg", "not a compound file");
    std::filesystem::create_symlink(home.Dir().Path() + "/l2.stg", home.Dir().Path() + "/link.stg");
    const std::string cut = Write("cut.stg", 1);
    std::filesystem::resize_file(cut, 1000);
    const std::string locked = Write("locked.stg", 1);
    std::optional<platform::LockedFile> holder;  // another program's hold, for the case that takes it
    struct Case {
        const char* what;
        std::function<void(Calibration&)> change;
        bool accepted, complete;
        std::vector<std::string> problems;
        std::array<LevelMark, 5> marks;
    };
    constexpr LevelMark o = LevelMark::None, P = LevelMark::Problem, W = LevelMark::Warning;
    const Case cases[] = {
        {"a level without a file",
         [](Calibration& c) { c.table[3].path.clear(); },
         false, false,
         {"Уровень 0.2: хроматограмма не выбрана",
          "Разброс коэффициентов 133.3 % больше допустимого 15 %"},
         {o, o, o, P, o}},
        {"a file that cannot be read",
         [&](Calibration& c) { c.table[0].path = junk; },
         false, false,
         {"Уровень 0: ошибка чтения файла junk.stg: это не файл хроматограммы"},
         {P, o, o, o, o}},
        {"a file that is gone",
         [&](Calibration& c) { c.table[4].path = home.Dir().Path() + "/gone.stg"; },
         false, false,
         {"Уровень 0.5: ошибка чтения файла gone.stg: файл не найден",
          "Разброс коэффициентов 133.3 % больше допустимого 15 %"},
         {o, o, o, o, P}},
        {"a file cut to 1000 bytes",
         [&](Calibration& c) { c.table[2].path = cut; },
         false, false,
         {"Уровень 0.1: ошибка чтения файла cut.stg: файл повреждён",
          "Разброс коэффициентов 133.3 % больше допустимого 15 %"},
         {o, o, P, o, o}},
        {"a file another program holds",
         [&](Calibration& c) {
             holder = platform::LockedFile::Open(locked, platform::LockedFile::Mode::ReadOnly);
             ASSERT_TRUE(holder.has_value());
             c.table[2].path = locked;
         },
         false, false,
         {"Уровень 0.1: ошибка чтения файла locked.stg: файл занят другой программой",
          "Разброс коэффициентов 133.3 % больше допустимого 15 %"},
         {o, o, P, o, o}},
        {"one file on two levels, under another name",
         [&](Calibration& c) {
             c.table[2].path = home.Dir().Path() + "/link.stg";
             c.table[3].path = home.Dir().Path() + "/./l2.stg";
         },
         false, true,
         {"Уровни 0.1 и 0.2: один и тот же файл под двумя путями: " + home.Dir().Path() + "/link.stg и " +
              home.Dir().Path() + "/./l2.stg",
          "Разброс коэффициентов 80 % больше допустимого 15 %"},
         {o, o, P, P, o}},
        {"one file on two levels, under one path",
         [&](Calibration& c) { c.table[3].path = c.table[2].path; },
         false, true,
         {"Уровни 0.1 и 0.2: один и тот же файл l2.stg", "Разброс коэффициентов 80 % больше допустимого 15 %"},
         {o, o, P, P, o}},
        {"an analysis among the levels: a warning only",
         [&](Calibration& c) { c.table[2].path = Write("analysis.stg", 1, false); },
         true, true,
         {"Уровень 0.1: проба «Проба analysis.stg» не отмечена как градуировочная"},
         {o, o, W, o, o}},
        {"no ethanol above the blank on one level",
         [&](Calibration& c) { c.table[1].path = Write("water.stg", 0); },
         false, false,
         {"Уровень 0.05: нет коэффициента: площадь этанола не больше, чем на уровне 0",
          "Разброс коэффициентов 133.3 % больше допустимого 15 %"},
         {o, P, o, o, o}},
        {"no isopropanol mass",
         [&](Calibration& c) { c.nav2 = 0; },
         false, false,
         {"Уровень 0.05: нет коэффициента: нет пика изопропанола или масса навески изопропанола не больше 0",
          "Уровень 0.1: нет коэффициента: нет пика изопропанола или масса навески изопропанола не больше 0",
          "Уровень 0.2: нет коэффициента: нет пика изопропанола или масса навески изопропанола не больше 0",
          "Уровень 0.5: нет коэффициента: нет пика изопропанола или масса навески изопропанола не больше 0"},
         {o, P, P, P, P}},
        {"one level a quarter too high",
         [&](Calibration& c) { c.table[4].path = Write("high.stg", 5 / 1.25); },
         false, true,
         {"Разброс коэффициентов 23.53 % больше допустимого 15 %"},
         {o, o, o, o, o}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        Calibration c = FiveGoodLevels();
        k.change(c);
        const CalibrationQuality q = Judge(c);
        holder.reset();
        EXPECT_EQ(q.accepted, k.accepted);
        EXPECT_EQ(q.complete, k.complete);
        EXPECT_EQ(q.problems, k.problems);
        EXPECT_EQ(q.levelMarks, k.marks);
    }
}

// A window whose field holds no number calculates with the field's last number: the verdict
// must not accept figures the fields do not show.
TEST_F(QualityOfFiles, InputsNotAsShownAreNeverAccepted) {
    Calibration c = FiveGoodLevels();
    c.ComputeCalibration();
    const CalibrationQuality q = core::JudgeCalibration(c, core::kDefaultMaxSpread, core::InputsShown::NotAsShown);
    EXPECT_TRUE(q.complete);
    EXPECT_FALSE(q.accepted);
    EXPECT_EQ(q.problems,
              std::vector<std::string>{"Расчёт сделан не по значениям полей: в поле, отмеченном красным, нет числа"});
    EXPECT_EQ(q.levelMarks, (std::array<LevelMark, 5>{}));
}

// The spread is compared with the limit in force, equal included.
TEST_F(QualityOfFiles, TheSpreadIsHeldAgainstTheLimit) {
    Calibration c = FiveGoodLevels();
    c.table[4].path = Write("high.stg", 5 / 1.25);  // K: 1, 1, 1, 1.25 → spread 0.25 / 1.0625
    const double spread = 0.25 / 1.0625 * 100;
    EXPECT_NEAR(Judge(c).spread, spread, 1e-4);
    EXPECT_TRUE(Judge(c, 25).accepted);
    EXPECT_TRUE(Judge(c, Judge(c).spread).accepted) << "a spread equal to the limit passes";
    const CalibrationQuality strict = Judge(c, 10);
    EXPECT_FALSE(strict.accepted);
    EXPECT_EQ(strict.maxSpread, 10);
    EXPECT_EQ(strict.problems, std::vector<std::string>{"Разброс коэффициентов 23.53 % больше допустимого 10 %"});
}

// A level whose file is gone keeps its path; a level whose path is emptied keeps its figures but
// no longer counts as read.
TEST_F(QualityOfFiles, TheLevelsSayWhatBecameOfTheirFiles) {
    Calibration c = FiveGoodLevels();
    c.ComputeCalibration();
    const double k2 = c.table[2].coefficient;
    c.table[2].path.clear();
    c.table[3].path = c.table[4].path;
    c.ComputeCalibration();
    EXPECT_EQ(c.table[2].file, LevelFile::None);
    EXPECT_EQ(c.table[2].coefficient, k2) << "a level without a path keeps its figures";
    EXPECT_EQ(c.table[3].sameFileAs, 4);
    EXPECT_EQ(c.table[4].sameFileAs, 3);

    // Two files with the same bytes are two files.
    std::filesystem::copy_file(c.table[4].path, home.Dir().Path() + "/copy.stg");
    c.table[3].path = home.Dir().Path() + "/copy.stg";
    c.ComputeCalibration();
    EXPECT_EQ(c.table[3].sameFileAs, -1);
    EXPECT_EQ(c.table[4].sameFileAs, -1);
}

// ---- Where the peaks were found ---------------------------------------------------------------

// Retention times as the files give them: the apex of each taken peak, none for the blank's
// missing ethanol peak; a level that loses its path or its file loses its times too.
TEST_F(QualityOfFiles, RetentionTimesComeFromTheTakenPeaks) {
    Calibration c = FiveGoodLevels();
    const CalibrationQuality q = Judge(c);
    EXPECT_TRUE(std::isnan(q.ethanolRetention.times[0])) << "the blank has no ethanol peak";
    for (int k = 1; k < 5; ++k) EXPECT_EQ(q.ethanolRetention.times[static_cast<size_t>(k)], 2) << k;
    for (int k = 0; k < 5; ++k) EXPECT_EQ(q.standardRetention.times[static_cast<size_t>(k)], 7) << k;
    EXPECT_EQ(q.ethanolRetention.median, 2);
    EXPECT_TRUE(std::isnan(q.ethanolRetention.shifts[0]));
    EXPECT_EQ(q.standardRetention.shifts[3], 0);

    c.table[1].path.clear();
    c.table[2].path = home.Dir().Path() + "/gone.stg";
    c.ComputeCalibration();
    for (int k : {1, 2}) {
        EXPECT_TRUE(std::isnan(c.table[k].ethanolRetention)) << k;
        EXPECT_TRUE(std::isnan(c.table[k].standardRetention)) << k;
    }
}

// A hand-made set: isopropanol 3 % late on level 0.1, no ethanol peak on level 0.05. The
// shifted peak is a remark naming level and peak; the missing one has no shift and no remark.
TEST_F(QualityOfFiles, AShiftedPeakIsARemarkNamingLevelAndPeak) {
    Calibration c = FiveGoodLevels();
    c.ComputeCalibration();
    const std::array<double, 5> ethanol{kNaN, 2.0, 2.0, 2.02, 1.99}, standard{5.0, 5.0, 5.15, 5.0, 4.95};
    for (int k = 0; k < 5; ++k) {
        c.table[k].ethanolRetention = ethanol[static_cast<size_t>(k)];
        c.table[k].standardRetention = standard[static_cast<size_t>(k)];
    }
    struct Case {
        double limit;
        std::vector<std::string> problems;
    };
    const Case cases[] = {
        {core::kDefaultMaxRetentionShift,
         {"Уровень 0.1: время удерживания пика «изопропанол» отличается от медианы уровней на 3 % (допуск 2 %)"}},
        {0.9,
         {"Уровень 0.1: время удерживания пика «изопропанол» отличается от медианы уровней на 3 % (допуск 0.9 %)",
          "Уровень 0.2: время удерживания пика «этанол» отличается от медианы уровней на 1 % (допуск 0.9 %)",
          "Уровень 0.5: время удерживания пика «изопропанол» отличается от медианы уровней на 1 % (допуск 0.9 %)"}},
        {3.5, {}},
    };
    for (const Case& k : cases) {
        const CalibrationQuality q = core::JudgeCalibration(c, core::kDefaultMaxSpread, core::InputsShown::AsShown, k.limit);
        EXPECT_EQ(q.problems, k.problems) << k.limit;
        EXPECT_TRUE(q.accepted) << "a remark does not refuse";
        EXPECT_EQ(q.maxRetentionShift, k.limit);
        EXPECT_EQ(q.levelMarks[2], k.problems.empty() ? LevelMark::None : LevelMark::Warning) << k.limit;
        EXPECT_EQ(q.levelMarks[0], LevelMark::None) << k.limit;
    }
    const CalibrationQuality q = core::JudgeCalibration(c, core::kDefaultMaxSpread);
    EXPECT_EQ(q.ethanolRetention.median, 2.0) << "of an even count, the middle two";
    EXPECT_EQ(q.standardRetention.median, 5.0);
    ExpectFigure(q.standardRetention.shifts[2], 3, "shift of level 0.1");
    ExpectFigure(q.standardRetention.shifts[4], -1, "shift of level 0.5");
    ExpectFigure(q.ethanolRetention.shifts[3], 1, "shift of level 0.2");
    EXPECT_TRUE(std::isnan(q.ethanolRetention.shifts[0]));
    ASSERT_EQ(q.reasons.size(), 1u);
    EXPECT_EQ(q.reasons[0].kind, core::CalibrationProblem::Kind::RetentionShift);

    // No level with a peak: no median, no shift.
    for (int k = 0; k < 5; ++k) c.table[k].ethanolRetention = kNaN;
    EXPECT_TRUE(std::isnan(core::JudgeCalibration(c, core::kDefaultMaxSpread).ethanolRetention.median));
}

// ---- The limit --------------------------------------------------------------------------------

TEST(MaxSpread, ComesFromTheMachineHiveWhenItIsAPositiveNumber) {
    fixtures::SettingsHome home;
    EXPECT_EQ(core::ReadMaxSpread(), 15) << "no machine hive";
    struct Case {
        const char* value;  // as the hive file writes it
        double limit;
    };
    const Case cases[] = {
        {"\"10\"", 10},  {"\" 7,5 \"", 7.5}, {"\"2.5e1\"", 25},   {"\"0\"", 15},  {"\"-3\"", 15},
        {"\"abc\"", 15}, {"\"\"", 15},       {"\"10 %\"", 15},    {"\"1e999\"", 15}, {"dword:0000000a", 15},
    };
    for (const Case& k : cases) {
        const std::string hive = home.WriteMachineHive(
            std::string("Windows Registry Editor Version 5.00\n\n"
                        "[HKEY_LOCAL_MACHINE\\Software\\Tarnwick\\Velmora\\Ostrel]\n\"MaxSpread\"=") +
            k.value + "\n");
        const std::string before = fixtures::ReadFileBytes(hive);
        EXPECT_EQ(core::ReadMaxSpread(), k.limit) << k.value;
        EXPECT_EQ(fixtures::ReadFileBytes(hive), before);
    }

    // The per-user hive does not count, and reading creates no key anywhere.
    home.WriteMachineHive("Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\Tarnwick]\n");
    home.WriteUserHive("Windows Registry Editor Version 5.00\n\n"
                       "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora\\Ostrel]\n\"MaxSpread\"=\"5\"\n");
    const std::string user = fixtures::ReadFileBytes(home.UserHive());
    EXPECT_EQ(core::ReadMaxSpread(), 15);
    EXPECT_EQ(fixtures::ReadFileBytes(home.UserHive()), user);
}

TEST(MaxRetentionShift, ComesFromTheMachineHiveBesideMaxSpread) {
    fixtures::SettingsHome home;
    EXPECT_EQ(core::ReadMaxRetentionShift(), 2) << "no machine hive";
    for (const auto& [value, limit] : {std::pair{"\"3,5\"", 3.5}, std::pair{"\"0\"", 2.0}, std::pair{"\"x\"", 2.0}}) {
        home.WriteMachineHive(std::string("Windows Registry Editor Version 5.00\n\n"
                                          "[HKEY_LOCAL_MACHINE\\Software\\Tarnwick\\Velmora\\Ostrel]\n"
                                          "\"MaxSpread\"=\"9\"\n\"MaxRetentionShift\"=") +
                              value + "\n");
        EXPECT_EQ(core::ReadMaxRetentionShift(), limit) << value;
        EXPECT_EQ(core::ReadMaxSpread(), 9) << value;
    }
}

}  // namespace
