#include "suitehome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

QString makeRunFolder()
{
    const QString run = filePath(QStringLiteral("run"));
    if (QFileInfo(run).isDir())
        return run;
    if (!QDir().mkpath(path()) || !QDir().mkdir(run))
        return QFileInfo(run).isDir() ? run : QString();
    // Nothing is in it yet: no one else can have opened it in between.
    QFile::setPermissions(run, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return run;
}

}
