#include "platform/Text.h"

#include <unicode/ucasemap.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <stdexcept>

namespace platform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The code page is a fixed 256-entry table; ICU's converter builds it once, and decoding then
// costs a table lookup per byte (passports of thousands of files are decoded per folder scan).
struct Windows1251Table {
    struct Utf8Form {
        char bytes[3];
        std::uint8_t length;
    };
    std::array<char16_t, 256> toUnicode{};
    std::array<Utf8Form, 256> toUtf8{};

    Windows1251Table() {
        UErrorCode status = U_ZERO_ERROR;
        UConverter* converter = ucnv_open("cp1251", &status);
        if (U_FAILURE(status)) throw std::runtime_error("ICU has no Windows-1251 converter");
        for (int byte = 0; byte < 256; ++byte) {
            const char in = static_cast<char>(byte);
            UChar out[4];
            status = U_ZERO_ERROR;
            const int32_t n = ucnv_toUChars(converter, out, 4, &in, 1, &status);
            char16_t mapped = kReplacement;
            if (U_SUCCESS(status) && n == 1) mapped = out[0];
            // ICU may substitute SUB (0x1A) for a byte the code page leaves unassigned.
            if (mapped == 0x1A && byte != 0x1A) mapped = kReplacement;
            toUnicode[byte] = mapped;
        }
        ucnv_close(converter);
        for (int byte = 0; byte < 256; ++byte) {
            std::string form;
            AppendUtf8(form, toUnicode[byte]);
            std::memcpy(toUtf8[byte].bytes, form.data(), form.size());
            toUtf8[byte].length = static_cast<std::uint8_t>(form.size());
        }
    }
};

const Windows1251Table& Table1251() {
    static const Windows1251Table table;
    return table;
}

std::u16string ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (int32_t i = 0; i < static_cast<int32_t>(utf8.size());) {
        UChar32 cp;
        U8_NEXT(reinterpret_cast<const uint8_t*>(utf8.data()), i, static_cast<int32_t>(utf8.size()), cp);
        if (cp < 0) cp = kReplacement;
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(U16_LEAD(cp));
            out += static_cast<char16_t>(U16_TRAIL(cp));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

bool IsAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string DecodeWindows1251(std::string_view bytes) {
    // Each byte's UTF-8 form is looked up whole, since peak names and passports are decoded by
    // the thousand. The length is added up first: a short name then fits the string itself
    // (a Cyrillic name of up to seven letters), where room for three bytes a letter would not.
    const auto& utf8 = Table1251().toUtf8;
    std::size_t length = 0;
    for (char c : bytes) length += utf8[static_cast<unsigned char>(c)].length;
    std::string out(length, '\0');
    char* p = out.data();
    for (char c : bytes) {
        const auto& form = utf8[static_cast<unsigned char>(c)];
        std::memcpy(p, form.bytes, form.length);
        p += form.length;
    }
    return out;
}

std::string EncodeWindows1251(std::string_view utf8) {
    const auto& table = Table1251().toUnicode;
    std::string out;
    out.reserve(utf8.size());
    for (int32_t i = 0; i < static_cast<int32_t>(utf8.size());) {
        UChar32 cp;
        U8_NEXT(reinterpret_cast<const uint8_t*>(utf8.data()), i, static_cast<int32_t>(utf8.size()), cp);
        char byte = '?';
        if (cp >= 0 && cp < 0x80) {
            byte = static_cast<char>(cp);
        } else if (cp >= 0x80 && cp != static_cast<UChar32>(kReplacement)) {
            for (int b = 0x80; b < 256; ++b)
                if (table[b] == cp) {
                    byte = static_cast<char>(b);
                    break;
                }
        }
        out += byte;
    }
    return out;
}

std::string DecodeUtf16Le(std::string_view bytes) {
    const size_t units = bytes.size() / 2;
    std::string out;
    out.reserve(units * 2);
    const auto unitAt = [&](size_t k) {
        return static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * k]) |
                                     (static_cast<unsigned char>(bytes[2 * k + 1]) << 8));
    };
    for (size_t k = 0; k < units; ++k) {
        const char16_t u = unitAt(k);
        if (U16_IS_LEAD(u) && k + 1 < units && U16_IS_TRAIL(unitAt(k + 1))) {
            AppendUtf8(out, U16_GET_SUPPLEMENTARY(u, unitAt(k + 1)));
            ++k;
        } else if (U16_IS_SURROGATE(u)) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

int CompareIgnoreCase(std::string_view a, std::string_view b) {
    if (IsAscii(a) && IsAscii(b)) {
        const size_t n = std::min(a.size(), b.size());
        for (size_t i = 0; i < n; ++i) {
            const char x = AsciiLower(a[i]), y = AsciiLower(b[i]);
            if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
        }
        return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
    }
    const std::u16string ua = ToUtf16(a), ub = ToUtf16(b);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t result = u_strCaseCompare(ua.data(), static_cast<int32_t>(ua.size()), ub.data(),
                                            static_cast<int32_t>(ub.size()),
                                            U_FOLD_CASE_DEFAULT | U_COMPARE_CODE_POINT_ORDER, &status);
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

std::string FoldCase(std::string_view utf8) {
    if (IsAscii(utf8)) {
        std::string out(utf8);
        for (char& c : out) c = AsciiLower(c);
        return out;
    }
    const std::u16string in = ToUtf16(utf8);
    std::u16string folded(in.size() * 3 + 4, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = u_strFoldCase(folded.data(), static_cast<int32_t>(folded.size()), in.data(),
                                    static_cast<int32_t>(in.size()), U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status)) return std::string(utf8);
    std::string out;
    out.reserve(static_cast<size_t>(n) * 2);
    for (int32_t i = 0; i < n;) {
        UChar32 cp;
        U16_NEXT(folded.data(), i, n, cp);
        AppendUtf8(out, static_cast<char32_t>(cp));
    }
    return out;
}

std::string ToUpper(std::string_view utf8) {
    const std::u16string in = ToUtf16(utf8);
    std::u16string upper(in.size() * 3 + 4, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = u_strToUpper(upper.data(), static_cast<int32_t>(upper.size()), in.data(),
                                   static_cast<int32_t>(in.size()), "", &status);
    if (U_FAILURE(status)) return std::string(utf8);
    std::string out;
    out.reserve(static_cast<size_t>(n) * 2);
    for (int32_t i = 0; i < n;) {
        UChar32 cp;
        U16_NEXT(upper.data(), i, n, cp);
        AppendUtf8(out, static_cast<char32_t>(cp));
    }
    return out;
}

std::size_t CharacterCount(std::string_view utf8) {
    std::size_t count = 0;
    for (int32_t i = 0; i < static_cast<int32_t>(utf8.size()); ++count) {
        UChar32 cp;
        U8_NEXT(reinterpret_cast<const uint8_t*>(utf8.data()), i, static_cast<int32_t>(utf8.size()), cp);
    }
    return count;
}

}  // namespace platform
