#include "syncconflictfile.h"

#include "core/arkivolog.h"

#include <kbackupcenterhelper.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

namespace {

QDateTime isoDateTime(const QXmlStreamAttributes &attributes, QLatin1String name)
{
    return QDateTime::fromString(attributes.value(name).toString(), Qt::ISODateWithMs);
}

}

namespace SyncConflictFile {

QString path(const QString &appName)
{
    const QString application = appName.isEmpty() ? QCoreApplication::applicationName() : appName;
    return KBackupCenterHelper::defaultBackupPath() + QDir::separator()
           + QStringLiteral("%1_sync_conflict.ini").arg(application);
}

bool read(const QString &file, QHash<QString, SyncConflictInfo> &table)
{
    // Only a regular file: opening a named pipe waits for a writer, and a
    // device such as /dev/zero never ends.
    if (!QFileInfo(file).isFile())
        return false;
    QFile device(file);
    if (!device.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    const bool parsed = parse(&device, table);
    if (!parsed)
        qCDebug(lcCatalogue) << "sync-conflict file" << file << "is not well-formed";
    return parsed;
}

bool parse(QIODevice *device, QHash<QString, SyncConflictInfo> &table)
{
    QXmlStreamReader reader(device);
    while (!reader.atEnd() && !reader.hasError()) {
        if (reader.readNext() != QXmlStreamReader::StartElement || reader.name() != QLatin1String("file"))
            continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        SyncConflictInfo info;
        info.lastAccessTime = isoDateTime(attributes, QLatin1String("lastAccessTime"));
        info.conflictTime = isoDateTime(attributes, QLatin1String("conflictTime"));
        info.backupTime = isoDateTime(attributes, QLatin1String("backupTime"));
        info.fileId = attributes.value(QLatin1String("fileId")).toString();
        info.localPath = attributes.value(QLatin1String("localPath")).toString();
        info.backup = attributes.value(QLatin1String("backup")).toString().toLower();
        table.insert(QDir::fromNativeSeparators(info.backup), info);
    }
    if (reader.hasError())
        qCDebug(lcCatalogue) << reader.errorString() << "at line" << reader.lineNumber();
    return !reader.hasError();
}

}
