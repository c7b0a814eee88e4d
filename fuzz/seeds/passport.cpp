// Writes the seed corpus of fuzz_passport: "Passport" streams of every version, in both text
// encodings.
#include "support/StgBuilder.h"

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: seeds_passport FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    for (int version = 1; version <= 3; ++version) {
        for (auto encoding : {fixtures::TextEncoding::Windows1251, fixtures::TextEncoding::Utf16}) {
            fixtures::PassportFixture passport;
            passport.version = version;
            passport.textEncoding = encoding;
            passport.sampleName = "Градуировка 0.05";
            passport.methodName = "Этанол";
            passport.samplingPoint = "Точка 1";
            passport.samplingSite = "Пункт 2";
            passport.extraText5 = std::string(300, 'x');  // a two-byte length
            passport.isCalibration = 1;
            const std::string name = "version" + std::to_string(version) +
                                     (encoding == fixtures::TextEncoding::Utf16 ? "-utf16" : "");
            std::ofstream(folder + "/" + name, std::ios::binary) << fixtures::EncodePassport(passport);
        }
    }
    return 0;
}
