#pragma once

#include <functional>
#include <optional>
#include <string_view>

// The languages the windows speak. Russian is the language the program is written in: its texts
// are the source, and it needs no translation. English comes from translations/ostrel_en.ts,
// compiled into the program.
//
// Only what a window shows is translated. Texts that files, settings or other programs depend on
// (peak names, stored values, the passport's fields, the method file's key bytes, the JSON of
// ostrel-cli) never are.
namespace resources {

enum class Language { Russian, English };

// "ru" or "en", with or without a region, code set or modifier ("en_GB.UTF-8@euro"); nothing
// for another language, "C", "POSIX" or an empty text.
std::optional<Language> LanguageNamed(std::string_view name);

// The value of an environment variable, or nullptr when it is not set.
using EnvironmentLookup = std::function<const char*(const char* name)>;

// The language the desktop asks for, read as gettext reads it: LANGUAGE first (a colon-separated
// list of preferences: the first one we have wins), then the first of LC_ALL, LC_MESSAGES and
// LANG that is set and not empty. That locale decides: Russian for Russian, "C", "POSIX" or
// nothing set (the program's own language); English for English and for every other language,
// which reads English sooner than Russian. Unlike gettext, LANGUAGE counts in the "C" locale
// too, so that `LANGUAGE=en ostrel` speaks English in a bare session.
Language DesktopLanguage(const EnvironmentLookup& environment);
Language DesktopLanguage();  // of this process's environment

// Makes the windows created from now on speak `language`: installs the program's translation
// (and Qt's own for its standard buttons, where the system has it) into the application, or
// removes them for Russian. A QCoreApplication must exist. Returns false when the translation
// could not be loaded; the windows then stay Russian.
bool UseLanguage(Language language);

// Back to the start: no translation installed (Russian texts, Qt's standard ones as Qt has them).
void ResetLanguage();

// The language of the last UseLanguage; Russian before any and after ResetLanguage.
Language CurrentLanguage();

}  // namespace resources
