#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Values stored byte for byte, as the Windows program stored them: little-endian.
namespace platform {

inline std::string LittleEndianBytes(std::uint64_t bits, int size) {
    std::string bytes(static_cast<std::size_t>(size), '\0');
    for (int i = 0; i < size; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    return bytes;
}

inline std::uint64_t FromLittleEndian(std::string_view bytes) {
    std::uint64_t bits = 0;
    for (std::size_t i = bytes.size(); i-- > 0;) bits = bits << 8 | static_cast<unsigned char>(bytes[i]);
    return bits;
}

}  // namespace platform
