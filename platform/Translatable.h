#pragma once

// Marks a text of the plain C++ layers that a window shows, so that lupdate collects it into
// the translations (translations/ostrel_*.ts) under `context`; the text itself stays as written
// (Russian) wherever it is stored, printed or compared. A window shows it translated with
// QCoreApplication::translate(context, text). The definition is Qt's own, spelt the same, so
// that either may come first.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif
