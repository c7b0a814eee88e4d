#pragma once

#include <optional>
#include <string>
#include <string_view>

// Writing a document (a protocol, a table) whole or not at all.
namespace core {

// Writes `bytes` as the file `path`: into a new temporary file in the same folder (a hidden
// name of its own, made with the permissions 0666 less the umask), synced, then renamed over
// `path` and the folder synced. A file already at `path` is replaced only at that rename, so a
// reader sees the old document or the new one, never part of one, and a failed write leaves no
// file under the final name (nor the temporary one). Nothing when written; otherwise why not, as
// the system says it ("Permission denied", "Not a directory"...), after the path.
std::optional<std::string> ReplaceFileContents(const std::string& path, std::string_view bytes);

}  // namespace core
