#include "testsuitehome.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSettings>

TestSuiteHome::TestSuiteHome(const QString &folderName)
    : m_dir(folderName.isEmpty() ? QDir::tempPath() + QStringLiteral("/zentri-home-XXXXXX")
                                 : QDir::tempPath() + QLatin1Char('/') + folderName + QStringLiteral("-XXXXXX"))
    , m_previousHome(qgetenv("ZENTRI_HOME"))
{
    qputenv("ZENTRI_HOME", m_dir.path().toLocal8Bit());
    qputenv("ZENTRI_RECORD_FILE", filePath(QStringLiteral("launches.jsonl")).toLocal8Bit());
    setSuiteValue(QStringLiteral("paths/launchExe"), recorderPath());
    setSuiteValue(QStringLiteral("paths/compactLaunchExe"), recorderPath());
}

TestSuiteHome::~TestSuiteHome()
{
    if (m_previousHome.isEmpty())
        qunsetenv("ZENTRI_HOME");
    else
        qputenv("ZENTRI_HOME", m_previousHome);
}

QString TestSuiteHome::filePath(const QString &relative) const
{
    return m_dir.filePath(relative);
}

void TestSuiteHome::setSuiteValue(const QString &key, const QVariant &value)
{
    QSettings settings(filePath(QStringLiteral("suite.ini")), QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    settings.setValue(key, value);
}

QVariant TestSuiteHome::suiteValue(const QString &key) const
{
    QSettings settings(filePath(QStringLiteral("suite.ini")), QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    return settings.value(key);
}

void TestSuiteHome::setCommonValue(const QString &key, const QVariant &value)
{
    QSettings settings(filePath(QStringLiteral("common.ini")), QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    settings.setValue(key, value);
}

QVariant TestSuiteHome::commonValue(const QString &key, const QVariant &fallback) const
{
    QSettings settings(filePath(QStringLiteral("common.ini")), QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    return settings.value(key, fallback);
}

bool TestSuiteHome::hasCommonValue(const QString &key) const
{
    QSettings settings(filePath(QStringLiteral("common.ini")), QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    return settings.contains(key);
}

void TestSuiteHome::setCloudConfig(const QJsonObject &config)
{
    QFile file(filePath(QStringLiteral("cloudconfig.json")));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(QJsonDocument(config).toJson());
}

QString TestSuiteHome::makeDir(const QString &relative) const
{
    QDir(m_dir.path()).mkpath(relative);
    return QFileInfo(filePath(relative)).absoluteFilePath();
}

QString TestSuiteHome::writeFile(const QString &relative, const QByteArray &content) const
{
    const QString path = filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
    return QFileInfo(path).absoluteFilePath();
}

QString TestSuiteHome::writeBackupCopy(const QString &folder, const QString &document, const QDateTime &savedAt,
                                       const QByteArray &content) const
{
    const QString identifier = QString::fromLatin1(
        QCryptographicHash::hash((document + savedAt.toString(Qt::ISODateWithMs)).toUtf8(), QCryptographicHash::Md5)
            .toHex());
    const QString name = QStringLiteral("%1.%2.%3.%4")
                             .arg(document, identifier, savedAt.toString(QStringLiteral("yyyyMMddHHmmss")),
                                  QFileInfo(document).suffix());
    const QString path = writeFile(folder + QLatin1Char('/') + name, content);
    QFile file(path);
    if (file.open(QIODevice::ReadWrite))
        file.setFileTime(savedAt, QFileDevice::FileModificationTime);
    return path;
}

QStringList TestSuiteHome::logMessages() const
{
    QStringList messages;
    QFile file(filePath(QStringLiteral("logs/arkivo.log")));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return messages;
    // Each line: "<ISO date-time> <module> <message>".
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).chopped(1);
        const int afterTime = line.indexOf(QLatin1Char(' '));
        const int afterModule = line.indexOf(QLatin1Char(' '), afterTime + 1);
        if (afterTime > 0 && afterModule > afterTime)
            messages.append(line.mid(afterModule + 1));
    }
    return messages;
}

void TestSuiteHome::clearLog() const
{
    QFile::remove(filePath(QStringLiteral("logs/arkivo.log")));
}

QList<TestSuiteHome::Launch> TestSuiteHome::launches() const
{
    QList<Launch> result;
    QFile file(filePath(QStringLiteral("launches.jsonl")));
    if (!file.open(QIODevice::ReadOnly))
        return result;
    while (!file.atEnd()) {
        const QJsonArray argv = QJsonDocument::fromJson(file.readLine()).array();
        if (argv.isEmpty())
            continue;
        Launch launch;
        launch.program = argv.first().toString();
        for (int i = 1; i < argv.size(); ++i)
            launch.arguments.append(argv.at(i).toString());
        result.append(launch);
    }
    return result;
}

TestSuiteHome::HostRun TestSuiteHome::runHost(const QStringList &arguments, const QString &script,
                                              const std::function<void()> &meanwhile) const
{
    QProcess process;
    // Qt's file pickers remember their folders in the user's configuration.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), filePath(QStringLiteral("config")));
    process.setProcessEnvironment(environment);
    QStringList options{QStringLiteral("--home"), path()};
    if (!script.isEmpty())
        options << QStringLiteral("--automation") << writeFile(QStringLiteral("steps.txt"), script.toUtf8());
    process.start(QStringLiteral(ARKIVO_BIN_DIR "/zentri-host"), options + arguments);
    HostRun run;
    if (meanwhile && process.waitForReadyRead(60000))
        meanwhile();
    if (!process.waitForFinished(60000))
        return run;
    run.exitCode = process.exitCode();
    run.errors = QString::fromUtf8(process.readAllStandardError());
    const QByteArray output = process.readAllStandardOutput();
    run.output = QString::fromUtf8(output);
    for (const QByteArray &line : output.split('\n')) {
        if (!line.isEmpty())
            run.lines.append(QJsonDocument::fromJson(line).object());
    }
    return run;
}

QString TestSuiteHome::recorderPath()
{
    return QStringLiteral(ARKIVO_BIN_DIR "/zentri-recorder");
}
