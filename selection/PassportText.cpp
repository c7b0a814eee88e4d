#include "selection/PassportText.h"

#include <QCoreApplication>

#include <ctime>

namespace {

constexpr const char* kNothing = "—";
constexpr const char* kContext = "PassportText";

// A caption in the language the program speaks.
std::string Tr(const char* text) { return QCoreApplication::translate(kContext, text).toStdString(); }

std::string ValueOrDash(const std::string& value) { return value.empty() ? kNothing : value; }

std::string LocalDateTime(chromatogram::Time time) {
    const std::time_t t = static_cast<std::time_t>(time.time_since_epoch().count());
    std::tm local{};
    char text[64] = "";
    if (!localtime_r(&t, &local) || std::strftime(text, sizeof text, "%d.%m.%Y %H:%M:%S", &local) == 0) return kNothing;
    return text;
}

}  // namespace

std::string PassportText(const chromatogram::Passport& passport) {
    return Tr(QT_TRANSLATE_NOOP("PassportText", "Проба: ")) + ValueOrDash(passport.sampleName) + "\n" +
           Tr(QT_TRANSLATE_NOOP("PassportText", "Метод: ")) + ValueOrDash(passport.methodName) + "\n" +
           Tr(QT_TRANSLATE_NOOP("PassportText", "Пункт отбора: ")) + ValueOrDash(passport.samplingSite) + "\n" +
           Tr(QT_TRANSLATE_NOOP("PassportText", "Точка отбора: ")) + ValueOrDash(passport.samplingPoint) + "\n" +
           Tr(QT_TRANSLATE_NOOP("PassportText", "Дата и время: ")) + LocalDateTime(passport.dateTime) + "\n" +
           Tr(QT_TRANSLATE_NOOP("PassportText", "Тип: ")) +
           Tr(passport.isCalibration != 0 ? QT_TRANSLATE_NOOP("PassportText", "градуировка")
                                          : QT_TRANSLATE_NOOP("PassportText", "анализ"));
}

// The scan keeps exactly the facts the box shows.
std::string PassportText(const chromatogram::ScannedFile& file) {
    chromatogram::Passport passport(file.dateTime);
    passport.sampleName = file.sampleName;
    passport.methodName = file.methodName;
    passport.samplingSite = file.samplingSite;
    passport.samplingPoint = file.samplingPoint;
    passport.dateTime = file.dateTime;
    passport.isCalibration = file.isCalibration;
    return PassportText(passport);
}
