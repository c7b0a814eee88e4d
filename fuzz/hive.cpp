// The settings hive parser over arbitrary bytes: it must never crash, hang or grow without
// bound, and whatever it accepts must write out as a text that reads back to the same hive.
#include "platform/RegistryHive.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::optional<platform::RegistryHive> hive = platform::RegistryHive::Parse(bytes);
    if (!hive) return 0;
    const std::string text = hive->Serialize();
    const std::optional<platform::RegistryHive> again = platform::RegistryHive::Parse(text);
    if (!again || again->Serialize() != text) std::abort();
    return 0;
}
