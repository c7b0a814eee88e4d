// ostrel-cli pick [--single]: the open dialog, for a script that lets an operator choose files.
#include "core/Settings.h"
#include "cli/Command.h"
#include "cli/Json.h"
#include "selection/OpenChrmDlg.h"

#include <QApplication>

#include <cstdlib>
#include <string_view>

namespace {

constexpr const char* kHelp =
    "Opens the dialog \"Открытие хроматограммы\" as the level buttons of the main dialog do, on the\n"
    "folder it showed last, and prints the chosen files as a JSON array of full paths in list order\n"
    "([] when nothing was chosen). Like the dialog, it stores the folders it showed when the\n"
    "operator presses \"Открыть\". Needs a display (DISPLAY or WAYLAND_DISPLAY, and QT_QPA_PLATFORM\n"
    "not offscreen or minimal); runs in ostrel-cli-gui.\n"
    "\n"
    "options:\n"
    "  --single   at most one file may be chosen\n"
    "\n"
    "exit status: 0 files were chosen; 1 the dialog was cancelled or there is no display;\n"
    "2 usage error.\n";

// The dialog waits for an operator, so it needs a screen one can see: an off-screen platform
// would leave it waiting for ever.
bool DisplayAvailable() {
    if (const char* platform = std::getenv("QT_QPA_PLATFORM"); platform && *platform) {
        const std::string_view name = platform;
        return name.substr(0, name.find(':')) != "offscreen" && name.substr(0, name.find(':')) != "minimal";
    }
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY");
}

int RunPick(std::span<const std::string> args) {
    bool singleSelection = false;
    for (const std::string& arg : args) {
        if (arg != "--single") return cli::UsageError("pick", "unknown argument '" + arg + "'");
        singleSelection = true;
    }
    cli::JsonWriter json;
    json.BeginArray();
    if (!DisplayAvailable()) {
        cli::Failure("pick needs a display to show the dialog on");
        cli::PrintJson(json.EndArray());
        return cli::kExitFailed;
    }

    core::UseApplicationRegistryKey();
    static int argc = 1;
    static char name[] = "ostrel-cli";
    static char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    COpenChrmDlg dialog;
    const bool opened = dialog.Run(singleSelection) == 1;
    if (opened)
        for (int i = 0; i < dialog.SelectedCount(); ++i) json.String(dialog.SelectedPath(i));
    else
        cli::Failure("nothing was chosen (the dialog was closed)");
    cli::PrintJson(json.EndArray());
    return opened ? cli::kExitOk : cli::kExitFailed;
}

const cli::Registrar registrar{{"pick", "pick [--single]", RunPick, kHelp}};

}  // namespace
