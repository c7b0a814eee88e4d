#pragma once

#include "core/Calc.h"
#include "core/Quality.h"

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

// The calibration protocol: the record a lab files of one calibration. This is its content, in
// plain C++: who made it, where and when, the method, the inputs, one row per level naming the
// chromatogram exactly (file, sample, acquisition time and SHA-256 of its bytes), the figures of
// the calculation and of its judgement, and the chart's arrays. The texts it is printed with are
// decided here too (DescribeProtocol), so that the PDF writer only lays them out; the CSV form of
// the level table is written here (core/ProtocolCsv.h).
namespace core {

// Where and by whom a protocol is made: read from the machine (ReadProtocolOrigin) or given by
// a test.
struct ProtocolOrigin {
    std::string labName;        // "" when the lab has not set one
    std::string operatorLogin;  // the account's login name
    std::string operatorName;   // the full name of the account record; "" when it has none
    std::chrono::sys_seconds madeAt{};
};

// The lab name is the per-machine value "LabName" (a string) of the application key
// HKEY_LOCAL_MACHINE\Software\Tarnwick\Velmora (core::UseApplicationRegistryKey must be in
// force); reading creates no key. The operator is the account of the effective user: its login
// name, and the first comma-separated field of its account record's comment (the GECOS field) as
// the full name. The moment is now.
ProtocolOrigin ReadProtocolOrigin();

// One level's row. A figure that does not exist is not a number (NaN): every figure of a level
// whose file was not read, the coefficient of the blank or of a level that has none, a deviation
// whose divisor is 0.
struct ProtocolLevel {
    double fraction = 0;
    std::string path;      // full path; "" when no chromatogram was chosen
    std::string fileName;  // the last part of the path
    LevelFile file = LevelFile::None;
    std::string sampleName;  // from the passport; "" unless the file was read
    std::optional<std::chrono::sys_seconds> acquired;  // the passport's date and time
    double ethanolArea = 0, standardArea = 0;      // S, Sст
    double ethanolAmount = 0, standardAmount = 0;  // С, Сст
    double coefficient = 0;                        // К
    double deviation = 0;                          // (К − K̄) / K̄ × 100, in percent
    double ethanolRetention = 0, standardRetention = 0;  // retention times of the two peaks taken
    std::string sha256;  // 64 lower-case hex digits of the file's bytes; "" when it cannot be read
    LevelMark mark = LevelMark::None;
};

struct Protocol {
    ProtocolOrigin origin;
    std::string programName;     // "Ostrel"
    std::string programVersion;  // the version the program was built as ("1.1")
    std::string methodTitle;     // the method chosen; "" when none
    std::string methodFile;      // its full path; "" when it is not known
    double nav = 0, nav2 = 0, dolya = 0;
    std::array<ProtocolLevel, CalibrationTable::kLevelCount> levels;
    double averageCoefficient = 0;
    CalibrationQuality quality;
    // The chart's calibration points and line, as the calculation left them.
    std::vector<float> pointsX, pointsY, lineX, lineY;
};

// The protocol of `calibration` as its last ComputeCalibration left it, judged as `quality`, for
// the method `methodTitle` ("" when none is chosen), whose file is named when the method folder
// is set and is a folder (read without creating a key). Hashes each level file that has a path
// (a file that cannot be read has no hash).
Protocol MakeProtocol(const Calibration& calibration, const CalibrationQuality& quality, std::string methodTitle,
                      ProtocolOrigin origin);

// ---- The texts --------------------------------------------------------------------------------

// A label and its value ("Оператор", "Иванов Иван Иванович (ivanov)").
struct ProtocolField {
    std::string label;
    std::string value;
};

// A column of the level table: how the writer sets it. A text column is as wide as its widest
// line (its cells may hold line breaks); a wrapping column gets the room the others leave and
// breaks its texts over lines; numbers are set right, codes in a monospaced type.
struct ProtocolColumn {
    std::string header;
    enum class Kind { Text, Wrapping, Number, Code } kind = Kind::Text;
};

// Everything the printed protocol says, in reading order. "—" stands for a figure that does not
// exist.
struct ProtocolText {
    std::string lab;          // "" when not set: the line is left out
    std::string title;        // "Протокол градуировки"
    std::string determination;  // what the method determines
    std::vector<ProtocolField> about;   // date and time, operator, program
    std::vector<ProtocolField> method;  // the method chosen and its file
    std::string inputsHeading;
    std::vector<ProtocolField> inputs;  // the three inputs with their units
    std::string tableHeading;
    std::vector<ProtocolColumn> columns;
    std::vector<std::vector<std::string>> rows;  // one per level, a text per column
    std::vector<LevelMark> rowMarks;             // how each row is marked
    std::string resultsHeading;
    std::vector<ProtocolField> results;  // K̄, RSD, spread, r², blank ratio, the limit
    bool accepted = false;
    std::string verdict;                // "Калибровка принята" / "Калибровка не принята"
    std::vector<std::string> problems;  // the reasons and remarks, one line each
    std::string chartHeading;
    std::vector<std::string> signatures;  // "Выполнил", "Проверил": a line each
    std::vector<std::string> signatureCaptions;  // what goes on a line: signature, name, date
};

ProtocolText DescribeProtocol(const Protocol& protocol);

// "Стр. N из M".
std::string PageFooter(int page, int pages);

// The texts of figures as the protocol prints them: "%.6g" (point decimals), "—" when not a
// number; a deviation with its sign and two decimals ("+0.85").
std::string ProtocolFigure(double value);
std::string ProtocolDeviation(double value);
// Local date and time, "10.12.2026 14:35:07".
std::string ProtocolDateTime(std::chrono::sys_seconds moment);

// The file name a protocol is saved under by default: "Протокол градуировки <method> <date>
// <time>.pdf" (characters a file name cannot hold replaced by "_").
std::string DefaultProtocolFileName(const Protocol& protocol);

}  // namespace core
