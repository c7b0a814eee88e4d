#pragma once

#include <span>
#include <string>
#include <vector>

// Subcommands of ostrel-cli register themselves here, one file each, so that main() only
// dispatches. A subcommand gets its arguments (without the program and subcommand names) and
// returns the exit status: 0 success, 1 the operation reported failure, 2 usage error.
namespace cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

using CommandFunction = int (*)(std::span<const std::string> args);

struct Command {
    const char* name;
    const char* usage;  // one line, shown by "ostrel-cli --help" and on usage errors
    CommandFunction run;
};

const std::vector<Command>& Commands();

// Static registration: `static const cli::Registrar reg{{"read", "read FILE...", RunRead}};`
struct Registrar {
    explicit Registrar(Command command);
};

// Prints "ostrel-cli: <message>" and the command's usage line to standard error; returns kExitUsage.
int UsageError(const std::string& commandName, const std::string& message);

}  // namespace cli
