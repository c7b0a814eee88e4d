// Writes the seed corpus of fuzz_compound_file into the folder argv[1]: chromatogram-shaped
// compound files of both versions, with mini and regular streams, a sub-storage and DIFAT
// sectors, all below the fuzzer's 64 KB input limit.
#include "support/CompoundFileWriter.h"

#include <fstream>
#include <iostream>
#include <string>

namespace {

std::string Pattern(std::size_t size, unsigned seed) {
    std::string out(size, '\0');
    for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<char>((i * 7 + seed) & 0xFF);
    return out;
}

fixtures::CompoundFileWriter Chromatogram(std::size_t rawBytes) {
    fixtures::CompoundFileWriter writer;
    writer.AddStream("Raw_data", Pattern(rawBytes, 1))
        .AddStream("Time", Pattern(12, 2))
        .AddStream("Table", Pattern(200, 3))
        .AddStream("Passport", Pattern(300, 4));
    return writer;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: seeds_compound_file FOLDER\n";
        return 2;
    }
    const std::string folder = argv[1];
    bool ok = true;
    ok &= Chromatogram(400).WriteTo(folder + "/v3-mini.stg", {.majorVersion = 3});
    ok &= Chromatogram(9000).WriteTo(folder + "/v3-regular.stg", {.majorVersion = 3});
    ok &= Chromatogram(5000).WriteTo(folder + "/v4.stg", {.majorVersion = 4});
    ok &= Chromatogram(600).AddStream("Data/Inner", Pattern(100, 5)).WriteTo(folder + "/storage.stg");
    ok &= Chromatogram(1000).WriteTo(folder + "/difat.stg", {.majorVersion = 3, .minimumFatSectors = 110});
    ok &= fixtures::CompoundFileWriter().WriteTo(folder + "/empty.stg");
    if (!ok) std::cerr << "seeds_compound_file: cannot write into " << folder << "\n";
    return ok ? 0 : 1;
}
