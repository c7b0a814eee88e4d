// libFuzzer target: the "Table" stream, loaded and integrated against a small signal and
// against an empty one. Any ReadError is a clean refusal; anything else (a crash, a sanitizer
// report, a hang, an allocation beyond the limit, a broken link) is a finding.
#include "chromatogram/Cmpeeks.h"
#include "chromatogram/Errors.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

chromatogram::Lattice SmallSignal() {
    chromatogram::Lattice signal;
    signal.samples = {0.5f, 0.4f, 1.0f, 4.0f, 9.0f, 4.0f, 1.0f, 0.6f, -2.0f, -5.0f, -2.0f, 0.3f, 0.2f, 0.2f, 0.1f, 0.0f};
    signal.SetTimeBase(0.25, 1.0);
    return signal;
}

void Load(const chromatogram::Lattice& signal, const std::string& bytes) {
    chromatogram::PeakTable table;
    table.SetSignal(&signal);
    platform::MemoryStream stream(bytes);
    try {
        table.ReadFromStream(stream);
    } catch (const chromatogram::ReadError&) {
        return;
    }
    for (int i = 0; i < table.GetSize(); ++i) {
        const chromatogram::Peak& peak = table.GetAt(i);
        const bool linksInRange = peak.prevInGroup >= -1 && peak.prevInGroup < table.GetSize() &&
                                  peak.nextInGroup >= -1 && peak.nextInGroup < table.GetSize();
        if (peak.index != i || !linksInRange) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const chromatogram::Lattice signal = SmallSignal();
    static const chromatogram::Lattice empty;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    Load(signal, bytes);
    Load(empty, bytes);
    return 0;
}
