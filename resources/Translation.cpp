#include "resources/Translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdlib>
#include <memory>
#include <string>

// The compiled translations (lrelease's .qm files) are a resource of this static library;
// nothing else refers to the generated code, so it is pulled in by name (outside any namespace).
static void InitTranslationResources() { Q_INIT_RESOURCE(translations); }

namespace resources {

namespace {

constexpr const char* kTranslationFolder = ":/i18n";
constexpr const char* kEnglishFile = "ostrel_en";
constexpr const char* kQtRussianFile = "qtbase_ru";

Language current = Language::Russian;

// The translators installed into the application, owned here so that a change of language
// removes them again.
std::unique_ptr<QTranslator>& ProgramTranslator() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}
std::unique_ptr<QTranslator>& QtTranslator() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

void Remove(std::unique_ptr<QTranslator>& translator) {
    if (!translator) return;
    QCoreApplication::removeTranslator(translator.get());
    translator.reset();
}

// Loads and installs one translation file; false when it is not there.
bool Install(std::unique_ptr<QTranslator>& slot, const QString& file, const QString& folder) {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(file, folder)) return false;
    QCoreApplication::installTranslator(translator.get());
    slot = std::move(translator);
    return true;
}

const char* NonEmpty(const EnvironmentLookup& environment, const char* name) {
    const char* value = environment(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

}  // namespace

std::optional<Language> LanguageNamed(std::string_view name) {
    // The language is what comes before the region ("_"), code set (".") or modifier ("@").
    const std::string_view language = name.substr(0, name.find_first_of("_.@"));
    if (language == "ru") return Language::Russian;
    if (language == "en") return Language::English;
    return std::nullopt;
}

Language DesktopLanguage(const EnvironmentLookup& environment) {
    if (const char* list = NonEmpty(environment, "LANGUAGE")) {
        std::string_view rest(list);
        while (!rest.empty()) {
            const std::size_t colon = rest.find(':');
            if (const std::optional<Language> language = LanguageNamed(rest.substr(0, colon))) return *language;
            rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        }
    }
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* locale = NonEmpty(environment, name);
        if (locale == nullptr) continue;
        const std::string_view value(locale);
        if (value == "C" || value == "POSIX" || value.starts_with("C.")) return Language::Russian;
        return LanguageNamed(value).value_or(Language::English);
    }
    return Language::Russian;
}

Language DesktopLanguage() {
    return DesktopLanguage([](const char* name) -> const char* { return std::getenv(name); });
}

bool UseLanguage(Language language) {
    static const bool initialised = (InitTranslationResources(), true);
    (void)initialised;
    ResetLanguage();
    if (language == Language::Russian) {
        // Qt's standard buttons and dialogs speak English unless Qt's own Russian translation is
        // installed (package qt6-translations-l10n); without it they stay as they are.
        Install(QtTranslator(), QString::fromLatin1(kQtRussianFile),
                QLibraryInfo::path(QLibraryInfo::TranslationsPath));
        return true;
    }
    if (!Install(ProgramTranslator(), QString::fromLatin1(kEnglishFile), QString::fromLatin1(kTranslationFolder)))
        return false;
    current = language;
    return true;
}

void ResetLanguage() {
    Remove(ProgramTranslator());
    Remove(QtTranslator());
    current = Language::Russian;
}

Language CurrentLanguage() { return current; }

}  // namespace resources
