#pragma once

#include "support/TempDir.h"

#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

// Runs the built ostrel-cli with the test's environment and collects what it prints.
namespace clitest {

struct CliResult {
    int status;       // the exit status, -1 when it did not exit normally
    std::string out;  // standard output
    std::string err;  // standard error
};

inline std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// `environment` holds extra variables for the program only, as NAME=VALUE.
inline CliResult Cli(const std::vector<std::string>& args, const std::vector<std::string>& environment = {}) {
    const fixtures::TempDir errors;
    const std::string errPath = errors.Path() + "/stderr";
    std::string command;
    for (const std::string& e : environment) {
        const std::size_t equals = e.find('=');
        command += e.substr(0, equals + 1) + ShellQuote(e.substr(equals + 1)) + " ";  // NAME='value'
    }
    command += ShellQuote(OSTREL_CLI);
    for (const std::string& a : args) command += " " + ShellQuote(a);
    FILE* pipe = ::popen((command + " 2>" + ShellQuote(errPath)).c_str(), "r");
    if (!pipe) return {-1, "", ""};
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out, fixtures::ReadFileBytes(errPath)};
}

// Width and height from a PNG's header, or (0, 0) when the bytes are not a PNG.
inline std::pair<std::uint32_t, std::uint32_t> PngSize(const std::string& bytes) {
    static const std::string kSignature = "\x89PNG\r\n\x1a\n";
    if (bytes.size() < 24 || bytes.compare(0, 8, kSignature) != 0 || bytes.compare(12, 4, "IHDR") != 0) return {0, 0};
    const auto be32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
        return v;
    };
    return {be32(16), be32(20)};
}

}  // namespace clitest
