#pragma once

#include <span>
#include <string>
#include <vector>

// Subcommands of ostrel-cli register themselves here, one file each, so that main() only
// dispatches. A subcommand gets its arguments (without the program and subcommand names) and
// returns the exit status: 0 success, 1 the operation reported failure, 2 usage error.
//
// Each command carries its own help: `ostrel-cli help NAME` and `ostrel-cli NAME --help` print
// "usage: ostrel-cli <usage>", a blank line and <help>. main() answers --help and -h itself, so
// a command never sees them.
//
// Commands that draw or open windows live in cli/gui/ and are built only into ostrel-cli-gui
// (cli/WindowProgram.h); ostrel-cli hands them over to it.
namespace cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

using CommandFunction = int (*)(std::span<const std::string> args);

struct Command {
    const char* name;
    const char* usage;  // the synopsis after "ostrel-cli ", one line; listed by "ostrel-cli --help"
    CommandFunction run;
    // What `ostrel-cli help NAME` prints below the synopsis: a sentence of what the command does,
    // its options, its output and its exit statuses, in lines of at most 100 characters.
    const char* help = nullptr;
};

const std::vector<Command>& Commands();
const Command* FindCommand(const std::string& name);

// Static registration:
//     static const cli::Registrar registrar{{"read", "read FILE [FILE...]", RunRead, kHelp}};
struct Registrar {
    explicit Registrar(Command command);
};

// Prints "ostrel-cli: <message>" and the command's usage line to standard error; returns kExitUsage.
int UsageError(const std::string& commandName, const std::string& message);

// Prints "ostrel-cli: <message>" to standard error; returns kExitFailed.
int Failure(const std::string& message);

}  // namespace cli
