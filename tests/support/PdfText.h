#pragma once

#include <string>
#include <vector>

// What a PDF says, read by poppler's command-line tools (poppler-utils), independently of the
// Qt code that writes it: the text of its pages, its page count and size, its fonts, and the box of
// every word. Throws std::runtime_error when a tool cannot be run or fails.
namespace fixtures {

// pdftotext -layout of one page (1-based), or of all pages for page 0.
std::string PdfText(const std::string& pdf, int page = 0);

struct PdfInfo {
    int pages = 0;
    double width = 0, height = 0;  // of the first page, in points
    std::string producer, title, creator;
};
PdfInfo ReadPdfInfo(const std::string& pdf);

struct PdfFont {
    std::string name;
    bool embedded = false;
};
std::vector<PdfFont> PdfFonts(const std::string& pdf);

// A word as pdftotext -bbox places it, in points from the page's top left.
struct PdfWord {
    int page = 0;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    std::string text;
};
std::vector<PdfWord> PdfWords(const std::string& pdf);

// pdftoppm: the first page as a PNG of `dpi` dots per inch.
void RenderFirstPage(const std::string& pdf, const std::string& png, int dpi);

// A command's standard output; throws when it exits other than 0.
std::string CommandOutput(const std::string& command);
// A text quoted for the shell.
std::string ShellQuoted(const std::string& text);

// RFC 4180 fields, row by row (quoted fields unquoted, "" read as "). Throws on a malformed
// table (a quote inside an unquoted field, an unterminated quote, a line not ended by CR LF).
std::vector<std::vector<std::string>> ParseCsv(const std::string& text);

}  // namespace fixtures
