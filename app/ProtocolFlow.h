#pragma once

#include "core/Protocol.h"

#include <QString>

#include <functional>
#include <optional>
#include <string>

namespace core {
class Calibration;
}

class QPrinter;
class QWidget;

// The main dialog's "Протокол…": the calibration protocol saved as a PDF or printed. The question
// and the messages go through ShowChoiceBox (app/MessageBoxes.h); the file chooser and the print
// dialog through functions tests replace.

// Where the operator saves the PDF: the full path, or nothing when cancelled. By default a save
// dialog for PDF files that starts at `suggestedPath` and asks before it replaces a file.
using ProtocolPathChooser = std::function<std::optional<QString>(QWidget* parent, const QString& suggestedPath)>;
// Whether to print on `printer`, once the operator has chosen the printer and its settings. By
// default the system's print dialog.
using PrintSetup = std::function<bool(QWidget* parent, QPrinter& printer)>;
// Each puts `function` in place (an empty one brings the default back) and returns the one replaced.
ProtocolPathChooser SetProtocolPathChooser(ProtocolPathChooser function);
PrintSetup SetPrintSetup(PrintSetup function);

// The protocol of what the dialog holds: its inputs and level paths computed afresh at this
// moment (so the figures, the passports and the hashes come from the files as they are now,
// whatever changed since the dialog last read them), judged under `maxSpread` and
// `maxRetentionShift`, for the method `methodTitle` ("" when none is chosen).
core::Protocol MakeDialogProtocol(const core::Calibration& state, double maxSpread, double maxRetentionShift,
                                  const std::string& methodTitle);

// "Протокол…": makes the protocol, asks whether to save it as a PDF or print it, and does so. A
// PDF is written whole or not at all (a file of that name stays as it was); a failure to save or
// to print is told with its reason. Refused with a message, and nothing made, while a field does
// not hold a number within its range (`fieldsAcceptable`): the protocol's inputs are always the
// ones the fields show.
void OfferProtocol(QWidget* parent, const core::Calibration& state, double maxSpread, double maxRetentionShift,
                   const std::string& methodTitle, bool fieldsAcceptable);
