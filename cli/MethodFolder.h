#pragma once

#include "core/MethodFile.h"
#include "core/Settings.h"
#include "cli/Command.h"

// The method folder check of the commands that work on methods.
namespace cli {

// Whether the method folder is set, read without writing the settings; when it is not, says so
// on standard error. Without a folder the dialog's method list would search the root folder,
// which a script is better told about.
inline bool MethodFolderIsSet() {
    core::UseApplicationRegistryKey();
    if (!core::MethodFolder().empty()) return true;
    Failure("no method folder is set (the value \"MethodPath\" of HKEY_CURRENT_USER\\" +
            platform::ApplicationKeyPath() + ")");
    return false;
}

}  // namespace cli
