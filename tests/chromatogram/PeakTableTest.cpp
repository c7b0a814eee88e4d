#include "chromatogram/Cmpeeks.h"
#include "chromatogram/Errors.h"
#include "TestDoubles.h"
#include "support/StgBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

using chromatogram::Lattice;
using chromatogram::Peak;
using chromatogram::PeakTable;
using fixtures::PeakFixture;
using fixtures::TableFixture;

namespace {

void Load(PeakTable& table, const std::string& bytes) {
    platform::MemoryStream stream(bytes);
    table.ReadFromStream(stream);
}

void Load(PeakTable& table, const TableFixture& fixture) { Load(table, fixtures::EncodeTable(fixture)); }

TableFixture Table(int version, std::vector<PeakFixture> peaks) {
    TableFixture table;
    table.version = version;
    table.peaks = std::move(peaks);
    return table;
}

// The fewest bytes of a record of version 1: three doubles, an empty name, nextInGroup.
constexpr std::size_t kSmallestVersion1Record = 29;

}  // namespace

TEST(PeakTable, IntegratesTheWorkedExampleFromEveryStoredForm) {
    const Lattice signal = MakeSignal({0, 1, 3, 1, 0});
    PeakFixture peak = fixtures::MakePeak(0.5, 3.5, "этанол");
    peak.extraValue = 7;
    std::vector<std::pair<std::string, TableFixture>> forms = {{"legacy", {}}};
    forms[0].second.legacy = true;
    forms[0].second.peaks = {peak};
    for (int version : {-3, 0, 1, 2, 3, 4}) forms.push_back({"version " + std::to_string(version), Table(version, {peak})});
    TableFixture utf16 = Table(4, {peak});
    utf16.textEncoding = fixtures::TextEncoding::Utf16;
    forms.push_back({"UTF-16 names", utf16});

    for (const auto& [what, fixture] : forms) {
        PeakTable table;
        table.SetSignal(&signal);
        Load(table, fixture);
        ASSERT_EQ(table.GetSize(), 1) << what;
        const Peak& p = table.GetAt(0);
        EXPECT_EQ(p.name, "этанол") << what;
        EXPECT_EQ(p.startTime, 0.5) << what;
        EXPECT_EQ(p.endTime, 3.5) << what;
        EXPECT_EQ(p.extraValue, 7) << what;
        EXPECT_EQ(p.baselineAtStart, 0.5) << what;
        EXPECT_EQ(p.baselineAtEnd, 0.5) << what;
        EXPECT_EQ(p.retentionTime, 2.0) << what;
        EXPECT_EQ(p.height, 2.5) << what;
        EXPECT_EQ(p.area, 3.25) << what;  // 4.75 under the signal less 1.5 under the baseline
    }
}

TEST(PeakTable, ReadsTheFieldsEachVersionStores) {
    const Lattice signal = MakeSignal({0, 1, 3, 1, 0});
    PeakFixture peak = fixtures::MakePeak(1, 2, "a");
    peak.extraCode = 42;
    peak.attributes = {{"k", "v"}};
    for (int version = 1; version <= 4; ++version) {
        TableFixture fixture = Table(version, {peak, peak});
        fixture.attributes = {{"table", "wide"}};
        PeakTable table;
        table.SetSignal(&signal);
        Load(table, fixture);
        ASSERT_EQ(table.GetSize(), 2);
        EXPECT_EQ(table.GetAt(1).index, 1);
        EXPECT_EQ(table.GetAt(1).extraCode, version >= 2 ? 42 : 0) << version;
        EXPECT_EQ(table.GetAt(1).attributes.size(), version >= 3 ? 1u : 0u) << version;
        EXPECT_EQ(table.GetAttributes().size(), version >= 3 ? 1u : 0u) << version;
    }
}

TEST(PeakTable, Version3DropsEmptyAndRepeatedKeysWhileVersion4KeepsEveryPair) {
    const chromatogram::Attributes stored = {{"b", "1"}, {"", "x"}, {"a", "2"}, {"b", "3"}, {"B", "4"}};
    const Lattice signal = MakeSignal({0, 0});
    for (int version : {3, 4}) {
        PeakFixture peak = fixtures::MakePeak(0, 1);
        peak.attributes = stored;
        TableFixture fixture = Table(version, {peak});
        fixture.attributes = stored;
        PeakTable table;
        table.SetSignal(&signal);
        Load(table, fixture);
        const chromatogram::Attributes expected =
            version == 3 ? chromatogram::Attributes{{"b", "1"}, {"a", "2"}, {"B", "4"}} : stored;
        EXPECT_EQ(table.GetAt(0).attributes, expected) << version;
        EXPECT_EQ(table.GetAttributes(), expected) << version;
    }
}

TEST(PeakTable, ReadsTheLegacyFormInWholeRecords) {
    // 250 bytes: two records of 112 bytes, the last 26 bytes ignored. The record stores the
    // end before the start and a zero-ended Windows-1251 name.
    PeakFixture first = fixtures::MakePeak(1, 3, "изопропанол", 1);
    first.extraValue = 9;
    std::string bytes = fixtures::EncodeLegacyRecord(first);
    bytes += fixtures::EncodeLegacyRecord(fixtures::MakePeak(3, 4, std::string(32, 'n')));
    bytes += std::string(26, '\x7F');
    ASSERT_EQ(bytes.size(), 250u);
    const Lattice signal = MakeSignal({0, 1, 3, 1, 0});
    PeakTable table;
    table.SetSignal(&signal);
    Load(table, bytes);
    ASSERT_EQ(table.GetSize(), 2);
    EXPECT_EQ(table.GetAt(0).startTime, 1);
    EXPECT_EQ(table.GetAt(0).endTime, 3);
    EXPECT_EQ(table.GetAt(0).extraValue, 9);
    EXPECT_EQ(table.GetAt(0).name, "изопропанол");
    EXPECT_EQ(table.GetAt(0).nextInGroup, 1);
    EXPECT_EQ(table.GetAt(1).prevInGroup, 0);
    EXPECT_EQ(table.GetAt(1).name, std::string(32, 'n'));  // a name filling its field has no zero
}

TEST(PeakTable, GivesADipAPositiveHeightAndArea) {
    const Lattice signal = MakeSignal({0, -1, -3, -1, 0});
    PeakTable table;
    table.SetSignal(&signal);
    Load(table, Table(4, {fixtures::MakePeak(0.5, 3.5)}));
    EXPECT_EQ(table.GetAt(0).height, 2.5);
    EXPECT_EQ(table.GetAt(0).area, 3.25);
}

TEST(PeakTable, TakesTheEarliestOfEqualDeviationsAsTheRetentionTime) {
    const Lattice signal = MakeSignal({0, 2, 2, 0});
    PeakTable table;
    table.SetSignal(&signal);
    Load(table, Table(4, {fixtures::MakePeak(0.5, 2.5)}));
    EXPECT_EQ(table.GetAt(0).height, 1.0);
    EXPECT_EQ(table.GetAt(0).retentionTime, 1.0);
}

TEST(PeakTable, SharesOneBaselineAcrossAGroup) {
    // Baseline from the signal at 0.5 (1.0) to the signal at 4.5 (2.0): 1 + (t - 0.5) / 4.
    const Lattice signal = MakeSignal({0, 2, 6, 4, 2, 2});
    PeakTable table;
    table.SetSignal(&signal);
    Load(table, Table(2, {fixtures::MakePeak(0.5, 2.5, "", 1), fixtures::MakePeak(2.5, 4.5)}));
    const Peak& first = table.GetAt(0);
    const Peak& second = table.GetAt(1);
    EXPECT_EQ(second.prevInGroup, 0);
    EXPECT_EQ(first.baselineAtStart, 1.0);
    EXPECT_EQ(first.baselineAtEnd, 1.5);
    EXPECT_EQ(second.baselineAtStart, 1.5);
    EXPECT_EQ(second.baselineAtEnd, 2.0);
    EXPECT_EQ(first.area, 5.0);
    EXPECT_EQ(first.height, 4.625);
    EXPECT_EQ(first.retentionTime, 2.0);
    EXPECT_EQ(second.area, 2.75);
    EXPECT_EQ(second.height, 2.375);
    EXPECT_EQ(second.retentionTime, 3.0);
}

TEST(PeakTable, DerivesPredecessorsAndDropsLinksOutsideTheTable) {
    const Lattice signal = MakeSignal({0, 1, 3, 1, 0});
    PeakTable table;
    table.SetSignal(&signal);
    Load(table, Table(1, {fixtures::MakePeak(0, 1, "", 2), fixtures::MakePeak(0, 1, "", 2), fixtures::MakePeak(0, 1, "", 4),
                          fixtures::MakePeak(0, 1, "", -7)}));
    EXPECT_EQ(table.GetAt(2).prevInGroup, 1);  // the later of the two that name it
    EXPECT_EQ(table.GetAt(2).nextInGroup, -1);
    EXPECT_EQ(table.GetAt(3).nextInGroup, -1);
    EXPECT_EQ(table.GetAt(0).prevInGroup, -1);
}

TEST(PeakTable, EndsAGroupWhoseLinksRunIntoACycle) {
    // The same three peaks as an open chain 0 -> 1 -> 2, as 0 -> 1 -> 2 -> 1 (which would never
    // end), and as the closed cycle 0 -> 1 -> 2 -> 0 that no group runs into: all three share
    // the baseline from the start of peak 0 to the end of peak 2.
    const Lattice signal = MakeSignal({0, 2, 6, 4, 2, 2});
    const auto load = [&](std::int32_t lastLink) {
        PeakTable table;
        table.SetSignal(&signal);
        Load(table, Table(1, {fixtures::MakePeak(0.5, 1.5, "", 1), fixtures::MakePeak(1.5, 2.5, "", 2),
                              fixtures::MakePeak(2.5, 4.5, "", lastLink)}));
        return table;
    };
    const PeakTable chain = load(-1);
    for (std::int32_t lastLink : {1, 0}) {
        const PeakTable cyclic = load(lastLink);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(cyclic.GetAt(i).baselineAtStart, chain.GetAt(i).baselineAtStart) << lastLink << " " << i;
            EXPECT_EQ(cyclic.GetAt(i).baselineAtEnd, chain.GetAt(i).baselineAtEnd) << lastLink << " " << i;
            EXPECT_EQ(cyclic.GetAt(i).area, chain.GetAt(i).area) << lastLink << " " << i;
        }
    }
    EXPECT_EQ(chain.GetAt(2).baselineAtEnd, 2.0);
    EXPECT_EQ(load(1).GetAt(1).prevInGroup, 2);
}

TEST(PeakTable, IntegratesAPeakWithoutSamplesAsTheTrapezoidBetweenItsEnds) {
    // Peak 1 lies between samples 2 and 3, under the group baseline from (0, 0) to (2.8, 1.4).
    const Lattice signal = MakeSignal({0, 1, 3, 1, 0});
    PeakTable table;
    table.SetSignal(&signal);
    Load(table, Table(4, {fixtures::MakePeak(0, 2, "", 1), fixtures::MakePeak(2.2, 2.8)}));
    const Peak& p = table.GetAt(1);
    EXPECT_DOUBLE_EQ(p.retentionTime, 2.5);
    EXPECT_DOUBLE_EQ(p.height, 0.75);  // signal mean 2.0 less baseline mean 1.25
    EXPECT_NEAR(p.area, 0.45, 1e-12);  // 0.75 over a width of 0.6
}

TEST(PeakTable, IntegratesAgainstAnEmptySignalWithoutFailing) {
    for (std::vector<float> samples : {std::vector<float>{}, std::vector<float>{2}}) {
        const Lattice signal = MakeSignal(samples);
        PeakTable table;
        table.SetSignal(&signal);
        Load(table, Table(4, {fixtures::MakePeak(-1, 3)}));
        EXPECT_EQ(table.GetAt(0).area, 0.0) << samples.size();
    }
}

TEST(PeakTable, ReplacesEveryPeakOfAnEarlierTable) {
    const Lattice signal = MakeSignal({0, 2, 6, 4, 2, 2});
    PeakTable table;
    table.SetSignal(&signal);
    PeakFixture grouped = fixtures::MakePeak(0.5, 2.5, "", 1);
    grouped.attributes = {{"x", "y"}};
    Load(table, Table(4, {grouped, fixtures::MakePeak(2.5, 4.5)}));
    Load(table, Table(2, {fixtures::MakePeak(0.5, 2.5), fixtures::MakePeak(2.5, 4.5)}));
    for (const Peak& p : table) {
        EXPECT_EQ(p.prevInGroup, -1);
        EXPECT_EQ(p.nextInGroup, -1);
        EXPECT_TRUE(p.attributes.empty());
    }
    EXPECT_EQ(table.GetAt(0).baselineAtEnd, 5.0);  // its own end, no longer the group's line
    EXPECT_THROW(table.GetAt(2), std::out_of_range);
    EXPECT_THROW(table.GetAt(-1), std::out_of_range);
}

class PeakTableFailure : public ::testing::Test {
protected:
    void SetUp() override {
        table.SetSignal(&signal);
        TableFixture previous = Table(3, {fixtures::MakePeak(0.5, 3.5, "previous")});
        previous.attributes = {{"from", "previous"}};
        Load(table, previous);
    }
    bool StillPrevious() const { return table.GetSize() == 1 && table.GetAt(0).name == "previous" && table.GetAt(0).area == 3.25; }

    Lattice signal = MakeSignal({0, 1, 3, 1, 0});
    PeakTable table;
};

TEST_F(PeakTableFailure, AStreamShorterThanEightBytesEmptiesThePeaksOnly) {
    Load(table, std::string(7, '\x11'));
    EXPECT_EQ(table.GetSize(), 0);
    EXPECT_EQ(table.GetAttributes().size(), 1u);
}

TEST_F(PeakTableFailure, AnUnknownVersionChangesNothing) {
    EXPECT_THROW(Load(table, Table(5, {fixtures::MakePeak(0, 1)})), chromatogram::BadFormatError);
    EXPECT_TRUE(StillPrevious());
}

TEST_F(PeakTableFailure, ACountTheStreamCannotHoldIsRefusedBeforeAnythingIsAllocated) {
    // Two empty version-1 records fit exactly; a third would need more bytes than remain.
    const std::string records = fixtures::EncodeTable(Table(1, {PeakFixture(), PeakFixture()})).substr(16);
    ASSERT_EQ(records.size(), 2 * kSmallestVersion1Record);
    const auto header = [](std::int32_t count) {
        return fixtures::ArchiveWriter().UInt32(0x125FFE11).UInt32(0xA2D28C45).Int32(1).Int32(count).Data();
    };
    for (std::int32_t count : {3, -1, std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min()}) {
        EXPECT_THROW(Load(table, header(count) + records), chromatogram::ExhaustedMemoryError) << count;
        EXPECT_TRUE(StillPrevious()) << count;
    }
    Load(table, header(2) + records);
    EXPECT_EQ(table.GetSize(), 2);
}

TEST_F(PeakTableFailure, ATableCutShortKeepsWhatWasReadAndIntegratesNothing) {
    // Cut inside the second record; the first one's name is long enough for the stream to
    // pass as able to hold three records.
    const std::string firstName(80, 'f');
    PeakFixture third = fixtures::MakePeak(3, 4, "third", 0);
    third.extraCode = 7;
    const std::string full = fixtures::EncodeTable(Table(2, {fixtures::MakePeak(0.5, 3.5, firstName), fixtures::MakePeak(1, 2, "second"), third}));
    const std::string thirdRecord = fixtures::EncodeTable(Table(2, {third})).substr(16);
    EXPECT_THROW(Load(table, full.substr(0, full.size() - thirdRecord.size() - 3)), chromatogram::EndOfDataError);
    ASSERT_EQ(table.GetSize(), 3);
    EXPECT_EQ(table.GetAt(0).name, firstName);
    EXPECT_EQ(table.GetAt(0).area, 0.0);
    EXPECT_EQ(table.GetAt(1).startTime, 1.0);
    EXPECT_EQ(table.GetAt(1).extraCode, 0);
    const Peak& blank = table.GetAt(2);  // never read: as a new peak is
    EXPECT_TRUE(blank.name.empty() && blank.startTime == 0 && blank.endTime == 0 && blank.extraCode == 0 && blank.index == 0);
    EXPECT_EQ(blank.nextInGroup, -1);
    EXPECT_EQ(blank.prevInGroup, -1);

    // An attribute list announcing more pairs than the stream holds.
    const std::string attributes = fixtures::ArchiveWriter().UInt32(0x125FFE11).UInt32(0xA2D28C45).Int32(4).Int32(0).UInt32(1000).Data();
    EXPECT_THROW(Load(table, attributes), chromatogram::EndOfDataError);
}

TEST_F(PeakTableFailure, AStreamThatDeliversLessThanItsSizeIsAReadError) {
    const std::string full = fixtures::EncodeTable(Table(4, {fixtures::MakePeak(0, 1)}));
    ShortStream stream(full.substr(0, 20), full.size());
    EXPECT_THROW(table.ReadFromStream(stream), chromatogram::StreamReadError);
}

TEST(SubtractNestedAreas, SubtractsInTableOrderWithTheAreasAsTheyStandAtThatMoment) {
    const auto run = [](std::vector<std::tuple<double, double, double>> spans) {
        std::vector<Peak> peaks;
        for (auto [s, e, area] : spans) {
            Peak peak;
            peak.startTime = s;
            peak.endTime = e;
            peak.area = area;
            peaks.push_back(peak);
        }
        chromatogram::SubtractNestedAreas(peaks);
        std::vector<double> areas;
        for (const Peak& p : peaks) areas.push_back(p.area);
        return areas;
    };
    EXPECT_EQ(run({{0, 10, 100}, {2, 8, 30}, {3, 4, 5}}), (std::vector<double>{65, 25, 5}));
    EXPECT_EQ(run({{3, 4, 5}, {2, 8, 30}, {0, 10, 100}}), (std::vector<double>{5, 25, 70}));
    // Equal spans lie within each other: the second subtraction uses the reduced area.
    EXPECT_EQ(run({{1, 2, 10}, {1, 2, 4}}), (std::vector<double>{6, -2}));
}

TEST(SubtractNestedAreas, AgreesExactlyWithComparingEveryPairInTableOrder) {
    const auto check = [](std::vector<Peak> peaks, int round) {
        std::vector<Peak> expected = peaks;
        for (std::size_t i = 0; i < expected.size(); ++i)
            for (std::size_t j = 0; j < expected.size(); ++j)
                if (j != i && expected[j].startTime >= expected[i].startTime && expected[j].endTime <= expected[i].endTime)
                    expected[i].area -= expected[j].area;
        chromatogram::SubtractNestedAreas(peaks);
        for (std::size_t i = 0; i < peaks.size(); ++i)
            ASSERT_EQ(peaks[i].area, expected[i].area) << "round " << round << " peak " << i;
    };
    // Coarse times make nesting, touching ends and equal spans common; reversed spans and
    // times that are not numbers must be handled as the plain comparisons handle them.
    std::mt19937 random(20240601);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int round = 0; round < 40; ++round) {
        std::vector<Peak> peaks(1 + random() % 120);
        for (Peak& p : peaks) {
            p.startTime = static_cast<double>(random() % 30);
            p.endTime = p.startTime + static_cast<double>(random() % 12) - (random() % 10 == 0 ? 15 : 0);
            if (random() % 40 == 0) p.startTime = nan;
            if (random() % 40 == 0) p.endTime = nan;
            if (random() % 40 == 0) p.endTime = std::numeric_limits<double>::infinity();
            p.area = static_cast<double>(random() % 1000) / 7;
        }
        check(peaks, round);
    }
    // Tables in time order, as recorded (nothing nested, overlaps and reversed spans included),
    // most with one peak moved so that it shares a start or an end with its neighbour, lies
    // within it, or is not a number.
    for (int round = 0; round < 40; ++round) {
        std::vector<Peak> peaks(2 + random() % 60);
        double start = 0;
        for (Peak& p : peaks) {
            start += 1 + random() % 3;
            p.startTime = start;
            p.endTime = start + static_cast<double>(random() % 3) - 1;
            p.area = static_cast<double>(random() % 1000) / 7;
        }
        Peak& moved = peaks[1 + random() % (peaks.size() - 1)];
        const Peak& before = (&moved)[-1];
        switch (round % 5) {
            case 0: moved.startTime = before.startTime; break;
            case 1: moved.endTime = before.endTime; break;
            case 2: moved.startTime = before.startTime, moved.endTime = before.endTime; break;
            case 3: moved.endTime = nan; break;
            default: break;
        }
        check(peaks, 100 + round);
    }
}
