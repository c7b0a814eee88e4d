#include "core/Sha256.h"

#include "core/FileIo.h"

#include <openssl/evp.h>

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <stdexcept>

namespace core {

std::string Sha256Hex(std::string_view bytes) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int size = 0;
    // EVP_Digest fails only when the library cannot allocate its context.
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &size, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 failed");
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * size);
    for (unsigned int i = 0; i < size; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0xF];
    }
    return hex;
}

std::optional<std::string> Sha256OfFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    const std::optional<std::string> bytes = ReadAll(fd);
    ::close(fd);
    if (!bytes) return std::nullopt;
    return Sha256Hex(*bytes);
}

}  // namespace core
