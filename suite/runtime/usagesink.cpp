#include "usagesink.h"

#include "suitehome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QMutex>
#include <QMutexLocker>

Q_LOGGING_CATEGORY(lcUsage, "zentri.host.usage")

namespace UsageSink {

void record(const QString &event, const QMap<QString, QString> &params, const QString &channel,
            const QJsonObject &extra)
{
    QJsonObject paramObject;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        paramObject.insert(it.key(), it.value());

    QJsonObject line = extra;
    line.insert(QStringLiteral("event"), event);
    line.insert(QStringLiteral("params"), paramObject);
    line.insert(QStringLiteral("channel"), channel);

    static QMutex mutex;
    QMutexLocker locker(&mutex);
    const QString path = SuiteHome::usageLog();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        qCWarning(lcUsage) << "cannot append to" << path;
        return;
    }
    file.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
}

}
