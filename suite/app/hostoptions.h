#pragma once

#include <QString>
#include <QStringList>

// What zentri-host was told before its command word.
struct HostOptions
{
    QString home;
    QString plugin;
    int waitMs = 1000;
    // --automation FILE: steps that drive the host's windows (tests only).
    QString automationFile;
    // Everything after the command word.
    QStringList commandWords;
};

constexpr int usageErrorCode = 2;

// Prints "zentri-host: <message>" on stderr and exits with `code`.
[[noreturn]] void exitWithError(const QString &message, int code = usageErrorCode);
// A number of milliseconds, or exit 2 naming `what`.
int parseMilliseconds(const QString &text, const QString &what);
