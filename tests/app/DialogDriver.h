#pragma once

#include "app/MessageBoxes.h"
#include "app/OstrelDlg.h"
#include "platform/XTPRegistryManager.h"
#include "platform/gui/DialogTemplate.h"
#include "resources/Resource.h"
#include "support/DemoProfile.h"
#include "support/SettingsHome.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Drives the main dialog as an operator does, with a private settings store and the message box
// replaced by a log of its messages.
namespace apptest {

struct Message {
    std::string text;
    std::string caption;
};

// Collects the messages the dialog shows for as long as it lives: the warnings of the fields in
// `messages`, the confirmations and outcomes in `boxes`, each answered by `answer` (by default
// with the box's default button, as Enter does).
class MessageLog {
public:
    MessageLog() {
        previous_ = SetMessageBoxFunction([this](QWidget*, const QString& text, const QString& caption) {
            messages.push_back({text.toStdString(), caption.toStdString()});
        });
        previousChoice_ = SetChoiceBoxFunction([this](QWidget*, const ChoiceBox& box) {
            boxes.push_back(box);
            return answer ? answer(box) : box.defaultButton;
        });
    }
    ~MessageLog() {
        SetMessageBoxFunction(previous_);
        SetChoiceBoxFunction(previousChoice_);
    }
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

    // The text of the n-th box shown.
    std::string Box(std::size_t n) const { return n < boxes.size() ? boxes[n].text.toStdString() : "<no box>"; }

    std::vector<Message> messages;
    std::vector<ChoiceBox> boxes;
    std::function<int(const ChoiceBox&)> answer;

private:
    MessageBoxFunction previous_;
    ChoiceBoxFunction previousChoice_;
};

// A value of the section "Ostrel" of the per-user settings, as stored.
inline double StoredDouble(const char* name) {
    double value = -12345;
    platform::XTPRegistryManager().GetDoubleValue("Ostrel", name, value);
    return value;
}
inline std::string StoredString(const char* name) {
    return platform::XTPRegistryManager().GetStringValue("Ostrel", name, "<missing>");
}

// The settings store in a temporary folder; with a demo profile, pointed at the profile's hives.
class Profile {
public:
    // A clean profile: no settings at all.
    Profile() = default;

    // The demo profile, written into the temporary folder.
    static std::unique_ptr<Profile> Demo() {
        auto p = std::make_unique<Profile>();
        p->demo = fixtures::WriteDemoProfile(p->home.Dir().Path() + "/demo");
        ::setenv("XDG_CONFIG_HOME", p->demo.userConfig.c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", p->demo.machineConfig.c_str(), 1);
        return p;
    }

    fixtures::SettingsHome home;  // puts the environment back when it goes
    fixtures::DemoProfile demo;
};

// The dialog, shown and active, with helpers that find its controls by id. The calculation runs
// in the background: the helpers that act as the operator does let the pass they begin end
// before they return (Settle), so that what follows sees its figures.
class Driver {
public:
    // With `settle` false it returns as soon as the window shows, whatever the calculation does.
    explicit Driver(bool settle = true) : dialog(std::make_unique<CCalibrationDlg>()) {
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        (void)QTest::qWaitForWindowActive(dialog.get());
        if (settle) Settle();
    }

    // Lets the calculation pass under way end and its figures show; false when it has not
    // ended within `timeoutMs`.
    bool Settle(int timeoutMs = 10000) const {
        const bool ended = QTest::qWaitFor([this] { return !dialog->Calculating(); }, timeoutMs);
        QApplication::processEvents();
        return ended;
    }

    template <class T = QWidget>
    T* Control(int id) const {
        T* control = platform::gui::FindControl<T>(dialog.get(), id);
        EXPECT_NE(control, nullptr) << "control " << id;
        return control;
    }
    QLineEdit* Field(int id) const { return Control<QLineEdit>(id); }
    QTreeWidget* Levels() const { return Control<QTreeWidget>(resources::IDC_LEVEL_LIST); }
    QComboBox* Methods() const { return Control<QComboBox>(resources::IDC_METHOD_LIST); }
    std::string Average() const { return Control<QLabel>(resources::IDC_AVERAGE)->text().toStdString(); }
    std::string Cell(int row, int column) const {
        const QTreeWidgetItem* item = Levels()->topLevelItem(row);
        return item ? item->text(column).toStdString() : "<no row>";
    }
    std::string MethodTitle() const { return Methods()->currentText().toStdString(); }
    std::string Statistics() const { return Control<QLabel>(resources::IDC_STATISTICS)->text().toStdString(); }
    std::string Verdict() const { return Control<QLabel>(resources::IDC_VERDICT)->text().toStdString(); }
    QColor VerdictColour() const {
        return Control<QLabel>(resources::IDC_VERDICT)->palette().color(QPalette::WindowText);
    }

    void Click(int id) const {
        QTest::mouseClick(Control<QAbstractButton>(id), Qt::LeftButton);
        Settle();
    }
    // Replaces the whole text of a field at once, as pasting over a selection does.
    void Paste(int id, const char* text) const {
        Field(id)->setText(QString::fromUtf8(text));
        Settle();
    }
    // Types ASCII text at the cursor, key by key.
    void Type(int id, const char* text) const {
        QTest::keyClicks(Field(id), QString::fromLatin1(text));
        Settle();
    }
    // Types text of any script key by key (QTest::keyClicks handles Latin only).
    void TypeText(QWidget* widget, const QString& text) const {
        for (const QChar c : text) QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    // Whether a field is marked as one the calculation does not take from: red text and a
    // tooltip that says why, which always come together.
    bool Marked(int id) const {
        QLineEdit* field = Field(id);
        const bool red = field->palette().color(QPalette::Text) != dialog->palette().color(QPalette::Text);
        EXPECT_EQ(red, !field->toolTip().isEmpty()) << "control " << id << ": colour and tooltip go together";
        return red;
    }
    // Presses a key where the keyboard focus is, then lets what the key set off run.
    void Key(Qt::Key key) const {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : dialog.get(), key);
        QApplication::processEvents();
        Settle();
    }
    int FocusId() const {
        return QApplication::focusWidget() ? platform::gui::ControlId(QApplication::focusWidget()) : -1;
    }
    void Choose(const std::string& method) const {
        QComboBox* combo = Methods();
        const int target = combo->findText(QString::fromStdString(method), Qt::MatchExactly | Qt::MatchCaseSensitive);
        ASSERT_GE(target, 0) << method;
        while (combo->currentIndex() < target) QTest::keyClick(combo, Qt::Key_Down);
        while (combo->currentIndex() > target) QTest::keyClick(combo, Qt::Key_Up);
    }

    std::unique_ptr<CCalibrationDlg> dialog;
};

}  // namespace apptest
