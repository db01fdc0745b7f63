#pragma once

#include "zentrihost_global.h"

#include <QString>
#include <QStringList>

// The suite's safe process launcher (hostrt).
class ZENTRIHOST_EXPORT KProcess
{
public:
    // True when `path` names an existing local file that may be handed to a program.
    static bool checkLocalFileSafe(const QString &path);
    // True when `path` names an existing executable file.
    static bool checkApplicationSafe(const QString &path);
    // True when `url` is an absolute http, https or file address.
    static bool checkUrl(const QString &url);

    // Starts `program` detached; true when it was started. It is not watched.
    static bool StartDetach(const QString &program, const QStringList &arguments,
                            const QString &workingDirectory = QString(), qint64 *pid = nullptr);
    static bool Execute(const QString &program, const QStringList &arguments);
};

// Starts a program given as a (possibly quoted) program text and one text of
// arguments (hostkit).
ZENTRIHOST_EXPORT bool startProcess(const QString &program, const QString &arguments);
