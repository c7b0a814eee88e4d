#include "app/ProtocolFlow.h"

#include "app/MessageBoxes.h"
#include "core/Calc.h"
#include "core/Quality.h"
#include "report/ProtocolPainter.h"
#include "report/ProtocolPdf.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QStandardPaths>

namespace {

constexpr const char* kContext = "ProtocolFlow";
constexpr const char* kCaption = QT_TRANSLATE_NOOP("ProtocolFlow", "Протокол градуировки");
constexpr const char* kQuestion =
    QT_TRANSLATE_NOOP("ProtocolFlow", "Сохранить протокол градуировки в файл PDF или напечатать его?");
constexpr const char* kSave = QT_TRANSLATE_NOOP("ProtocolFlow", "Сохранить PDF…");
constexpr const char* kPrint = QT_TRANSLATE_NOOP("ProtocolFlow", "Печать…");
constexpr const char* kCancel = QT_TRANSLATE_NOOP("ProtocolFlow", "Отмена");
constexpr const char* kSaveTitle = QT_TRANSLATE_NOOP("ProtocolFlow", "Сохранить протокол");
constexpr const char* kPdfFilter = QT_TRANSLATE_NOOP("ProtocolFlow", "Документы PDF (*.pdf)");
constexpr const char* kNotSaved = QT_TRANSLATE_NOOP("ProtocolFlow", "Протокол не сохранён:\n%1");
constexpr const char* kSaved = QT_TRANSLATE_NOOP("ProtocolFlow", "Протокол сохранён в файл\n%1");
constexpr const char* kNotPrinted = QT_TRANSLATE_NOOP("ProtocolFlow", "Протокол не напечатан: принтер недоступен.");
constexpr const char* kFieldsRefused = QT_TRANSLATE_NOOP(
    "ProtocolFlow", "Протокол не составлен: не во всех полях стоят допустимые числа; исправьте поле, отмеченное красным.");
constexpr int kResolution = 96;  // as the PDF: the chart's one-pixel lines 0.75 pt wide

enum Choice { kChoiceSave = 0, kChoicePrint = 1, kChoiceCancel = 2 };

QString Tr(const char* text) { return QCoreApplication::translate(kContext, text); }

// The folder the last protocol was saved in during this session; at first the documents folder.
QString& LastFolder() {
    static QString folder = [] {
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        return QFileInfo(documents).isDir() ? documents : QDir::homePath();
    }();
    return folder;
}

std::optional<QString> ChooseWithSaveDialog(QWidget* parent, const QString& suggestedPath) {
    QFileDialog dialog(parent, Tr(kSaveTitle), suggestedPath, Tr(kPdfFilter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    dialog.selectFile(suggestedPath);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

bool SetUpWithPrintDialog(QWidget* parent, QPrinter& printer) {
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

ProtocolPathChooser& PathChooser() {
    static ProtocolPathChooser chooser = ChooseWithSaveDialog;
    return chooser;
}

PrintSetup& Printing() {
    static PrintSetup setup = SetUpWithPrintDialog;
    return setup;
}

void Tell(QWidget* parent, const QString& text, ChoiceBox::Icon icon = ChoiceBox::Icon::Warning) {
    ChoiceBox box;
    box.icon = icon;
    box.caption = Tr(kCaption);
    box.text = text;
    ShowChoiceBox(parent, box);
}

void SaveProtocol(QWidget* parent, const core::Protocol& protocol) {
    const QString suggested = LastFolder() + "/" + QString::fromStdString(core::DefaultProtocolFileName(protocol));
    const std::optional<QString> path = PathChooser()(parent, suggested);
    if (!path || path->isEmpty()) return;
    if (const std::optional<std::string> failure = WriteProtocolPdf(path->toStdString(), protocol)) {
        Tell(parent, Tr(kNotSaved).arg(QString::fromStdString(*failure)));
        return;
    }
    LastFolder() = QFileInfo(*path).absolutePath();
    Tell(parent, Tr(kSaved).arg(QDir::toNativeSeparators(QFileInfo(*path).absoluteFilePath())),
         ChoiceBox::Icon::Information);
}

void PrintProtocol(QWidget* parent, const core::Protocol& protocol) {
    QPrinter printer;
    printer.setResolution(kResolution);
    SetUpProtocolPage(printer);
    printer.setDocName(QString::fromStdString(core::DefaultProtocolFileName(protocol)));
    if (!Printing()(parent, printer)) return;
    QPainter painter;
    if (!painter.begin(&printer)) {
        Tell(parent, Tr(kNotPrinted));
        return;
    }
    PaintProtocol(painter, printer, protocol);
    painter.end();
}

}  // namespace

ProtocolPathChooser SetProtocolPathChooser(ProtocolPathChooser function) {
    ProtocolPathChooser previous = std::move(PathChooser());
    PathChooser() = function ? std::move(function) : ProtocolPathChooser(ChooseWithSaveDialog);
    return previous;
}

PrintSetup SetPrintSetup(PrintSetup function) {
    PrintSetup previous = std::move(Printing());
    Printing() = function ? std::move(function) : PrintSetup(SetUpWithPrintDialog);
    return previous;
}

core::Protocol MakeDialogProtocol(const core::Calibration& state, double maxSpread, double maxRetentionShift,
                                  const std::string& methodTitle) {
    core::Calibration fresh;
    fresh.nav = state.nav;
    fresh.nav2 = state.nav2;
    fresh.dolya = state.dolya;
    for (int k = 0; k < core::CalibrationTable::kLevelCount; ++k) fresh.table[k].path = state.table[k].path;
    fresh.ComputeCalibration();
    const core::CalibrationQuality quality = core::JudgeCalibration(fresh, maxSpread, core::InputsShown::AsShown, maxRetentionShift);
    return core::MakeProtocol(fresh, quality, methodTitle, core::ReadProtocolOrigin());
}

void OfferProtocol(QWidget* parent, const core::Calibration& state, double maxSpread, double maxRetentionShift,
                   const std::string& methodTitle, bool fieldsAcceptable) {
    if (!fieldsAcceptable) {
        Tell(parent, Tr(kFieldsRefused));
        return;
    }
    const core::Protocol protocol = MakeDialogProtocol(state, maxSpread, maxRetentionShift, methodTitle);
    ChoiceBox box;
    box.icon = ChoiceBox::Icon::Question;
    box.caption = Tr(kCaption);
    box.text = Tr(kQuestion);
    box.buttons = {Tr(kSave), Tr(kPrint), Tr(kCancel)};
    box.defaultButton = kChoiceSave;
    box.escapeButton = kChoiceCancel;
    switch (ShowChoiceBox(parent, box)) {
        case kChoiceSave: SaveProtocol(parent, protocol); break;
        case kChoicePrint: PrintProtocol(parent, protocol); break;
        default: break;
    }
}
