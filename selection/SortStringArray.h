#pragma once

#include <string>
#include <vector>

// A string array that sorts itself in place, ascending, ignoring case (by case folding of the
// whole strings, not by locale collation). Strings that compare equal keep their order.
class CSortStringArray : public std::vector<std::string> {
public:
    using std::vector<std::string>::vector;

    void Sort();
};
