// Writes the seed corpus of fuzz_audit_trail into the folder argv[1]: trails as the program
// appends them (through the audit log itself, in a temporary folder), then edited, cut and
// padded the ways the tests damage them.
#include "core/AuditLog.h"
#include "support/TempDir.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const fixtures::TempDir dir;
    const std::string path = dir.Path() + "/Ostrel/audit.jsonl";
    {
        std::optional<core::AuditLog> log = core::AuditLog::Open(path);
        if (!log) return 1;
        log->Append(nlohmann::ordered_json{{"time", "2026-12-10T10:15:00Z"}, {"action", "save-method"}, {"method", "вино"},
                                           {"outcome", "attempt"}, {"old", 0.5}, {"new", 0.25}, {"id", "a1"}});
        log->Append(nlohmann::ordered_json{{"action", "save-method"}, {"outcome", "written"}, {"id", "a1"},
                                           {"backup", "/nonexistent/20261210T101500Z.mtd"}, {"old", nullptr}});
        log->Append(nlohmann::ordered_json{{"action", "audit-check"}, {"line", 2}, {"error", "цепочка нарушена"}});
    }
    const std::string whole = ReadWhole(path);
    std::string edited = whole;
    if (const std::size_t at = edited.find("0.25"); at != std::string::npos) edited.replace(at, 4, "0.30");
    const std::vector<std::string> seeds = {
        whole,
        edited,
        whole.substr(0, whole.size() / 2),             // a line cut mid-write
        whole + "{\"prev\": 17}\n\n[1, 2]\n\xff\xfe\n",  // wrong types, an empty line, no object, no UTF-8
        "",
    };
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        std::ofstream out(std::string(argv[1]) + "/seed" + std::to_string(i), std::ios::binary);
        out << seeds[i];
    }
    return 0;
}
