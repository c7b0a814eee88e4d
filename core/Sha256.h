#pragma once

#include <optional>
#include <string>
#include <string_view>

// SHA-256 (OpenSSL's libcrypto) as the audit trail writes it: 64 lower-case hex digits.
namespace core {

std::string Sha256Hex(std::string_view bytes);

// The hash of the whole file at `path`; nothing when it cannot be opened or read.
std::optional<std::string> Sha256OfFile(const std::string& path);

}  // namespace core
