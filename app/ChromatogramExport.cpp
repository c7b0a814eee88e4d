#include "app/ChromatogramExport.h"

#include "app/MessageBoxes.h"
#include "core/AndiExport.h"
#include "core/CsvExport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QStandardPaths>

#include <chrono>
#include <thread>

namespace {

constexpr const char* kContext = "ChromatogramExport";
constexpr const char* kCaption = QT_TRANSLATE_NOOP("ChromatogramExport", "Экспорт хроматограммы");
constexpr const char* kAndiFilter = QT_TRANSLATE_NOOP("ChromatogramExport", "Файлы ANDI/AIA netCDF (*.cdf)");
constexpr const char* kCsvFilter = QT_TRANSLATE_NOOP("ChromatogramExport", "Таблицы CSV (*.csv)");
constexpr const char* kExported = QT_TRANSLATE_NOOP("ChromatogramExport", "Хроматограмма сохранена в файл:\n%1");
constexpr const char* kNotExported = QT_TRANSLATE_NOOP("ChromatogramExport", "Хроматограмма не сохранена:\n%1");

QString Tr(const char* text) { return QCoreApplication::translate(kContext, text); }

// The folder the last export went to during this session; at first the documents folder.
QString& LastFolder() {
    static QString folder = [] {
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        return QFileInfo(documents).isDir() ? documents : QDir::homePath();
    }();
    return folder;
}

bool IsCsv(const QString& path) { return path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive); }

std::optional<QString> ChooseWithSaveDialog(QWidget* parent, const QString& suggestedPath) {
    QFileDialog dialog(parent, Tr(kCaption), suggestedPath, Tr(kAndiFilter) + QStringLiteral(";;") + Tr(kCsvFilter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("cdf"));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        dialog.setDefaultSuffix(filter.contains(QStringLiteral("*.csv")) ? QStringLiteral("csv") : QStringLiteral("cdf"));
    });
    dialog.selectFile(suggestedPath);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

ExportPathChooser& PathChooser() {
    static ExportPathChooser chooser = ChooseWithSaveDialog;
    return chooser;
}

std::optional<std::string> Write(const std::string& path, const chromatogram::ChromatogramFile& file, bool csv) {
    try {
        if (csv) return core::WriteSignalCsv(path, file);
        const core::AndiExportOptions options{std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now())};
        return core::WriteAndiFile(path, file, options);
    } catch (const std::bad_alloc&) {
        return path + ": not enough memory";
    }
}

void Tell(QWidget* parent, const QString& path, const std::optional<std::string>& failure) {
    ChoiceBox box;
    box.icon = failure ? ChoiceBox::Icon::Warning : ChoiceBox::Icon::Information;
    box.caption = Tr(kCaption);
    box.text = failure ? Tr(kNotExported).arg(QString::fromStdString(*failure)) : Tr(kExported).arg(path);
    ShowChoiceBox(parent, box);
}

}  // namespace

ExportPathChooser SetExportPathChooser(ExportPathChooser function) {
    ExportPathChooser previous = std::move(PathChooser());
    PathChooser() = function ? std::move(function) : ExportPathChooser(ChooseWithSaveDialog);
    return previous;
}

bool OfferChromatogramExport(QWidget* parent, std::shared_ptr<const chromatogram::ChromatogramFile> file,
                             std::function<void(const std::optional<std::string>& failure)> finished) {
    if (!file) return false;
    const QString suggested = LastFolder() + "/" + QFileInfo(QString::fromStdString(file->path)).completeBaseName() + ".cdf";
    const std::optional<QString> chosen = PathChooser()(parent, suggested);
    if (!chosen || chosen->isEmpty()) return false;
    const QString path = *chosen;
    LastFolder() = QFileInfo(path).absolutePath();

    // The continuation is made here, on the window's thread; the worker only moves it into the
    // event queue of the application, which outlives every window.
    auto done = [window = QPointer<QWidget>(parent), path, finished = std::move(finished)](std::optional<std::string> failure) {
        if (!window) return;
        Tell(window, path, failure);
        if (finished) finished(failure);
    };
    std::thread([file = std::move(file), target = path.toStdString(), csv = IsCsv(path), done = std::move(done)]() mutable {
        std::optional<std::string> failure = Write(target, *file, csv);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [done = std::move(done), failure = std::move(failure)] { done(failure); },
            Qt::QueuedConnection);
    }).detach();
    return true;
}
