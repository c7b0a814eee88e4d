#pragma once

#include <string>

namespace core {
class Calibration;
struct CalibrationQuality;
}  // namespace core

class QWidget;

// The main dialog's side of writing a method: "Сохранить в метод" and "Отменить запись".
// Every box goes through ShowChoiceBox (app/MessageBoxes.h), so tests see and answer them.

// Writes the calibration's average coefficient into the method `title` ("" when none is chosen),
// through the confirmed path:
//   - refused with a message, nothing written, when a field does not hold a number within its
//     range (`fieldsAcceptable`: what is written is always made of what the fields show, and of
//     sensible masses), no level has a chromatogram that was read, the average is not a finite number above 0, or there is no
//     method to write into (no method folder, or none chosen);
//   - otherwise a confirmation names the method and its file, the coefficient stored in it now,
//     the new one with every digit that is written, and the verdict with its problems; for a
//     calibration that is not accepted it warns plainly and its default button writes nothing;
//   - then the outcome is told: written (old → new, and where the method was kept), or exactly
//     why nothing was written.
void SaveToMethodConfirmed(QWidget* parent, const std::string& title, bool fieldsAcceptable,
                           const core::Calibration& calibration, const core::CalibrationQuality& quality);

// Puts the newest kept copy of the method `title` back, after a confirmation that names the copy
// and the coefficient now and after; tells the outcome. The restore keeps the present method
// too, so it can itself be undone.
void UndoLastMethodWrite(QWidget* parent, const std::string& title);
