#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// The message boxes that offer a choice (a confirmation) or tell an outcome, beside the dialog's
// one warning (MessageBoxFunction in app/OstrelDlg.h). They go through one function that tests
// replace with their own, to read what would be shown and answer it without a window.
struct ChoiceBox {
    enum class Icon { Information, Warning, Question };

    Icon icon = Icon::Information;
    QString caption;
    QString text;
    QStringList buttons{QStringLiteral("OK")};  // left to right
    int defaultButton = 0;  // chosen by Enter
    int escapeButton = 0;   // chosen by Esc or by closing the box
};

// Shows `box` and returns the index of the button chosen.
using ChoiceBoxFunction = std::function<int(QWidget* parent, const ChoiceBox& box)>;

// Puts `show` in place of the platform's message box (an empty function brings it back);
// returns the function it replaces.
ChoiceBoxFunction SetChoiceBoxFunction(ChoiceBoxFunction show);

int ShowChoiceBox(QWidget* parent, const ChoiceBox& box);
