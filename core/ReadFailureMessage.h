#pragma once

#include "chromatogram/Errors.h"
#include "core/Message.h"

namespace core {

// Why a chromatogram file could not be read, in the operator's words: "файл не найден", "нет
// доступа к файлу", "файл занят другой программой", "это не файл хроматограммы", "файл
// повреждён". A template of the translation context "ReadFailure"; for kind None an empty text.
// The main dialog's rows and verdict, a level's chromatogram window and the open dialog's
// preview all say it so.
Message ReadFailureMessage(chromatogram::ReadFailure::Kind kind);

}  // namespace core
