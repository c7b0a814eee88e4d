// Writes the seed corpus of fuzz_table: "Table" streams of every form the fixtures can build.
#include "support/StgBuilder.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

void Write(const std::string& folder, const std::string& name, const std::string& bytes) {
    std::ofstream(folder + "/" + name, std::ios::binary) << bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: seeds_table FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    using fixtures::MakePeak;
    fixtures::PeakFixture grouped = MakePeak(1.2, 2.2, "этанол", 1);
    grouped.extraCode = 3;
    grouped.attributes = {{"k", "v"}, {"", "empty key"}, {"k", "again"}};
    const std::vector<fixtures::PeakFixture> peaks = {grouped, MakePeak(2.2, 3.5, "изопропанол", 2),
                                                      MakePeak(2.4, 2.6, "", 0), MakePeak(3.9, 3.95)};
    for (int version = 0; version <= 4; ++version) {
        fixtures::TableFixture table;
        table.version = version;
        table.peaks = peaks;
        table.attributes = {{"table", "wide"}};
        Write(folder, "version" + std::to_string(version), fixtures::EncodeTable(table));
        table.textEncoding = fixtures::TextEncoding::Utf16;
        Write(folder, "utf16-version" + std::to_string(version), fixtures::EncodeTable(table));
    }
    fixtures::TableFixture legacy;
    legacy.legacy = true;
    legacy.peaks = peaks;
    Write(folder, "legacy", fixtures::EncodeTable(legacy));
    return 0;
}
