#include "core/Calc.h"

#include "chromatogram/ChmFile.h"
#include "support/StgBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
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
    // K = C · Sст / ((S − S0) · Сст)
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
    EXPECT_DOUBLE_EQ(c.table[1].coefficient, 0.4 * 50 / ((30 - 10) * 0.25));
    EXPECT_EQ(c.table[2].coefficient, 0);
    EXPECT_EQ(c.table[3].coefficient, 0);
    EXPECT_EQ(c.table[4].coefficient, 0) << "d not a number";
    EXPECT_EQ(c.table[0].coefficient, 0);
    EXPECT_DOUBLE_EQ(c.averageCoefficient, c.table[1].coefficient / 4);
}

TEST(Calibration, TheLineReachesFromHalfTheSmallestToOnePointTwoTimesTheLargestAbscissa) {
    Calibration c = WithAbscissas({1, 2, 3, 4});
    c.ComputeCalibration();
    EXPECT_EQ(c.averageCoefficient, 2);
    EXPECT_EQ(c.pointsX, (std::vector<float>{1, 2, 3, 4}));
    EXPECT_EQ(c.pointsY, (std::vector<float>{2, 4, 6, 8}));
    const float upper = static_cast<float>(4.0 * 1.2);
    const double step = (static_cast<double>(upper) - 0.5) / 20;
    ASSERT_EQ(c.lineX.size(), 20u);
    double x = 0.5;
    for (size_t i = 0; i < c.lineX.size(); ++i, x += step) {
        EXPECT_EQ(c.lineX[i], static_cast<float>(x)) << i;
        EXPECT_EQ(c.lineY[i], static_cast<float>(x * 2)) << i;
    }
    EXPECT_EQ(c.lineX[0], 0.5f);
    EXPECT_NEAR(c.lineX[1], 0.715f, 1e-6);
    EXPECT_LT(c.lineX.back(), upper);
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
    // The areas as the chromatogram reader computes them, in table order.
    static std::vector<double> Areas(const std::string& path) {
        chromatogram::ChromatogramFile f;
        EXPECT_TRUE(f.Read(path));
        std::vector<double> areas;
        for (const chromatogram::Peak& p : f.peaks) areas.push_back(p.area);
        return areas;
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

    const std::vector<double> blank = Areas(c.table[0].path), l2 = Areas(c.table[2].path),
                              l4 = Areas(c.table[4].path);
    EXPECT_EQ(c.table[0].sampleName, "Бланк");
    EXPECT_EQ(c.table[0].ethanolArea, blank[1]);
    EXPECT_EQ(c.table[0].standardArea, blank[0]);
    EXPECT_EQ(c.table[0].ethanolAmount, 0) << "the blank has no ethanol added";
    EXPECT_EQ(c.table[0].standardAmount, 3.5 / 1980000);

    EXPECT_EQ(c.table[2].sampleName, "Уровень 0.1");
    EXPECT_EQ(c.table[2].ethanolArea, l2[0]) << "the case of the name does not matter";
    EXPECT_EQ(c.table[2].standardArea, l2[2]);
    EXPECT_EQ(c.table[2].ethanolAmount, 2.5 * 96 * 0.1 / 1980000);
    EXPECT_EQ(c.table[2].standardAmount, 3.5 / 1980000);

    EXPECT_EQ(c.table[4].ethanolArea, l4[2]) << "the last ethanol peak wins";
    ASSERT_NE(l4[0], l4[2]);
    const double k4 = c.table[4].ethanolAmount * c.table[4].standardArea /
                      ((c.table[4].ethanolArea - c.table[0].ethanolArea) * c.table[4].standardAmount);
    EXPECT_EQ(c.table[4].coefficient, k4);
    EXPECT_EQ(c.averageCoefficient, (c.table[2].coefficient + k4) / 4);
    EXPECT_EQ(c.table[1].sampleName, "Не задан") << "a level without a path is left alone";

    // A level keeps what a file without the peaks, or no file at all, does not give it.
    c.nav2 = 7;
    c.table[2].path = Write("water.stg", "Вода", {"вода"}, 1);
    c.ComputeCalibration();
    EXPECT_EQ(c.table[2].sampleName, "Вода");
    EXPECT_EQ(c.table[2].ethanolArea, l2[0]);
    EXPECT_EQ(c.table[2].standardAmount, 3.5 / 1980000) << "not read again with a standard peak";
    EXPECT_EQ(c.table[4].standardAmount, 7 / 1980000.0);
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

}  // namespace
