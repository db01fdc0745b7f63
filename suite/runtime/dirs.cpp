#include "dirs.h"

#include "suiteconfig.h"
#include "suitehome.h"

#include <QDir>
#include <QFileInfo>

namespace dirs {

QString frameworks(const QString &subPath, bool *exists)
{
    QString folder = SuiteConfig::value(QStringLiteral("paths/frameworks")).toString();
    if (folder.isEmpty())
        folder = SuiteHome::filePath(QStringLiteral("frameworks"));
    const QString path = subPath.isEmpty() ? folder : QDir(folder).filePath(subPath);
    if (exists)
        *exists = QFileInfo::exists(path);
    return path;
}

QString launchExePath()
{
    return SuiteConfig::value(QStringLiteral("paths/launchExe")).toString();
}

QString compactLaunchExePath()
{
    return SuiteConfig::value(QStringLiteral("paths/compactLaunchExe")).toString();
}

QString officeInstallRoot()
{
    return SuiteConfig::value(QStringLiteral("paths/installRoot")).toString();
}

}
