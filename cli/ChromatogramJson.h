#pragma once

#include "chromatogram/ChmFile.h"
#include "cli/Json.h"

// JSON of the chromatogram data, shared by the subcommands that print it.
namespace cli {

// Every field of the passport by its name, in record order; times as seconds since 1970.
void WritePassport(JsonWriter& json, const chromatogram::Passport& passport);
// The peaks in table order, each with every stored and computed field.
void WritePeaks(JsonWriter& json, const chromatogram::PeakTable& peaks);
// (key, value) pairs as an array of two-element arrays.
void WriteAttributes(JsonWriter& json, const chromatogram::Attributes& attributes);
// The members "signal", "peaks", "tableAttributes" and "passport" of the object's state.
void WriteChromatogramState(JsonWriter& json, const chromatogram::ChromatogramFile& file);

}  // namespace cli
