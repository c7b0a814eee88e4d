#pragma once

// Named points on the way of a method write (keeping the copy, recording, patching), where a
// test can stop the process to show that a kill at that moment leaves the method, its copy and
// the audit trail consistent. Without a hook, passing a point does nothing.
namespace core {

using WriteStepHook = void (*)(const char* step);

// Installs `hook` (nullptr: none); returns the one it replaces.
WriteStepHook SetWriteStepHook(WriteStepHook hook);

bool WriteStepHookInstalled();

// Called by the write at each point: "backup-partial" (half of a copy's bytes written),
// "backup-kept", "attempt-partial" (half of the line recording the attempt written),
// "attempt-recorded", "method-partial" (half of a restore's new file written), "method-written",
// "outcome-partial", "outcome-recorded".
void PassWriteStep(const char* step);

}  // namespace core
