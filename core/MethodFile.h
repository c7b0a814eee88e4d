#pragma once

#include "platform/XTPRegistryManager.h"

#include <string>
#include <string_view>
#include <vector>

// The analysis methods of the data system: files "<title>.mtd" in the method folder, whose
// location the data system keeps in the value "MethodPath" of the application key (read afresh
// on every call, never written).
namespace core {

// The method folder, "MethodPath" of the application key; "" when it is not set. The dialog's
// read creates the application key when it is missing; ExistingKeysOnly never writes.
std::string MethodFolder(platform::SectionReading reading = platform::SectionReading::CreateMissingKeys);

// The titles of the method files, in the order of the folder search; folders are skipped.
std::vector<std::string> ListMethodTitles();

// Writes `coefficient` into the method's ethanol record: the 8 bytes of the double at p + 31 and
// the 32-bit value 1 at p + 43, p being the first occurrence of the component name "этанол" with
// its length byte (06 FD F2 E0 ED EE EB). Only bytes that lie within the file are written; the
// file keeps its length. Returns whether anything was patched: false when the file cannot be
// opened for reading and writing without sharing, holds no ethanol record, or the write fails.
// The dialog ignores the result, as nothing is shown either way.
bool SaveToMethod(std::string_view title, double coefficient);

}  // namespace core
