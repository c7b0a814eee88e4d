#pragma once

#include "chromatogram/ChmFile.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QWidget;

// "Экспорт…" of a level's chromatogram window: the chromatogram shown, written for other
// programs as an ANDI/AIA netCDF file (core/AndiExport.h) or as CSV (core/CsvExport.h), whichever
// the name the operator chooses ends in (".csv" for CSV, anything else netCDF). The file chooser
// goes through a function tests replace; the outcome is told through ShowChoiceBox
// (app/MessageBoxes.h).

// Where the operator saves the export: the full path, or nothing when cancelled. By default a save
// dialog for both kinds that starts at `suggestedPath` and asks before it replaces a file.
using ExportPathChooser = std::function<std::optional<QString>(QWidget* parent, const QString& suggestedPath)>;
// Puts `function` in place (an empty one brings the default back) and returns the one replaced.
ExportPathChooser SetExportPathChooser(ExportPathChooser function);

// Asks for the path, then writes on a worker thread of its own, never on the window's thread (the
// folder may be on a slow share); the file is written whole or not at all, and a write once begun
// is never given up. `finished` runs on the window's thread when it is done, with nothing or the
// reason it failed, and only while `parent` still exists (a window closed meanwhile is told
// nothing); by then the outcome has been shown. False when the operator cancelled (`finished`
// is then not called).
bool OfferChromatogramExport(QWidget* parent, std::shared_ptr<const chromatogram::ChromatogramFile> file,
                             std::function<void(const std::optional<std::string>& failure)> finished);
