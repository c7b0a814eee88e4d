#pragma once

#include "core/Protocol.h"

#include <optional>
#include <string>

class QByteArray;

// The protocol as a PDF document: A4 portrait (report/ProtocolPainter.h), fonts embedded as
// subsets, texts searchable, the title and the program recorded in the document's information.
// Needs a QGuiApplication (fonts).
QByteArray ProtocolPdf(const core::Protocol& protocol);

// Writes the protocol to `path` whole or not at all (core/FileReplace.h). Nothing when written;
// otherwise why not. Needs a QGuiApplication.
std::optional<std::string> WriteProtocolPdf(const std::string& path, const core::Protocol& protocol);
