#pragma once

#include "core/Calc.h"
#include "core/Quality.h"

#include <QDialog>
#include <QIcon>
#include <QPointer>
#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class CAutoCtrl;
class CCalculationWorker;
class CChromatogramWindow;
class CLevelOverlayWindow;
class QComboBox;
class QLabel;
class QLineEdit;
class QTimer;
class QTreeWidget;

// The program's message box (a warning with an OK button). Tests put a function of their own
// in its place to see the messages instead of answering them; an empty function brings the
// platform's back. Returns the function it replaces.
using MessageBoxFunction = std::function<void(QWidget* parent, const QString& text, const QString& caption)>;
MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction show);

// "Калибровка по ГОСТ 25742.4-83 (версия 1.1)": the program's main window, a fixed-size dialog
// (template 102). It shows the five calibration levels, the calibration chart, the operator's
// three masses and the average coefficient, and recomputes everything whenever one of them
// changes. The settings are read when it is created and written when it ends.
//
// The number fields take what core::ParseNumber reads ("0,5" and "0.5" alike). A field that holds
// no number, or a number out of its range (masses > 0, the mass fraction > 0 and <= 100), is
// marked (red on pale red, with a tooltip that says why); nothing pops up while the operator
// types. The calculation takes every number a field holds, out of range or not, and keeps the
// last number of a field that holds none. "Введите число." is shown once when the focus leaves a
// field that holds no number, and whenever the window is to close with one. Enter in a field
// moves to the next field (after the last, the first). "Закрыть", Esc and the window's close
// button all close alike: with a field that holds no number the window stays, that field
// focused; otherwise the settings are stored (a failure is reported) and the dialog ends.
//
// The level files are read off the window's thread (CCalculationWorker): the window shows at
// once and keeps answering while a share is slow. Every change of the inputs begins a new pass
// and only the newest pass's figures are shown. While a pass runs, the rows of the levels being
// read say "чтение…", the average shows "…" and the verdict says the calculation is under way; a
// read that has not answered for a few seconds is shown as waiting for its file, with the path
// and the seconds waited. "Сохранить в метод" and "Протокол…" pressed meanwhile act once the
// pass that matches the fields has ended, never on the figures of older inputs.
class CCalibrationDlg : public QDialog {
    Q_OBJECT

public:
    // What a level button asks for: the level's name as its button shows it ("0.1") and the
    // level's chromatogram now ("" for none).
    struct LevelFileRequest {
        QString levelName;
        std::string currentPath;
    };
    // Chooses the chromatogram for one level: its full path, or nothing when the operator
    // cancels. By default the open dialog "Открытие хроматограммы" in single selection.
    using LevelFileChooser = std::function<std::optional<std::string>(QWidget* parent, const LevelFileRequest& request)>;

    explicit CCalibrationDlg(QWidget* parent = nullptr);
    ~CCalibrationDlg() override;

    void SetLevelFileChooser(LevelFileChooser chooser) { chooser_ = std::move(chooser); }

    // What the dialog holds and shows: the levels, the inputs and the results.
    const core::Calibration& State() const { return calibration_; }
    // The judgement of the levels the list shows, as the verdict line shows it.
    const core::CalibrationQuality& Quality() const { return quality_; }
    CAutoCtrl* Chart() const { return chart_; }
    // The window "Хроматограммы уровней" while it is open (it follows the levels), else null.
    CLevelOverlayWindow* LevelOverlay() const;

    // Whether every number field holds a number within its range: the calculation is then made
    // of exactly what the fields show, and of sensible masses. Whoever writes the coefficient
    // anywhere asks this first.
    bool FieldsAcceptable() const;

    // Whether a calculation pass is under way: the figures shown are not yet those of the inputs.
    bool Calculating() const;

    // "Закрыть" accepts, Esc and the window's close button reject: both close as described above.
    void accept() override;
    void reject() override;
    // Ends the dialog as QDialog does, storing the settings first (once) and reporting a failure.
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // One number field: the edit, the input it sets and the largest value it accepts (every field
    // wants more than 0).
    struct NumberField {
        QLineEdit* edit = nullptr;
        double core::Calibration::*input = nullptr;
        double upperLimit = 0;  // infinity: none
        QString rangeText;      // why an out-of-range value is refused
        // The text "Введите число." was shown for on leaving: leaving again with it says nothing.
        std::optional<QString> reportedText;
    };
    enum class FieldState { Acceptable, NotANumber, OutOfRange };
    struct FieldReading {
        FieldState state;
        double value;  // meaningful unless NotANumber
    };

    void OnInitDialog();
    void ConfigureChart();
    void FillMethodList();
    void SelectStoredMethod(const std::string& title);
    void InsertLevelColumns();
    void Connect();

    void ChooseLevelFile(int level);
    // The level's chromatogram window: the one already open brought forward, or a new one.
    void ShowLevelWindow(int level);
    // Each open chromatogram window shows its level's file as it now is (closed for a level
    // emptied).
    void FollowLevelWindows();
    void OnClear();
    void OpenLevelOverlay();
    void OnSaveToMethod();
    void OnUndoMethodWrite();
    void OnFieldEdited();
    // The one way to close, whatever asked: refuses with a field that holds no number.
    void Close(int result);

    // Begins a calculation pass over the levels' paths; its figures are shown when it ends.
    void Recalculate();
    void OnPassEnded();
    void ShowCalculation();
    void ShowWaitingRead();
    // What waits for the current pass: "Сохранить в метод" or "Протокол…" pressed meanwhile.
    enum class AfterPass { Nothing, SaveToMethod, Protocol };
    void RunAfterPass(AfterPass action);
    // Judges the levels and shows them: the rows (a problem marked in colour, the deviation of
    // each coefficient), the figures of the calibration's quality and the verdict.
    void FillLevelList();
    void ShowQuality();

    FieldReading ReadField(const NumberField& field) const;
    // Every field that holds a number sets its input; every field shows whether it is acceptable.
    void TakeFields();
    void MarkField(const NumberField& field, const FieldReading& reading);
    NumberField* FieldOf(QObject* object);
    NumberField* FirstFieldWithoutNumber();
    // Whether every field holds a number, so that the calculation's inputs are what they show.
    bool FieldsHoldNumbers() const;
    // "Введите число.", then the field focused with its text selected for retyping.
    void ShowNotANumber(NumberField& field);
    // The focus left a field by the operator's hand: its message follows once the click or key
    // that moved the focus has been handled, so that the click is not lost to the message.
    void NoteFieldLeft(NumberField& field);
    void ReportLeftField();

    void ShowInputs();
    void StoreSettings();
    void ReportHivesMovedAside();
    // The method title to store and to save into: the selected entry's, or with none selected
    // (no method folder) the title the settings held, so that it is not lost.
    std::string ChosenMethodTitle() const;
    // The selected entry's title; "" with none selected.
    std::string SelectedMethodTitle() const;

    core::Calibration calibration_;
    core::CalibrationQuality quality_;
    double maxSpread_ = core::kDefaultMaxSpread;  // the machine's limits, read once at start
    double maxRetentionShift_ = core::kDefaultMaxRetentionShift;
    CAutoCtrl* chart_ = nullptr;
    QPointer<CLevelOverlayWindow> overlay_;
    QComboBox* methodList_ = nullptr;
    QTreeWidget* levelList_ = nullptr;
    std::array<NumberField, 3> fields_;  // in the order 5018, 5019, 5020
    QLabel* averageLabel_ = nullptr;
    QLabel* statisticsLabel_ = nullptr;
    QLabel* verdictLabel_ = nullptr;
    QIcon icon_;
    std::array<QPointer<CChromatogramWindow>, core::CalibrationTable::kLevelCount> levelWindows_;
    LevelFileChooser chooser_;
    CCalculationWorker* worker_ = nullptr;
    QTimer* readWatch_ = nullptr;  // looks at a slow read while a pass runs
    AfterPass afterPass_ = AfterPass::Nothing;
    bool calculating_ = false;  // a pass has begun whose figures are not shown yet
    std::string storedMethodTitle_;
    bool showingInputs_ = false;  // the fields change by the dialog's own hand: not an edit
    NumberField* leftField_ = nullptr;  // left with no number; its message is still to come
    bool waitingForRelease_ = false;    // the message waits for the mouse button to come up
    bool settingsStored_ = false;
};
