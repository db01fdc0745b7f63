// zentri-host: the suite's stand-in around the backup-center plug-in.
//
//   zentri-host [--home DIR] [--plugin PATH] [--wait MS] [--automation FILE] COMMAND ...
//
// Commands:
//   call METHOD [ARGS-JSON] [wait:MS] [METHOD [ARGS-JSON]]...   page methods, one JSON line each
//   serve [--port N] [--open] [--skin-control FILE]              the backup-center page on 127.0.0.1
//   screenshot WHAT --out FILE.png [--skin dark] [--scale 1.5]   a settings window as a picture
#include "appcenterendpoint.h"
#include "callcommand.h"
#include "hostoptions.h"
#include "screenshotcommand.h"
#include "servecommand.h"

#include <suitehome.h>

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>

void exitWithError(const QString &message, int code)
{
    std::fprintf(stderr, "zentri-host: %s\n", qPrintable(message));
    std::exit(code);
}

int parseMilliseconds(const QString &text, const QString &what)
{
    bool ok = false;
    const int ms = text.toInt(&ok);
    if (!ok || ms < 0)
        exitWithError(QStringLiteral("%1 needs a number of milliseconds, not \"%2\"").arg(what, text));
    return ms;
}

namespace {

const char usage[] = "usage: zentri-host [--home DIR] [--plugin PATH] [--wait MS] call METHOD [ARGS-JSON] [wait:MS] ...\n"
                     "       zentri-host [--home DIR] serve [--port N] [--open]";

using Command = std::function<int(const HostOptions &)>;

const std::map<QString, Command> &commands()
{
    static const std::map<QString, Command> table = {
        {QStringLiteral("call"), runCallCommand},
        {QStringLiteral("serve"), runServeCommand},
        {QStringLiteral("screenshot"), runScreenshotCommand},
    };
    return table;
}

// Options may stand anywhere; the first other word is the command.
HostOptions parseCommandLine(const QStringList &words, QString *command)
{
    HostOptions options;
    for (int i = 0; i < words.size(); ++i) {
        const QString &word = words.at(i);
        auto valueOf = [&](const QString &option) {
            if (i + 1 >= words.size())
                exitWithError(QStringLiteral("%1 needs a value").arg(option));
            return words.at(++i);
        };
        if (word == QLatin1String("--home"))
            options.home = valueOf(word);
        else if (word == QLatin1String("--plugin"))
            options.plugin = valueOf(word);
        else if (word == QLatin1String("--wait"))
            options.waitMs = parseMilliseconds(valueOf(word), word);
        else if (word == QLatin1String("--automation"))
            options.automationFile = valueOf(word);
        else if (command->isEmpty())
            *command = word;
        else
            options.commandWords.append(word);
    }
    return options;
}

}

int main(int argc, char *argv[])
{
    // Without a display the host still runs: its windows go offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zentri-host"));

    QString command;
    const HostOptions options = parseCommandLine(QApplication::arguments().mid(1), &command);
    const auto found = commands().find(command);
    if (found == commands().end())
        exitWithError(command.isEmpty() ? QString::fromLatin1(usage) : QStringLiteral("unknown command: %1").arg(command));
    if (!options.home.isEmpty())
        SuiteHome::setPath(options.home);
    // The suite's app-center window hears the plug-in's announcements while
    // the host runs; pictures are taken in a suite home of their own.
    AppCenterEndpoint appCenter;
    QString endpointError;
    if (command != QLatin1String("screenshot") && !appCenter.start(&endpointError))
        std::fprintf(stderr, "zentri-host: %s\n", qPrintable(endpointError));
    return found->second(options);
}
