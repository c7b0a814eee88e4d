#pragma once

#include <optional>
#include <string>

namespace core {
class Calibration;
struct Protocol;
}

// ostrel-cli comes as two programs. ostrel-cli itself is plain C++ over the calibration core and
// the chromatogram reader: it never loads Qt, so the commands that only read and compute start as
// fast as a small C++ program does. ostrel-cli-gui, installed beside it, is the same program
// linked with the drawing and window code (Qt) as well: it has every command, besides those of
// cli/gui/ that draw or open windows (pick), and the drawing services below. ostrel-cli hands a
// command line it cannot serve (an unknown command, a command's option that draws) over to
// ostrel-cli-gui whole, by exec, so the caller sees one program with one exit status.
namespace cli {

inline constexpr const char* kWindowProgramName = "ostrel-cli-gui";

// main() keeps its arguments here for ExecWindowProgram.
void RememberCommandLine(char** argv);

// Whether this process is ostrel-cli-gui.
bool IsWindowProgram();

// Replaces this process by ostrel-cli-gui with the same arguments: the one beside this program's
// executable (the build tree), else the one in the program's private folder (installed:
// bin/../libexec/ostrel). Returns only when that fails, with the reason in `failure`.
void ExecWindowProgram(std::string& failure);

// For a command whose options ask for drawing: in ostrel-cli, execs ostrel-cli-gui, and should
// that fail, says so on standard error and returns kExitFailed. Never called in ostrel-cli-gui.
int RunInWindowProgram(const char* what);

// Drawing that plain commands may ask for: offered by cli/gui/ in ostrel-cli-gui, absent (null)
// in ostrel-cli. Call RunInWindowProgram when a service is null.
struct Drawing {
    // The main dialog's calibration chart of `calibration` as a PNG of width x height pixels,
    // written whole or not at all; nothing when written, otherwise why not.
    std::optional<std::string> (*writeCalibrationChart)(const std::string& path, const core::Calibration& calibration,
                                                        int width, int height) = nullptr;
    // The calibration protocol as a PDF (report/ProtocolPdf.h), written whole or not at all;
    // nothing when written, otherwise why not.
    std::optional<std::string> (*writeProtocolPdf)(const std::string& path, const core::Protocol& protocol) = nullptr;
};
const Drawing& TheDrawing();

// Static registration of ostrel-cli-gui's services, by one file of cli/gui/; it also makes
// IsWindowProgram() true.
struct WindowProgramRegistrar {
    explicit WindowProgramRegistrar(Drawing drawing);
};

}  // namespace cli
