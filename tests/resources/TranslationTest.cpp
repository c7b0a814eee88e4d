#include "resources/Translation.h"

#include "platform/gui/DialogTemplate.h"
#include "resources/Resource.h"

#include <QCoreApplication>
#include <QDialog>

#include <gtest/gtest.h>

#include <map>
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

}  // namespace
