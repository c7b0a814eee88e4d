#include "app/MethodWriteFlow.h"

#include "core/NumberText.h"

#include "app/MessageBoxes.h"
#include "app/Translated.h"
#include "core/Calc.h"
#include "core/MethodFile.h"
#include "core/MethodHistory.h"
#include "core/MethodWrite.h"
#include "core/Quality.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cmath>
#include <fstream>
#include <iterator>
#include <vector>

// The boxes' texts, in the language the program speaks (context "MethodWriteTexts"); the reasons
// and notices of the calibration core and the method file come as its messages, translated in
// their own contexts.
struct MethodWriteTexts {
    Q_DECLARE_TR_FUNCTIONS(MethodWriteTexts)
};

namespace {

constexpr const char* kProgram = "ostrel";

// The name of the executable file without its extension, the caption of every box.
QString Caption() { return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName(); }

QString Utf8(const std::string& text) { return QString::fromStdString(text); }

// Every digit that is written: the shortest text that reads back as the same double.
QString ExactNumber(double value) {
    if (std::isnan(value)) return QStringLiteral("NaN");
    return QString::fromStdString(core::ShortestText(value));
}

QString Stored(const core::StoredCoefficient& stored) {
    return stored.fault == core::MethodFault::None ? ExactNumber(stored.value)
                                                   : Translated(core::MethodFaultMessage(stored.fault));
}

void Tell(QWidget* parent, ChoiceBox::Icon icon, const QString& text) {
    ChoiceBox box;
    box.icon = icon;
    box.caption = Caption();
    box.text = text;
    ShowChoiceBox(parent, box);
}

// Asks before a change; true when the operator chose `action`.
bool Confirm(QWidget* parent, ChoiceBox::Icon icon, const QString& text, const QString& action, const QString& decline,
             bool actionIsDefault) {
    ChoiceBox box;
    box.icon = icon;
    box.caption = Caption();
    box.text = text;
    box.buttons = {action, decline};
    box.defaultButton = actionIsDefault ? 0 : 1;
    box.escapeButton = 1;
    return ShowChoiceBox(parent, box) == 0;
}

// Why there is no method to write into, or "" when `title` names one.
QString NoMethod(const std::string& title) {
    switch (core::CheckMethodFolder()) {
    case core::MethodFault::NoMethodFolder:
        return MethodWriteTexts::tr("папка методов не задана (значение MethodPath в настройках)");
    case core::MethodFault::MethodFolderMissing:
        return MethodWriteTexts::tr("папка методов «%1» не найдена").arg(Utf8(core::MethodFolder()));
    default: break;
    }
    if (title.empty())
        return MethodWriteTexts::tr("метод не выбран (в папке методов «%1» нет методов)").arg(Utf8(core::MethodFolder()));
    return {};
}

bool AnyLevelRead(const core::Calibration& calibration) {
    for (int k = 0; k < core::CalibrationTable::kLevelCount; ++k)
        if (calibration.table[k].file == core::LevelFile::Read) return true;
    return false;
}

// Why the calibration cannot be written at all, or "" when it can be offered.
QString SaveRefusal(const std::string& title, bool fieldsAcceptable, const core::Calibration& calibration) {
    if (!fieldsAcceptable)
        return MethodWriteTexts::tr(
            "не во всех полях стоят допустимые числа; исправьте поле, отмеченное красным, и сохраните снова");
    if (!AnyLevelRead(calibration)) return MethodWriteTexts::tr("ни на одном уровне нет прочитанной хроматограммы");
    const double average = calibration.averageCoefficient;
    if (!std::isfinite(average) || average <= 0)
        return MethodWriteTexts::tr("средний градуировочный коэффициент (%1) не является положительным числом")
            .arg(ExactNumber(average));
    return NoMethod(title);
}

QString Bullets(const std::vector<core::CalibrationProblem>& problems) {
    QString text;
    for (const core::CalibrationProblem& problem : problems)
        text += QStringLiteral("\n  • ") + Translated(core::ProblemMessage(problem));
    return text;
}

QString Verdict(const core::CalibrationQuality& quality) {
    if (!quality.accepted)
        return MethodWriteTexts::tr("ВНИМАНИЕ: градуировка НЕ принята:") + Bullets(quality.reasons) +
               MethodWriteTexts::tr(
                   "\nЗаписывать этот коэффициент в метод не следует: по нему будут считаться все "
                   "результаты анализов.");
    if (!quality.reasons.empty())
        return MethodWriteTexts::tr("Градуировка принята, с замечаниями:") + Bullets(quality.reasons);
    return MethodWriteTexts::tr("Градуировка принята.");
}

QString Notices(const core::MethodWriteReport& report) {
    QString text;
    for (const core::MethodWriteNotice& notice : report.trailNotices)
        text += QStringLiteral("\n\n") + Translated(core::NoticeMessage(notice));
    return text;
}

// What is told after a save or a restore.
void TellOutcome(QWidget* parent, const core::MethodWriteReport& report, const QString& done, const QString& notDone) {
    const QString method = Utf8(report.title);
    if (report.Written()) {
        Tell(parent, report.trailNotices.empty() ? ChoiceBox::Icon::Information : ChoiceBox::Icon::Warning,
             done.arg(method) +
                 MethodWriteTexts::tr("\nБыло: %1\nСтало: %2\nПрежний файл метода сохранён: %3")
                     .arg(Stored(report.oldCoefficient), Stored(report.newCoefficient), Utf8(report.backup)) +
                 Notices(report));
        return;
    }
    QString reason = Translated(core::MethodFaultMessage(report.fault));
    if (report.fault == core::MethodFault::MethodFolderMissing)
        reason += QStringLiteral(" (%1)").arg(Utf8(core::MethodFolder()));
    Tell(parent, ChoiceBox::Icon::Warning,
         notDone.arg(method) +
             MethodWriteTexts::tr(": %1.\nФайл метода: %2\nМетод не изменён.").arg(reason, Utf8(report.path)) +
             Notices(report));
}

// "20261210T101500Z" as "10.12.2026 10:15:00 UTC".
QString CopyTime(const std::string& stamp) {
    const QString s = Utf8(stamp);
    return QStringLiteral("%1.%2.%3 %4:%5:%6 UTC")
        .arg(s.mid(6, 2), s.mid(4, 2), s.mid(0, 4), s.mid(9, 2), s.mid(11, 2), s.mid(13, 2));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

void SaveToMethodConfirmed(QWidget* parent, const std::string& title, bool fieldsAcceptable,
                           const core::Calibration& calibration, const core::CalibrationQuality& quality) {
    if (const QString refusal = SaveRefusal(title, fieldsAcceptable, calibration); !refusal.isEmpty()) {
        Tell(parent, ChoiceBox::Icon::Warning, MethodWriteTexts::tr("Коэффициент не записан: %1.").arg(refusal));
        return;
    }
    const double coefficient = calibration.averageCoefficient;
    const QString question =
        MethodWriteTexts::tr(
            "Записать градуировочный коэффициент в метод «%1»?\n\nФайл метода: %2\nСейчас в методе: %3\n"
            "Будет записано: %4\n\n")
            .arg(Utf8(title), Utf8(core::MethodFilePath(title)), Stored(core::ReadStoredCoefficient(title)),
                 ExactNumber(coefficient)) +
        Verdict(quality);
    if (!Confirm(parent, quality.accepted ? ChoiceBox::Icon::Question : ChoiceBox::Icon::Warning, question,
                 MethodWriteTexts::tr("Записать"), MethodWriteTexts::tr("Не записывать"), quality.accepted))
        return;
    const core::MethodWriteReport report =
        core::SaveCoefficient(title, coefficient, core::WriteOrigin{kProgram, &calibration, &quality});
    TellOutcome(parent, report, MethodWriteTexts::tr("Коэффициент записан в метод «%1»."),
                MethodWriteTexts::tr("Коэффициент не записан в метод «%1»"));
}

void UndoLastMethodWrite(QWidget* parent, const std::string& title) {
    if (const QString refusal = NoMethod(title); !refusal.isEmpty()) {
        Tell(parent, ChoiceBox::Icon::Warning, MethodWriteTexts::tr("Отменять нечего: %1.").arg(refusal));
        return;
    }
    const std::vector<core::KeptCopy> copies = core::ListKeptCopies(title);
    if (copies.empty()) {
        Tell(parent, ChoiceBox::Icon::Information,
             MethodWriteTexts::tr("Отменять нечего: копий метода «%1» до записи в него нет.").arg(Utf8(title)));
        return;
    }
    const core::KeptCopy& newest = copies.back();
    const QString question =
        MethodWriteTexts::tr(
            "Отменить последнюю запись в метод «%1»?\n\nМетод будет возвращён к копии, сохранённой %2:\n%3\n"
            "Сейчас в методе: %4\nПосле отмены: %5\n\nНынешний файл метода тоже будет сохранён, так что "
            "отмену можно отменить.")
            .arg(Utf8(title), CopyTime(newest.stamp), Utf8(newest.path), Stored(core::ReadStoredCoefficient(title)),
                 Stored(core::StoredCoefficientOf(ReadFile(newest.path))));
    if (!Confirm(parent, ChoiceBox::Icon::Question, question, MethodWriteTexts::tr("Вернуть копию"), MethodWriteTexts::tr("Отмена"),
                 false))
        return;
    const core::MethodWriteReport report = core::RestoreMethod(title, newest.path, core::WriteOrigin{kProgram});
    TellOutcome(parent, report, MethodWriteTexts::tr("Метод «%1» возвращён к копии от ") + CopyTime(newest.stamp) + ".",
                MethodWriteTexts::tr("Запись в метод «%1» не отменена"));
}
