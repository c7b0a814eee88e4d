#include "chromatogram/Errors.h"
#include "chromatogram/Passport.h"
#include "chromatogram/PassportFields.h"
#include "platform/Text.h"
#include "support/StgBuilder.h"
#include "support/TimeZone.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <type_traits>

using chromatogram::Passport;
using fixtures::PassportFixture;

namespace {

void Load(Passport& passport, const std::string& bytes) {
    platform::MemoryStream stream(bytes);
    passport.ReadFromStream(stream);
}

std::int64_t Seconds(chromatogram::Time t) { return t.time_since_epoch().count(); }

// A record with a distinct value in every field, so that a field read into the wrong place or
// skipped shows: the texts, numbers and times of the field list numbered in stream order, the
// names Cyrillic and the recording time after the signed 32-bit range.
PassportFixture Distinct(int version) {
    PassportFixture p;
    p.version = version;
    int n = 0;
    chromatogram::VisitPassportFields(
        [&](const char*, std::int32_t, auto& field) {
            ++n;
            using Field = std::remove_cvref_t<decltype(field)>;
            if constexpr (std::is_same_v<Field, std::string>)
                field = "t" + std::to_string(n);
            else if constexpr (std::is_same_v<Field, double>)
                field = n + 0.5;
            else if constexpr (std::is_same_v<Field, std::int32_t>)
                field = 10 + n;
            else
                field = 1700006400 + n;
        },
        p);
    p.sampleName = "Градуировка 0.05";
    p.samplingPoint = "Точка 3";
    p.methodName = "Этанол ГОСТ";
    p.samplingSite = "Пункт А";
    p.isCalibration = 1;
    p.dateTime = 3000000000;  // 2065: after the signed 32-bit range
    return p;
}

// Every field that all versions store reads as written.
void ExpectFieldsOfVersion1(const Passport& p, const PassportFixture& f) {
    chromatogram::VisitPassportFields(
        [&](const char* name, std::int32_t since, const auto& read, const auto& written) {
            if (since != chromatogram::kPassportEveryVersion) return;
            if constexpr (std::is_same_v<std::remove_cvref_t<decltype(read)>, chromatogram::Time>)
                EXPECT_EQ(Seconds(read), written) << name;
            else
                EXPECT_EQ(read, written) << name;
        },
        p, f);
}

}  // namespace

// The day of creation is the local one, whatever the daylight-saving rules of that day; the
// zones are set explicitly and the moments given, so no clock and no machine zone is involved.
TEST(Passport, StartsInItsInitialStateWithTheDayOfItsCreation) {
    struct Case {
        const char* what;
        const char* zone;
        std::int64_t created, localMidnight;
    };
    const Case cases[] = {
        {"Moscow afternoon", "MSK-3", 1700049600, 1699995600},        // 2023-11-15 15:00 MSK
        {"Moscow after midnight", "MSK-3", 1700087400, 1700082000},   // 2023-11-16 01:30 MSK
        {"the day clocks go forward", "CET-1CEST,M3.5.0,M10.5.0/3", 1679824800, 1679785200},  // 12:00 CEST, 00:00 CET
        {"the day clocks go back", "CET-1CEST,M3.5.0,M10.5.0/3", 1698573600, 1698530400},     // 11:00 CET, 00:00 CEST
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fixtures::TimeZone zone(c.zone);
        const Passport p{chromatogram::Time(std::chrono::seconds(c.created))};
        EXPECT_EQ(Seconds(p.dateTime), c.created);
        EXPECT_EQ(Seconds(p.dateOnly), c.localMidnight);
        EXPECT_EQ(p.extraReal1, 1.0);
        EXPECT_EQ(p.extraReal3, 100.0);
        EXPECT_EQ(p.extraInt1, 1);
        EXPECT_EQ(p.isCalibration, 0);
        EXPECT_TRUE(p.sampleName.empty());
    }
}

TEST(Passport, ReadsTheItemsOfEachVersionAndKeepsTheRest) {
    for (int version : {-1, 0, 1, 2, 3}) {
        Passport p;
        p.samplingSite = "kept";
        p.extraReal15 = -15;
        p.extraReal16 = -16;
        const PassportFixture f = Distinct(version);
        Load(p, fixtures::EncodePassport(f));
        ExpectFieldsOfVersion1(p, f);
        EXPECT_EQ(p.samplingSite, version >= 2 ? f.samplingSite : "kept") << version;
        EXPECT_EQ(p.extraReal15, version >= 3 ? f.extraReal15 : -15) << version;
        EXPECT_EQ(p.extraReal16, version >= 3 ? f.extraReal16 : -16) << version;
    }
}

TEST(Passport, ReadsUtf16TextsAsUtf8) {
    PassportFixture f = Distinct(3);
    f.textEncoding = fixtures::TextEncoding::Utf16;
    f.extraText8 = "€ вне кодовой страницы 😀";
    Passport p;
    Load(p, fixtures::EncodePassport(f));
    ExpectFieldsOfVersion1(p, f);
    EXPECT_EQ(p.samplingSite, f.samplingSite);
}

TEST(Passport, RejectsAWrongMagicNumberOrANewerVersionBeforeChangingAnything) {
    PassportFixture newer = Distinct(4);
    PassportFixture foreign = Distinct(3);
    foreign.magic = 0xE04561CD;
    for (const PassportFixture& f : {newer, foreign}) {
        Passport p;
        p.sampleName = "before";
        EXPECT_THROW(Load(p, fixtures::EncodePassport(f)), chromatogram::BadFormatError);
        EXPECT_EQ(p.sampleName, "before");
    }
}

TEST(Passport, ACutInsideAnItemKeepsTheItemsBeforeIt) {
    const PassportFixture f = Distinct(3);
    const std::string full = fixtures::EncodePassport(f);
    // Cut inside methodName: after its length byte and two of its bytes.
    const std::size_t methodAt = full.find(platform::EncodeWindows1251(f.methodName));
    ASSERT_NE(methodAt, std::string::npos);
    Passport p;
    const Passport fresh = p;
    EXPECT_THROW(Load(p, full.substr(0, methodAt + 2)), chromatogram::EndOfDataError);
    EXPECT_EQ(p.sampleName, f.sampleName);
    EXPECT_EQ(p.extraText1, f.extraText1);
    EXPECT_EQ(p.extraReal3, f.extraReal3);
    EXPECT_EQ(Seconds(p.dateOnly), f.dateOnly);
    EXPECT_EQ(p.samplingPoint, f.samplingPoint);
    EXPECT_EQ(p.methodName, fresh.methodName);
    EXPECT_EQ(p.extraReal4, fresh.extraReal4);
    EXPECT_EQ(p.dateTime, fresh.dateTime);
}
