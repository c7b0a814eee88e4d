#include "chromatogram/Errors.h"
#include "chromatogram/Passport.h"
#include "platform/Text.h"
#include "support/StgBuilder.h"
#include "support/TimeZone.h"

#include <gtest/gtest.h>

#include <ctime>

using chromatogram::Passport;
using fixtures::PassportFixture;

namespace {

void Load(Passport& passport, const std::string& bytes) {
    platform::MemoryStream stream(bytes);
    passport.ReadFromStream(stream);
}

std::int64_t Seconds(chromatogram::Time t) { return t.time_since_epoch().count(); }

// A record with a distinct value in every field, so that a field read into the wrong place or
// skipped shows.
PassportFixture Distinct(int version) {
    PassportFixture p;
    p.version = version;
    p.sampleName = "Градуировка 0.05";
    p.extraText1 = "t1";
    p.extraReal1 = 1.5;
    p.extraReal2 = 2.5;
    p.extraReal3 = 3.5;
    p.dateOnly = 1700006400;
    p.samplingPoint = "Точка 3";
    p.methodName = "Этанол ГОСТ";
    p.extraReal4 = 4.5;
    p.extraInt1 = 11;
    p.extraInt2 = 12;
    p.isCalibration = 1;
    p.extraText2 = "t2";
    p.extraText3 = "t3";
    p.extraText4 = "t4";
    p.extraInt3 = 13;
    p.extraReal5 = 5.5;
    p.extraReal6 = 6.5;
    p.extraReal7 = 7.5;
    p.extraReal8 = 8.5;
    p.extraText5 = "t5";
    p.extraReal9 = 9.5;
    p.extraReal10 = 10.5;
    p.extraReal11 = 11.5;
    p.extraText6 = "t6";
    p.extraReal12 = 12.5;
    p.extraReal13 = 13.5;
    p.extraReal14 = 14.5;
    p.dateTime = 3000000000;  // 2065: after the signed 32-bit range
    p.extraInt4 = 14;
    p.extraText7 = "t7";
    p.extraText8 = "t8";
    p.samplingSite = "Пункт А";
    p.extraReal15 = 15.5;
    p.extraReal16 = 16.5;
    return p;
}

void ExpectFieldsOfVersion1(const Passport& p, const PassportFixture& f) {
    EXPECT_EQ(p.sampleName, f.sampleName);
    EXPECT_EQ(p.extraText1, f.extraText1);
    EXPECT_EQ(p.extraReal1, f.extraReal1);
    EXPECT_EQ(p.extraReal2, f.extraReal2);
    EXPECT_EQ(p.extraReal3, f.extraReal3);
    EXPECT_EQ(Seconds(p.dateOnly), f.dateOnly);
    EXPECT_EQ(p.samplingPoint, f.samplingPoint);
    EXPECT_EQ(p.methodName, f.methodName);
    EXPECT_EQ(p.extraReal4, f.extraReal4);
    EXPECT_EQ(p.extraInt1, f.extraInt1);
    EXPECT_EQ(p.extraInt2, f.extraInt2);
    EXPECT_EQ(p.isCalibration, f.isCalibration);
    EXPECT_EQ(p.extraText2, f.extraText2);
    EXPECT_EQ(p.extraText3, f.extraText3);
    EXPECT_EQ(p.extraText4, f.extraText4);
    EXPECT_EQ(p.extraInt3, f.extraInt3);
    EXPECT_EQ(p.extraReal5, f.extraReal5);
    EXPECT_EQ(p.extraReal6, f.extraReal6);
    EXPECT_EQ(p.extraReal7, f.extraReal7);
    EXPECT_EQ(p.extraReal8, f.extraReal8);
    EXPECT_EQ(p.extraText5, f.extraText5);
    EXPECT_EQ(p.extraReal9, f.extraReal9);
    EXPECT_EQ(p.extraReal10, f.extraReal10);
    EXPECT_EQ(p.extraReal11, f.extraReal11);
    EXPECT_EQ(p.extraText6, f.extraText6);
    EXPECT_EQ(p.extraReal12, f.extraReal12);
    EXPECT_EQ(p.extraReal13, f.extraReal13);
    EXPECT_EQ(p.extraReal14, f.extraReal14);
    EXPECT_EQ(Seconds(p.dateTime), f.dateTime);
    EXPECT_EQ(p.extraInt4, f.extraInt4);
    EXPECT_EQ(p.extraText7, f.extraText7);
    EXPECT_EQ(p.extraText8, f.extraText8);
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
        EXPECT_EQ(p.extraReal15, version >= 3 ? 15.5 : -15) << version;
        EXPECT_EQ(p.extraReal16, version >= 3 ? 16.5 : -16) << version;
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
