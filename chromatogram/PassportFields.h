#pragma once

#include <cstdint>

// The one list of the passport's fields: their names, their order in the "Passport" stream and
// the record version that first stores each. The reader, ostrel-cli's JSON, the test fixtures'
// writer and the tests all walk it, so a field cannot be added, moved or renamed in one of them
// alone.
//
// VisitPassportFields(visit, records...) calls visit(name, sinceVersion, record.field...) for
// every field in stream order, with that field of each record given. Any records with members
// of these names will do (chromatogram::Passport, the fixtures' PassportFixture): the visitor is
// called with their members' own types (text, double, 32-bit integer, and the two times).
namespace chromatogram {

// The record versions from which a field is stored; the fields before them are in every version.
inline constexpr std::int32_t kPassportEveryVersion = 0;
inline constexpr std::int32_t kPassportSamplingSiteVersion = 2;
inline constexpr std::int32_t kPassportExtraReals15And16Version = 3;

template <typename Visit, typename... Records>
void VisitPassportFields(Visit&& visit, Records&... r) {
    constexpr std::int32_t all = kPassportEveryVersion;
    visit("sampleName", all, r.sampleName...);
    visit("extraText1", all, r.extraText1...);
    visit("extraReal1", all, r.extraReal1...);
    visit("extraReal2", all, r.extraReal2...);
    visit("extraReal3", all, r.extraReal3...);
    visit("dateOnly", all, r.dateOnly...);
    visit("samplingPoint", all, r.samplingPoint...);
    visit("methodName", all, r.methodName...);
    visit("extraReal4", all, r.extraReal4...);
    visit("extraInt1", all, r.extraInt1...);
    visit("extraInt2", all, r.extraInt2...);
    visit("isCalibration", all, r.isCalibration...);
    visit("extraText2", all, r.extraText2...);
    visit("extraText3", all, r.extraText3...);
    visit("extraText4", all, r.extraText4...);
    visit("extraInt3", all, r.extraInt3...);
    visit("extraReal5", all, r.extraReal5...);
    visit("extraReal6", all, r.extraReal6...);
    visit("extraReal7", all, r.extraReal7...);
    visit("extraReal8", all, r.extraReal8...);
    visit("extraText5", all, r.extraText5...);
    visit("extraReal9", all, r.extraReal9...);
    visit("extraReal10", all, r.extraReal10...);
    visit("extraReal11", all, r.extraReal11...);
    visit("extraText6", all, r.extraText6...);
    visit("extraReal12", all, r.extraReal12...);
    visit("extraReal13", all, r.extraReal13...);
    visit("extraReal14", all, r.extraReal14...);
    visit("dateTime", all, r.dateTime...);
    visit("extraInt4", all, r.extraInt4...);
    visit("extraText7", all, r.extraText7...);
    visit("extraText8", all, r.extraText8...);
    visit("samplingSite", kPassportSamplingSiteVersion, r.samplingSite...);
    visit("extraReal15", kPassportExtraReals15And16Version, r.extraReal15...);
    visit("extraReal16", kPassportExtraReals15And16Version, r.extraReal16...);
}

}  // namespace chromatogram
