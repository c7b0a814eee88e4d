#include "support/PdfText.h"

#include <cstdio>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace fixtures {

std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string CommandOutput(const std::string& command) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot run " + command);
    std::string output;
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    const int status = ::pclose(pipe);
    if (status != 0) throw std::runtime_error(command + " failed with status " + std::to_string(status));
    return output;
}

std::string PdfText(const std::string& pdf, int page) {
    std::string pages;
    if (page > 0) pages = " -f " + std::to_string(page) + " -l " + std::to_string(page);
    return CommandOutput("pdftotext -enc UTF-8 -layout" + pages + " " + ShellQuoted(pdf) + " -");
}

PdfInfo ReadPdfInfo(const std::string& pdf) {
    const std::string text = CommandOutput("pdfinfo -enc UTF-8 " + ShellQuoted(pdf));
    PdfInfo info;
    std::istringstream lines(text);
    const auto value = [](const std::string& line) {
        const std::size_t colon = line.find(':');
        const std::size_t start = line.find_first_not_of(' ', colon + 1);
        return start == std::string::npos ? std::string() : line.substr(start);
    };
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("Pages:", 0) == 0) info.pages = std::stoi(value(line));
        if (line.rfind("Producer:", 0) == 0) info.producer = value(line);
        if (line.rfind("Creator:", 0) == 0) info.creator = value(line);
        if (line.rfind("Title:", 0) == 0) info.title = value(line);
        std::smatch m;
        static const std::regex size(R"(Page size:\s+([0-9.]+) x ([0-9.]+) pts)");
        if (std::regex_search(line, m, size)) {
            info.width = std::stod(m[1]);
            info.height = std::stod(m[2]);
        }
    }
    return info;
}

std::vector<PdfFont> PdfFonts(const std::string& pdf) {
    // name  type  encoding  emb  sub  uni  object ID: the name is the first column, and the
    // embedded flag the fourth word from the end ("yes"/"no") before sub, uni and the ID (two).
    const std::string text = CommandOutput("pdffonts " + ShellQuoted(pdf));
    std::vector<PdfFont> fonts;
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);
    std::getline(lines, line);  // the header and its rule
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;) w.push_back(word);
        if (w.size() < 6) continue;
        fonts.push_back({w.front(), w[w.size() - 5] == "yes"});
    }
    return fonts;
}

std::vector<PdfWord> PdfWords(const std::string& pdf) {
    const std::string html = CommandOutput("pdftotext -enc UTF-8 -bbox " + ShellQuoted(pdf) + " -");
    std::vector<PdfWord> words;
    int page = 0;
    static const std::regex word(
        R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)</word>)re");
    std::istringstream lines(html);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("<page ") != std::string::npos) ++page;
        std::smatch m;
        if (std::regex_search(line, m, word))
            words.push_back({page, std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4]), m[5]});
    }
    return words;
}

void RenderFirstPage(const std::string& pdf, const std::string& png, int dpi) {
    std::string base = png;
    if (base.size() > 4 && base.substr(base.size() - 4) == ".png") base.resize(base.size() - 4);
    CommandOutput("pdftoppm -png -singlefile -f 1 -l 1 -r " + std::to_string(dpi) + " " + ShellQuoted(pdf) + " " +
                  ShellQuoted(base));
}

std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    std::size_t i = 0;
    bool fieldStarted = false;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '"' && !fieldStarted) {
            fieldStarted = true;
            for (++i;; ++i) {
                if (i >= text.size()) throw std::runtime_error("CSV: unterminated quote");
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text[i];
            }
            if (i < text.size() && text[i] != ',' && text[i] != '\r') throw std::runtime_error("CSV: text after a quote");
            continue;
        }
        if (c == ',') {
            row.push_back(std::move(field));
            field.clear();
            fieldStarted = false;
            ++i;
            continue;
        }
        if (c == '\r') {
            if (i + 1 >= text.size() || text[i + 1] != '\n') throw std::runtime_error("CSV: CR without LF");
            row.push_back(std::move(field));
            field.clear();
            fieldStarted = false;
            rows.push_back(std::move(row));
            row.clear();
            i += 2;
            continue;
        }
        if (c == '\n') throw std::runtime_error("CSV: LF without CR");
        if (c == '"') throw std::runtime_error("CSV: quote inside an unquoted field");
        fieldStarted = true;
        field += c;
        ++i;
    }
    if (fieldStarted || !row.empty()) throw std::runtime_error("CSV: the last line is not ended by CR LF");
    return rows;
}

}  // namespace fixtures
