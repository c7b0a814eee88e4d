#include "app/OstrelDlg.h"

#include "app/MethodWriteFlow.h"
#include "app/ProtocolFlow.h"
#include "core/MethodFile.h"
#include "core/Quality.h"
#include "core/Settings.h"
#include "chart/AutoCtrl.h"
#include "chart/CalibrationChart.h"
#include "platform/Text.h"
#include "platform/gui/Controls.h"
#include "platform/gui/DialogTemplate.h"
#include "resources/Resource.h"
#include "selection/OpenChrmDlg.h"

#include <QBrush>
#include <QColor>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <locale.h>

namespace {

namespace gui = platform::gui;
using namespace resources;

constexpr const char* kNotANumber = "Please enter a number.";
// A field is read as the window system's text buffer of 32 characters holds it.
constexpr int kFieldCharacters = 31;
constexpr int kShownPrecision = 4;    // figures shown to the operator
constexpr int kInputPrecision = 15;   // the inputs: every digit a double is sure to hold

struct LevelColumn {
    const char* header;
    int width;  // pixels
};
constexpr LevelColumn kLevelColumns[] = {
    {"ID", 40}, {"Проба", 150}, {"S", 70}, {"Sст", 70}, {"С", 70}, {"Сст", 70}, {"К", 70}, {"Откл., %", 60},
};

// What the list and the verdict say in words and colours.
constexpr const char* kUnreadable = "Ошибка чтения";
constexpr const char* kNoFile = "Хроматограмма не выбрана";
constexpr const char* kAccepted = "Калибровка принята";
constexpr const char* kAcceptedWithRemark = "Калибровка принята. Замечание: ";
constexpr const char* kRefused = "Калибровка не принята: ";
constexpr const char* kNoFigure = "—";
constexpr QRgb kAcceptedColour = qRgb(0, 128, 0);
constexpr QRgb kRefusedColour = qRgb(200, 0, 0);
constexpr QRgb kWarningColour = qRgb(170, 85, 0);
constexpr int kDeviationDecimals = 2;
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

// printf's "%.*g", whatever locale the process runs in.
QString FormatG(double value, int precision) {
    char buffer[64];
    const std::to_chars_result r =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
    return QString::fromLatin1(buffer, static_cast<int>(r.ptr - buffer));
}

// A figure of the quality as "%.*g", or a dash when it is not a number.
QString QualityFigure(double value, int precision) {
    return std::isfinite(value) ? FormatG(value, precision) : QString::fromUtf8(kNoFigure);
}

// A deviation in percent with its sign and two decimals ("+0.85", "-0.74").
QString DeviationText(double value) {
    if (!std::isfinite(value)) return QString::fromUtf8(kNoFigure);
    char buffer[64];
    const std::to_chars_result r =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, kDeviationDecimals);
    const QString text = QString::fromLatin1(buffer, static_cast<int>(r.ptr - buffer));
    return value > 0 ? "+" + text : text;
}

// The text in the label, cut with an ellipsis where it would not fit.
void SetElidedText(QLabel* label, const QString& text) {
    label->setText(label->fontMetrics().elidedText(text, Qt::ElideRight, label->width()));
}

void SetTextColour(QLabel* label, QRgb colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(colour));
    label->setPalette(palette);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A field's text as a number: blanks, what strtod reads in the C locale (sign, digits, point,
// exponent), blanks, nothing more. A
// text strtod reads as 0 counts only when it starts with the digit 0, so that an empty field, a
// lone point or sign, "-0" and "+0" are not numbers while "0", "0.0" and "0e5" are.
std::optional<double> ParseNumberField(const std::string& text) {
    static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    const char* p = text.c_str();
    while (IsBlank(*p)) ++p;
    const char first = *p;
    char* end = nullptr;
    const double value = ::strtod_l(p, &end, cLocale);
    if (value == 0 && first != '0') return std::nullopt;
    // Only sign, digits, point and exponent: glibc's strtod also reads "inf", "nan" and hex
    // numbers, which are no masses and which the operator's C library never took for numbers.
    if (std::string_view(p, static_cast<size_t>(end - p)).find_first_not_of("0123456789+-.eE") != std::string_view::npos)
        return std::nullopt;
    p = end;
    while (IsBlank(*p)) ++p;
    if (*p != '\0') return std::nullopt;
    return value;
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

// The screen font that stands for the template's runs a few pixels wider on some captions: a
// label widens to its text rather than cut off its last letter (the template leaves the room).
void WidenClippedLabels(const QDialog& dialog) {
    for (QLabel* label : dialog.findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        const int need = label->fontMetrics().horizontalAdvance(label->text());
        if (need > label->width()) label->resize(need, label->height());
    }
}

std::optional<std::vector<std::string>> RunOpenChrmDlg(QWidget* parent) {
    COpenChrmDlg dialog(parent);
    if (dialog.Run(false) != IDOK) return std::nullopt;
    std::vector<std::string> paths;
    for (int i = 0; i < dialog.SelectedCount(); ++i) paths.push_back(dialog.SelectedPath(i));
    return paths;
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
    WidenClippedLabels(*this);
    navEdit_ = gui::FindControl<QLineEdit>(this, IDC_NAV);
    nav2Edit_ = gui::FindControl<QLineEdit>(this, IDC_NAV2);
    dolyaEdit_ = gui::FindControl<QLineEdit>(this, IDC_DOLYA);
    averageLabel_ = gui::FindControl<QLabel>(this, IDC_AVERAGE);
    statisticsLabel_ = gui::FindControl<QLabel>(this, IDC_STATISTICS);
    verdictLabel_ = gui::FindControl<QLabel>(this, IDC_VERDICT);
    QFont bold = verdictLabel_->font();
    bold.setBold(true);
    verdictLabel_->setFont(bold);
    statisticsLabel_->setToolTip(QString::fromUtf8(
        "ОСКО: относительное стандартное отклонение коэффициентов уровней 0.05–0.5 (RSD).\n"
        "Разброс: (Kmax − Kmin) / K̄; калибровка принимается, пока он не больше допуска лаборатории.\n"
        "r²: насколько линия среднего коэффициента проходит через точки (1 — точно через все)."));
    maxSpread_ = core::ReadMaxSpread();
    methodList_ = gui::FindControl<QComboBox>(this, IDC_METHOD_LIST);
    levelList_ = gui::FindControl<QTreeWidget>(this, IDC_LEVEL_LIST);

    // The black frame becomes the chart control, with its place and id.
    QWidget* frame = gui::FindControl(this, IDC_CHART);
    chart_ = new CAutoCtrl(this);
    chart_->ReplaceControl(frame);

    OnInitDialog();
    Connect();
}

CCalibrationDlg::~CCalibrationDlg() {
    if (!destroyed_) OnDestroy();
}

void CCalibrationDlg::OnInitDialog() {
    ShowInputs();
    calibration_.averageCoefficient = 0;
    ConfigureChart();
    FillMethodList();
    storedMethodTitle_ = core::LoadSettings(calibration_);
    SelectStoredMethod(storedMethodTitle_);
    ShowInputs();
    Recalculate();
    ShowInputs();
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

void CCalibrationDlg::FillMethodList() {
    for (const std::string& title : core::ListMethodTitles()) gui::AddString(methodList_, title);
    methodList_->setCurrentIndex(methodList_->count() > 0 ? 0 : -1);
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
    for (const LevelColumn& column : kLevelColumns) headers << QString::fromUtf8(column.header);
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
            [this] { OfferProtocol(this, calibration_, maxSpread_, ChosenMethodTitle()); });
    connect(gui::FindControl<QPushButton>(this, IDOK), &QPushButton::clicked, this, &CCalibrationDlg::OnOK);
    for (QLineEdit* edit : {navEdit_, nav2Edit_, dolyaEdit_})
        connect(edit, &QLineEdit::textChanged, this, [this] {
            if (!showingInputs_) Recalculate();
        });
}

void CCalibrationDlg::ChooseLevelFile(int level) {
    const std::optional<std::vector<std::string>> paths = chooser_(this);
    if (!paths) return;
    // Each file chosen is the level's in turn: the last one stays.
    for (const std::string& path : *paths) {
        calibration_.table[level].path = path;
        Recalculate();
    }
}

// The list starts afresh; the chart and the coefficient keep the last calibration until the next
// recalculation.
void CCalibrationDlg::OnClear() {
    TakeFields();
    calibration_.table.ResetLevels();
    FillLevelList();
}

void CCalibrationDlg::OnSaveToMethod() {
    const bool fieldsHoldNumbers = TakeFields();
    SaveToMethodConfirmed(this, SelectedMethodTitle(), fieldsHoldNumbers, calibration_, quality_);
}

void CCalibrationDlg::OnUndoMethodWrite() { UndoLastMethodWrite(this, SelectedMethodTitle()); }

std::string CCalibrationDlg::SelectedMethodTitle() const {
    return methodList_->currentIndex() < 0 ? std::string() : gui::SelectedText(methodList_);
}

void CCalibrationDlg::OnOK() {
    if (TakeFields()) accept();
}

void CCalibrationDlg::done(int result) {
    QDialog::done(result);
    if (!destroyed_) OnDestroy();
}

// The settings are stored once, when the window goes. The fields are taken twice, so a field that
// is not a number brings its message twice and the last good value is stored.
void CCalibrationDlg::OnDestroy() {
    destroyed_ = true;
    TakeFields();
    TakeFields();
    core::SaveSettings(calibration_, ChosenMethodTitle());
}

std::string CCalibrationDlg::ChosenMethodTitle() const {
    return methodList_->currentIndex() < 0 ? storedMethodTitle_ : gui::SelectedText(methodList_);
}

void CCalibrationDlg::Recalculate() {
    TakeFields();
    calibration_.ComputeCalibration();
    averageLabel_->setText(FormatG(calibration_.averageCoefficient, kShownPrecision));
    FillLevelList();
    // The series draw the arrays themselves, wherever they now are.
    chart_->chart.GetSeries(kCalibrationLineSeries)
        .SetData(calibration_.lineX.data(), calibration_.lineY.data(), static_cast<int>(calibration_.lineX.size()));
    chart_->chart.GetSeries(kCalibrationPointSeries)
        .SetData(calibration_.pointsX.data(), calibration_.pointsY.data(),
                 static_cast<int>(calibration_.pointsX.size()));
    chart_->repaint();
}

// The list and the verdict always speak of the same levels: the judgement is made afresh here,
// also when the levels were emptied without a new calculation.
void CCalibrationDlg::FillLevelList() {
    quality_ = core::JudgeCalibration(calibration_, maxSpread_);
    levelList_->clear();
    for (int k = 0; k < core::CalibrationTable::kLevelCount; ++k) {
        const core::CalibrationLevel& level = calibration_.table[k];
        const bool unreadable = level.file == core::LevelFile::Unreadable;
        // The blank has no coefficient, so no deviation.
        const QString deviation = k == 0 ? QString() : DeviationText(quality_.deviations[static_cast<size_t>(k - 1)]);
        auto* row = new QTreeWidgetItem(
            levelList_, QStringList{FormatG(level.fraction, kShownPrecision),
                                    QString::fromUtf8(unreadable ? kUnreadable : level.sampleName.c_str()),
                                    FormatG(level.ethanolArea, kShownPrecision),
                                    FormatG(level.standardArea, kShownPrecision),
                                    FormatG(level.ethanolAmount, kShownPrecision),
                                    FormatG(level.standardAmount, kShownPrecision),
                                    FormatG(level.coefficient, kShownPrecision), deviation});
        // The whole path, which the sample column has no room for.
        const QString where = level.path.empty() ? QString::fromUtf8(kNoFile) : QString::fromStdString(level.path);
        for (int column = 0; column < levelList_->columnCount(); ++column) row->setToolTip(column, where);
        const core::LevelMark mark = quality_.levelMarks[static_cast<size_t>(k)];
        if (mark == core::LevelMark::None) continue;
        const QBrush colour(QColor(mark == core::LevelMark::Problem ? kRefusedColour : kWarningColour));
        for (int column = 0; column < levelList_->columnCount(); ++column) row->setForeground(column, colour);
    }
    ShowQuality();
}

void CCalibrationDlg::ShowQuality() {
    SetElidedText(statisticsLabel_, QString::fromUtf8("ОСКО %1 %   разброс %2 % (допуск %3 %)   r² %4")
                                        .arg(QualityFigure(quality_.rsd, kSpreadPrecision),
                                             QualityFigure(quality_.spread, kSpreadPrecision),
                                             QualityFigure(quality_.maxSpread, kSpreadPrecision),
                                             QualityFigure(quality_.r2, kR2Precision)));

    // The verdict with the first reason or remark; all of them in its tooltip.
    const QString first = quality_.problems.empty() ? QString() : QString::fromStdString(quality_.problems.front());
    QString verdict;
    if (!quality_.accepted)
        verdict = QString::fromUtf8(kRefused) + first;
    else if (!quality_.problems.empty())
        verdict = QString::fromUtf8(kAcceptedWithRemark) + first;
    else
        verdict = QString::fromUtf8(kAccepted);
    SetElidedText(verdictLabel_, verdict);
    SetTextColour(verdictLabel_, quality_.accepted ? kAcceptedColour : kRefusedColour);
    QStringList all;
    for (const std::string& problem : quality_.problems) all << QString::fromStdString(problem);
    verdictLabel_->setToolTip(all.isEmpty() ? verdict : all.join('\n'));
}

bool CCalibrationDlg::TakeFields() {
    struct Field {
        QLineEdit* edit;
        double& input;
    };
    const Field fields[] = {{navEdit_, calibration_.nav}, {nav2Edit_, calibration_.nav2}, {dolyaEdit_, calibration_.dolya}};
    for (const Field& field : fields) {
        const std::optional<double> value = ParseNumberField(field.edit->text().left(kFieldCharacters).toStdString());
        if (!value) {
            MessageBox()(this, QString::fromLatin1(kNotANumber), ProgramName());
            field.edit->setFocus();
            field.edit->selectAll();
            return false;
        }
        field.input = *value;
    }
    return true;
}

void CCalibrationDlg::ShowInputs() {
    showingInputs_ = true;
    navEdit_->setText(FormatG(calibration_.nav, kInputPrecision));
    nav2Edit_->setText(FormatG(calibration_.nav2, kInputPrecision));
    dolyaEdit_->setText(FormatG(calibration_.dolya, kInputPrecision));
    showingInputs_ = false;
}
