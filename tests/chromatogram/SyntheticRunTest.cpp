#include "chromatogram/Cmpeeks.h"
#include "support/StgBuilder.h"

#include <gtest/gtest.h>

// Other suites and the demo tool make chromatograms with Synthesize and rely on the peak areas
// the reader computes being the areas they asked for.
TEST(SyntheticRun, YieldsPeaksWhoseIntegratedAreasAreTheRequestedOnes) {
    fixtures::SyntheticRun run;
    run.step = 0.005;
    run.sampleCount = 1600;
    run.baseline = 5;
    run.drift = 0.15;
    run.noise = 0.02;
    run.peaks = {{"этанол", 2.35, 0.03, 93.4}, {"изопропанол", 3.1, 0.035, 1000}, {"", 4.62, 0.05, 3}};
    const fixtures::ChromatogramFixture c = fixtures::Synthesize(run);
    ASSERT_EQ(c.signal.size(), 1600u);

    chromatogram::Lattice signal;
    signal.samples.assign(c.signal.begin(), c.signal.end());
    signal.SetTimeBase(run.step, run.startTime);
    chromatogram::PeakTable table;
    table.SetSignal(&signal);
    platform::MemoryStream stream(fixtures::EncodeTable(c.table));
    table.ReadFromStream(stream);
    ASSERT_EQ(table.GetSize(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(table.GetAt(i).name, run.peaks[i].name);
        EXPECT_NEAR(table.GetAt(i).area, run.peaks[i].area, 0.005 * run.peaks[i].area + 0.02) << i;
        EXPECT_NEAR(table.GetAt(i).retentionTime, run.peaks[i].retentionTime, run.step) << i;
    }
    // The same seed gives the same samples; another seed other noise.
    EXPECT_EQ(fixtures::Synthesize(run).signal, c.signal);
    run.seed = 2;
    EXPECT_NE(fixtures::Synthesize(run).signal, c.signal);
}
