#include "platform.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

namespace Platform {

bool openRecycleBin()
{
    // The freedesktop.org trash; an absolute XDG_DATA_HOME wins over the default.
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (!QDir::isAbsolutePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    const QString trash = dataHome + QStringLiteral("/Trash/files");
    if (!QDir().mkpath(trash))
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(trash));
}

}
