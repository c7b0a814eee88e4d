#pragma once

#include <string>
#include <string_view>

// Texts are held as UTF-8 std::string throughout the program. Files written on Windows carry
// Windows-1251 or UTF-16LE texts; these functions turn them into UTF-8 and compare texts the
// way the Windows program compared them: ignoring case.
namespace platform {

// Windows-1251 bytes to UTF-8. Every byte maps to a character, so every text round-trips
// through EncodeWindows1251 (the unassigned 0x98 maps to the control character U+0098).
std::string DecodeWindows1251(std::string_view bytes);

// UTF-8 to Windows-1251 bytes; characters the code page lacks become '?'. Used where bytes
// must be produced in the Windows code page (fixtures, byte patterns).
std::string EncodeWindows1251(std::string_view utf8);

// UTF-16LE bytes (2 per code unit; a trailing odd byte is ignored) to UTF-8; an unpaired
// surrogate becomes U+FFFD, so no text is ever lost to a conversion error.
std::string DecodeUtf16Le(std::string_view bytes);

// Case-insensitive three-way comparison by full Unicode case folding, in code point order:
// negative, zero or positive. "Этанол", "этанол" and "ЭТАНОЛ" compare equal. Invalid UTF-8
// is compared as U+FFFD.
int CompareIgnoreCase(std::string_view a, std::string_view b);
inline bool EqualIgnoreCase(std::string_view a, std::string_view b) { return CompareIgnoreCase(a, b) == 0; }

// The full case folding of a text: two texts are equal under CompareIgnoreCase exactly when their
// foldings are equal, so a folding serves as the key of a case-insensitive set or map.
std::string FoldCase(std::string_view utf8);

// Upper-case mapping of the whole text (root locale).
std::string ToUpper(std::string_view utf8);

// Number of characters (code points) of a UTF-8 text.
std::size_t CharacterCount(std::string_view utf8);

}  // namespace platform
