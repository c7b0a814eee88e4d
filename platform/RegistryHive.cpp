#include "platform/RegistryHive.h"

#include "platform/Text.h"

#include <cstdio>
#include <utility>

namespace platform {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool StartsWithIgnoreAsciiCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = s[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

// The file as UTF-8 text: a UTF-16LE file (what the Windows registry editor exports) is
// converted, a UTF-8 byte-order mark dropped.
std::string DecodeFile(std::string_view file) {
    if (file.size() >= 2 && static_cast<unsigned char>(file[0]) == 0xFF &&
        static_cast<unsigned char>(file[1]) == 0xFE)
        return DecodeUtf16Le(file.substr(2));
    if (file.starts_with("\xEF\xBB\xBF")) file.remove_prefix(3);
    return std::string(file);
}

// Physical lines joined where a line ends with a backslash, the continuation's leading blanks
// dropped. Nothing when the text ends inside a continuation: a cut-off file.
std::optional<std::vector<std::string>> LogicalLines(std::string_view text) {
    std::vector<std::string> lines;
    std::string pending;
    bool continuing = false;
    while (!text.empty() || continuing) {
        if (text.empty()) return std::nullopt;
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (continuing)
            while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
        while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
        continuing = !line.empty() && line.back() == '\\';
        if (continuing) line.remove_suffix(1);
        pending.append(line);
        if (!continuing) lines.push_back(std::exchange(pending, {}));
    }
    return lines;
}

// A quoted text at the start of `s` with \\ and \" escapes; advances `s` past it.
std::optional<std::string> TakeQuoted(std::string_view& s) {
    if (s.empty() || s.front() != '"') return std::nullopt;
    std::string out;
    for (size_t i = 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            s.remove_prefix(i + 1);
            return out;
        }
        if (c == '\\') {
            if (i + 1 >= s.size() || (s[i + 1] != '\\' && s[i + 1] != '"')) return std::nullopt;
            out.push_back(s[++i]);
        } else {
            out.push_back(c);
        }
    }
    return std::nullopt;  // no closing quote: a cut-off line
}

// Comma-separated bytes of two hex digits each; an empty list is no bytes.
std::optional<std::string> ParseBytes(std::string_view s) {
    std::string out;
    s = Trim(s);
    if (s.empty()) return out;
    while (true) {
        const size_t comma = s.find(',');
        const std::string_view item = Trim(s.substr(0, comma));
        if (item.size() != 2 || HexDigit(item[0]) < 0 || HexDigit(item[1]) < 0) return std::nullopt;
        out.push_back(static_cast<char>(HexDigit(item[0]) * 16 + HexDigit(item[1])));
        if (comma == std::string_view::npos) return out;
        s.remove_prefix(comma + 1);
    }
}

// The data after "name"=, or the removal entry "-"; nothing when malformed.
struct ParsedData {
    RegistryValue value;
    bool remove = false;
};

std::optional<ParsedData> ParseData(std::string_view s) {
    ParsedData parsed;
    if (s == "-") {
        parsed.remove = true;
        return parsed;
    }
    if (!s.empty() && s.front() == '"') {
        std::optional<std::string> text = TakeQuoted(s);
        if (!text || !Trim(s).empty()) return std::nullopt;
        text->push_back('\0');
        parsed.value = {REG_SZ, std::move(*text)};
        return parsed;
    }
    if (StartsWithIgnoreAsciiCase(s, "dword:")) {
        s.remove_prefix(6);
        if (s.size() != 8) return std::nullopt;
        std::uint32_t v = 0;
        for (char c : s) {
            if (HexDigit(c) < 0) return std::nullopt;
            v = v * 16 + static_cast<std::uint32_t>(HexDigit(c));
        }
        std::string bytes(4, '\0');
        for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
        parsed.value = {REG_DWORD, std::move(bytes)};
        return parsed;
    }
    if (!StartsWithIgnoreAsciiCase(s, "hex")) return std::nullopt;
    s.remove_prefix(3);
    std::uint32_t type = REG_BINARY;
    if (!s.empty() && s.front() == '(') {
        const size_t close = s.find(')');
        if (close == std::string_view::npos || close < 2 || close > 9) return std::nullopt;
        type = 0;
        for (char c : s.substr(1, close - 1)) {
            if (HexDigit(c) < 0) return std::nullopt;
            type = type * 16 + static_cast<std::uint32_t>(HexDigit(c));
        }
        s.remove_prefix(close + 1);
    }
    if (s.empty() || s.front() != ':') return std::nullopt;
    std::optional<std::string> bytes = ParseBytes(s.substr(1));
    if (!bytes) return std::nullopt;
    parsed.value = {type, std::move(*bytes)};
    return parsed;
}

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

// A REG_SZ that "text" restores exactly: one line of text and a single terminating zero.
bool IsPlainString(const RegistryValue& v) {
    if (v.type != REG_SZ || v.data.empty() || v.data.back() != '\0') return false;
    const std::string_view text(v.data.data(), v.data.size() - 1);
    return text.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

void AppendValue(std::string& out, const std::string& name, const RegistryValue& v) {
    out += name.empty() ? std::string("@") : Quote(name);
    out += '=';
    if (IsPlainString(v)) {
        out += Quote(std::string_view(v.data.data(), v.data.size() - 1));
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        std::uint32_t d = 0;
        for (int i = 3; i >= 0; --i) d = d << 8 | static_cast<unsigned char>(v.data[i]);
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", d);
        out += buf;
    } else {
        char buf[24];
        if (v.type == REG_BINARY)
            out += "hex:";
        else {
            std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
            out += buf;
        }
        for (size_t i = 0; i < v.data.size(); ++i) {
            std::snprintf(buf, sizeof buf, i ? ",%02x" : "%02x", static_cast<unsigned char>(v.data[i]));
            out += buf;
        }
    }
    out += '\n';
}

void AppendKey(std::string& out, std::string& path, const RegistryHive::Key& key) {
    out += "\n[" + path + "]\n";
    for (const auto& [name, value] : key.values) AppendValue(out, name, value);
    for (const auto& [name, sub] : key.subkeys) {
        const size_t length = path.size();
        path += '\\';
        path += name;
        AppendKey(out, path, *sub);
        path.resize(length);
    }
}

}  // namespace

bool IgnoreCaseLess::operator()(const std::string& a, const std::string& b) const {
    return CompareIgnoreCase(a, b) < 0;
}

bool IsStorableValueName(std::string_view name) {
    return name.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

bool IsStorableKeyName(std::string_view name) {
    return !name.empty() && IsStorableValueName(name) && name.find('\\') == std::string_view::npos;
}

std::optional<std::vector<std::string>> RegistryHive::SplitPath(std::string_view path) {
    std::vector<std::string> names;
    while (true) {
        const size_t slash = path.find('\\');
        names.emplace_back(path.substr(0, slash));
        if (!IsStorableKeyName(names.back()) || names.size() > kMaxKeyDepth) return std::nullopt;
        if (slash == std::string_view::npos) return names;
        path.remove_prefix(slash + 1);
    }
}

std::optional<RegistryHive> RegistryHive::Parse(std::string_view file) {
    const std::string text = DecodeFile(file);
    if (text.find('\0') != std::string::npos) return std::nullopt;  // binary, not a text file
    const std::optional<std::vector<std::string>> lines = LogicalLines(text);
    if (!lines) return std::nullopt;

    RegistryHive hive;
    bool sawHeader = false;
    Key* current = nullptr;
    for (const std::string& raw : *lines) {
        const std::string_view line = Trim(raw);
        if (line.empty()) continue;
        if (!sawHeader) {
            if (line != kHeader && line != kHeader4) return std::nullopt;
            sawHeader = true;
            continue;
        }
        if (line.front() == ';') continue;
        if (line.front() == '[') {
            if (line.size() < 2 || line.back() != ']') return std::nullopt;
            std::string_view inner = line.substr(1, line.size() - 2);
            const bool remove = !inner.empty() && inner.front() == '-';
            if (remove) inner.remove_prefix(1);
            const std::optional<std::vector<std::string>> path = SplitPath(inner);
            if (!path) return std::nullopt;
            if (remove) {
                hive.Remove(*path);
                current = nullptr;
            } else {
                current = hive.Create(*path);
            }
            continue;
        }
        if (!current) return std::nullopt;  // a value outside any key
        std::string_view rest = line;
        std::string name;
        if (rest.front() == '@') {
            rest.remove_prefix(1);
        } else {
            std::optional<std::string> quoted = TakeQuoted(rest);
            if (!quoted) return std::nullopt;
            name = std::move(*quoted);
        }
        rest = Trim(rest);
        if (rest.empty() || rest.front() != '=') return std::nullopt;
        const std::optional<ParsedData> data = ParseData(Trim(rest.substr(1)));
        if (!data) return std::nullopt;
        if (data->remove)
            current->values.erase(name);
        else
            current->values.insert_or_assign(std::move(name), data->value);
    }
    if (!sawHeader) return std::nullopt;
    return hive;
}

std::string RegistryHive::Serialize() const {
    std::string out(kHeader);
    out += '\n';
    std::string path;
    for (const auto& [name, root] : top_.subkeys) {
        path = name;
        AppendKey(out, path, *root);
    }
    return out;
}

const RegistryHive::Key* RegistryHive::Find(std::span<const std::string> path) const {
    const Key* key = &top_;
    for (const std::string& name : path) {
        const auto it = key->subkeys.find(name);
        if (it == key->subkeys.end()) return nullptr;
        key = it->second.get();
    }
    return key;
}

RegistryHive::Key* RegistryHive::Create(std::span<const std::string> path) {
    if (path.empty() || path.size() > kMaxKeyDepth) return nullptr;
    for (const std::string& name : path)
        if (!IsStorableKeyName(name)) return nullptr;
    Key* key = &top_;
    for (const std::string& name : path) {
        std::unique_ptr<Key>& sub = key->subkeys[name];
        if (!sub) sub = std::make_unique<Key>();
        key = sub.get();
    }
    return key;
}

bool RegistryHive::Remove(std::span<const std::string> path) {
    if (path.empty()) return false;
    Key* parent = const_cast<Key*>(Find(path.first(path.size() - 1)));
    return parent && parent->subkeys.erase(path.back()) > 0;
}

}  // namespace platform
