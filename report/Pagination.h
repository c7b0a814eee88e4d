#pragma once

#include <vector>

// Which page each block of the protocol goes on, and where. Pure arithmetic over the blocks'
// heights; no Qt.
namespace report {

struct BlockExtent {
    double height = 0;
    bool gapAfter = true;  // the gap between blocks follows this one
};

struct PagePlace {
    int page = 1;    // from 1
    double top = 0;  // from the top of the page's printable area
};

struct Pagination {
    std::vector<PagePlace> places;  // one per block, in order
    int pages = 1;                  // at least 1, for the footer of an empty protocol
};

// Blocks one after another down pages of `room` height, `gap` after each that asks for it. A
// block that does not fit in the room left moves whole to a new page, unless it is the first on
// its page (a block taller than a page then runs over the footer rather than being lost).
Pagination PlaceOnPages(const std::vector<BlockExtent>& blocks, double room, double gap);

}  // namespace report
