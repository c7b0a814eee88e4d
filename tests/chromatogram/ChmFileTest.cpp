#include "chromatogram/ChmFile.h"
#include "platform/LockedFile.h"
#include "support/StgBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>
#include <utility>

using chromatogram::ChromatogramFile;
using fixtures::NamedStreams;

namespace {

fixtures::ChromatogramFixture Chromatogram(std::vector<float> signal, double startTime, double step, const std::string& tag) {
    fixtures::ChromatogramFixture c;
    c.signal = std::move(signal);
    c.startTime = startTime;
    c.step = step;
    c.table.peaks = {fixtures::MakePeak(startTime, startTime + 2 * step, "peak " + tag)};
    c.passport.sampleName = "sample " + tag;
    c.passport.methodName = "method " + tag;
    return c;
}

// What a read is expected to have left in each part of the object.
enum class From { Previous, New, Partial };

struct Expected {
    From samples, timeBase, peaks, passport;
};

class ChromatogramFileRead : public ::testing::Test {
protected:
    void SetUp() override {
        previousPath = dir.Path() + "/previous.stg";
        fixtures::WriteStg(previousPath, previous);
        ASSERT_TRUE(file.Read(previousPath));
    }

    void ExpectParts(const Expected& e, const std::string& what) {
        EXPECT_EQ(file.signal.samples, e.samples == From::New ? next.signal : previous.signal) << what;
        EXPECT_EQ(file.signal.startTime, e.timeBase == From::New ? 1.0 : 2.0) << what;
        EXPECT_EQ(file.signal.step, e.timeBase == From::New ? 0.5 : 0.25) << what;
        ASSERT_EQ(file.peaks.GetSize(), 1) << what;
        EXPECT_EQ(file.peaks.GetAt(0).name, e.peaks == From::Previous ? "peak previous" : "peak new") << what;
        EXPECT_EQ(file.passport.sampleName, e.passport == From::Previous ? "sample previous" : "sample new") << what;
        EXPECT_EQ(file.passport.methodName, e.passport == From::New ? "method new" : "method previous") << what;
    }

    fixtures::TempDir dir;
    fixtures::ChromatogramFixture previous = Chromatogram({5, 6, 9, 6, 5}, 2.0, 0.25, "previous");
    fixtures::ChromatogramFixture next = Chromatogram({1, 4, 1}, 1.0, 0.5, "new");
    std::string previousPath;
    ChromatogramFile file;
};

}  // namespace

TEST_F(ChromatogramFileRead, ReadsSignalTimeBasePeaksAndPassport) {
    fixtures::ChromatogramFixture example = next;
    example.signal = {0, 1, 3, 1, 0};
    example.startTime = 1.0;
    example.step = 0.5;
    example.table.peaks = {fixtures::MakePeak(1.25, 2.75, "этанол")};
    const std::string path = dir.Path() + "/example.stg";
    fixtures::WriteStg(path, example);
    ASSERT_TRUE(file.Read(path));
    EXPECT_EQ(file.path, path);
    EXPECT_EQ(file.signal.samples, example.signal);
    EXPECT_EQ(file.signal.startTime, 1.0);
    EXPECT_EQ(file.signal.step, 0.5);
    ASSERT_EQ(file.peaks.GetSize(), 1);
    EXPECT_EQ(file.peaks.GetAt(0).name, "этанол");
    EXPECT_EQ(file.peaks.GetAt(0).area, 1.625);  // the worked example at half the step
    EXPECT_EQ(file.peaks.GetAt(0).retentionTime, 2.0);
    EXPECT_EQ(file.passport.sampleName, "sample new");
}

TEST_F(ChromatogramFileRead, CountsWholeSamplesAndReadsTheTimeBaseOnlyFromTwelveBytes) {
    const NamedStreams streams = fixtures::EncodeStreams(next);
    const std::string times = fixtures::EncodeTimeBase(1.0, 0.5);
    struct Case {
        const char* what;
        std::string rawData, time;
        std::vector<float> samples;
        double startTime, step;
    } cases[] = {
        {"10-byte signal", fixtures::EncodeRawData({7, 8}) + "zz", times, {7, 8}, 1.0, 0.5},
        {"empty signal", "", times, {}, 1.0, 0.5},
        {"8-byte time", fixtures::EncodeRawData({7}), times.substr(0, 8), {7}, 0.0, 1.0},
        {"empty time", fixtures::EncodeRawData({7}), "", {7}, 0.0, 1.0},
        {"time with more values", fixtures::EncodeRawData({7}), times + "abcdefgh", {7}, 1.0, 0.5},
    };
    for (const Case& c : cases) {
        const std::string path = dir.Path() + "/case.stg";
        fixtures::WriteCompoundFile(path, fixtures::Replaced(fixtures::Replaced(streams, "Raw_data", c.rawData), "Time", c.time));
        ASSERT_TRUE(file.Read(path)) << c.what;
        EXPECT_EQ(file.signal.samples, c.samples) << c.what;
        EXPECT_EQ(file.signal.startTime, c.startTime) << c.what;
        EXPECT_EQ(file.signal.step, c.step) << c.what;
    }
}

TEST_F(ChromatogramFileRead, AFailedReadKeepsThePartsOfTheStreamsItDidNotReach) {
    const NamedStreams streams = fixtures::EncodeStreams(next);
    fixtures::TableFixture newerTable = next.table;
    newerTable.version = 5;
    const std::string passport = fixtures::EncodePassport(next.passport);
    const std::string cutPassport = passport.substr(0, passport.find("method new") + 3);
    const std::string table = fixtures::EncodeTable(next.table);
    struct Case {
        const char* what;
        NamedStreams streams;
        Expected expected;
        const char* reason;
        chromatogram::ReadFailure::Kind kind;
    } cases[] = {
        {"no Raw_data", fixtures::Without(streams, "Raw_data"), {From::Previous, From::Previous, From::Previous, From::Previous},
         "missing stream \"Raw_data\"", chromatogram::ReadFailure::Kind::NotChromatogram},
        {"no Time", fixtures::Without(streams, "Time"), {From::New, From::Previous, From::Previous, From::Previous},
         "missing stream \"Time\"", chromatogram::ReadFailure::Kind::Damaged},
        {"no Table", fixtures::Without(streams, "Table"), {From::New, From::New, From::Previous, From::Previous},
         "missing stream \"Table\"", chromatogram::ReadFailure::Kind::Damaged},
        {"no Passport", fixtures::Without(streams, "Passport"), {From::New, From::New, From::New, From::Previous},
         "missing stream \"Passport\"", chromatogram::ReadFailure::Kind::Damaged},
        {"table of version 5", fixtures::Replaced(streams, "Table", fixtures::EncodeTable(newerTable)),
         {From::New, From::New, From::Previous, From::Previous}, "stream \"Table\": unknown peak table version", chromatogram::ReadFailure::Kind::Damaged},
        {"table cut short", fixtures::Replaced(streams, "Table", table.substr(0, table.size() - 2)),
         {From::New, From::New, From::Partial, From::Previous}, "stream \"Table\": a value runs past the end of the stream", chromatogram::ReadFailure::Kind::Damaged},
        {"passport cut inside methodName", fixtures::Replaced(streams, "Passport", cutPassport),
         {From::New, From::New, From::New, From::Partial}, "stream \"Passport\": a text runs past the end of the stream", chromatogram::ReadFailure::Kind::Damaged},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(file.Read(previousPath));
        const std::string path = dir.Path() + "/damaged.stg";
        fixtures::WriteCompoundFile(path, c.streams);
        chromatogram::ReadFailure reason{chromatogram::ReadFailure::Kind::Locked, "left over"};
        EXPECT_FALSE(file.Read(path, &reason)) << c.what;
        EXPECT_EQ(reason.text, c.reason) << c.what;
        EXPECT_EQ(reason.kind, c.kind) << c.what;
        EXPECT_EQ(file.path, path) << c.what;
        ExpectParts(c.expected, c.what);
    }
    chromatogram::ReadFailure reason{chromatogram::ReadFailure::Kind::Locked, "left over"};
    EXPECT_TRUE(file.Read(previousPath, &reason));
    EXPECT_EQ(reason.text, "") << "a successful read reports no reason";
    EXPECT_EQ(reason.kind, chromatogram::ReadFailure::Kind::None);
}

TEST_F(ChromatogramFileRead, AFileThatCannotBeOpenedChangesOnlyThePath) {
    const std::string locked = dir.Path() + "/locked.stg";
    fixtures::WriteStg(locked, next);
    const std::optional<platform::LockedFile> holder = platform::LockedFile::Open(locked, platform::LockedFile::Mode::ReadOnly);
    ASSERT_TRUE(holder.has_value());
    using Kind = chromatogram::ReadFailure::Kind;
    const std::tuple<std::string, const char*, Kind> cases[] = {
        {dir.Path() + "/missing.stg", "no such file", Kind::NotFound},
        {dir.WriteFile("text.stg", std::string(4096, 'x')), "not a compound file", Kind::NotChromatogram},
        {locked, "locked by another program", Kind::Locked},
        {dir.MakeFolder("folder.stg"), "not a readable file", Kind::AccessDenied},
    };
    for (const auto& [path, expectedReason, expectedKind] : cases) {
        chromatogram::ReadFailure reason;
        EXPECT_FALSE(file.Read(path, &reason)) << path;
        EXPECT_EQ(reason.text, expectedReason) << path;
        EXPECT_EQ(reason.kind, expectedKind) << path;
        EXPECT_EQ(file.path, path);
        ExpectParts({From::Previous, From::Previous, From::Previous, From::Previous}, path);
    }
}

// A look at a file (the open dialog's preview) shares it with the dialog's passport read of the
// same file; a calibration's read still holds it alone, and a reader excludes a writer either way.
TEST_F(ChromatogramFileRead, ASharedReadAndAPassportReadOfOneFileBothSucceed) {
    const std::string path = dir.Path() + "/shared.stg";
    fixtures::WriteStg(path, next);
    const std::optional<platform::LockedFile> passportReader = platform::LockedFile::Open(
        path, platform::LockedFile::Mode::ReadOnly, nullptr, platform::LockedFile::Lock::Shared);
    ASSERT_TRUE(passportReader.has_value());
    EXPECT_TRUE(file.Read(path, nullptr, platform::CompoundSharing::DenyWrite));
    chromatogram::ReadFailure reason;
    EXPECT_FALSE(file.Read(path, &reason));
    EXPECT_EQ(reason.text, "locked by another program");
    EXPECT_FALSE(platform::LockedFile::Open(path, platform::LockedFile::Mode::ReadWrite).has_value());
}

TEST_F(ChromatogramFileRead, ASecondFileReplacesTheSamplesCompletely) {
    const std::string path = dir.Path() + "/shorter.stg";
    fixtures::WriteStg(path, next);
    ASSERT_TRUE(file.Read(path));
    ExpectParts({From::New, From::New, From::New, From::New}, "second file");
    EXPECT_EQ(file.signal.GetSize(), 3);
}

TEST(PassportReadFromFile, ReadsTheNamedStreamOrLeavesThePassportAlone) {
    fixtures::TempDir dir;
    fixtures::PassportFixture fixture;
    fixture.sampleName = "Градуировка 0.1";
    fixture.isCalibration = 1;
    fixture.textEncoding = fixtures::TextEncoding::Utf16;
    const std::string passport = fixtures::EncodePassport(fixture);
    const std::string path = dir.Path() + "/p.stg";
    fixtures::WriteCompoundFile(path, {{"Passport", passport}, {"Other", "x"}});

    chromatogram::Passport p;
    EXPECT_TRUE(p.ReadFromFile(path, "Passport"));
    EXPECT_EQ(p.sampleName, "Градуировка 0.1");
    EXPECT_EQ(p.isCalibration, 1);
    EXPECT_EQ(p.dateTime.time_since_epoch().count(), fixture.dateTime);

    const std::tuple<std::string, std::string, const char*> failures[] = {
        {path, "Missing", "missing stream \"Missing\""},
        {dir.Path() + "/none.stg", "Passport", "no such file"},
        {path, "Other", "stream \"Other\": a value runs past the end of the stream"},
    };
    for (const auto& [file, stream, expectedReason] : failures) {
        chromatogram::Passport untouched;
        untouched.sampleName = "before";
        std::string reason;
        EXPECT_FALSE(untouched.ReadFromFile(file, stream, &reason)) << file << " " << stream;
        EXPECT_EQ(reason, expectedReason) << file << " " << stream;
        EXPECT_EQ(untouched.sampleName, "before");
    }

    fixture.textEncoding = fixtures::TextEncoding::Windows1251;
    fixture.methodName = "Этанол";
    const std::string full = fixtures::EncodePassport(fixture);
    const std::string cutPath = dir.Path() + "/cut.stg";
    fixtures::WriteCompoundFile(cutPath, {{"Passport", full.substr(0, full.find("\xDD\xF2\xE0") + 2)}});
    chromatogram::Passport cut;
    std::string reason;
    EXPECT_FALSE(cut.ReadFromFile(cutPath, "Passport", &reason));
    EXPECT_EQ(reason, "stream \"Passport\": a text runs past the end of the stream");
    EXPECT_EQ(cut.sampleName, "Градуировка 0.1");
    EXPECT_TRUE(cut.methodName.empty());
}
