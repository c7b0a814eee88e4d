#pragma once

#include "core/Protocol.h"

class QPagedPaintDevice;
class QPainter;

// The protocol's page layout: A4 portrait, margins 20 mm on the left (for filing) and 15 mm
// elsewhere. Set on a PDF writer or a printer before painting.
void SetUpProtocolPage(QPagedPaintDevice& device);

// Lays the protocol out on the pages of `device` and paints it with `painter`, which is active
// on the device at its first page; further pages are started on the device. Every text is real
// text; the chart is the main dialog's chart drawn as vector graphics. Blocks that do not fit on a
// page move whole to the next; every page gets the footer "Стр. N из M". Names too long for
// their column wrap and, past three lines, end in an ellipsis. Sizes are taken in points and
// millimetres from the device's resolution; at 96 dots per inch a one-pixel line of the chart
// is 0.75 pt wide. Returns the number of pages painted.
int PaintProtocol(QPainter& painter, QPagedPaintDevice& device, const core::Protocol& protocol);
