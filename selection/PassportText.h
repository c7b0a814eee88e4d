#pragma once

#include "chromatogram/FolderScan.h"
#include "chromatogram/Passport.h"

#include <string>

// A chromatogram's passport as the open dialog's passport box shows it: one line per fact the
// operator chooses a file by, in this order:
//
//     Проба: Градуировка 0.1
//     Метод: Этанол
//     Пункт отбора: Цех 1
//     Точка отбора: Кран 2
//     Дата и время: 15.11.2023 12:00:00
//     Тип: градуировка
//
// Lines end in "\n" but the last. An empty text shows as "—"; the time is local; the type is
// "градуировка" for a calibration run and "анализ" otherwise. UTF-8. The captions and the type
// are in the language the program speaks (these are the Russian ones).
std::string PassportText(const chromatogram::Passport& passport);
// The same of a file as the folder scan read it (a readable one: ScannedFile::readable).
std::string PassportText(const chromatogram::ScannedFile& file);
