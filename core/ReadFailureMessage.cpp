#include "core/ReadFailureMessage.h"

namespace core {

Message ReadFailureMessage(chromatogram::ReadFailure::Kind kind) {
    using Kind = chromatogram::ReadFailure::Kind;
    const char* text = "";
    switch (kind) {
    case Kind::None: return Message::Data("");
    case Kind::NotFound: text = QT_TRANSLATE_NOOP("ReadFailure", "файл не найден"); break;
    case Kind::AccessDenied: text = QT_TRANSLATE_NOOP("ReadFailure", "нет доступа к файлу"); break;
    case Kind::Locked: text = QT_TRANSLATE_NOOP("ReadFailure", "файл занят другой программой"); break;
    case Kind::NotChromatogram: text = QT_TRANSLATE_NOOP("ReadFailure", "это не файл хроматограммы"); break;
    case Kind::Damaged: text = QT_TRANSLATE_NOOP("ReadFailure", "файл повреждён"); break;
    }
    return Message{"ReadFailure", text, {}};
}

}  // namespace core
