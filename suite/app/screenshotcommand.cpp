#include "screenshotcommand.h"

#include "automation.h"
#include "hostoptions.h"
#include "hostsession.h"
#include "pagedispatch.h"

#include <kessjsapi.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QSettings>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdio>
#include <map>

namespace {

struct ScreenshotOptions
{
    QString what;
    QString out;
    QString skin = QStringLiteral("default");
    QString scale;
};

// A location-change error box: the folder to pick (relative to the suite
// home, made before the run) and what to put in the way.
struct LocationError
{
    QString picked;
    enum Obstacle { None, FileNamedBackup } obstacle = None;
};

const QString dialogName = QStringLiteral("KLocalBackupSettingsDlg");
const QString spyPrefix = QStringLiteral("localBackupSetting_");

const std::map<QString, LocationError> &locationErrors()
{
    static const std::map<QString, LocationError> errors = {
        {QStringLiteral("error-invalid-characters"), {QStringLiteral("reports#2024")}},
        {QStringLiteral("error-too-long"), {QStringLiteral("long/") + QString(120, QLatin1Char('n'))}},
        {QStringLiteral("error-install-root"), {QStringLiteral("install")}},
        {QStringLiteral("error-cloud-cache"), {QStringLiteral("cache/documents")}},
        {QStringLiteral("error-inside-current"), {QStringLiteral("current")}},
        {QStringLiteral("error-create"), {QStringLiteral("blocked"), LocationError::FileNamedBackup}},
    };
    return errors;
}

QStringList knownPictures()
{
    QStringList names = {QStringLiteral("settings"), QStringLiteral("increment-notice"),
                         QStringLiteral("disable-confirm"), QStringLiteral("location-confirm")};
    for (const auto &error : locationErrors())
        names.append(error.first);
    return names;
}

ScreenshotOptions parseScreenshotOptions(const QStringList &words)
{
    ScreenshotOptions screenshot;
    for (int i = 0; i < words.size(); ++i) {
        const QString &word = words.at(i);
        auto valueOf = [&]() {
            if (i + 1 >= words.size())
                exitWithError(QStringLiteral("%1 needs a value").arg(word));
            return words.at(++i);
        };
        if (word == QLatin1String("--out"))
            screenshot.out = valueOf();
        else if (word == QLatin1String("--skin"))
            screenshot.skin = valueOf();
        else if (word == QLatin1String("--scale"))
            screenshot.scale = valueOf();
        else if (screenshot.what.isEmpty())
            screenshot.what = word;
        else
            exitWithError(QStringLiteral("screenshot takes one picture name, not \"%1\"").arg(word));
    }
    if (!knownPictures().contains(screenshot.what))
        exitWithError(QStringLiteral("screenshot WHAT --out FILE.png [--skin dark] [--scale 1.5]; WHAT is one of: %1")
                          .arg(knownPictures().join(QStringLiteral(", "))));
    if (screenshot.out.isEmpty())
        exitWithError(QStringLiteral("screenshot needs --out FILE.png"));
    if (screenshot.skin != QLatin1String("default") && screenshot.skin != QLatin1String("dark"))
        exitWithError(QStringLiteral("the skin is default or dark, not \"%1\"").arg(screenshot.skin));
    bool ok = false;
    if (!screenshot.scale.isEmpty() && (screenshot.scale.toDouble(&ok), !ok))
        exitWithError(QStringLiteral("--scale needs a number, not \"%1\"").arg(screenshot.scale));
    return screenshot;
}

// The suite as a person would find it: timed backups every 90 minutes into
// a folder of the home, an install root and a cloud cache to collide with.
void prepareHome(const QDir &home, const ScreenshotOptions &screenshot)
{
    QSettings suite(home.filePath(QStringLiteral("suite.ini")), QSettings::IniFormat);
    suite.setIniCodec("UTF-8");
    home.mkpath(QStringLiteral("current/backup"));
    home.mkpath(QStringLiteral("install/zentri"));
    home.mkpath(QStringLiteral("cache/documents"));
    home.mkpath(QStringLiteral("pick"));
    suite.setValue(QStringLiteral("backup/mode"), 2);
    suite.setValue(QStringLiteral("backup/interval"), 90);
    suite.setValue(QStringLiteral("backup/enabled"), true);
    suite.setValue(QStringLiteral("backup/path"), home.filePath(QStringLiteral("current/backup")));
    suite.setValue(QStringLiteral("paths/installRoot"), home.filePath(QStringLiteral("install/zentri")));
    suite.setValue(QStringLiteral("cloudCache/paths"), QStringList{home.filePath(QStringLiteral("cache"))});
    suite.setValue(QStringLiteral("theme/skin"), screenshot.skin);
    if (!screenshot.scale.isEmpty())
        suite.setValue(QStringLiteral("theme/scale"), screenshot.scale);
}

Automation::Step grab(const QString &target, const QString &out, bool *saved)
{
    Automation::Step step = Automation::customStep(QStringLiteral("take the picture of %1").arg(target), QString(),
                                                   [out, saved](QWidget *widget) {
        // A window lays itself out once more right after it is shown.
        QApplication::processEvents();
        QApplication::processEvents();
        QPixmap picture = widget->grab();
        // A frameless box draws its shadow onto a see-through window; grab()
        // fills what it leaves with black when the box paints opaquely.
        if (widget->testAttribute(Qt::WA_TranslucentBackground)) {
            picture.fill(Qt::transparent);
            widget->render(&picture);
        }
        *saved = picture.save(out, "PNG");
    });
    step.target = target;
    return step;
}

Automation::Step parse(const QString &line)
{
    QVector<Automation::Step> steps;
    Automation::parse(line, &steps, nullptr);
    Q_ASSERT(steps.size() == 1);
    return steps.first();
}

QVector<Automation::Step> stepsFor(const ScreenshotOptions &screenshot, const QDir &home, bool *saved)
{
    const QString escape = QStringLiteral("key Escape");
    QVector<Automation::Step> steps;
    if (screenshot.what == QLatin1String("settings")) {
        steps = {grab(dialogName, screenshot.out, saved), parse(escape)};
    } else if (screenshot.what == QLatin1String("increment-notice")) {
        steps = {parse(QStringLiteral("click %1incrementBackupOptBtn").arg(spyPrefix)),
                 grab(spyPrefix + QStringLiteral("nextStartInformDlg"), screenshot.out, saved), parse(escape),
                 parse(escape)};
    } else if (screenshot.what == QLatin1String("disable-confirm")) {
        steps = {parse(QStringLiteral("click %1closeBackupOptBtn").arg(spyPrefix)),
                 grab(spyPrefix + QStringLiteral("disableStateConfirmDlg"), screenshot.out, saved), parse(escape),
                 parse(escape)};
    } else if (screenshot.what == QLatin1String("location-confirm")) {
        steps = {parse(QStringLiteral("click %1changeLocationBtn").arg(spyPrefix)),
                 parse(QStringLiteral("choose-dir %1").arg(home.filePath(QStringLiteral("pick")))),
                 grab(spyPrefix + QStringLiteral("diskStorageConfirmDlg"), screenshot.out, saved), parse(escape),
                 parse(escape)};
    } else {
        const LocationError &error = locationErrors().at(screenshot.what);
        home.mkpath(error.picked);
        if (error.obstacle == LocationError::FileNamedBackup) {
            QFile file(QDir(home.filePath(error.picked)).filePath(QStringLiteral("backup")));
            file.open(QIODevice::WriteOnly);
        }
        Automation::Step picture = grab(QString(), screenshot.out, saved);
        picture.windowClass = QStringLiteral("KStyleMessageBox");
        // The box, then the folder picker it leads back to, then the dialog.
        steps = {parse(QStringLiteral("click %1changeLocationBtn").arg(spyPrefix)),
                 parse(QStringLiteral("choose-dir %1").arg(home.filePath(error.picked))), picture, parse(escape),
                 parse(escape), parse(escape)};
    }
    return steps;
}

// The offscreen platform says for every window that it cannot raise it or
// pass on size hints; in a picture run that is expected and only noise.
void dropOffscreenNotices(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("This plugin does not support")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

}

int runScreenshotCommand(const HostOptions &options)
{
    const ScreenshotOptions screenshot = parseScreenshotOptions(options.commandWords);
    qInstallMessageHandler(dropOffscreenNotices);
    QTemporaryDir homeDir;
    if (!homeDir.isValid())
        exitWithError(QStringLiteral("cannot make a temporary suite home"), 1);
    // Everything of this run, the plug-in included, sees only this home.
    qputenv("ZENTRI_HOME", homeDir.path().toLocal8Bit());
    // Qt's folder picker remembers where it was; not in the user's configuration.
    qputenv("XDG_CONFIG_HOME", QDir(homeDir.path()).filePath(QStringLiteral("config")).toLocal8Bit());
    const QDir home(homeDir.path());
    prepareHome(home, screenshot);
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);

    HostSession session;
    QString error;
    if (!session.start(options.plugin.isEmpty() ? HostSession::defaultPluginPath() : options.plugin, &error))
        exitWithError(error, 1);

    bool saved = false;
    const QString out = QFileInfo(screenshot.out).absoluteFilePath();
    ScreenshotOptions absolute = screenshot;
    absolute.out = out;
    Automation automation(stepsFor(absolute, home, &saved));
    QObject::connect(&automation, &Automation::failed, [](const QString &message) {
        std::fprintf(stderr, "zentri-host: %s\n", qPrintable(message));
    });
    automation.start();
    Json::Value answer;
    PageDispatch::call(session.handler(), QStringLiteral("showBackupSettings"), QVariantMap(), &answer);
    if (!automation.waitForDone())
        return 3;
    if (!saved)
        exitWithError(QStringLiteral("cannot write %1").arg(out), 1);
    return 0;
}
