#include "app/Translated.h"

#include <QCoreApplication>

QString Translated(const core::Message& message) {
    return QString::fromStdString(core::RenderMessage(message, [](const char* context, const char* text) {
        return QCoreApplication::translate(context, text).toStdString();
    }));
}
