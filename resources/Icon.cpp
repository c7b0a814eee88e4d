#include "resources/Resource.h"

#include <QDir>
#include <QIcon>
#include <QString>

// The icons are compiled in by rcc; in a static library nothing else refers to the generated
// code, so it is pulled in by name here (the macro cannot stand inside a namespace).
static void InitIconResources() { Q_INIT_RESOURCE(icons); }

namespace resources {

QIcon LoadIcon(int id) {
    static const bool initialised = (InitIconResources(), true);
    (void)initialised;
    QIcon icon;
    const QDir folder(QStringLiteral(":/icons/%1").arg(id));
    for (const QString& file : folder.entryList(QDir::Files)) icon.addFile(folder.filePath(file));
    return icon;
}

}  // namespace resources
