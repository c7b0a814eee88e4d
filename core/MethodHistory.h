#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

// The kept copies of the methods: before a method file is changed its bytes are kept in
//
//     $XDG_DATA_HOME/Tarnwick/Ostrel/methods/<title>/<UTC time as YYYYMMDDTHHMMSSZ>.mtd
//
// (XDG_DATA_HOME defaulting to ~/.local/share), never in the data system's method folder. A
// second copy in the same second is named "<time>-1.mtd", then "-2" and so on: no copy ever
// replaces another. Copies are made read-only.
namespace core {

// Ostrel's own data folder, $XDG_DATA_HOME/Tarnwick/Ostrel, from the environment at the moment
// of the call (an XDG_DATA_HOME that is not an absolute path is ignored, as XDG says). "" when
// there is no home folder either.
std::string DataFolder();

// The folder of the kept copies of the method `title` ("" when there is no data folder).
std::string MethodHistoryFolder(std::string_view title);

struct KeptCopy {
    std::string path;
    std::string stamp;  // "20261210T101500Z"
    int sequence = 0;   // 0, then 1, 2... for more copies in the same second
};

// The kept copies of the method `title`, oldest first (by the time in their names, then their
// sequence). Files whose names are not of that form are not copies.
std::vector<KeptCopy> ListKeptCopies(std::string_view title);

// "20261210T101500Z": the UTC second of `moment`.
std::string CopyStamp(std::chrono::system_clock::time_point moment);

// Keeps `bytes` as a new copy of the method `title` made at `moment`. The bytes go into a hidden
// temporary file in the copies' folder, which is synced and then linked under the copy's name
// (a kill before that leaves no copy, only the hidden file) and the folder synced: a copy that
// exists is whole and durable. Returns the copy's path, or "" when it could not be kept.
std::string KeepCopy(std::string_view title, std::string_view bytes, std::chrono::system_clock::time_point moment);

}  // namespace core
