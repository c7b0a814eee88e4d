#include "resources/Translation.h"

#include "platform/gui/DialogTemplate.h"
#include "resources/Resource.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace {

using resources::Language;

TEST(LanguageNamed, TakesTheLanguageBeforeRegionCodeSetAndModifier) {
    const std::pair<const char*, std::optional<Language>> cases[] = {
        {"ru", Language::Russian},      {"ru_RU.UTF-8", Language::Russian}, {"ru_UA", Language::Russian},
        {"en", Language::English},      {"en_GB.UTF-8@euro", Language::English},
        {"en_US", Language::English},   {"de_DE.UTF-8", std::nullopt},     {"C", std::nullopt},
        {"POSIX", std::nullopt},        {"", std::nullopt},                 {"english", std::nullopt},
    };
    for (const auto& [name, language] : cases) EXPECT_EQ(resources::LanguageNamed(name), language) << name;
}

// The environment as gettext reads it: LANGUAGE's list first, then the first locale variable set.
TEST(DesktopLanguage, ReadsTheEnvironmentInGettextsOrder) {
    using Environment = std::map<std::string, std::string>;
    const std::pair<Environment, Language> cases[] = {
        {{}, Language::Russian},
        {{{"LANG", "en_US.UTF-8"}}, Language::English},
        {{{"LANG", "ru_RU.UTF-8"}}, Language::Russian},
        {{{"LANG", "C.UTF-8"}}, Language::Russian},
        {{{"LANG", "POSIX"}}, Language::Russian},
        {{{"LANG", "de_DE.UTF-8"}}, Language::English},                                // neither: English
        {{{"LANG", "ru_RU.UTF-8"}, {"LC_MESSAGES", "en_GB.UTF-8"}}, Language::English},
        {{{"LC_MESSAGES", "en_GB.UTF-8"}, {"LC_ALL", "ru_RU.UTF-8"}}, Language::Russian},
        {{{"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANG", "en_US"}}, Language::English},  // empty is unset
        {{{"LANGUAGE", "en"}, {"LANG", "ru_RU.UTF-8"}}, Language::English},
        {{{"LANGUAGE", "en"}}, Language::English},                                    // even in the C locale
        {{{"LANGUAGE", "de:fr:ru:en"}, {"LANG", "en_US"}}, Language::Russian},          // first one we have
        {{{"LANGUAGE", "de:fr"}, {"LANG", "ru_RU"}}, Language::Russian},               // none: the locale
        {{{"LANGUAGE", ":"}, {"LC_ALL", "en_US"}}, Language::English},
    };
    for (const auto& [environment, expected] : cases) {
        std::string described;
        for (const auto& [name, value] : environment) described += name + "=" + value + " ";
        EXPECT_EQ(resources::DesktopLanguage([&](const char* name) -> const char* {
                      const auto found = environment.find(name);
                      return found == environment.end() ? nullptr : found->second.c_str();
                  }),
                  expected)
            << described;
    }
}

// The translation is built into the program: templates and the string table speak English while
// it is installed, and Russian again when it is removed.
TEST(UseLanguage, SwitchesTheTemplatesAndTheStringTable) {
    ASSERT_TRUE(resources::UseLanguage(Language::English));
    EXPECT_EQ(resources::CurrentLanguage(), Language::English);
    EXPECT_EQ(resources::LoadString(resources::IDS_ANY_POINT), "* (any)");
    {
        QDialog dialog;
        platform::gui::BuildDialog(dialog, *resources::FindDialogTemplate(resources::IDD_OPEN_CHRM));
        EXPECT_EQ(dialog.windowTitle().toStdString(), "Open chromatogram");
    }
    ASSERT_TRUE(resources::UseLanguage(Language::Russian));
    EXPECT_EQ(resources::CurrentLanguage(), Language::Russian);
    EXPECT_EQ(resources::LoadString(resources::IDS_ANY_POINT), "* (любая)");
    resources::ResetLanguage();
    QDialog dialog;
    platform::gui::BuildDialog(dialog, *resources::FindDialogTemplate(resources::IDD_OPEN_CHRM));
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Открытие хроматограммы");
}

// A translation keeps every place of its source (%1, %2…): one left out would drop a figure or a
// name from what the window shows, and nothing else would notice.
TEST(EnglishTranslation, KeepsEveryPlaceOfItsSource) {
    QFile file(QStringLiteral(OSTREL_SOURCE_DIR "/translations/ostrel_en.ts"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const auto places = [](const QString& text) {
        std::set<QString> found;
        for (const QRegularExpressionMatch& m : QRegularExpression(QStringLiteral("%[1-9]")).globalMatch(text))
            found.insert(m.captured());
        return found;
    };
    QXmlStreamReader ts(&file);
    QString source;
    int messages = 0;
    while (!ts.atEnd()) {
        if (ts.readNext() != QXmlStreamReader::StartElement) continue;
        if (ts.name() == QLatin1String("source")) {
            source = ts.readElementText();
        } else if (ts.name() == QLatin1String("translation")) {
            const QString translation = ts.readElementText();
            EXPECT_EQ(places(translation), places(source))
                << source.toStdString() << " → " << translation.toStdString();
            ++messages;
        }
    }
    EXPECT_FALSE(ts.hasError()) << ts.errorString().toStdString();
    EXPECT_GT(messages, 100);
}

}  // namespace
