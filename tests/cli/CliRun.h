#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

// Runs the built ostrel-cli with the test's environment and collects what it prints.
namespace clitest {

struct CliResult {
    int status;       // the exit status, -1 when it did not exit normally
    std::string out;  // standard output; standard error is dropped
};

inline std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline CliResult Cli(const std::vector<std::string>& args) {
    std::string command = ShellQuote(OSTREL_CLI);
    for (const std::string& a : args) command += " " + ShellQuote(a);
    FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe) return {-1, ""};
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

}  // namespace clitest
