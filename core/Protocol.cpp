#include "core/Protocol.h"

#include "core/MethodFile.h"
#include "core/NumberText.h"
#include "core/Sha256.h"
#include "platform/Account.h"
#include "platform/Registry.h"
#include "platform/XTPRegistryManager.h"

#include <unistd.h>

#include <cmath>
#include <ctime>
#include <filesystem>
#include <limits>
#include <utility>

#ifndef OSTREL_VERSION
#define OSTREL_VERSION "0"
#endif

namespace core {

namespace {

constexpr const char* kLabNameValue = "LabName";
constexpr const char* kProgramName = "Ostrel";
constexpr int kFigurePrecision = 6;
constexpr int kFirstLevel = 1;
constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();

std::string FileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// The first comma-separated field of an account record's comment: the full name, by the
// convention of chfn and finger.
std::string FullNameOf(const char* gecos) {
    if (!gecos) return {};
    const std::string field(gecos);
    return field.substr(0, field.find(','));
}

std::string LocalTime(std::chrono::sys_seconds moment, const char* format) {
    const std::time_t t = std::chrono::system_clock::to_time_t(moment);
    std::tm local{};
    if (!localtime_r(&t, &local)) return kNoFigure;
    char text[64];
    const std::size_t n = std::strftime(text, sizeof text, format, &local);
    return n == 0 ? std::string(kNoFigure) : std::string(text, n);
}

ProtocolLevel LevelRow(const Calibration& c, const CalibrationQuality& q, int k) {
    const CalibrationLevel& level = c.table[k];
    ProtocolLevel row;
    row.fraction = level.fraction;
    row.path = level.path;
    row.fileName = FileName(level.path);
    row.file = level.file;
    row.mark = q.levelMarks[static_cast<std::size_t>(k)];
    if (!level.path.empty()) row.sha256 = Sha256OfFile(level.path).value_or("");
    if (level.file != LevelFile::Read) {
        row.ethanolArea = row.standardArea = row.ethanolAmount = row.standardAmount = kNotANumber;
        row.coefficient = row.deviation = kNotANumber;
        row.ethanolRetention = row.standardRetention = kNotANumber;
        return row;
    }
    row.sampleName = level.sampleName;
    row.acquired = level.acquired;
    row.ethanolArea = level.ethanolArea;
    row.standardArea = level.standardArea;
    row.ethanolAmount = level.ethanolAmount;
    row.standardAmount = level.standardAmount;
    row.ethanolRetention = level.ethanolRetention;
    row.standardRetention = level.standardRetention;
    // The blank has no coefficient, and a level whose coefficient could not be computed shows
    // none rather than the 0 the calculation keeps in its place.
    row.coefficient = k >= kFirstLevel && level.coefficient > 0 ? level.coefficient : kNotANumber;
    row.deviation = k >= kFirstLevel ? q.deviations[static_cast<std::size_t>(k - kFirstLevel)] : kNotANumber;
    return row;
}

std::string OperatorText(const ProtocolOrigin& origin) {
    if (origin.operatorName.empty()) return origin.operatorLogin.empty() ? kNoFigure : origin.operatorLogin;
    if (origin.operatorLogin.empty() || origin.operatorLogin == origin.operatorName) return origin.operatorName;
    return origin.operatorName + " (" + origin.operatorLogin + ")";
}

// The date over the time, for a narrow column.
std::string StackedDateTime(std::chrono::sys_seconds moment) { return LocalTime(moment, "%d.%m.%Y\n%H:%M:%S"); }

std::string Or(const std::string& text, const char* instead) { return text.empty() ? instead : text; }

std::vector<std::string> LevelCells(const ProtocolLevel& level) {
    std::string sample = level.sampleName;
    if (level.file == LevelFile::Unreadable) sample = "Ошибка чтения";
    if (level.file == LevelFile::None) sample = kNoFigure;
    return {
        ProtocolFigure(level.fraction),
        level.path.empty() ? "не выбран" : level.fileName,
        sample,
        level.acquired ? StackedDateTime(*level.acquired) : kNoFigure,
        ProtocolFigure(level.ethanolArea),
        ProtocolFigure(level.standardArea),
        ProtocolFigure(level.ethanolAmount),
        ProtocolFigure(level.standardAmount),
        ProtocolFigure(level.coefficient),
        ProtocolDeviation(level.deviation),
        ProtocolFigure(level.ethanolRetention) + "\n" + ProtocolFigure(level.standardRetention),
        level.sha256.empty() ? kNoFigure : level.sha256.substr(0, 16),
    };
}

// A name a file may be saved under on any file system the lab shares: no folder separators,
// none of the characters other systems refuse, no control characters.
std::string SafeFileNamePart(const std::string& text) {
    std::string safe;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool refused = byte < 0x20 || byte == 0x7F || std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos;
        safe += refused ? '_' : c;
    }
    return safe;
}

}  // namespace

ProtocolOrigin ReadProtocolOrigin() {
    ProtocolOrigin origin;
    const std::string application = platform::ApplicationKeyPath();
    if (!application.empty()) {
        if (const std::optional<platform::RegistryKey> key =
                platform::RegistryKey::Open(platform::RootKey::LocalMachine, application, platform::RegistryKey::Access::Read))
            platform::ReadRegString(origin.labName, *key, kLabNameValue, "");
    }
    // The same account and login name as the audit trail's "user".
    origin.operatorLogin = platform::LoginName();
    origin.operatorName = FullNameOf(platform::UserAccount().gecos.c_str());
    origin.madeAt = std::chrono::time_point_cast<std::chrono::seconds>(std::chrono::system_clock::now());
    return origin;
}

Protocol MakeProtocol(const Calibration& calibration, const CalibrationQuality& quality, std::string methodTitle,
                      ProtocolOrigin origin) {
    Protocol p;
    p.origin = std::move(origin);
    p.programName = kProgramName;
    p.programVersion = OSTREL_VERSION;
    p.methodTitle = std::move(methodTitle);
    if (!p.methodTitle.empty() && CheckMethodFolder() == MethodFault::None) p.methodFile = MethodFilePath(p.methodTitle);
    p.nav = calibration.nav;
    p.nav2 = calibration.nav2;
    p.dolya = calibration.dolya;
    for (int k = 0; k < CalibrationTable::kLevelCount; ++k)
        p.levels[static_cast<std::size_t>(k)] = LevelRow(calibration, quality, k);
    p.averageCoefficient = calibration.averageCoefficient;
    p.quality = quality;
    p.pointsX = calibration.pointsX;
    p.pointsY = calibration.pointsY;
    p.lineX = calibration.lineX;
    p.lineY = calibration.lineY;
    return p;
}

ProtocolText DescribeProtocol(const Protocol& p) {
    ProtocolText t;
    t.lab = p.origin.labName;
    t.title = "Протокол градуировки";
    t.determination = "Определение этанола, внутренний стандарт изопропанол (ГОСТ 25742.4-83)";
    t.about = {
        {"Дата и время", ProtocolDateTime(p.origin.madeAt)},
        {"Оператор", OperatorText(p.origin)},
        {"Программа", p.programName + " " + p.programVersion},
    };
    t.method = {
        {"Метод", Or(p.methodTitle, "не выбран")},
        {"Файл метода", Or(p.methodFile, kNoFigure)},
    };
    t.inputsHeading = "Исходные данные";
    t.inputs = {
        {"Масса навески этанола, г", ProtocolFigure(p.nav)},
        {"Масса навески изопропанола, г", ProtocolFigure(p.nav2)},
        {"Массовая доля основного вещества, %", ProtocolFigure(p.dolya)},
    };
    t.tableHeading = "Уровни градуировки";
    using Kind = ProtocolColumn::Kind;
    t.columns = {
        {"Уровень", Kind::Number},  {"Файл", Kind::Wrapping},  {"Проба", Kind::Wrapping},
        {"Регистрация", Kind::Text}, {"S", Kind::Number},      {"Sст", Kind::Number},
        {"С", Kind::Number},            {"Сст", Kind::Number},     {"К", Kind::Number},
        {"Откл., %", Kind::Number},     {"tR эт./ст.", Kind::Text}, {"SHA-256 (начало)", Kind::Code},
    };
    for (const ProtocolLevel& level : p.levels) {
        t.rows.push_back(LevelCells(level));
        t.rowMarks.push_back(level.mark);
    }
    t.resultsHeading = "Результаты";
    const CalibrationQuality& q = p.quality;
    t.results = {
        {"Средний градуировочный коэффициент Кср", ProtocolFigure(p.averageCoefficient)},
        {"ОСКО коэффициентов, %", ProtocolFigure(q.rsd)},
        {"Разброс (Кmax − Кmin) / Кср, %", ProtocolFigure(q.spread)},
        {"Допуск на разброс, %", ProtocolFigure(q.maxSpread)},
        {"Допуск на отклонение tR от медианы, %", ProtocolFigure(q.maxRetentionShift)},
        {"r² линии среднего коэффициента", ProtocolFigure(q.r2)},
        {"Холостая проба: S(0) / S(0.05), %", ProtocolFigure(q.blankRatio)},
    };
    t.accepted = q.accepted;
    t.verdict = q.accepted ? "Калибровка принята" : "Калибровка не принята";
    t.problems = q.problems;
    t.chartHeading = "Градуировочный график";
    t.signatures = {"Выполнил", "Проверил"};
    t.signatureCaptions = {"подпись", "фамилия, инициалы", "дата"};
    return t;
}

std::string PageFooter(int page, int pages) {
    return "Стр. " + std::to_string(page) + " из " + std::to_string(pages);
}

std::string ProtocolFigure(double value) { return FigureText(value, kFigurePrecision); }

std::string ProtocolDeviation(double value) { return DeviationText(value); }

std::string ProtocolDateTime(std::chrono::sys_seconds moment) { return LocalTime(moment, "%d.%m.%Y %H:%M:%S"); }

std::string DefaultProtocolFileName(const Protocol& protocol) {
    std::string name = "Протокол градуировки";
    if (!protocol.methodTitle.empty()) name += " " + SafeFileNamePart(protocol.methodTitle);
    name += " " + LocalTime(protocol.origin.madeAt, "%Y-%m-%d %H-%M");
    return name + ".pdf";
}

}  // namespace core
