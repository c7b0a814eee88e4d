#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Test-only writer of compound files (the program itself never writes one). Builds a whole
// file image stream by stream, with switches for the variants and damages the reader must
// handle.
namespace fixtures {

struct CompoundFileOptions {
    int majorVersion = 3;  // 3: 512-byte sectors; 4: 4096-byte sectors
};

class CompoundFileWriter {
public:
    // A stream of the root storage; `name` is UTF-8 (stored as UTF-16 in the directory).
    CompoundFileWriter& AddStream(std::string name, std::string bytes);

    // The whole file image.
    std::string Build(const CompoundFileOptions& options = {}) const;

    // Builds and writes the image to `path`; false when the file cannot be written.
    bool WriteTo(const std::string& path, const CompoundFileOptions& options = {}) const;

private:
    struct Entry {
        std::string name;
        std::string bytes;
    };
    std::vector<Entry> streams_;
};

}  // namespace fixtures
