#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The content of one settings hive: a tree of keys holding typed values, kept in a file in the
// text format of registry export files:
//
//     Windows Registry Editor Version 5.00
//
//     [HKEY_CURRENT_USER\Software\Tarnwick\Velmora\Ostrel]
//     "mtd"="wine"
//     "nav"=hex:00,00,00,00,00,00,f0,3f
//
// Key and value names compare ignoring case, as in the Windows registry; the spelling first
// stored is kept. Value data are the bytes a program stored: a REG_SZ holds its text with the
// terminating zero, so "mtd"="wine" stands for the five bytes w i n e 0. A REG_SZ that is not
// exactly one line of text followed by one zero (an embedded zero, no zero at all, a line break)
// is written as hex(1): with its bytes, so every stored value reads back byte for byte.
namespace platform {

// Value types, numbered as the Windows registry numbers them; the file shows any other type as
// hex(N): with its bytes.
inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;

struct RegistryValue {
    std::uint32_t type = REG_NONE;
    std::string data;

    bool operator==(const RegistryValue&) const = default;
};

// Deeper paths are refused, like the Windows registry's 512 levels; it also bounds every walk
// over the tree.
inline constexpr std::size_t kMaxKeyDepth = 512;

// Orders texts ignoring case (platform::CompareIgnoreCase), so that "Ostrel" and "OSTREL" are
// one key.
struct IgnoreCaseLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

class RegistryHive {
public:
    struct Key {
        std::map<std::string, RegistryValue, IgnoreCaseLess> values;  // "" is the default value "@"
        std::map<std::string, std::unique_ptr<Key>, IgnoreCaseLess> subkeys;
    };

    // A key path split at its backslashes: "HKEY_CURRENT_USER\Software" gives two names. A path
    // with an empty name in it, or deeper than kMaxKeyDepth, gives nothing.
    static std::optional<std::vector<std::string>> SplitPath(std::string_view path);

    // Reads a hive file. Accepts what registry export files hold: the header line
    // "Windows Registry Editor Version 5.00" (or "REGEDIT4"), keys and values in any order,
    // blank lines, comment lines starting with ';', lines continued with a trailing backslash,
    // CR LF line ends, a UTF-8 byte-order mark, UTF-16LE files with their byte-order mark, and
    // the removal entries [-key] and "name"=-. Anything else is not a hive: nothing is returned,
    // so that the caller keeps its defaults and never rewrites a file it did not understand.
    static std::optional<RegistryHive> Parse(std::string_view file);

    // The file text: UTF-8, keys in case-insensitive order, each with all its values.
    std::string Serialize() const;

    // The key at the full path from the top ("HKEY_CURRENT_USER", "Software", ...), or null.
    const Key* Find(std::span<const std::string> path) const;
    // The key at the path, created with any missing parents. Null when a name cannot be stored
    // (empty, or holding a backslash, a line break or a zero) or the path is too deep.
    Key* Create(std::span<const std::string> path);
    // Removes the key at the path with everything below it; false when there is none.
    bool Remove(std::span<const std::string> path);

private:
    Key top_;  // its subkeys are the roots: HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE
};

// Whether a key or value name can be written to a hive file: no line break and no zero (a key
// name, besides, is neither empty nor holds a backslash).
bool IsStorableValueName(std::string_view name);
bool IsStorableKeyName(std::string_view name);

}  // namespace platform
