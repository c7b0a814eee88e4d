#pragma once

#include "core/Protocol.h"

#include <string>

// The level table of a protocol as CSV, for spreadsheets and lab information systems.
namespace core {

// RFC 4180: UTF-8 without a byte order mark, lines ended by CR LF, a header row, fields with a
// comma, a quote or a line break quoted (quotes doubled). The columns, one row per level 0 to 4:
//
//   fraction        the level (0, 0.05, 0.1, 0.2, 0.5)
//   file            "read", "unreadable" (chosen but not read whole) or "none" (not chosen)
//   path, fileName  the chromatogram's full path and file name ("" when none)
//   sampleName      from the passport ("" unless read)
//   acquired        the passport's date and time, local, ISO 8601 with the UTC offset
//                   ("2026-12-09T10:00:00+03:00"; "" unless read)
//   ethanolArea, standardArea, ethanolAmount, standardAmount, coefficient, deviation
//                   S, Sст, С, Сст, К and (К − K̄) / K̄ × 100 in percent
//   sha256          the 64 hex digits of the file's SHA-256 ("" when it could not be read)
//
// Numbers have a point before the decimals and every digit needed to read back the same double
// (the shortest such text, "3.6511e-05" included); a figure that does not exist is an empty
// field. A text that a spreadsheet would take for a formula (one starting with =, +, -, @, a tab
// or a carriage return) gets a leading apostrophe, so that opening the table runs nothing a
// chromatogram's sample name or a file name may hold.
std::string LevelTableCsv(const Protocol& protocol);

}  // namespace core
