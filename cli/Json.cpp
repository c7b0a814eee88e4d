#include "cli/Json.h"

#include "core/NumberText.h"

#include <cmath>
#include <cstdio>

namespace cli {

namespace {

template <typename T>
std::string ShortestNumber(T value) {
    if (std::isnan(value)) return "\"NaN\"";
    if (std::isinf(value)) return value > 0 ? "\"Infinity\"" : "\"-Infinity\"";
    return core::ShortestText(value);
}

// Length of the valid UTF-8 sequence starting at s[i], or 0 when it is not valid.
size_t Utf8SequenceLength(std::string_view s, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(i);
    size_t length;
    char32_t min;
    if (b0 < 0x80) return 1;
    if ((b0 & 0xE0) == 0xC0) { length = 2; min = 0x80; }
    else if ((b0 & 0xF0) == 0xE0) { length = 3; min = 0x800; }
    else if ((b0 & 0xF8) == 0xF0) { length = 4; min = 0x10000; }
    else return 0;
    if (i + length > s.size()) return 0;
    char32_t cp = b0 & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

std::string JsonDouble(double value) { return ShortestNumber(value); }
std::string JsonFloat(float value) { return ShortestNumber(value); }

std::string JsonQuote(std::string_view s) {
    std::string out = "\"";
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c >= 0x80) {
            const size_t length = Utf8SequenceLength(s, i);
            if (length == 0) {
                out += "\xEF\xBF\xBD";
                ++i;
            } else {
                out.append(s.substr(i, length));
                i += length;
            }
            continue;
        }
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            default:
                if (c < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    out += buffer;
                } else {
                    out += static_cast<char>(c);
                }
        }
        ++i;
    }
    out += '"';
    return out;
}

void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!hasItems_.empty()) {
        if (hasItems_.back()) Raw(", ");
        hasItems_.back() = true;
    }
}

JsonWriter& JsonWriter::BeginObject() {
    BeforeValue();
    Raw("{");
    hasItems_.push_back(false);
    return *this;
}

JsonWriter& JsonWriter::EndObject() {
    hasItems_.pop_back();
    Raw("}");
    return *this;
}

JsonWriter& JsonWriter::BeginArray() {
    BeforeValue();
    Raw("[");
    hasItems_.push_back(false);
    return *this;
}

JsonWriter& JsonWriter::EndArray() {
    hasItems_.pop_back();
    Raw("]");
    return *this;
}

JsonWriter& JsonWriter::Key(std::string_view key) {
    BeforeValue();
    Raw(JsonQuote(key));
    Raw(": ");
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::String(std::string_view utf8) {
    BeforeValue();
    Raw(JsonQuote(utf8));
    return *this;
}

JsonWriter& JsonWriter::Double(double value) {
    BeforeValue();
    Raw(JsonDouble(value));
    return *this;
}

JsonWriter& JsonWriter::Float(float value) {
    BeforeValue();
    Raw(JsonFloat(value));
    return *this;
}

JsonWriter& JsonWriter::Int(std::int64_t value) {
    BeforeValue();
    Raw(std::to_string(value));
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    BeforeValue();
    Raw(value ? "true" : "false");
    return *this;
}

JsonWriter& JsonWriter::Null() {
    BeforeValue();
    Raw("null");
    return *this;
}

void PrintJson(const JsonWriter& writer) {
    std::fwrite(writer.Text().data(), 1, writer.Text().size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace cli
