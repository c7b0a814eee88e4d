#include "selection/SortStringArray.h"

#include "platform/Text.h"

#include <algorithm>

void CSortStringArray::Sort() {
    // A stable sort gives the very order that passes of neighbour swaps give (equal strings keep
    // their order), without their quadratic time on a folder with thousands of subfolders.
    std::stable_sort(begin(), end(), [](const std::string& a, const std::string& b) {
        return platform::CompareIgnoreCase(a, b) < 0;
    });
}
