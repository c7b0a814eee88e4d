#include "core/WriteSteps.h"

#include <utility>

namespace core {

namespace {
WriteStepHook installedHook = nullptr;
}

WriteStepHook SetWriteStepHook(WriteStepHook hook) { return std::exchange(installedHook, hook); }

bool WriteStepHookInstalled() { return installedHook != nullptr; }

void PassWriteStep(const char* step) {
    if (installedHook) installedHook(step);
}

}  // namespace core
