// ostrel: the calibration program. It ends when its dialog closes. Its own options:
//   --lang ru|en   the language of the windows (default: the desktop's, see DesktopLanguage)
//   --help, --version
// Qt's (such as -platform) are understood too.
#include "app/Ostrel.h"
#include "resources/Translation.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kDesktopFileName = "com.tarnwick.ostrel";

const QCommandLineOption& LangOption() {
    static const QCommandLineOption option(QStringLiteral("lang"),
                                           QStringLiteral("Language of the windows: ru or en (default: the desktop's)."),
                                           QStringLiteral("ru|en"));
    return option;
}

void DescribeOptions(QCommandLineParser& options) {
    options.setApplicationDescription(
        QStringLiteral("Ethanol calibration for the Velmora chromatography data system (see ostrel(1))."));
    options.addHelpOption();
    options.addVersionOption();
    options.addOption(LangOption());
}

// Help and version are answered without a window system, so that they work on a console.
bool AsksForTextOnly(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        for (const char* option : {"-h", "--help", "--help-all", "-v", "--version"})
            if (std::strcmp(argv[i], option) == 0) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName(QStringLiteral("ostrel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(OSTREL_VERSION));
    QCommandLineParser options;
    DescribeOptions(options);
    if (AsksForTextOnly(argc, argv)) {
        QCoreApplication console(argc, argv);
        options.process(console);  // prints and exits
        return 0;
    }

    QApplication application(argc, argv);
    // Window systems find the program's menu entry, and with it the icon, by this name.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
    options.process(application);  // an unknown option: a message and exit status 1

    resources::Language language = resources::DesktopLanguage();
    if (options.isSet(LangOption())) {
        const QString value = options.value(LangOption());
        const std::optional<resources::Language> chosen = resources::LanguageNamed(value.toStdString());
        if (!chosen) {
            std::fprintf(stderr, "ostrel: --lang takes ru or en, not \"%s\"\n", qPrintable(value));
            return 1;
        }
        language = *chosen;
    }
    if (!resources::UseLanguage(language)) std::fprintf(stderr, "ostrel: the translation cannot be loaded\n");

    CCalibrationApp app;
    app.InitInstance();
    return 0;
}
