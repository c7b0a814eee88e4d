#include "app/MessageBoxes.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

#include <vector>

namespace {

QMessageBox::Icon PlatformIcon(ChoiceBox::Icon icon) {
    switch (icon) {
    case ChoiceBox::Icon::Information: return QMessageBox::Information;
    case ChoiceBox::Icon::Warning: return QMessageBox::Warning;
    case ChoiceBox::Icon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

int ShowPlatformChoiceBox(QWidget* parent, const ChoiceBox& box) {
    QMessageBox message(PlatformIcon(box.icon), box.caption, box.text, QMessageBox::NoButton, parent);
    std::vector<QPushButton*> buttons;
    for (int i = 0; i < box.buttons.size(); ++i)
        // The first button is the action, the others decline it: the platform orders them so.
        buttons.push_back(
            message.addButton(box.buttons[i], i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole));
    if (buttons.empty()) return -1;
    message.setDefaultButton(buttons.at(static_cast<size_t>(box.defaultButton)));
    message.setEscapeButton(buttons.at(static_cast<size_t>(box.escapeButton)));
    message.exec();
    for (size_t i = 0; i < buttons.size(); ++i)
        if (message.clickedButton() == buttons[i]) return static_cast<int>(i);
    return box.escapeButton;
}

ChoiceBoxFunction& ChoiceBoxHandler() {
    static ChoiceBoxFunction show = ShowPlatformChoiceBox;
    return show;
}

}  // namespace

ChoiceBoxFunction SetChoiceBoxFunction(ChoiceBoxFunction show) {
    ChoiceBoxFunction previous = std::move(ChoiceBoxHandler());
    ChoiceBoxHandler() = show ? std::move(show) : ChoiceBoxFunction(ShowPlatformChoiceBox);
    return previous;
}

int ShowChoiceBox(QWidget* parent, const ChoiceBox& box) { return ChoiceBoxHandler()(parent, box); }
