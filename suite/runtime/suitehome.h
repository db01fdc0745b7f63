#pragma once

#include "zentrihost_global.h"

#include <QString>

// The one folder that holds all of the suite's state. It is the
// environment variable ZENTRI_HOME when set, else the folder given with
// setPath (zentri-host --home), else a per-user data folder.
namespace SuiteHome {
ZENTRIHOST_EXPORT QString path();
ZENTRIHOST_EXPORT void setPath(const QString &path);
// `relative` inside the suite home.
ZENTRIHOST_EXPORT QString filePath(const QString &relative);

// The files of the suite home.
inline QString suiteIni()
{
    return filePath(QStringLiteral("suite.ini"));
}
inline QString commonIni()
{
    return filePath(QStringLiteral("common.ini"));
}
inline QString cloudConfigJson()
{
    return filePath(QStringLiteral("cloudconfig.json"));
}
inline QString cloudClientIni()
{
    return filePath(QStringLiteral("cloudclient.ini"));
}
inline QString usageLog()
{
    return filePath(QStringLiteral("usage.jsonl"));
}
inline QString logFile(const QString &module)
{
    return filePath(QStringLiteral("logs/%1.log").arg(module));
}
// The folder of the running programs' endpoints and private files
// (<home>/run), made readable by its owner only when it is made here.
// Empty when it cannot be made.
ZENTRIHOST_EXPORT QString makeRunFolder();
}
