// libFuzzer target: the "Passport" stream. Any ReadError is a clean refusal; anything else is
// a finding.
#include "chromatogram/Errors.h"
#include "chromatogram/Passport.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    chromatogram::Passport passport;
    platform::MemoryStream stream(std::string(reinterpret_cast<const char*>(data), size));
    try {
        passport.ReadFromStream(stream);
    } catch (const chromatogram::ReadError&) {
    }
    return 0;
}
