// Qt's own messages in ostrel-cli-gui: on standard error as every other message of the program,
// one line starting with "ostrel-cli: ". The notice that XDG_RUNTIME_DIR is not set (as under
// root or cron), which Qt gives at every start of a GUI application there, is left out: the
// commands keep nothing in that folder and the user could do nothing about it.
#include <QString>
#include <QtGlobal>

#include <cstdio>

namespace {

void PrintQtMessage(QtMsgType, const QMessageLogContext&, const QString& message) {
    if (message.startsWith(QLatin1String("QStandardPaths:")) &&
        (message.contains(QLatin1String("XDG_RUNTIME_DIR")) || message.contains(QLatin1String("runtime directory"))))
        return;
    std::fprintf(stderr, "ostrel-cli: %s\n", message.toUtf8().constData());
}

[[maybe_unused]] const QtMessageHandler previousHandler = qInstallMessageHandler(PrintQtMessage);

}  // namespace
