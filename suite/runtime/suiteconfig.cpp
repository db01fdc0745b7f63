#include "suiteconfig.h"

#include "settingsfile.h"
#include "suitehome.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QSettings>

Q_LOGGING_CATEGORY(lcSuiteConfig, "zentri.host.config")

namespace {

// suite.ini, or an empty path (defaults, nothing written) when something
// other than a regular file stands in its place.
class SuiteIni : public QSettings
{
public:
    SuiteIni()
        : QSettings(SettingsFile::usablePath(SuiteHome::suiteIni()), QSettings::IniFormat)
    {
        SettingsFile::prepare(*this);
    }
};

}

namespace SuiteConfig {

QVariant value(const QString &key, const QVariant &fallback)
{
    const SuiteIni settings;
    return settings.value(key, fallback);
}

void setValue(const QString &key, const QVariant &value)
{
    SuiteIni settings;
    if (settings.fileName().isEmpty())
        return;
    if (!SettingsFile::setIfChanged(settings, key, value))
        return;
    settings.sync();
    if (settings.status() != QSettings::NoError)
        qCWarning(lcSuiteConfig) << "cannot write" << key << "to" << settings.fileName();
}

bool serviceEnabled(const QString &name)
{
    return value(QStringLiteral("services/") + name, true).toBool();
}

QJsonObject cloudConfig()
{
    QFile file(SuiteHome::cloudConfigJson());
    // Only a regular file: reading a FIFO would wait for a writer for ever.
    if (!QFileInfo(file.fileName()).isFile() || !file.open(QIODevice::ReadOnly))
        return {};
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        qCWarning(lcSuiteConfig) << "ignoring malformed" << file.fileName() << error.errorString();
        return {};
    }
    return document.object();
}

KAppInfo appInfo()
{
    const SuiteIni settings;
    KAppInfo info;
    info.id = settings.value(QStringLiteral("app/id"), QStringLiteral("arkivo")).toString();
    info.name = settings.value(QStringLiteral("app/name"), QStringLiteral("Backup center")).toString();
    info.src = settings.value(QStringLiteral("app/src"), QStringLiteral("backupcenter")).toString();
    info.version = settings.value(QStringLiteral("app/version"), QStringLiteral("1.0")).toString();
    return info;
}

}
