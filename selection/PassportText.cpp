#include "selection/PassportText.h"

#include <ctime>

namespace {

constexpr const char* kNothing = "—";

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
    return "Проба: " + ValueOrDash(passport.sampleName) + "\n" +
           "Метод: " + ValueOrDash(passport.methodName) + "\n" +
           "Пункт отбора: " + ValueOrDash(passport.samplingSite) + "\n" +
           "Точка отбора: " + ValueOrDash(passport.samplingPoint) + "\n" +
           "Дата и время: " + LocalDateTime(passport.dateTime) + "\n" +
           "Тип: " + (passport.isCalibration != 0 ? "градуировка" : "анализ");
}
