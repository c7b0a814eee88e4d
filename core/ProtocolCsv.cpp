#include "core/ProtocolCsv.h"

#include "core/NumberText.h"

#include <cmath>
#include <ctime>
#include <string_view>

namespace core {

namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr const char* kColumns[] = {
    "fraction",     "file",           "path",           "fileName",       "sampleName",
    "acquired",     "ethanolArea",    "standardArea",   "ethanolAmount",  "standardAmount",
    "coefficient",  "deviation",      "sha256",
};

std::string Quoted(std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(field);
    std::string quoted = "\"";
    for (const char c : field) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string TextField(const std::string& text) {
    const bool formulaLike = !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
    return Quoted(formulaLike ? "'" + text : text);
}

// The shortest text that reads back as the same double; "" for a figure that does not exist.
std::string NumberField(double value) { return std::isfinite(value) ? ShortestText(value) : std::string(); }

const char* FileState(LevelFile file) {
    switch (file) {
        case LevelFile::Read: return "read";
        case LevelFile::Unreadable: return "unreadable";
        case LevelFile::None: break;
    }
    return "none";
}

// Local time as ISO 8601 with the offset from UTC written +hh:mm.
std::string IsoLocalTime(std::chrono::sys_seconds moment) {
    const std::time_t t = std::chrono::system_clock::to_time_t(moment);
    std::tm local{};
    if (!localtime_r(&t, &local)) return {};
    char text[64];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    if (n < 5) return {};
    const std::string_view iso(text, n);
    return std::string(iso.substr(0, n - 2)) + ":" + std::string(iso.substr(n - 2));
}

}  // namespace

std::string LevelTableCsv(const Protocol& protocol) {
    std::string csv;
    for (std::string_view column : kColumns) {
        if (column != kColumns[0]) csv += ',';
        csv += column;
    }
    csv += kLineEnd;
    for (const ProtocolLevel& level : protocol.levels) {
        const std::string fields[] = {
            NumberField(level.fraction),
            FileState(level.file),
            TextField(level.path),
            TextField(level.fileName),
            TextField(level.sampleName),
            level.acquired ? IsoLocalTime(*level.acquired) : std::string(),
            NumberField(level.ethanolArea),
            NumberField(level.standardArea),
            NumberField(level.ethanolAmount),
            NumberField(level.standardAmount),
            NumberField(level.coefficient),
            NumberField(level.deviation),
            level.sha256,
        };
        static_assert(std::size(fields) == std::size(kColumns));
        for (std::size_t i = 0; i < std::size(fields); ++i) {
            if (i > 0) csv += ',';
            csv += fields[i];
        }
        csv += kLineEnd;
    }
    return csv;
}

}  // namespace core
