#include "suitehome.h"

#include <QDir>
#include <QMutex>
#include <QMutexLocker>
#include <QStandardPaths>

namespace {
QMutex s_mutex;
QString s_path;
}

namespace SuiteHome {

QString path()
{
    // The environment is read on every call: tests switch homes while running.
    const QString fromEnv = qEnvironmentVariable("ZENTRI_HOME");
    if (!fromEnv.isEmpty())
        return fromEnv;
    {
        QMutexLocker locker(&s_mutex);
        if (!s_path.isEmpty())
            return s_path;
    }
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("zentri"));
}

void setPath(const QString &path)
{
    QMutexLocker locker(&s_mutex);
    s_path = path.isEmpty() ? QString() : QDir(path).absolutePath();
}

QString filePath(const QString &relative)
{
    return QDir(path()).filePath(relative);
}

}
