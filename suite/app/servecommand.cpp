#include "servecommand.h"

#include "automation.h"
#include "hostoptions.h"
#include "hostsession.h"
#include "pagebridge.h"
#include "pageserver.h"

#include <jsonhelper.h>
#include <kdrawhelper.h>
#include <kessjsapi.h>
#include <product.h>
#include <skinswitch.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QFileSystemWatcher>
#include <QJsonObject>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <memory>

#include <unistd.h>

namespace {

struct ServeOptions
{
    quint16 port = 0;
    bool open = false;
    QString skinControlFile;
};

const QCommandLineOption portOption(QStringLiteral("port"),
                                    QStringLiteral("the port; 0, the default, takes a free one"), QStringLiteral("N"));
const QCommandLineOption openOption(QStringLiteral("open"), QStringLiteral("opens the page in the default browser"));
const QCommandLineOption skinControlOption(
    QStringLiteral("skin-control"),
    QStringLiteral("tests only: each time FILE is written, its first word (default or dark) becomes the suite's skin"),
    QStringLiteral("FILE"));

ServeOptions parseServeOptions(const QCommandLineParser &parser, const QStringList &words)
{
    if (!words.isEmpty())
        exitWithError(QStringLiteral("serve does not know \"%1\"").arg(words.first()));
    ServeOptions serve;
    if (parser.isSet(portOption)) {
        bool ok = false;
        const uint port = parser.value(portOption).toUInt(&ok);
        if (!ok || port > 65535)
            exitWithError(
                QStringLiteral("--port needs a port number from 0 to 65535, not \"%1\"").arg(parser.value(portOption)));
        serve.port = quint16(port);
    }
    serve.open = parser.isSet(openOption);
    serve.skinControlFile = parser.value(skinControlOption);
    return serve;
}

bool opensNativeWindow(const QString &method)
{
    return method == QLatin1String("showBackupSettings") || method == QLatin1String("manualBackupFiles")
           || method == QLatin1String("restoreBackupFile");
}

QString currentSkinPayload()
{
    QJsonObject payload{
        {QStringLiteral("skin"), KDrawHelper::isDarkSkin() ? QStringLiteral("dark") : QStringLiteral("default")}};
    return JsonHelper::convertQJsonToString(payload);
}

QString currentLanguagePayload()
{
    return JsonHelper::convertQJsonToString(QJsonObject{{QStringLiteral("language"), product::uiLanguage()}});
}

// Applies the skin named in `fileName` each time the file is written.
void watchSkinControl(const QString &fileName, HostSession *session, QObject *owner)
{
    QFile file(fileName);
    if (!file.exists() && file.open(QIODevice::WriteOnly))
        file.close();
    auto *watcher = new QFileSystemWatcher(QStringList{fileName}, owner);
    QObject::connect(watcher, &QFileSystemWatcher::fileChanged, owner, [watcher, fileName, session] {
        // Editors and some writers replace the file: watch the new one.
        if (!watcher->files().contains(fileName))
            watcher->addPath(fileName);
        QFile control(fileName);
        if (!control.open(QIODevice::ReadOnly))
            return;
        const QString skin = QString::fromUtf8(control.readAll()).simplified().section(QLatin1Char(' '), 0, 0);
        if (skin.isEmpty())
            return;
        if (SkinSwitch::apply(session->container(), skin) < 0)
            std::fprintf(stderr, "zentri-host: unknown skin \"%s\" in %s\n", qPrintable(skin), qPrintable(fileName));
    });
}

int stopPipe[2] = {-1, -1};

void onStopSignal(int)
{
    // Only what is safe in a signal handler: the event loop hears the pipe.
    const char byte = 0;
    if (::write(stopPipe[1], &byte, 1) < 0) {
    }
}

// Ctrl+C and SIGTERM end the event loop, so that the server stops in order
// and takes its opening file with it; a second signal ends the program at once.
void stopOnSignals(QObject *owner)
{
    if (::pipe(stopPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(stopPipe[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [] { QCoreApplication::quit(); });
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int runServeCommand(const HostOptions &options, const QCommandLineParser &parser)
{
    const ServeOptions serve = parseServeOptions(parser, options.commandWords);

    std::unique_ptr<Automation> automation;
    if (!options.automationFile.isEmpty()) {
        QVector<Automation::Step> steps;
        QString error;
        if (!Automation::load(options.automationFile, &steps, &error))
            exitWithError(error);
        // Native pickers cannot be driven; Qt's own can.
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        automation = std::make_unique<Automation>(steps);
        QObject::connect(automation.get(), &Automation::failed, [](const QString &message) {
            std::fprintf(stderr, "zentri-host: %s\n", qPrintable(message));
        });
    }

    // A page may be closed and opened again; the host keeps running.
    QApplication::setQuitOnLastWindowClosed(false);

    HostSession session;
    QString error;
    if (!session.start(options.plugin.isEmpty() ? HostSession::defaultPluginPath() : options.plugin, &error))
        exitWithError(error, 1);

    PageServer server([&session]() -> QObject * { return session.handler(); });
    if (!server.listen(serve.port, &error))
        exitWithError(error, 1);
    PageBridge *bridge = server.bridge();
    session.setEventSink(
        [bridge](const HostSession::Event &event) { bridge->broadcastEvent(event.name, event.payload); });
    // A newly opened page learns the suite's skin and language at once, as from the suite.
    QObject::connect(bridge, &PageBridge::pageConnected, bridge, [bridge] {
        bridge->broadcastEvent(QStringLiteral("event.arkivo.onskinmodechanged"), currentSkinPayload());
        bridge->broadcastEvent(QStringLiteral("event.arkivo.onlanguagechanged"), currentLanguagePayload());
    });
    if (automation) {
        Automation *steps = automation.get();
        auto started = std::make_shared<bool>(false);
        QObject::connect(bridge, &PageBridge::aboutToCall, steps, [steps, started](const QString &method) {
            if (!*started && opensNativeWindow(method)) {
                *started = true;
                steps->start();
            }
        });
    }
    if (!serve.skinControlFile.isEmpty())
        watchSkinControl(serve.skinControlFile, &session, &server);

    stopOnSignals(&server);

    std::printf("Backup center: %s\n", server.pageUrl().toString(QUrl::FullyEncoded).toUtf8().constData());
    std::fflush(stdout);
    if (serve.open && !server.openInBrowser(&error))
        std::fprintf(stderr, "zentri-host: %s\n", qPrintable(error));
    return QApplication::exec();
}

}

HostCommand serveCommand()
{
    return {QStringLiteral("serve"),
            QStringLiteral("serve [--port N] [--open] [--skin-control FILE]"),
            QStringLiteral("Serves the backup-center page and its bridge to the plug-in on 127.0.0.1 and prints "
                           "\"Backup center: http://127.0.0.1:PORT/?token=TOKEN\"; runs until Ctrl+C or SIGTERM."),
            {portOption, openOption, skinControlOption},
            runServeCommand};
}
