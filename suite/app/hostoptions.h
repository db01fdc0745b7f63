#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QCommandLineParser;

// What zentri-host was told besides its command's own options.
struct HostOptions
{
    QString home;
    QString plugin;
    int waitMs = 1000;
    // --automation FILE: steps that drive the host's windows (tests only).
    QString automationFile;
    // The words after the command word that are not options.
    QStringList commandWords;
};

// A command of zentri-host: its word, its line in the usage text, its own
// options, and what runs it once they are parsed.
struct HostCommand
{
    QString name;
    // "serve [--port N] [--open] [--skin-control FILE]"
    QString synopsis;
    QString summary;
    QList<QCommandLineOption> options;
    std::function<int(const HostOptions &, const QCommandLineParser &)> run;
};

constexpr int usageErrorCode = 2;

// Prints "zentri-host: <message>" on stderr and exits with `code`.
[[noreturn]] void exitWithError(const QString &message, int code = usageErrorCode);
// A number of milliseconds, or exit 2 naming `what`.
int parseMilliseconds(const QString &text, const QString &what);
