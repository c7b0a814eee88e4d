#include "report/Pagination.h"

namespace report {

Pagination PlaceOnPages(const std::vector<BlockExtent>& blocks, double room, double gap) {
    Pagination result;
    int page = 1;
    double y = 0;
    for (const BlockExtent& block : blocks) {
        if (y > 0 && y + block.height > room) {
            ++page;
            y = 0;
        }
        result.places.push_back({page, y});
        y += block.height + (block.gapAfter ? gap : 0);
    }
    result.pages = page;
    return result;
}

}  // namespace report
