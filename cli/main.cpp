#include "cli/Command.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace cli {

static std::vector<Command>& Registry() {
    static std::vector<Command> commands;
    return commands;
}

const std::vector<Command>& Commands() { return Registry(); }

Registrar::Registrar(Command command) { Registry().push_back(command); }

int UsageError(const std::string& commandName, const std::string& message) {
    std::fprintf(stderr, "ostrel-cli: %s\n", message.c_str());
    for (const Command& c : Commands())
        if (commandName == c.name) std::fprintf(stderr, "usage: ostrel-cli %s\n", c.usage);
    return kExitUsage;
}

}  // namespace cli

static void PrintUsage(std::FILE* out) {
    std::vector<cli::Command> sorted = cli::Commands();
    std::sort(sorted.begin(), sorted.end(),
              [](const cli::Command& a, const cli::Command& b) { return std::string(a.name) < b.name; });
    std::fprintf(out, "usage:\n");
    for (const cli::Command& c : sorted) std::fprintf(out, "  ostrel-cli %s\n", c.usage);
}

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage(stderr);
        return cli::kExitUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintUsage(stdout);
        return cli::kExitOk;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const cli::Command& c : cli::Commands())
        if (name == c.name) return c.run(args);
    std::fprintf(stderr, "ostrel-cli: unknown command '%s'\n", name.c_str());
    PrintUsage(stderr);
    return cli::kExitUsage;
}
