// zentri-host: the suite's stand-in around the backup-center plug-in.
// `zentri-host --help` prints how to use it (usageText() below).
#include "appcenterendpoint.h"
#include "callcommand.h"
#include "hostoptions.h"
#include "screenshotcommand.h"
#include "servecommand.h"

#include <suitehome.h>

#include <QApplication>
#include <QCommandLineParser>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

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

const QCommandLineOption homeOption(QStringLiteral("home"),
                                    QStringLiteral("the suite home, unless $ZENTRI_HOME names one"),
                                    QStringLiteral("DIR"));
const QCommandLineOption pluginOption(QStringLiteral("plugin"),
                                      QStringLiteral("the plug-in (default: libarkivo.so beside the program)"),
                                      QStringLiteral("PATH"));
const QCommandLineOption waitOption(QStringLiteral("wait"),
                                    QStringLiteral("how long call waits for cloud replies (default: 1000)"),
                                    QStringLiteral("MS"));
const QCommandLineOption automationOption(QStringLiteral("automation"),
                                          QStringLiteral("tests only: steps that drive the host's windows"),
                                          QStringLiteral("FILE"));
const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                    QStringLiteral("prints this text"));
const QCommandLineOption versionOption(QStringList{QStringLiteral("v"), QStringLiteral("version")},
                                       QStringLiteral("prints the version"));

// Global options may also follow the command word, as they always could.
QList<QCommandLineOption> globalOptions()
{
    return {homeOption, pluginOption, waitOption, automationOption, helpOption, versionOption};
}

const QList<HostCommand> &commands()
{
    static const QList<HostCommand> table = {callCommand(), serveCommand(), screenshotCommand()};
    return table;
}

QString commandNames()
{
    QStringList names;
    for (const HostCommand &command : commands())
        names.append(command.name);
    return names.join(QStringLiteral(", "));
}

constexpr int textWidth = 80;

// `words` broken into lines of at most textWidth, each indented by `indent`.
QString wrapped(const QString &words, int indent)
{
    QString text;
    QString line;
    for (const QString &word : words.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && indent + line.size() + 1 + word.size() > textWidth) {
            text += QString(indent, QLatin1Char(' ')) + line + QLatin1Char('\n');
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    return text + QString(indent, QLatin1Char(' ')) + line + QLatin1Char('\n');
}

QString describeOptions(const QList<QCommandLineOption> &options, int indent)
{
    constexpr int column = 27;
    QString text;
    for (const QCommandLineOption &option : options) {
        QStringList names;
        for (const QString &name : option.names())
            names.append((name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name);
        QString head = QString(indent, QLatin1Char(' ')) + names.join(QStringLiteral(", "));
        if (!option.valueName().isEmpty())
            head += QLatin1Char(' ') + option.valueName();
        head = head.size() < column ? head.leftJustified(column)
                                    : head + QLatin1Char('\n') + QString(column, QLatin1Char(' '));
        text += head + wrapped(option.description(), column).mid(column);
    }
    return text;
}

QString usageText()
{
    QString text = QStringLiteral("Usage: zentri-host [--home DIR] [--plugin PATH] [--wait MS] [--automation FILE]\n"
                                  "                   COMMAND ...\n"
                                  "Loads the backup-center plug-in as the suite's framework would and drives its\n"
                                  "page API.\n"
                                  "\nCommands:\n");
    for (const HostCommand &command : commands()) {
        text += QStringLiteral("  zentri-host ") + command.synopsis + QLatin1Char('\n');
        text += wrapped(command.summary, 6);
        text += describeOptions(command.options, 6);
    }
    text += QStringLiteral("\nOptions:\n") + describeOptions(globalOptions(), 2);
    text += QStringLiteral("\nAutomation steps, one a line of the --automation FILE (lines starting with #\n"
                           "are skipped):\n"
                           "  click TARGET               clicks TARGET\n"
                           "  type TARGET TEXT           types TEXT over the text of the field TARGET,\n"
                           "                             then leaves the field\n"
                           "  key Escape|Return|Enter    presses the key in the active window\n"
                           "  choose-dir PATH            answers the open folder picker\n"
                           "  choose-files PATH|PATH...  answers the open file picker\n"
                           "  save-as PATH               answers the save dialog, confirming a replace\n"
                           "TARGET is an automation name or text:LABEL (a button showing LABEL). Each step\n"
                           "waits for its target to be shown. call and screenshot start the steps at once,\n"
                           "serve with the first call of showBackupSettings, manualBackupFiles or\n"
                           "restoreBackupFile.\n"
                           "\nExit codes: 0 done; 1 the plug-in, the port or the picture failed; 2 bad use\n"
                           "(one line on stderr); 3 a step's target was not shown within 5 s, or a window\n"
                           "stayed open 5 s after the last step.\n");
    return text;
}

void applyGlobalOptions(const QCommandLineParser &parser, HostOptions *options)
{
    if (parser.isSet(helpOption)) {
        std::fputs(usageText().toLocal8Bit().constData(), stdout);
        std::exit(0);
    }
    if (parser.isSet(versionOption)) {
        std::printf("zentri-host %s\n", qPrintable(QCoreApplication::applicationVersion()));
        std::exit(0);
    }
    if (parser.isSet(homeOption))
        options->home = parser.value(homeOption);
    if (parser.isSet(pluginOption))
        options->plugin = parser.value(pluginOption);
    if (parser.isSet(waitOption))
        options->waitMs = parseMilliseconds(parser.value(waitOption), QStringLiteral("--wait"));
    if (parser.isSet(automationOption))
        options->automationFile = parser.value(automationOption);
}

void parseOrExit(QCommandLineParser *parser, const QStringList &arguments)
{
    if (!parser->parse(arguments))
        exitWithError(parser->errorText());
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
    QApplication::setApplicationVersion(QStringLiteral(ARKIVO_VERSION));

    // The first word that is not an option is the command; what follows it
    // is parsed again with the command's own options.
    const QStringList arguments = QApplication::arguments();
    QCommandLineParser global;
    global.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    global.addOptions(globalOptions());
    parseOrExit(&global, arguments);
    HostOptions options;
    applyGlobalOptions(global, &options);
    const QStringList words = global.positionalArguments();
    if (words.isEmpty())
        exitWithError(QStringLiteral("a command is needed: %1 (zentri-host --help tells more)").arg(commandNames()));
    const auto found = std::find_if(commands().cbegin(), commands().cend(),
                                    [&words](const HostCommand &command) { return command.name == words.first(); });
    if (found == commands().cend())
        exitWithError(QStringLiteral("unknown command: %1 (the commands: %2)").arg(words.first(), commandNames()));

    QCommandLineParser own;
    own.addOptions(globalOptions() + found->options);
    parseOrExit(&own, arguments.mid(0, 1) + words);
    applyGlobalOptions(own, &options);
    options.commandWords = own.positionalArguments().mid(1);

    if (!options.home.isEmpty())
        SuiteHome::setPath(options.home);
    // The suite's app-center window hears the plug-in's announcements while
    // the host runs; pictures are taken in a suite home of their own.
    AppCenterEndpoint appCenter;
    QString endpointError;
    if (found->name != QLatin1String("screenshot") && !appCenter.start(&endpointError))
        std::fprintf(stderr, "zentri-host: %s\n", qPrintable(endpointError));
    return found->run(options, own);
}
