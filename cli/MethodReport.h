#pragma once

#include "core/MethodWrite.h"

// What save-method and restore-method print about a method change: a JSON object on standard
// output and the audit trail's notices on standard error. Returns the exit status: 0 when the
// method was changed, 1 when nothing was.
namespace cli {

int PrintMethodReport(const core::MethodWriteReport& report, bool restore);

}  // namespace cli
