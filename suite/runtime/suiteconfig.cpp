#include "suiteconfig.h"

#include "suitehome.h"

#include <QFile>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QSettings>

Q_LOGGING_CATEGORY(lcSuiteConfig, "zentri.host.config")

namespace SuiteConfig {

QVariant value(const QString &key, const QVariant &fallback)
{
    const QSettings settings(SuiteHome::suiteIni(), QSettings::IniFormat);
    return settings.value(key, fallback);
}

void setValue(const QString &key, const QVariant &value)
{
    QSettings settings(SuiteHome::suiteIni(), QSettings::IniFormat);
    settings.setValue(key, value);
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
    if (!file.open(QIODevice::ReadOnly))
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
    const QSettings settings(SuiteHome::suiteIni(), QSettings::IniFormat);
    KAppInfo info;
    info.id = settings.value(QStringLiteral("app/id"), QStringLiteral("arkivo")).toString();
    info.name = settings.value(QStringLiteral("app/name"), QStringLiteral("Backup center")).toString();
    info.src = settings.value(QStringLiteral("app/src"), QStringLiteral("backupcenter")).toString();
    info.version = settings.value(QStringLiteral("app/version"), QStringLiteral("1.0")).toString();
    return info;
}

}
