#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// A small streaming JSON writer for the documents ostrel-cli prints. Commas and nesting are
// tracked here, so callers only say what comes next. Doubles and floats are written as the
// shortest text that reads back to the same value; not-a-number and the infinities become the
// strings "NaN", "Infinity" and "-Infinity". Strings are UTF-8; a byte sequence that is not
// valid UTF-8 is written as U+FFFD rather than producing an invalid document.
class JsonWriter {
public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    JsonWriter& Key(std::string_view key);

    JsonWriter& String(std::string_view utf8);
    JsonWriter& Double(double value);
    JsonWriter& Float(float value);
    JsonWriter& Int(std::int64_t value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();

    // Key followed by a value, for the common case.
    JsonWriter& Field(std::string_view key, std::string_view utf8) { return Key(key).String(utf8); }
    JsonWriter& Field(std::string_view key, const char* utf8) { return Key(key).String(utf8); }
    JsonWriter& Field(std::string_view key, double value) { return Key(key).Double(value); }
    JsonWriter& Field(std::string_view key, int value) { return Key(key).Int(value); }
    JsonWriter& Field(std::string_view key, std::int64_t value) { return Key(key).Int(value); }
    JsonWriter& Field(std::string_view key, bool value) { return Key(key).Bool(value); }

    const std::string& Text() const { return out_; }

private:
    void BeforeValue();
    void Raw(std::string_view text) { out_.append(text); }

    std::string out_;
    std::vector<bool> hasItems_;  // one entry per open object or array
    bool afterKey_ = false;
};

std::string JsonDouble(double value);  // the number text, or the quoted special value
std::string JsonFloat(float value);
std::string JsonQuote(std::string_view utf8);

// Writes the document and a newline to standard output.
void PrintJson(const JsonWriter& writer);

}  // namespace cli
