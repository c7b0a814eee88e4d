// The main() of both ostrel-cli and ostrel-cli-gui (cli/WindowProgram.h): the program's own
// options (--help, --version, help COMMAND), then dispatch to a registered command.
#include "cli/Command.h"
#include "cli/WindowProgram.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace cli {

static std::vector<Command>& Registry() {
    static std::vector<Command> commands;
    return commands;
}

const std::vector<Command>& Commands() { return Registry(); }

const Command* FindCommand(const std::string& name) {
    for (const Command& c : Commands())
        if (name == c.name) return &c;
    return nullptr;
}

Registrar::Registrar(Command command) { Registry().push_back(command); }

int UsageError(const std::string& commandName, const std::string& message) {
    std::fprintf(stderr, "ostrel-cli: %s\n", message.c_str());
    if (const Command* c = FindCommand(commandName))
        std::fprintf(stderr, "usage: ostrel-cli %s\n(ostrel-cli help %s tells more)\n", c->usage, c->name);
    return kExitUsage;
}

int Failure(const std::string& message) {
    std::fprintf(stderr, "ostrel-cli: %s\n", message.c_str());
    return kExitFailed;
}

}  // namespace cli

namespace {

constexpr const char* kGeneralHelp =
    "Each command prints JSON on standard output (UTF-8, one document and a newline); messages go\n"
    "to standard error, one line each, starting with \"ostrel-cli: \".\n"
    "\n"
    "exit status: 0 success; 1 the operation failed (the reason on standard error); 2 usage error.\n";

void PrintUsage(std::FILE* out) {
    std::vector<cli::Command> sorted = cli::Commands();
    std::sort(sorted.begin(), sorted.end(),
              [](const cli::Command& a, const cli::Command& b) { return std::strcmp(a.name, b.name) < 0; });
    std::fprintf(out,
                 "usage: ostrel-cli COMMAND [ARGUMENTS...]\n"
                 "       ostrel-cli help COMMAND     (or ostrel-cli COMMAND --help): the command's options\n"
                 "       ostrel-cli --version\n"
                 "\ncommands:\n");
    for (const cli::Command& c : sorted) std::fprintf(out, "  ostrel-cli %s\n", c.usage);
    std::fprintf(out, "\n%s", kGeneralHelp);
}

int PrintCommandHelp(const cli::Command& command) {
    std::printf("usage: ostrel-cli %s\n", command.usage);
    if (command.help && *command.help) {
        const std::size_t length = std::strlen(command.help);
        std::printf("\n%s%s", command.help, command.help[length - 1] == '\n' ? "" : "\n");
    } else {
        std::printf("\n%s", kGeneralHelp);
    }
    return cli::kExitOk;
}

bool AsksForHelp(const std::vector<std::string>& args) {
    return std::any_of(args.begin(), args.end(), [](const std::string& a) { return a == "--help" || a == "-h"; });
}

// A command this program does not have may be one of ostrel-cli-gui's (cli/WindowProgram.h):
// hand the whole command line over. Returns only when there is no other program to ask.
void TryWindowProgram() {
    if (cli::IsWindowProgram()) return;
    std::string failure;
    cli::ExecWindowProgram(failure);
}

int UnknownCommand(const std::string& name) {
    TryWindowProgram();
    std::fprintf(stderr, "ostrel-cli: unknown command '%s'\n", name.c_str());
    PrintUsage(stderr);
    return cli::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    cli::RememberCommandLine(argv);
    if (argc < 2) {
        PrintUsage(stderr);
        return cli::kExitUsage;
    }
    const std::string name = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    if (name == "--version") {
        std::printf("ostrel-cli %s\n", OSTREL_VERSION);
        return cli::kExitOk;
    }
    if (name == "--help" || name == "-h" || (name == "help" && args.empty())) {
        TryWindowProgram();  // it lists its window commands too
        PrintUsage(stdout);
        return cli::kExitOk;
    }
    if (name == "help") {
        if (args.size() > 1) return cli::UsageError("help", "help takes one command name");
        const cli::Command* command = cli::FindCommand(args[0]);
        return command ? PrintCommandHelp(*command) : UnknownCommand(args[0]);
    }
    const cli::Command* command = cli::FindCommand(name);
    if (!command) return UnknownCommand(name);
    if (AsksForHelp(args)) return PrintCommandHelp(*command);
    return command->run(args);
}
