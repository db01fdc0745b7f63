#include "settingsfile.h"

#include "ownedtext.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>
#include <QStringList>

Q_LOGGING_CATEGORY(lcSettingsFile, "zentri.host.settings")

namespace {

void warnOnce(const QString &path)
{
    static QMutex mutex;
    static QSet<QString> warned;
    QMutexLocker locker(&mutex);
    if (warned.contains(path))
        return;
    warned.insert(ownedText(path));
    qCWarning(lcSettingsFile).noquote()
        << QStringLiteral("settings file %1 is not a regular file; using defaults and writing nothing").arg(path);
}

bool sameStoredValue(const QVariant &stored, const QVariant &value)
{
    if (!stored.isValid())
        return false;
    // INI files give back text: compare the way the value would be stored.
    if (value.userType() == QMetaType::QStringList)
        return stored.toStringList() == value.toStringList();
    if (value.userType() == QMetaType::Bool)
        return stored.toString() == (value.toBool() ? QLatin1String("true") : QLatin1String("false"));
    if (!value.canConvert<QString>())
        return stored == value;
    return stored.toString() == value.toString();
}

// A copy of `value` whose text owns its characters.
QVariant detached(const QVariant &value)
{
    switch (value.userType()) {
    case QMetaType::QString:
        return ownedText(value.toString());
    case QMetaType::QStringList:
        return ownedText(value.toStringList());
    case QMetaType::QByteArray:
        return QByteArray(value.toByteArray().constData(), value.toByteArray().size());
    default:
        return value;
    }
}

}

namespace SettingsFile {

QString usablePath(const QString &path)
{
    const QFileInfo info(path);
    // A dangling link is refused as well: writing would make a file where
    // the link points.
    if (!info.exists() && !info.isSymLink())
        return path;
    if (info.exists() && info.isFile())
        return path;
    warnOnce(path);
    return QString();
}

void prepare(QSettings &settings)
{
    settings.setIniCodec("UTF-8");
}

bool setIfChanged(QSettings &settings, const QString &key, const QVariant &value)
{
    if (settings.contains(key) && sameStoredValue(settings.value(key), value))
        return false;
    settings.setValue(ownedText(key), detached(value));
    return true;
}

}
