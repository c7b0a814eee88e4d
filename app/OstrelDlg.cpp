#include "app/OstrelDlg.h"

#include "app/CalculationWorker.h"
#include "app/ChromatogramWindow.h"
#include "app/LevelOverlayWindow.h"
#include "app/MethodWriteFlow.h"
#include "app/ProtocolFlow.h"
#include "app/Translated.h"
#include "core/MethodFile.h"
#include "core/NumberText.h"
#include "core/Quality.h"
#include "core/ReadFailureMessage.h"
#include "core/Settings.h"
#include "chart/AutoCtrl.h"
#include "chart/CalibrationChart.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "platform/gui/Controls.h"
#include "platform/gui/DialogTemplate.h"
#include "resources/Resource.h"
#include "selection/ChromatogramPreview.h"
#include "selection/OpenChrmDlg.h"

#include <QApplication>
#include <QBrush>
#include <QColor>
#include <QComboBox>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFont>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <cmath>
#include <limits>
#include <utility>

namespace {

namespace gui = platform::gui;
using namespace resources;

constexpr const char* kNotANumber = QT_TRANSLATE_NOOP("CCalibrationDlg", "Введите число.");
constexpr int kShownPrecision = 4;    // figures shown to the operator
constexpr int kInputPrecision = 15;   // the inputs: every digit a double is sure to hold
constexpr double kNoLimit = std::numeric_limits<double>::infinity();
constexpr double kLargestFraction = 100;  // per cent

// A marked field (no number, or out of range): red text on a pale red ground, which shows on an
// empty field as well.
const QColor kMarkedText = QColor(QRgb(0xC00000));
const QColor kMarkedGround = QColor(QRgb(0xFFE4E4));

struct LevelColumn {
    const char* header;  // translated in the context "CCalibrationDlg"
    int width;           // pixels
};
constexpr LevelColumn kLevelColumns[] = {
    {"ID", 40},
    {QT_TRANSLATE_NOOP("CCalibrationDlg", "Проба"), 150},
    {"S", 70},
    {QT_TRANSLATE_NOOP("CCalibrationDlg", "Sст"), 70},
    {QT_TRANSLATE_NOOP("CCalibrationDlg", "С"), 70},
    {QT_TRANSLATE_NOOP("CCalibrationDlg", "Сст"), 70},
    {QT_TRANSLATE_NOOP("CCalibrationDlg", "К"), 70},
    {QT_TRANSLATE_NOOP("CCalibrationDlg", "Откл., %"), 60},
};

// What the list and the verdict say in words (translated in the context "CCalibrationDlg") and
// colours.
constexpr const char* kUnreadable = QT_TRANSLATE_NOOP("CCalibrationDlg", "Ошибка чтения");
constexpr const char* kNoFile = QT_TRANSLATE_NOOP("CCalibrationDlg", "Хроматограмма не выбрана");
// While a pass runs: a level being read, the average and the verdict.
constexpr const char* kReading = QT_TRANSLATE_NOOP("CCalibrationDlg", "чтение…");
constexpr const char* kPendingAverage = "…";
constexpr const char* kCalculating = QT_TRANSLATE_NOOP("CCalibrationDlg", "Идёт расчёт: чтение хроматограмм…");
constexpr const char* kWaitingRow = QT_TRANSLATE_NOOP("CCalibrationDlg", "ожидание файла: %1 с");
constexpr const char* kWaitingVerdict = QT_TRANSLATE_NOOP("CCalibrationDlg", "Расчёт ждёт ответа файла %1 (%2 с)");
constexpr const char* kSaveWaits = QT_TRANSLATE_NOOP("CCalibrationDlg", "Запись в метод — по окончании расчёта.");
constexpr const char* kProtocolWaits = QT_TRANSLATE_NOOP("CCalibrationDlg", "Протокол — по окончании расчёта.");
// How often a running pass is looked at for a read that does not answer.
constexpr std::chrono::milliseconds kReadWatchInterval{250};
constexpr const char* kAccepted = QT_TRANSLATE_NOOP("CCalibrationDlg", "Калибровка принята");
constexpr const char* kAcceptedWithRemark = QT_TRANSLATE_NOOP("CCalibrationDlg", "Калибровка принята. Замечание: %1");
constexpr const char* kRefused = QT_TRANSLATE_NOOP("CCalibrationDlg", "Калибровка не принята: %1");
constexpr QRgb kAcceptedColour = qRgb(0, 128, 0);
constexpr QRgb kRefusedColour = qRgb(200, 0, 0);
constexpr QRgb kWarningColour = qRgb(170, 85, 0);
constexpr int kSpreadPrecision = 4;
constexpr int kR2Precision = 6;

constexpr int kLevelButtons[core::CalibrationTable::kLevelCount] = {IDC_LEVEL0, IDC_LEVEL1, IDC_LEVEL2, IDC_LEVEL3,
                                                                    IDC_LEVEL4};

void ShowPlatformMessageBox(QWidget* parent, const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

MessageBoxFunction& MessageBox() {
    static MessageBoxFunction show = ShowPlatformMessageBox;
    return show;
}

// The name of the executable file without its extension.
QString ProgramName() { return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName(); }

QString FormatG(double value, int precision) { return QString::fromStdString(core::SignificantText(value, precision)); }

QString QualityFigure(double value, int precision) { return QString::fromStdString(core::FigureText(value, precision)); }

QString DeviationText(double value) { return QString::fromStdString(core::DeviationText(value)); }

// The text in the label, cut with an ellipsis where it would not fit.
void SetElidedText(QLabel* label, const QString& text) {
    label->setText(label->fontMetrics().elidedText(text, Qt::ElideRight, label->width()));
}

void SetTextColour(QLabel* label, QRgb colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(colour));
    label->setPalette(palette);
}

// The first entry after `start` whose text begins with `prefix` ignoring case, wrapping round
// to the entries up to `start`; -1 when there is none.
int FindStringPrefix(const QComboBox* combo, int start, const QString& prefix) {
    const int count = combo->count();
    for (int k = 1; k <= count; ++k) {
        const int i = (start + k) % count;
        const QString head = combo->itemText(i).left(prefix.size());
        if (head.size() == prefix.size() && platform::EqualIgnoreCase(head.toStdString(), prefix.toStdString()))
            return i;
    }
    return -1;
}

// A text of the dialog in the language the program speaks, for the functions outside the class.
QString Tr(const char* text) { return QCoreApplication::translate("CCalibrationDlg", text); }

// A level's sample as the list shows it: the passport's name as it is, the placeholder of a level
// without one in the language the program speaks.
QString SampleText(const std::string& sampleName) {
    if (sampleName == core::CalibrationLevel::kNoSample)
        return QCoreApplication::translate(core::CalibrationLevel::kTranslationContext, core::CalibrationLevel::kNoSample);
    return QString::fromStdString(sampleName);
}

// One file for the level: with several, each would replace the one before, and joint selection
// could hand the level a file the operator did not click.
std::optional<std::string> RunOpenChrmDlg(QWidget* parent, const CCalibrationDlg::LevelFileRequest& request) {
    COpenChrmDlg dialog(parent);
    dialog.setWindowTitle(Tr(QT_TRANSLATE_NOOP("CCalibrationDlg", "%1 — уровень %2")).arg(dialog.windowTitle(), request.levelName));
    dialog.SetPreselectedFile(request.currentPath);
    if (dialog.Run(true) != IDOK || dialog.SelectedCount() == 0) return std::nullopt;
    return dialog.SelectedPath(0);
}

// The system's reason for a failed write, in the operator's words where there are some.
QString SystemReason(int error) {
    switch (error) {
    case EACCES:
    case EPERM: return Tr(QT_TRANSLATE_NOOP("CCalibrationDlg", "нет прав на запись"));
    case ENOSPC:
    case EDQUOT: return Tr(QT_TRANSLATE_NOOP("CCalibrationDlg", "нет места на диске"));
    case EROFS: return Tr(QT_TRANSLATE_NOOP("CCalibrationDlg", "диск доступен только для чтения"));
    default: break;
    }
    return QString::fromLocal8Bit(std::strerror(error));
}

QString SettingsNotStoredText(int error) {
    const std::string hive = platform::UserHivePath();
    const QString where =
        hive.empty() ? Tr(QT_TRANSLATE_NOOP("CCalibrationDlg", "(папка настроек не задана: нет ни XDG_CONFIG_HOME, ни HOME)"))
                     : QString::fromStdString(hive);
    const QString reason =
        error == 0 ? QString() : Tr(QT_TRANSLATE_NOOP("CCalibrationDlg", "Причина: %1.\n")).arg(SystemReason(error));
    return Tr(QT_TRANSLATE_NOOP("CCalibrationDlg",
                                "Не удалось сохранить настройки в %1.\n"
                                "%2Массы, хроматограммы уровней и выбранный метод при следующем запуске "
                                "не восстановятся."))
        .arg(where, reason);
}

QString HiveMovedAsideText(const platform::MovedHive& move) {
    return Tr(QT_TRANSLATE_NOOP("CCalibrationDlg",
                                "Файл настроек %1 был повреждён и не читался.\n"
                                "Он сохранён как %2, настройки начаты заново."))
        .arg(QString::fromStdString(move.from), QString::fromStdString(move.to));
}

}  // namespace

MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction show) {
    MessageBoxFunction previous = std::move(MessageBox());
    MessageBox() = show ? std::move(show) : MessageBoxFunction(ShowPlatformMessageBox);
    return previous;
}

CCalibrationDlg::CCalibrationDlg(QWidget* parent)
    : QDialog(parent), icon_(LoadIcon(IDR_MAINFRAME)), chooser_(RunOpenChrmDlg) {
    gui::BuildDialog(*this, *FindDialogTemplate(IDD_CALIBRATION));
    fields_[0] = {gui::FindControl<QLineEdit>(this, IDC_NAV), &core::Calibration::nav, kNoLimit,
                  tr("Масса навески должна быть больше 0."), {}};
    fields_[1] = {gui::FindControl<QLineEdit>(this, IDC_NAV2), &core::Calibration::nav2, kNoLimit,
                  tr("Масса навески должна быть больше 0."), {}};
    fields_[2] = {gui::FindControl<QLineEdit>(this, IDC_DOLYA), &core::Calibration::dolya, kLargestFraction,
                  tr("Массовая доля должна быть больше 0 и не больше 100."), {}};
    averageLabel_ = gui::FindControl<QLabel>(this, IDC_AVERAGE);
    statisticsLabel_ = gui::FindControl<QLabel>(this, IDC_STATISTICS);
    verdictLabel_ = gui::FindControl<QLabel>(this, IDC_VERDICT);
    QFont bold = verdictLabel_->font();
    bold.setBold(true);
    verdictLabel_->setFont(bold);
    statisticsLabel_->setToolTip(tr(
        "ОСКО: относительное стандартное отклонение коэффициентов уровней 0.05–0.5 (RSD).\n"
        "Разброс: (Kmax − Kmin) / K̄; калибровка принимается, пока он не больше допуска лаборатории.\n"
        "r²: насколько линия среднего коэффициента проходит через точки (1 — точно через все)."));
    maxSpread_ = core::ReadMaxSpread();
    maxRetentionShift_ = core::ReadMaxRetentionShift();
    methodList_ = gui::FindControl<QComboBox>(this, IDC_METHOD_LIST);
    levelList_ = gui::FindControl<QTreeWidget>(this, IDC_LEVEL_LIST);

    // The black frame becomes the chart control, with its place and id.
    QWidget* frame = gui::FindControl(this, IDC_CHART);
    chart_ = new CAutoCtrl(this);
    chart_->ReplaceControl(frame);

    worker_ = new CCalculationWorker(this);
    connect(worker_, &CCalculationWorker::passEnded, this, &CCalibrationDlg::OnPassEnded, Qt::QueuedConnection);
    readWatch_ = new QTimer(this);
    readWatch_->setInterval(kReadWatchInterval);
    connect(readWatch_, &QTimer::timeout, this, &CCalibrationDlg::ShowWaitingRead);

    OnInitDialog();
    Connect();
}

// A dialog destroyed without having ended (never shown, or its owner gone first) still keeps
// the operator's settings; there is no window left to report a failure in.
CCalibrationDlg::~CCalibrationDlg() {
    if (!settingsStored_) (void)core::SaveSettings(calibration_, ChosenMethodTitle());
    if (waitingForRelease_) qApp->removeEventFilter(this);
}

void CCalibrationDlg::OnInitDialog() {
    ShowInputs();
    calibration_.averageCoefficient = 0;
    ConfigureChart();
    FillMethodList();
    storedMethodTitle_ = core::LoadSettings(calibration_);
    // Reading may have moved a damaged hive aside; say so once the window shows.
    QTimer::singleShot(0, this, &CCalibrationDlg::ReportHivesMovedAside);
    SelectStoredMethod(storedMethodTitle_);
    ShowInputs();
    Recalculate();
    setWindowIcon(icon_);
    InsertLevelColumns();
    FillLevelList();
}

void CCalibrationDlg::ConfigureChart() {
    // The control only shows the calibration: the mouse neither zooms nor scrolls it.
    chart_->EnableZoom(false);
    chart_->EnableHorzScroll(false);
    chart_->EnableVertScroll(false);
    ConfigureCalibrationChart(chart_->chart);
}

// With no method to choose the list says why in its own place, as an entry that cannot be
// chosen would (the placeholder shows while nothing is selected).
void CCalibrationDlg::FillMethodList() {
    for (const std::string& title : core::ListMethodTitles()) gui::AddString(methodList_, title);
    methodList_->setCurrentIndex(methodList_->count() > 0 ? 0 : -1);
    QString why;
    switch (core::CheckMethodFolder()) {
    case core::MethodFault::NoMethodFolder: why = tr("Папка методов не задана (MethodPath в настройках)"); break;
    case core::MethodFault::MethodFolderMissing:
        why = tr("Папка методов «%1» не найдена").arg(QString::fromStdString(core::MethodFolder()));
        break;
    default:
        if (methodList_->count() == 0)
            why = tr("В папке методов «%1» нет методов").arg(QString::fromStdString(core::MethodFolder()));
        break;
    }
    methodList_->setPlaceholderText(why);
    methodList_->setToolTip(why);
}

// The stored title may be only the beginning of a title, in any letter case. With none stored
// (the first start) the first entry stays selected.
void CCalibrationDlg::SelectStoredMethod(const std::string& title) {
    if (title.empty()) return;
    const int index = FindStringPrefix(methodList_, 0, QString::fromStdString(title));
    if (index >= 0) methodList_->setCurrentIndex(index);
}

void CCalibrationDlg::InsertLevelColumns() {
    levelList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    levelList_->setAllColumnsShowFocus(true);
    QStringList headers;
    for (const LevelColumn& column : kLevelColumns) headers << tr(column.header);
    levelList_->setColumnCount(static_cast<int>(std::size(kLevelColumns)));
    levelList_->setHeaderLabels(headers);
    levelList_->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int i = 0; i < static_cast<int>(std::size(kLevelColumns)); ++i)
        levelList_->setColumnWidth(i, kLevelColumns[i].width);
}

void CCalibrationDlg::Connect() {
    for (int level = 0; level < core::CalibrationTable::kLevelCount; ++level)
        connect(gui::FindControl<QPushButton>(this, kLevelButtons[level]), &QPushButton::clicked, this,
                [this, level] { ChooseLevelFile(level); });
    connect(gui::FindControl<QPushButton>(this, IDC_CLEAR), &QPushButton::clicked, this, &CCalibrationDlg::OnClear);
    connect(gui::FindControl<QPushButton>(this, IDC_SAVE_TO_METHOD), &QPushButton::clicked, this,
            &CCalibrationDlg::OnSaveToMethod);
    connect(gui::FindControl<QPushButton>(this, IDC_UNDO_METHOD_WRITE), &QPushButton::clicked, this,
            &CCalibrationDlg::OnUndoMethodWrite);
    connect(gui::FindControl<QPushButton>(this, IDC_PROTOCOL), &QPushButton::clicked, this,
            [this] {
                ReportLeftField();
                RunAfterPass(AfterPass::Protocol);
            });
    connect(gui::FindControl<QPushButton>(this, IDC_LEVEL_OVERLAY), &QPushButton::clicked, this,
            &CCalibrationDlg::OpenLevelOverlay);
    connect(gui::FindControl<QPushButton>(this, IDOK), &QPushButton::clicked, this, &CCalibrationDlg::accept);
    // A level's chromatogram in a window of its own: double click on its row, or F3 (Enter stays
    // the dialog's default button).
    const auto showLevel = [this](QTreeWidgetItem* row) { ShowLevelWindow(levelList_->indexOfTopLevelItem(row)); };
    connect(levelList_, &QTreeWidget::itemDoubleClicked, this, showLevel);
    connect(new QShortcut(QKeySequence(Qt::Key_F3), levelList_, nullptr, nullptr, Qt::WidgetShortcut),
            &QShortcut::activated, this, [this, showLevel] { showLevel(levelList_->currentItem()); });
    for (NumberField& field : fields_) {
        connect(field.edit, &QLineEdit::textChanged, this, &CCalibrationDlg::OnFieldEdited);
        field.edit->installEventFilter(this);
    }
}

void CCalibrationDlg::ShowLevelWindow(int level) {
    if (level < 0 || level >= core::CalibrationTable::kLevelCount || calibration_.table[level].path.empty()) return;
    QPointer<CChromatogramWindow>& window = levelWindows_[static_cast<size_t>(level)];
    if (window) {
        window->ShowLevel(calibration_.table[level]);
    } else {
        window = new CChromatogramWindow(this, calibration_.table[level]);
    }
    window->show();
    window->raise();
    window->activateWindow();
}

void CCalibrationDlg::FollowLevelWindows() {
    for (int k = 0; k < core::CalibrationTable::kLevelCount; ++k) {
        CChromatogramWindow* window = levelWindows_[static_cast<size_t>(k)];
        if (!window) continue;
        const core::CalibrationLevel& level = calibration_.table[k];
        if (level.path.empty())
            window->close();
        else if (window->Preview()->Path() != level.path)
            window->ShowLevel(level);
    }
}

void CCalibrationDlg::ChooseLevelFile(int level) {
    ReportLeftField();
    const QString name = gui::FindControl<QPushButton>(this, kLevelButtons[level])->text();
    const std::optional<std::string> path = chooser_(this, {name, calibration_.table[level].path});
    if (!path) return;
    calibration_.table[level].path = *path;
    Recalculate();
}

// A fresh start for the levels: the coefficient and the chart follow at once, so that nothing of
// the cleared calibration stays on screen or can be saved.
void CCalibrationDlg::OnClear() {
    ReportLeftField();
    calibration_.table.ResetLevels();
    Recalculate();
}

CLevelOverlayWindow* CCalibrationDlg::LevelOverlay() const { return overlay_; }

// One window for the levels: asked again, it comes to the front.
void CCalibrationDlg::OpenLevelOverlay() {
    ReportLeftField();
    if (!overlay_) {
        overlay_ = new CLevelOverlayWindow(this);
        overlay_->ShowLevels(calibration_.table);
    }
    overlay_->show();
    overlay_->raise();
    overlay_->activateWindow();
}

void CCalibrationDlg::OnSaveToMethod() {
    ReportLeftField();
    RunAfterPass(AfterPass::SaveToMethod);
}

// Acts on the figures of the inputs the fields show: at once when they are shown, otherwise once
// the pass that makes them has ended (the last one pressed wins).
void CCalibrationDlg::RunAfterPass(AfterPass action) {
    if (Calculating()) {
        afterPass_ = action;
        ShowQuality();
        return;
    }
    afterPass_ = AfterPass::Nothing;
    switch (action) {
        case AfterPass::SaveToMethod:
            SaveToMethodConfirmed(this, SelectedMethodTitle(), FieldsAcceptable(), calibration_, quality_);
            break;
        case AfterPass::Protocol:
            OfferProtocol(this, calibration_, maxSpread_, maxRetentionShift_, SelectedMethodTitle(), FieldsAcceptable());
            break;
        case AfterPass::Nothing: break;
    }
}

void CCalibrationDlg::OnUndoMethodWrite() {
    ReportLeftField();
    UndoLastMethodWrite(this, SelectedMethodTitle());
}

std::string CCalibrationDlg::SelectedMethodTitle() const {
    return methodList_->currentIndex() < 0 ? std::string() : gui::SelectedText(methodList_);
}

void CCalibrationDlg::OnFieldEdited() {
    if (showingInputs_) return;
    TakeFields();
    Recalculate();
}

void CCalibrationDlg::accept() { Close(QDialog::Accepted); }

void CCalibrationDlg::reject() { Close(QDialog::Rejected); }

void CCalibrationDlg::Close(int result) {
    leftField_ = nullptr;  // the closing's own message speaks for a field just left
    if (NumberField* field = FirstFieldWithoutNumber()) {
        ShowNotANumber(*field);
        return;
    }
    done(result);
}

void CCalibrationDlg::done(int result) {
    if (!settingsStored_) StoreSettings();
    QDialog::done(result);
}

// The calculation's inputs are stored, which are the fields' last acceptable values.
void CCalibrationDlg::StoreSettings() {
    settingsStored_ = true;
    int error = 0;
    const bool stored = core::SaveSettings(calibration_, ChosenMethodTitle(), &error);
    ReportHivesMovedAside();
    if (!stored) MessageBox()(this, SettingsNotStoredText(error), ProgramName());
}

void CCalibrationDlg::ReportHivesMovedAside() {
    for (const platform::MovedHive& move : platform::TakeHivesMovedAside())
        MessageBox()(this, HiveMovedAsideText(move), ProgramName());
}

std::string CCalibrationDlg::ChosenMethodTitle() const {
    return methodList_->currentIndex() < 0 ? storedMethodTitle_ : gui::SelectedText(methodList_);
}

bool CCalibrationDlg::Calculating() const { return calculating_; }

// The files are read on the worker's thread; the figures are made here once they have been.
void CCalibrationDlg::Recalculate() {
    worker_->Start(calibration_.Paths());
    calculating_ = true;
    readWatch_->start();
    averageLabel_->setText(QString::fromUtf8(kPendingAverage));
    FillLevelList();
}

// Readings of paths the levels no longer have belong to a pass that a newer one has replaced.
void CCalibrationDlg::OnPassEnded() {
    std::optional<core::LevelReadings> read = worker_->TakeReadings();
    if (!read) return;
    const core::LevelPaths paths = calibration_.Paths();
    for (std::size_t k = 0; k < paths.size(); ++k)
        if ((*read)[k].path != paths[k]) return;
    readWatch_->stop();
    calibration_.Compute(*read);
    calculating_ = false;
    ShowCalculation();
    RunAfterPass(std::exchange(afterPass_, AfterPass::Nothing));
}

// A read that has not answered for a while: its row and the verdict say which file the
// calculation waits for, and for how long.
void CCalibrationDlg::ShowWaitingRead() {
    if (!Calculating()) {
        readWatch_->stop();
        return;
    }
    const std::optional<CCalculationWorker::Read> read = worker_->CurrentRead();
    if (!read || read->waited < CCalculationWorker::kStalledAfter) return;
    const long long seconds = std::chrono::duration_cast<std::chrono::seconds>(read->waited).count();
    if (QTreeWidgetItem* row = levelList_->topLevelItem(read->level)) row->setText(1, tr(kWaitingRow).arg(seconds));
    const QString path = QString::fromStdString(read->path);
    SetElidedText(verdictLabel_, tr(kWaitingVerdict).arg(path).arg(seconds));
    verdictLabel_->setToolTip(tr(kWaitingVerdict).arg(path).arg(seconds));
}

void CCalibrationDlg::ShowCalculation() {
    FollowLevelWindows();
    averageLabel_->setText(FormatG(calibration_.averageCoefficient, kShownPrecision));
    FillLevelList();
    // The series draw the arrays themselves, wherever they now are.
    chart_->chart.GetSeries(kCalibrationLineSeries)
        .SetData(calibration_.lineX.data(), calibration_.lineY.data(), static_cast<int>(calibration_.lineX.size()));
    chart_->chart.GetSeries(kCalibrationPointSeries)
        .SetData(calibration_.pointsX.data(), calibration_.pointsY.data(),
                 static_cast<int>(calibration_.pointsX.size()));
    chart_->repaint();
    if (overlay_) overlay_->ShowLevels(calibration_.table);
}

// The list and the verdict always speak of the same levels: the judgement is made afresh here,
// also when the levels were emptied without a new calculation.
void CCalibrationDlg::FillLevelList() {
    quality_ = core::JudgeCalibration(calibration_, maxSpread_,
                                      FieldsHoldNumbers() ? core::InputsShown::AsShown : core::InputsShown::NotAsShown,
                                      maxRetentionShift_);
    levelList_->clear();
    for (int k = 0; k < core::CalibrationTable::kLevelCount; ++k) {
        const core::CalibrationLevel& level = calibration_.table[k];
        const bool unreadable = level.file == core::LevelFile::Unreadable;
        const bool reading = Calculating() && !level.path.empty();
        // The blank has no coefficient, so no deviation.
        const QString deviation = k == 0 ? QString() : DeviationText(quality_.deviations[static_cast<size_t>(k - 1)]);
        auto* row = new QTreeWidgetItem(
            levelList_, QStringList{FormatG(level.fraction, kShownPrecision),
                                    reading      ? tr(kReading)
                                    : unreadable ? tr(kUnreadable)
                                                 : SampleText(level.sampleName),
                                    FormatG(level.ethanolArea, kShownPrecision),
                                    FormatG(level.standardArea, kShownPrecision),
                                    FormatG(level.ethanolAmount, kShownPrecision),
                                    FormatG(level.standardAmount, kShownPrecision),
                                    FormatG(level.coefficient, kShownPrecision), deviation});
        // The whole path, which the sample column has no room for, and why a file was not read.
        QString where = level.path.empty() ? tr(kNoFile) : QString::fromStdString(level.path);
        if (unreadable) where += '\n' + tr(kUnreadable) + ": " + Translated(core::ReadFailureMessage(level.readFailure.kind));
        for (int column = 0; column < levelList_->columnCount(); ++column) row->setToolTip(column, where);
        const core::LevelMark mark = quality_.levelMarks[static_cast<size_t>(k)];
        if (mark == core::LevelMark::None) continue;
        const QBrush colour(QColor(mark == core::LevelMark::Problem ? kRefusedColour : kWarningColour));
        for (int column = 0; column < levelList_->columnCount(); ++column) row->setForeground(column, colour);
    }
    ShowQuality();
}

void CCalibrationDlg::ShowQuality() {
    if (Calculating()) {
        QString verdict = tr(kCalculating);
        if (afterPass_ == AfterPass::SaveToMethod) verdict += " " + tr(kSaveWaits);
        if (afterPass_ == AfterPass::Protocol) verdict += " " + tr(kProtocolWaits);
        SetElidedText(verdictLabel_, verdict);
        SetTextColour(verdictLabel_, kWarningColour);
        verdictLabel_->setToolTip(verdict);
        return;
    }
    SetElidedText(statisticsLabel_, tr("ОСКО %1 %   разброс %2 % (допуск %3 %)   r² %4")
                                        .arg(QualityFigure(quality_.rsd, kSpreadPrecision),
                                             QualityFigure(quality_.spread, kSpreadPrecision),
                                             QualityFigure(quality_.maxSpread, kSpreadPrecision),
                                             QualityFigure(quality_.r2, kR2Precision)));

    // The verdict with the first reason or remark; all of them in its tooltip.
    QStringList all;
    for (const core::CalibrationProblem& problem : quality_.reasons) all << Translated(core::ProblemMessage(problem));
    const QString first = all.isEmpty() ? QString() : all.front();
    QString verdict;
    if (!quality_.accepted)
        verdict = tr(kRefused).arg(first);
    else if (!all.isEmpty())
        verdict = tr(kAcceptedWithRemark).arg(first);
    else
        verdict = tr(kAccepted);
    SetElidedText(verdictLabel_, verdict);
    SetTextColour(verdictLabel_, quality_.accepted ? kAcceptedColour : kRefusedColour);
    verdictLabel_->setToolTip(all.isEmpty() ? verdict : all.join('\n'));
}

CCalibrationDlg::FieldReading CCalibrationDlg::ReadField(const NumberField& field) const {
    const std::optional<double> value = core::ParseNumber(field.edit->text().toStdString());
    if (!value) return {FieldState::NotANumber, 0};
    const bool inRange = *value > 0 && *value <= field.upperLimit;
    return {inRange ? FieldState::Acceptable : FieldState::OutOfRange, *value};
}

bool CCalibrationDlg::FieldsHoldNumbers() const {
    return std::none_of(fields_.begin(), fields_.end(),
                        [this](const NumberField& f) { return ReadField(f).state == FieldState::NotANumber; });
}

bool CCalibrationDlg::FieldsAcceptable() const {
    return std::all_of(fields_.begin(), fields_.end(),
                       [this](const NumberField& f) { return ReadField(f).state == FieldState::Acceptable; });
}

// A number out of range is taken all the same: it is what the field shows, and keeping the last
// acceptable value instead would compute (and store) the "15" that typing "150" passed through.
// The mark says it is out of range.
void CCalibrationDlg::TakeFields() {
    for (NumberField& field : fields_) {
        const FieldReading reading = ReadField(field);
        if (reading.state != FieldState::NotANumber) calibration_.*field.input = reading.value;
        MarkField(field, reading);
    }
}

void CCalibrationDlg::MarkField(const NumberField& field, const FieldReading& reading) {
    if (reading.state == FieldState::Acceptable) {
        field.edit->setPalette(QPalette());
        field.edit->setToolTip({});
        return;
    }
    QPalette palette = field.edit->palette();
    palette.setColor(QPalette::Text, kMarkedText);
    palette.setColor(QPalette::Base, kMarkedGround);
    field.edit->setPalette(palette);
    if (reading.state == FieldState::OutOfRange) {
        field.edit->setToolTip(field.rangeText);
        return;
    }
    field.edit->setToolTip(tr("Здесь нет числа. Введите число, например 1,5 "
                              "(десятичный знак — запятая или точка).\n"
                              "Расчёт ведётся с прежним значением %1.")
                               .arg(FormatG(calibration_.*field.input, kInputPrecision)));
}

CCalibrationDlg::NumberField* CCalibrationDlg::FieldOf(QObject* object) {
    for (NumberField& field : fields_)
        if (field.edit == object) return &field;
    return nullptr;
}

CCalibrationDlg::NumberField* CCalibrationDlg::FirstFieldWithoutNumber() {
    for (NumberField& field : fields_)
        if (ReadField(field).state == FieldState::NotANumber) return &field;
    return nullptr;
}

void CCalibrationDlg::ShowNotANumber(NumberField& field) {
    field.reportedText = field.edit->text();
    MessageBox()(this, tr(kNotANumber), ProgramName());
    field.edit->setFocus();
    field.edit->selectAll();
}

void CCalibrationDlg::NoteFieldLeft(NumberField& field) {
    if (ReadField(field).state != FieldState::NotANumber || field.reportedText == field.edit->text()) return;
    leftField_ = &field;
    if (QGuiApplication::mouseButtons() == Qt::NoButton) {
        QTimer::singleShot(0, this, &CCalibrationDlg::ReportLeftField);
    } else if (!waitingForRelease_) {
        // A click moved the focus: a message now would swallow the click.
        waitingForRelease_ = true;
        qApp->installEventFilter(this);
    }
}

void CCalibrationDlg::ReportLeftField() {
    NumberField* field = std::exchange(leftField_, nullptr);
    if (!field || ReadField(*field).state != FieldState::NotANumber || field->reportedText == field->edit->text())
        return;
    ShowNotANumber(*field);
}

bool CCalibrationDlg::eventFilter(QObject* watched, QEvent* event) {
    if (waitingForRelease_ && event->type() == QEvent::MouseButtonRelease) {
        // What the click does (a button's action) comes first; the message right after it.
        waitingForRelease_ = false;
        qApp->removeEventFilter(this);
        QTimer::singleShot(0, this, &CCalibrationDlg::ReportLeftField);
        return false;
    }
    NumberField* field = FieldOf(watched);
    if (!field) return QDialog::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // Enter takes the field and goes on to the next field, from the last back to the first;
        // it never reaches a button: the default one would close the program, and "Сохранить в
        // метод", next in the tab order, would write into a method at a second Enter.
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            const std::size_t next = (static_cast<std::size_t>(field - fields_.data()) + 1) % fields_.size();
            fields_[next].edit->setFocus(Qt::TabFocusReason);
            return true;
        }
    } else if (event->type() == QEvent::FocusOut) {
        // Focus lost to another window (a message, another program) or to a popup has not left
        // the field by the operator's choice.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) NoteFieldLeft(*field);
    }
    return QDialog::eventFilter(watched, event);
}

void CCalibrationDlg::ShowInputs() {
    showingInputs_ = true;
    for (NumberField& field : fields_) field.edit->setText(FormatG(calibration_.*field.input, kInputPrecision));
    showingInputs_ = false;
    // Shown values are numbers, but a stored 0 (the first start) or 150 % is marked as any other.
    for (NumberField& field : fields_) MarkField(field, ReadField(field));
}
