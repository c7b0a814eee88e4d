#pragma once

// Running a window's tests in each language the program speaks, and the checks of a layout that
// must hold in every one of them: each caption shows whole, no two controls overlap, and an
// English window shows no Russian text of its own.
#include "platform/gui/DialogTemplate.h"
#include "resources/Translation.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QStringList>
#include <QTreeView>

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace fixtures {

inline constexpr resources::Language kLanguages[] = {resources::Language::Russian, resources::Language::English};

// The windows built while it lives speak `language`; afterwards no translation is installed.
class DialogLanguage {
public:
    explicit DialogLanguage(resources::Language language) {
        EXPECT_TRUE(resources::UseLanguage(language)) << "the translation loads";
    }
    ~DialogLanguage() { resources::ResetLanguage(); }
    DialogLanguage(const DialogLanguage&) = delete;
    DialogLanguage& operator=(const DialogLanguage&) = delete;
};

// The name of a test's language parameter, for gtest ("Russian", "English").
inline std::string LanguageName(const ::testing::TestParamInfo<resources::Language>& info) {
    return info.param == resources::Language::English ? "English" : "Russian";
}

inline bool HasCyrillic(const QString& text) {
    for (const QChar c : text)
        if (c.script() == QChar::Script_Cyrillic) return true;
    return false;
}

// Whether `text` has Russian of its own: Cyrillic left once every piece of `data` (names of
// methods, samples and files, the peak names) is taken out.
inline bool HasRussianBesides(QString text, const QStringList& data) {
    for (const QString& piece : data) text.remove(piece);
    return HasCyrillic(text);
}

// The widest line of a caption ("&" marks a mnemonic and takes no room).
inline int CaptionWidth(const QFontMetrics& metrics, QString text) {
    text.remove(QLatin1Char('&'));
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n'))) widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest;
}

// Every caption of the dialog's own controls shows whole: a label's text fits its width (on the
// lines its height holds, when it wraps), a button's caption fits within its bevel, a check box's
// text fits beside its box. And no two visible controls overlap. `skip` names ids whose texts are
// data (paths, figures) rather than captions.
inline void ExpectCaptionsWholeAndNoOverlap(const QDialog& dialog,
                                            const std::set<int>& skip = {}) {
    const QList<QWidget*> controls = dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* control : controls) {
        if (!control->isVisible() || skip.count(platform::gui::ControlId(control))) continue;
        if (auto* label = qobject_cast<QLabel*>(control)) {
            const QFontMetrics metrics = label->fontMetrics();
            if (label->wordWrap()) {
                EXPECT_LE(label->heightForWidth(label->width()), label->height()) << label->text().toStdString();
            } else {
                EXPECT_LE(CaptionWidth(metrics, label->text()), label->width()) << label->text().toStdString();
            }
        } else if (auto* box = qobject_cast<QCheckBox*>(control)) {
            EXPECT_LE(box->sizeHint().width(), box->width()) << box->text().toStdString();
        } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            constexpr int kBevel = 2;  // each side of a button
            EXPECT_LE(CaptionWidth(button->fontMetrics(), button->text()) + 2 * kBevel, button->width())
                << button->text().toStdString();
        }
    }
    for (int i = 0; i < controls.size(); ++i) {
        for (int j = i + 1; j < controls.size(); ++j) {
            if (!controls[i]->isVisible() || !controls[j]->isVisible()) continue;
            EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
                << platform::gui::ControlId(controls[i]) << " " << controls[i]->metaObject()->className() << " and "
                << platform::gui::ControlId(controls[j]) << " " << controls[j]->metaObject()->className();
        }
    }
}

// An English dialog shows no Russian of its own: its title, captions and list headers. Data
// (file names, samples, methods) may be Russian; `skip` names the ids that show data.
inline void ExpectNoRussianCaptions(const QDialog& dialog,
                                    const std::set<int>& skip = {}) {
    EXPECT_FALSE(HasCyrillic(dialog.windowTitle())) << dialog.windowTitle().toStdString();
    for (QWidget* control : dialog.findChildren<QWidget*>()) {
        if (skip.count(platform::gui::ControlId(control))) continue;
        QString text;
        if (auto* label = qobject_cast<QLabel*>(control)) text = label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(control)) text = button->text();
        EXPECT_FALSE(HasCyrillic(text)) << text.toStdString();
        if (auto* view = qobject_cast<QTreeView*>(control); view && !view->isHeaderHidden()) {
            QAbstractItemModel* model = view->model();
            for (int c = 0; model && c < model->columnCount(); ++c) {
                const QString header = model->headerData(c, Qt::Horizontal).toString();
                EXPECT_FALSE(HasCyrillic(header)) << header.toStdString();
            }
        }
    }
}

}  // namespace fixtures
