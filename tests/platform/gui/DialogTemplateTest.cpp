#include "platform/gui/DialogTemplate.h"

#include "platform/gui/Controls.h"
#include "resources/Resource.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

using platform::gui::BaseUnits;
using platform::gui::ControlKind;
using platform::gui::ControlTemplate;
using platform::gui::DialogTemplate;
using platform::gui::FindControl;

TEST(DialogTemplate, ConvertsDialogUnitsEachValueThroughMulDiv) {
    const BaseUnits msSansSerif{6, 13};
    // 187 * 6 / 4 = 280.5 rounds away from zero; 43 * 13 / 8 = 69.875; 241 * 13 / 8 = 391.625.
    EXPECT_EQ(platform::gui::DialogUnitsToPixels(QRect(187, 43, 282, 192), msSansSerif), QRect(281, 70, 423, 312));
    EXPECT_EQ(platform::gui::DialogUnitsToPixels(QRect(187, 241, 282, 82), msSansSerif), QRect(281, 392, 423, 133));
    EXPECT_EQ(platform::gui::DialogUnitsToPixels(QRect(1, 1, 1, 1), BaseUnits{2, 4}), QRect(1, 1, 1, 1));  // halves up
}

TEST(DialogTemplate, DialogFontStandsInWithSimilarMetrics) {
    // Liberation Sans at 8 points (11 pixels at 96 dpi): base units 6 x 12, against 6 x 13 of the
    // original font. A fallback to a wider font would show here first.
    const QFont font = platform::gui::DialogFont("MS Sans Serif", 8);
    EXPECT_EQ(font.pixelSize(), 11);
    const BaseUnits base = platform::gui::DialogBaseUnits(font);
    EXPECT_EQ(base.x, 6);
    EXPECT_EQ(base.y, 12);
}

const char* ExpectedClass(const ControlTemplate& c) {
    switch (c.kind) {
    case ControlKind::PushButton: return "QPushButton";
    case ControlKind::CheckBox: return (c.style & platform::gui::style::PushLike) ? "QPushButton" : "QCheckBox";
    case ControlKind::Label: return "QLabel";
    case ControlKind::Edit: return (c.style & platform::gui::style::MultiLine) ? "QPlainTextEdit" : "QLineEdit";
    case ControlKind::ComboBox: return "QComboBox";
    case ControlKind::ListView:
    case ControlKind::TreeView: return "QTreeWidget";
    case ControlKind::Frame: return "QFrame";
    }
    return "";
}

class BuiltTemplate : public ::testing::TestWithParam<int> {};

TEST_P(BuiltTemplate, HasEveryControlInTemplateOrderAtItsPlace) {
    const DialogTemplate* t = resources::FindDialogTemplate(GetParam());
    ASSERT_NE(t, nullptr);
    QDialog dialog;
    const BaseUnits base = platform::gui::BuildDialog(dialog, *t);
    EXPECT_EQ(dialog.windowTitle().toStdString(), t->caption);
    EXPECT_EQ(dialog.size(), platform::gui::DialogUnitsToPixels(QRect(0, 0, t->width, t->height), base).size());

    QList<QWidget*> created;
    for (QObject* child : dialog.children())
        if (auto* w = qobject_cast<QWidget*>(child)) created.push_back(w);
    ASSERT_EQ(created.size(), static_cast<qsizetype>(t->controls.size()));
    for (std::size_t i = 0; i < t->controls.size(); ++i) {
        const ControlTemplate& c = t->controls[i];
        QWidget* w = created[static_cast<qsizetype>(i)];
        SCOPED_TRACE(c.id);
        EXPECT_EQ(platform::gui::ControlId(w), c.id);
        EXPECT_STREQ(w->metaObject()->className(), ExpectedClass(c));
        if (c.id != platform::gui::kNoId) {
            EXPECT_EQ(FindControl(&dialog, c.id), w);
        }
        const QRect place = platform::gui::DialogUnitsToPixels(QRect(c.x, c.y, c.width, c.height), base);
        if (c.kind == ControlKind::ComboBox) {
            EXPECT_EQ(w->geometry().topLeft(), place.topLeft());  // closed height comes from the font
        } else {
            EXPECT_EQ(w->geometry(), place);
        }
        if (auto* label = qobject_cast<QLabel*>(w)) {
            EXPECT_EQ(label->text().toStdString(), c.text);
        }
        if (auto* check = qobject_cast<QCheckBox*>(w)) {
            EXPECT_EQ(check->text().toStdString(), c.text);
        }
    }

    // The tab key visits the controls that take the focus in template order.
    QList<QWidget*> focusable;
    for (QWidget* w : created)
        if (w->focusPolicy() & Qt::TabFocus) focusable.push_back(w);
    ASSERT_GE(focusable.size(), 2);
    for (qsizetype i = 0; i + 1 < focusable.size(); ++i) {
        QWidget* next = focusable[i]->nextInFocusChain();
        while (next && !focusable.contains(next)) next = next->nextInFocusChain();
        EXPECT_EQ(next, focusable[i + 1]) << "after control " << platform::gui::ControlId(focusable[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(Templates, BuiltTemplate,
                         ::testing::Values(resources::IDD_CALIBRATION, resources::IDD_OPEN_CHRM));

TEST(DialogTemplate, OpenDialogControlsBehaveAsTheirStylesSay) {
    QDialog dialog;
    const auto* dialogTemplate = resources::FindDialogTemplate(resources::IDD_OPEN_CHRM);
    ASSERT_TRUE(dialogTemplate);
    platform::gui::BuildDialog(dialog, *dialogTemplate);
    EXPECT_GT(dialog.maximumWidth(), dialog.width());  // a sizing border

    auto* open = FindControl<QPushButton>(&dialog, resources::IDOK);
    ASSERT_TRUE(open);
    EXPECT_TRUE(open->isDefault());
    EXPECT_EQ(open->text().toStdString(), "Открыть");
    EXPECT_FALSE(FindControl<QPushButton>(&dialog, resources::IDCANCEL)->isDefault());

    auto* type = FindControl<QComboBox>(&dialog, resources::IDC_TYPE_FILTER);
    ASSERT_TRUE(type);
    ASSERT_EQ(type->count(), 3);
    EXPECT_EQ(type->itemText(0).toStdString(), "Любые");
    EXPECT_EQ(type->itemText(1).toStdString(), "Градуировочные");
    EXPECT_EQ(type->itemText(2).toStdString(), "Анализы");
    EXPECT_FALSE(platform::gui::HasSortedInsertion(type));
    for (int id : {resources::IDC_METHOD_FILTER, resources::IDC_SITE_FILTER, resources::IDC_POINT_FILTER})
        EXPECT_TRUE(platform::gui::HasSortedInsertion(FindControl<QComboBox>(&dialog, id))) << id;

    auto* joint = FindControl<QPushButton>(&dialog, resources::IDC_JOINT_SELECTION);
    ASSERT_TRUE(joint);
    EXPECT_TRUE(joint->isCheckable());
    EXPECT_EQ(joint->text().toStdString(), "Совместный\nвыбор");  // too wide for one line

    auto* passport = FindControl<QPlainTextEdit>(&dialog, resources::IDC_PASSPORT);
    ASSERT_TRUE(passport);
    EXPECT_TRUE(passport->isReadOnly());
    EXPECT_EQ(passport->lineWrapMode(), QPlainTextEdit::NoWrap);

    auto* caption = FindControl<QLabel>(&dialog, resources::IDC_FOLDER_CAPTION);
    ASSERT_TRUE(caption);
    EXPECT_EQ(caption->textFormat(), Qt::PlainText);  // a folder named "<b>x</b>" shows as it is
    EXPECT_FALSE(caption->wordWrap());
}

TEST(DialogTemplate, MainDialogIsFixedSize) {
    QDialog dialog;
    const auto* dialogTemplate = resources::FindDialogTemplate(resources::IDD_CALIBRATION);
    ASSERT_TRUE(dialogTemplate);
    platform::gui::BuildDialog(dialog, *dialogTemplate);
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_TRUE(FindControl<QPushButton>(&dialog, resources::IDOK)->isDefault());
    EXPECT_TRUE(platform::gui::HasSortedInsertion(FindControl<QComboBox>(&dialog, resources::IDC_METHOD_LIST)));
    EXPECT_TRUE(FindControl<QLineEdit>(&dialog, resources::IDC_NAV));
    EXPECT_TRUE(FindControl<QFrame>(&dialog, resources::IDC_CHART));
}

TEST(DialogTemplate, FactoryCreatesControlsOfTheDialogsOwnClass) {
    QDialog dialog;
    QWidget* made = nullptr;
    const auto* dialogTemplate = resources::FindDialogTemplate(resources::IDD_OPEN_CHRM);
    ASSERT_TRUE(dialogTemplate);
    platform::gui::BuildDialog(dialog, *dialogTemplate,
                               [&](const ControlTemplate& c, QWidget* parent) -> QWidget* {
                                   if (c.id != resources::IDC_FOLDER_TREE) return nullptr;
                                   return made = new QTreeWidget(parent);
                               });
    ASSERT_TRUE(made);
    EXPECT_EQ(FindControl(&dialog, resources::IDC_FOLDER_TREE), made);
    EXPECT_TRUE(static_cast<QTreeWidget*>(made)->isHeaderHidden());  // the tree's styles still apply
}

TEST(DialogTemplate, ReplacementWidgetTakesTheIdOver) {
    QDialog dialog;
    const auto* dialogTemplate = resources::FindDialogTemplate(resources::IDD_CALIBRATION);
    ASSERT_TRUE(dialogTemplate);
    platform::gui::BuildDialog(dialog, *dialogTemplate);
    QWidget* frame = FindControl(&dialog, resources::IDC_CHART);
    auto* chart = new QWidget(&dialog);
    chart->setGeometry(frame->geometry());
    platform::gui::SetControlId(frame, platform::gui::kNoId);
    platform::gui::SetControlId(chart, resources::IDC_CHART);
    EXPECT_EQ(FindControl(&dialog, resources::IDC_CHART), chart);
    EXPECT_EQ(platform::gui::ControlId(frame), platform::gui::kNoId);
    EXPECT_EQ(FindControl(&dialog, 4242), nullptr);
}

TEST(StringTable, HoldsTheAnyItems) {
    EXPECT_EQ(resources::LoadString(resources::IDS_ANY_METHOD), "* (любой)");
    EXPECT_EQ(resources::LoadString(resources::IDS_ANY_SITE), "* (любой)");
    EXPECT_EQ(resources::LoadString(resources::IDS_ANY_POINT), "* (любая)");
    EXPECT_EQ(resources::LoadString(129), "");
    EXPECT_EQ(resources::FindDialogTemplate(101), nullptr);
}

TEST(Controls, SortedComboInsertsInCaseInsensitiveOrderAndFindsIgnoringCase) {
    QComboBox combo;
    platform::gui::SetSortedInsertion(&combo, true);
    for (const char* text : {"этанол", "Beta", "alpha", "* (любой)", "ALPHA", "Этанол-2"})
        platform::gui::AddString(&combo, text);
    std::vector<std::string> items;
    for (int i = 0; i < combo.count(); ++i) items.push_back(combo.itemText(i).toStdString());
    EXPECT_EQ(items, (std::vector<std::string>{"* (любой)", "alpha", "ALPHA", "Beta", "этанол", "Этанол-2"}));
    EXPECT_EQ(platform::gui::FindStringExact(&combo, "ЭТАНОЛ"), 4);
    EXPECT_EQ(platform::gui::FindStringExact(&combo, "этан"), -1);

    QComboBox plain;
    for (const char* text : {"b", "a"}) platform::gui::AddString(&plain, text);
    EXPECT_EQ(plain.itemText(0), "b");
    plain.setCurrentIndex(-1);
    EXPECT_EQ(platform::gui::SelectedText(&plain), "");
    plain.setCurrentIndex(1);
    EXPECT_EQ(platform::gui::SelectedText(&plain), "a");
}

}  // namespace
