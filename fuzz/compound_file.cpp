// Opens arbitrary bytes as a compound file and reads the streams a chromatogram has, whole and
// in uneven chunks: no input may crash, hang or allocate beyond what its size backs.
#include "platform/CompoundFile.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace {

constexpr const char* kNames[] = {"Raw_data", "Time", "Table", "Passport", "Inner"};

void ReadWhole(platform::Stream& stream, std::size_t chunk) {
    std::uint8_t buffer[4099];
    const std::uint64_t size = stream.Size();
    stream.Rewind();
    std::uint64_t total = 0;
    while (true) {
        const std::size_t got = stream.Read(buffer, chunk);
        total += got;
        if (got > chunk) __builtin_trap();
        if (got < chunk) break;
    }
    if (total != size) __builtin_trap();  // the reader checked every chain at open
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto file = platform::CompoundFile::OpenMemory(std::span<const std::uint8_t>(data, size));
    if (!file) return 0;
    std::size_t chunk = 4099;
    for (const char* name : kNames) {
        if (auto stream = file->OpenStream(name)) {
            ReadWhole(*stream, chunk);
            ReadWhole(*stream, 61);
        }
        chunk = chunk / 2 + 1;
    }
    return 0;
}
