#include "screenshotcommand.h"

#include "automation.h"
#include "hostoptions.h"
#include "hostsession.h"
#include "pagedispatch.h"

#include <kessjsapi.h>
#include <klitestyle.h>

#include <QApplication>
#include <QCommandLineParser>
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
    QString language = QStringLiteral("en");
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

const QString synopsis
    = QStringLiteral("screenshot WHAT --out FILE.png [--skin dark] [--language zh_CN] [--scale 1.5]");
const QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("the PNG file to write"),
                                   QStringLiteral("FILE.png"));
const QCommandLineOption skinOption(QStringLiteral("skin"), QStringLiteral("default or dark (default: default)"),
                                    QStringLiteral("dark"));
const QCommandLineOption languageOption(QStringLiteral("language"),
                                        QStringLiteral("the suite's language, en or zh_CN (default: en)"),
                                        QStringLiteral("zh_CN"));
const QCommandLineOption scaleOption(QStringLiteral("scale"),
                                     QStringLiteral("the suite's scale factor (default: the screen's)"),
                                     QStringLiteral("1.5"));

ScreenshotOptions parseScreenshotOptions(const QCommandLineParser &parser, const QStringList &words)
{
    ScreenshotOptions screenshot;
    if (words.size() > 1)
        exitWithError(QStringLiteral("screenshot takes one picture name, not \"%1\"").arg(words.at(1)));
    screenshot.what = words.value(0);
    screenshot.out = parser.value(outOption);
    if (parser.isSet(skinOption))
        screenshot.skin = parser.value(skinOption);
    if (parser.isSet(languageOption))
        screenshot.language = parser.value(languageOption);
    screenshot.scale = parser.value(scaleOption);
    if (!knownPictures().contains(screenshot.what))
        exitWithError(
            QStringLiteral("%1; WHAT is one of: %2").arg(synopsis, knownPictures().join(QStringLiteral(", "))));
    if (screenshot.out.isEmpty())
        exitWithError(QStringLiteral("screenshot needs --out FILE.png"));
    if (screenshot.skin != QLatin1String("default") && screenshot.skin != QLatin1String("dark"))
        exitWithError(QStringLiteral("the skin is default or dark, not \"%1\"").arg(screenshot.skin));
    if (screenshot.language != QLatin1String("en") && screenshot.language != QLatin1String("zh_CN"))
        exitWithError(QStringLiteral("the language is en or zh_CN, not \"%1\"").arg(screenshot.language));
    bool ok = false;
    if (parser.isSet(scaleOption) && (screenshot.scale.toDouble(&ok), !ok))
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
    suite.setValue(QStringLiteral("ui/language"), screenshot.language);
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
                 parse(QStringLiteral("choose-dir %1").arg(home.filePath(error.picked))),
                 picture,
                 parse(escape),
                 parse(escape),
                 parse(escape)};
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

int runScreenshotCommand(const HostOptions &options, const QCommandLineParser &parser)
{
    const ScreenshotOptions screenshot = parseScreenshotOptions(parser, options.commandWords);
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
    // A factor the suite does not take would silently give a picture at the
    // screen's scale; the suite's own reading of it decides.
    if (!screenshot.scale.isEmpty() && KLiteStyle::scaleFactor() != screenshot.scale.toDouble()) {
        std::fprintf(stderr,
                     "zentri-host: --scale needs a factor the suite draws at, not \"%s\" (it would draw at %s)\n",
                     qPrintable(screenshot.scale), qPrintable(QString::number(KLiteStyle::scaleFactor())));
        return usageErrorCode;
    }
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
    QObject::connect(&automation, &Automation::failed,
                     [](const QString &message) { std::fprintf(stderr, "zentri-host: %s\n", qPrintable(message)); });
    automation.start();
    Json::Value answer;
    PageDispatch::call(session.handler(), QStringLiteral("showBackupSettings"), QVariantMap(), &answer);
    if (!automation.waitForDone())
        return 3;
    if (!saved)
        exitWithError(QStringLiteral("cannot write %1").arg(out), 1);
    return 0;
}

}

HostCommand screenshotCommand()
{
    return {
        QStringLiteral("screenshot"),
        synopsis,
        QStringLiteral("Renders one settings window offscreen into a PNG, in a suite home of its own; WHAT is one of: ")
            + knownPictures().join(QStringLiteral(", ")) + QLatin1Char('.'),
        {outOption, skinOption, languageOption, scaleOption},
        runScreenshotCommand};
}
