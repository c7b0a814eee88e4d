#include "cli/WindowProgram.h"

#include "cli/Command.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace cli {

namespace {

struct WindowProgramState {
    bool registered = false;
    Drawing drawing;
    char** argv = nullptr;
};

WindowProgramState& State() {
    static WindowProgramState state;
    return state;
}

// The folder of this program's executable, where ostrel-cli-gui is installed beside it.
std::string ProgramFolder() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    const std::string executable(path, static_cast<std::size_t>(n));
    return executable.substr(0, executable.rfind('/'));
}

}  // namespace

void RememberCommandLine(char** argv) { State().argv = argv; }

bool IsWindowProgram() { return State().registered; }

const Drawing& TheDrawing() { return State().drawing; }

WindowProgramRegistrar::WindowProgramRegistrar(Drawing drawing) {
    State().registered = true;
    State().drawing = drawing;
}

void ExecWindowProgram(std::string& failure) {
    const std::string folder = ProgramFolder();
    if (folder.empty() || !State().argv) {
        failure = "cannot find the folder of this program";
        return;
    }
    const std::string program = folder + "/" + kWindowProgramName;
    ::execv(program.c_str(), State().argv);
    failure = program + ": " + std::strerror(errno);
}

int RunInWindowProgram(const char* what) {
    std::string failure;
    ExecWindowProgram(failure);
    return Failure(std::string(what) + " needs " + kWindowProgramName + ", which cannot be started (" + failure + ")");
}

}  // namespace cli
