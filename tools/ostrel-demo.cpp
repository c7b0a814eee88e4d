// ostrel-demo DIR: writes a demonstration set of calibration chromatograms into DIR, the five
// levels of an ethanol calibration with isopropanol as internal standard, so that the program
// and ostrel-cli have something realistic to work on. The output is the same on every run.
#include "support/StgBuilder.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Level {
    const char* fraction;  // as the operator sees it, and in the file name
    double ethanolArea;
    double standardArea;
};

// Ethanol areas grow with the added fraction (about 1800 per unit of fraction above the
// blank's small peak); the internal standard stays near 1000, with the scatter of real
// injections.
const Level kLevels[] = {
    {"0", 3.1, 1004.0},
    {"0.05", 93.4, 996.5},
    {"0.1", 181.7, 1001.2},
    {"0.2", 366.0, 1007.9},
    {"0.5", 897.3, 993.8},
};

// Times in minutes, signal in millivolts: an eight-minute run sampled every 0.3 seconds.
constexpr double kStep = 0.005;
constexpr int kSamples = 1600;
// 2024-03-14 09:30:00 UTC, and that day's midnight; the levels were recorded 7 seconds apart.
constexpr std::int64_t kFirstRecorded = 1710408600;
constexpr std::int64_t kDay = 1710374400;
constexpr std::int64_t kSecondsBetweenRuns = 7;

fixtures::ChromatogramFixture MakeLevel(const Level& level, int index) {
    fixtures::SyntheticRun run;
    run.step = kStep;
    run.sampleCount = kSamples;
    run.baseline = 5.0;
    run.drift = 0.15;
    run.noise = 0.02;
    run.seed = 1000 + static_cast<std::uint32_t>(index);
    run.peaks = {
        {"", 1.42, 0.025, 35.0 + index},  // an unnamed early peak (the solvent's impurity)
        {"этанол", 2.35, 0.03, level.ethanolArea},
        {"изопропанол", 3.10, 0.035, level.standardArea},
        {"", 4.62, 0.05, 12.5},  // an unnamed late peak
    };
    fixtures::ChromatogramFixture c = fixtures::Synthesize(run);
    fixtures::PassportFixture& p = c.passport;
    p.sampleName = std::string("Градуировка ") + level.fraction;
    p.methodName = "Этанол";
    p.samplingSite = "Лаборатория";
    p.samplingPoint = "Градуировочный раствор";
    p.isCalibration = 1;
    p.dateOnly = kDay;
    p.dateTime = kFirstRecorded + index * kSecondsBetweenRuns;
    return c;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ostrel-demo DIR\n");
        return 2;
    }
    const std::string folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    int index = 0;
    for (const Level& level : kLevels) {
        const std::string path = folder + "/calibration-" + level.fraction + ".stg";
        try {
            fixtures::WriteStg(path, MakeLevel(level, index++));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "ostrel-demo: %s\n", e.what());
            return 1;
        }
        std::printf("%s\n", path.c_str());
    }
    return 0;
}
