#pragma once

#include "core/Calc.h"
#include "core/Quality.h"

#include <QDialog>
#include <QIcon>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class CAutoCtrl;
class QComboBox;
class QLabel;
class QLineEdit;
class QTreeWidget;

// The program's one message box (a warning with an OK button). Tests put a function of their own
// in its place to see the messages instead of answering them; an empty function brings the
// platform's back. Returns the function it replaces.
using MessageBoxFunction = std::function<void(QWidget* parent, const QString& text, const QString& caption)>;
MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction show);

// "Калибровка по ГОСТ 25742.4-83 (версия 1.1)": the program's main window, a fixed-size dialog
// (template 102). It shows the five calibration levels, the calibration chart, the operator's
// three masses and the average coefficient, and recomputes everything whenever one of them
// changes. The settings are read when it is created and written when it ends, however it ends.
class CCalibrationDlg : public QDialog {
    Q_OBJECT

public:
    // Chooses the chromatograms for one level: their full paths, in the order chosen, or nothing
    // when the operator cancels. By default the open dialog "Открытие хроматограммы".
    using LevelFileChooser = std::function<std::optional<std::vector<std::string>>(QWidget* parent)>;

    explicit CCalibrationDlg(QWidget* parent = nullptr);
    ~CCalibrationDlg() override;

    void SetLevelFileChooser(LevelFileChooser chooser) { chooser_ = std::move(chooser); }

    // What the dialog holds and shows: the levels, the inputs and the results.
    const core::Calibration& State() const { return calibration_; }
    // The judgement of the levels the list shows, as the verdict line shows it.
    const core::CalibrationQuality& Quality() const { return quality_; }
    CAutoCtrl* Chart() const { return chart_; }

    // Ending the dialog, by any button or key or the window's close button, destroys its window:
    // the fields are taken and the settings stored.
    void done(int result) override;

private:
    void OnInitDialog();
    void ConfigureChart();
    void FillMethodList();
    void SelectStoredMethod(const std::string& title);
    void InsertLevelColumns();
    void Connect();

    void ChooseLevelFile(int level);
    void OnClear();
    void OnSaveToMethod();
    void OnUndoMethodWrite();
    void OnOK();
    void OnDestroy();

    void Recalculate();
    // Judges the levels and shows them: the rows (a problem marked in colour, the deviation of
    // each coefficient), the figures of the calibration's quality and the verdict.
    void FillLevelList();
    void ShowQuality();
    // The dialog data exchange of the three number fields. Taking stops at the first field that
    // is not a number, after its message; it returns whether all three were numbers.
    bool TakeFields();
    void ShowInputs();
    // The method title to store and to save into: the selected entry's, or with none selected
    // (no method folder) the title the settings held, so that it is not lost.
    std::string ChosenMethodTitle() const;
    // The selected entry's title; "" with none selected.
    std::string SelectedMethodTitle() const;

    core::Calibration calibration_;
    core::CalibrationQuality quality_;
    double maxSpread_ = core::kDefaultMaxSpread;  // the machine's limit, read once at start
    CAutoCtrl* chart_ = nullptr;
    QComboBox* methodList_ = nullptr;
    QTreeWidget* levelList_ = nullptr;
    QLineEdit* navEdit_ = nullptr;
    QLineEdit* nav2Edit_ = nullptr;
    QLineEdit* dolyaEdit_ = nullptr;
    QLabel* averageLabel_ = nullptr;
    QLabel* statisticsLabel_ = nullptr;
    QLabel* verdictLabel_ = nullptr;
    QIcon icon_;
    LevelFileChooser chooser_;
    std::string storedMethodTitle_;
    bool showingInputs_ = false;  // the fields change by the dialog's own hand: not an edit
    bool destroyed_ = false;
};
