#include "core/Calc.h"

#include "support/StgBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

namespace {

using core::Calibration;

constexpr double kInf = std::numeric_limits<double>::infinity();

// Levels 1 to 4 set so that their abscissas are the given values: standard amount and area 1,
// blank area 0, ethanol area x; the amounts follow a coefficient of 2.
Calibration WithAbscissas(const std::array<double, 4>& x) {
    Calibration c;
    for (int k = 1; k <= 4; ++k) {
        c.table[k].ethanolArea = x[static_cast<size_t>(k - 1)];
        c.table[k].standardArea = 1;
        c.table[k].standardAmount = 1;
        c.table[k].ethanolAmount = 2 * x[static_cast<size_t>(k - 1)];
    }
    return c;
}

TEST(Calibration, FreshLevelsGiveNothing) {
    Calibration c;
    c.ComputeCalibration();
    EXPECT_EQ(c.averageCoefficient, 0);
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(c.table[k].coefficient, 0);
        EXPECT_EQ(c.table[k].sampleName, "Не задан");
        EXPECT_EQ(c.table[k].fraction, core::CalibrationTable::kFractions[static_cast<size_t>(k)]);
    }
    ASSERT_EQ(c.pointsX.size(), 4u);
    for (float x : c.pointsX) EXPECT_TRUE(std::isnan(x)) << "0 / 0";
    EXPECT_EQ(c.pointsY, std::vector<float>(4, 0.0f));
    EXPECT_TRUE(c.lineX.empty()) << "the maximum is not a number";
    EXPECT_TRUE(c.lineY.empty());
}

TEST(Calibration, CoefficientsAreOverTheBlankAndAlwaysAveragedOverFour) {
    Calibration c;
    c.table[0].ethanolArea = 10;
    // K = C · Sст / ((S − S0) · Сст) = 0.4 · 50 / ((30 − 10) · 0.25) = 20 / 5 = 4
    c.table[1] = core::CalibrationLevel(0.05);
    c.table[1].ethanolArea = 30;
    c.table[1].standardArea = 50;
    c.table[1].ethanolAmount = 0.4;
    c.table[1].standardAmount = 0.25;
    c.table[2].ethanolArea = 10;  // not above the blank
    c.table[2].standardAmount = 1;
    c.table[3].ethanolArea = 5;  // below it
    c.table[3].standardAmount = 1;
    c.table[4].ethanolArea = 20;
    c.table[4].standardAmount = std::nan("");
    c.ComputeCalibration();
    EXPECT_EQ(c.table[1].coefficient, 4);
    EXPECT_EQ(c.table[2].coefficient, 0);
    EXPECT_EQ(c.table[3].coefficient, 0);
    EXPECT_EQ(c.table[4].coefficient, 0) << "d not a number";
    EXPECT_EQ(c.table[0].coefficient, 0);
    EXPECT_EQ(c.averageCoefficient, 1) << "4 / 4: the levels without a coefficient count too";
}

// Abscissas 1 to 4 with coefficient 2. The line starts at 0.5 · 1 and stops before
// float(1.2 · 4) = 5033165 / 2^20 in 20 steps of (5033165 / 2^20 − 0.5) / 20; the values below
// were worked out with exact fractions (python3) and rounded to float.
TEST(Calibration, TheLineReachesFromHalfTheSmallestToOnePointTwoTimesTheLargestAbscissa) {
    Calibration c = WithAbscissas({1, 2, 3, 4});
    c.ComputeCalibration();
    EXPECT_EQ(c.averageCoefficient, 2);
    EXPECT_EQ(c.pointsX, (std::vector<float>{1, 2, 3, 4}));
    EXPECT_EQ(c.pointsY, (std::vector<float>{2, 4, 6, 8}));
    EXPECT_EQ(c.lineX, (std::vector<float>{0.5f, 0.71500003f, 0.93f, 1.145f, 1.36f, 1.575f, 1.7900001f, 2.005f, 2.22f,
                                           2.4350002f, 2.65f, 2.865f, 3.0800002f, 3.295f, 3.5100002f, 3.7250001f, 3.94f,
                                           4.155f, 4.3700004f, 4.585f}));
    EXPECT_EQ(c.lineY, (std::vector<float>{1.0f, 1.4300001f, 1.86f, 2.29f, 2.72f, 3.15f, 3.5800002f, 4.01f, 4.44f,
                                           4.8700004f, 5.3f, 5.73f, 6.1600003f, 6.59f, 7.0200005f, 7.4500003f, 7.88f,
                                           8.31f, 8.740001f, 9.17f}));
}

TEST(Calibration, TheRunningBoundsKeepTheirOddities) {
    struct Case {
        const char* what;
        std::array<double, 4> x;
        size_t points;
        float first, lastBelow;  // lineX[0], and a bound the last point stays under
    };
    const float upperOf300 = static_cast<float>(400 * 1.2);
    const Case cases[] = {
        {"all above 100: the minimum stays 100", {300, 200, 150, 400}, 20, 50, upperOf300},
        {"all negative: the maximum stays 0", {-4, -2, -3, -1}, 20, -2, 0},
        {"an infinite abscissa: one point", {1, kInf, 2, 3}, 1, 0.5f, std::numeric_limits<float>::infinity()},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        Calibration c = WithAbscissas(k.x);
        c.ComputeCalibration();
        ASSERT_EQ(c.lineX.size(), k.points);
        EXPECT_EQ(c.lineX.front(), k.first);
        EXPECT_LT(c.lineX.back(), k.lastBelow);
    }

    // A not-a-number abscissa always becomes the maximum, and the next level's replaces it.
    Calibration nanLast = WithAbscissas({1, 2, 3, 0});
    nanLast.table[4].ethanolArea = 0;
    nanLast.table[4].standardArea = 0;  // 0 / 0
    nanLast.ComputeCalibration();
    EXPECT_TRUE(std::isnan(nanLast.pointsX[3]));
    EXPECT_TRUE(nanLast.lineX.empty());

    Calibration nanSecond = WithAbscissas({5, 0, 1, 2});
    nanSecond.table[2].standardArea = 0;
    nanSecond.ComputeCalibration();
    ASSERT_FALSE(nanSecond.lineX.empty());
    EXPECT_EQ(nanSecond.lineX.front(), 0.5f) << "the minimum ignored the NaN";
    EXPECT_LT(nanSecond.lineX.back(), static_cast<float>(2 * 1.2)) << "the 5 before the NaN is forgotten";
    EXPECT_GT(nanSecond.lineX.back(), 2.0f);
}

// ---- Reading the levels' chromatograms --------------------------------------------------------

class CalibrationFiles : public ::testing::Test {
protected:
    // A chromatogram with a peak for each name (areas growing with `scale`) and the sample name.
    std::string Write(const std::string& file, const std::string& sample, const std::vector<std::string>& names,
                      float scale) {
        fixtures::ChromatogramFixture c;
        for (size_t i = 0; i < names.size(); ++i) {
            const float h = scale * static_cast<float>(i + 1);
            c.signal.insert(c.signal.end(), {0, h, 2 * h, h, 0});
            c.table.peaks.push_back(fixtures::MakePeak(5.0 * i, 5.0 * i + 4, names[i]));
        }
        c.passport.sampleName = sample;
        const std::string path = dir.Path() + "/" + file;
        fixtures::WriteStg(path, c);
        return path;
    }
    fixtures::TempDir dir;
};

TEST_F(CalibrationFiles, TakesTheAreasOfEthanolAndTheStandard) {
    Calibration c;
    c.nav = 2.5;
    c.nav2 = 3.5;
    c.dolya = 96;
    c.table[0].path = Write("blank.stg", "Бланк", {"изопропанол", "этанол"}, 1);
    c.table[2].path = Write("l2.stg", "Уровень 0.1", {"Этанол", "вода", "ИЗОПРОПАНОЛ", "этанол 2"}, 3);
    c.table[4].path = Write("l4.stg", "Уровень 0.5", {"этанол", "изопропанол", "этанол"}, 5);
    c.ComputeCalibration();

    // Peak i of a file spans the samples 0, h, 2h, h, 0 with h = scale · (i + 1), from its
    // first sample to its last on a zero baseline: its area is 4h.
    //   blank (scale 1): изопропанол 4, этанол 8
    //   l2 (scale 3):    Этанол 12, вода 24, ИЗОПРОПАНОЛ 36, этанол 2 48
    //   l4 (scale 5):    этанол 20, изопропанол 40, этанол 60
    EXPECT_EQ(c.table[0].sampleName, "Бланк");
    EXPECT_EQ(c.table[0].ethanolArea, 8);
    EXPECT_EQ(c.table[0].standardArea, 4);
    EXPECT_EQ(c.table[0].ethanolAmount, 0) << "the blank has no ethanol added";
    EXPECT_DOUBLE_EQ(c.table[0].standardAmount, 1.7676767676767676e-06);  // 3.5 / 1980000

    EXPECT_EQ(c.table[2].sampleName, "Уровень 0.1");
    EXPECT_EQ(c.table[2].ethanolArea, 12) << "the case of the name does not matter";
    EXPECT_EQ(c.table[2].standardArea, 36);
    EXPECT_DOUBLE_EQ(c.table[2].ethanolAmount, 1.2121212121212122e-05);  // 2.5 · 96 · 0.1 / 1980000
    EXPECT_DOUBLE_EQ(c.table[2].standardAmount, 1.7676767676767676e-06);

    EXPECT_EQ(c.table[4].ethanolArea, 60) << "the last ethanol peak wins";
    EXPECT_EQ(c.table[4].standardArea, 40);
    EXPECT_DOUBLE_EQ(c.table[4].ethanolAmount, 6.0606060606060605e-05);  // 2.5 · 96 · 0.5 / 1980000
    // K2 = 24 · 36 / ((12 − 8) · 3.5) = 432 / 7, K4 = 120 · 40 / ((60 − 8) · 3.5) = 2400 / 91
    // (the factors 1 / 1980000 cancel); the average is over four levels.
    EXPECT_DOUBLE_EQ(c.table[2].coefficient, 61.714285714285715);
    EXPECT_DOUBLE_EQ(c.table[4].coefficient, 26.373626373626372);
    EXPECT_DOUBLE_EQ(c.averageCoefficient, 22.021978021978022);
    EXPECT_EQ(c.table[1].sampleName, "Не задан") << "a level without a path is left alone";

    // A level keeps what a file without the peaks, or no file at all, does not give it.
    c.nav2 = 7;
    c.table[2].path = Write("water.stg", "Вода", {"вода"}, 1);
    c.ComputeCalibration();
    EXPECT_EQ(c.table[2].sampleName, "Вода");
    EXPECT_EQ(c.table[2].ethanolArea, 12);
    EXPECT_DOUBLE_EQ(c.table[2].standardAmount, 1.7676767676767676e-06) << "not read again with a standard peak";
    EXPECT_DOUBLE_EQ(c.table[4].standardAmount, 3.5353535353535352e-06);  // 7 / 1980000
}

// One chromatogram object serves every level of a pass, but a level whose file cannot be read
// takes nothing from it: neither the previous level's sample name nor its peaks.
TEST_F(CalibrationFiles, ALevelWhoseFileCannotBeReadTakesNothingFromAnother) {
    Calibration c;
    c.nav = c.nav2 = c.dolya = 1;
    c.table[1].path = Write("l1.stg", "Уровень 0.05", {"этанол", "изопропанол"}, 2);
    const std::string noPassport = dir.Path() + "/nopassport.stg";
    fixtures::ChromatogramFixture f;
    f.signal = {0, 1, 0};
    f.table.peaks = {fixtures::MakePeak(0, 2, "этанол")};
    fixtures::WriteCompoundFile(noPassport, fixtures::Without(fixtures::EncodeStreams(f), "Passport"));
    const std::string unreadable[] = {dir.Path() + "/missing.stg", dir.WriteFile("junk.stg", "junk"), noPassport};
    for (const std::string& path : unreadable) {
        SCOPED_TRACE(path);
        c.table[2] = core::CalibrationLevel(0.1);
        c.table[2].ethanolArea = 99;  // a figure from an earlier file
        c.table[2].sampleName = "Прежний";
        c.table[2].path = path;
        c.ComputeCalibration();
        EXPECT_EQ(c.table[2].path, path);
        EXPECT_EQ(c.table[2].file, core::LevelFile::Unreadable);
        EXPECT_EQ(c.table[2].sampleName, "Не задан");
        EXPECT_EQ(c.table[2].ethanolArea, 0);
        EXPECT_EQ(c.table[2].standardArea, 0);
        EXPECT_EQ(c.table[2].ethanolAmount, 0);
        EXPECT_EQ(c.table[2].standardAmount, 0);
        EXPECT_EQ(c.table[2].coefficient, 0);
        EXPECT_EQ(c.table[1].sampleName, "Уровень 0.05");
        EXPECT_NE(c.table[1].coefficient, 0);
    }
}

// The reading and the calculation held apart: what was read is all the calculation needs (the
// files are gone when it runs) and its figures are, to the bit, those of the pass that reads and
// computes at once; a pass stopped before a file reads no further.
TEST_F(CalibrationFiles, TheCalculationNeedsOnlyWhatWasRead) {
    Calibration together;
    together.nav = 2.5;
    together.nav2 = 3.5;
    together.dolya = 96;
    together.table[0].path = Write("blank.stg", "Бланк", {"изопропанол", "этанол"}, 1);
    together.table[2].path = Write("l2.stg", "Уровень 0.1", {"Этанол", "вода", "ИЗОПРОПАНОЛ", "этанол 2"}, 3);
    together.table[4].path = Write("l4.stg", "Уровень 0.5", {"этанол", "вода"}, 5);
    together.table[4].standardArea = 7;  // kept: the file has no standard peak
    Calibration apart = together;

    const std::optional<core::LevelReadings> read = core::ReadLevels(apart.Paths());
    ASSERT_TRUE(read);
    EXPECT_EQ((*read)[2].sampleName, "Уровень 0.1");
    EXPECT_EQ((*read)[2].ethanolArea.value_or(-1), 12);
    EXPECT_EQ((*read)[2].standardArea.value_or(-1), 36);
    EXPECT_FALSE((*read)[4].standardArea.has_value());
    EXPECT_EQ((*read)[1].file, core::LevelFile::None);

    together.ComputeCalibration();
    std::filesystem::remove_all(dir.Path() + "/blank.stg");
    std::filesystem::remove_all(dir.Path() + "/l2.stg");
    std::filesystem::remove_all(dir.Path() + "/l4.stg");
    apart.Compute(*read);
    const auto same = [](const auto& a, const auto& b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    for (int k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(apart.table[k].file, together.table[k].file);
        EXPECT_TRUE(same(apart.table[k].ethanolAmount, together.table[k].ethanolAmount));
        EXPECT_TRUE(same(apart.table[k].standardAmount, together.table[k].standardAmount));
        EXPECT_TRUE(same(apart.table[k].standardArea, together.table[k].standardArea));
        EXPECT_TRUE(same(apart.table[k].coefficient, together.table[k].coefficient));
    }
    EXPECT_EQ(apart.table[4].standardArea, 7);
    EXPECT_TRUE(same(apart.averageCoefficient, together.averageCoefficient));
    EXPECT_EQ(apart.lineX, together.lineX);
    EXPECT_EQ(apart.lineY, together.lineY);

    std::vector<int> asked;
    EXPECT_FALSE(core::ReadLevels(together.Paths(), [&](int level) {
        asked.push_back(level);
        return level < 2;
    }));
    EXPECT_EQ(asked, (std::vector<int>{0, 2})) << "levels without a path are not read";
}

}  // namespace
