#include "backupstatus.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStorageInfo>

namespace {

constexpr qint64 lowSpaceBytes = qint64(1) << 30;
constexpr int lowSpacePercent = 5;
constexpr int recentCopyDays = 7;

QString tr(const char *text)
{
    return QCoreApplication::translate("BackupStatus", text);
}

}

void BackupStatus::probeFolder()
{
    const QFileInfo info(folder);
    folderReachable = !folder.isEmpty() && info.isDir();
    folderWritable = folderReachable && info.isWritable();
    freeBytes = totalBytes = 0;
    if (folderReachable) {
        const QStorageInfo drive(folder);
        if (drive.isValid()) {
            freeBytes = drive.bytesAvailable();
            totalBytes = drive.bytesTotal();
            // A read-only file system refuses writes whatever the folder's own rights say.
            folderWritable = folderWritable && !drive.isReadOnly();
        }
    }
}

void BackupStatus::countCopies(const QList<BackupGroupInfo *> &groups)
{
    copies = bytes = 0;
    lastCopyTime = QDateTime();
    for (const BackupGroupInfo *group : groups) {
        for (const BackupFileInfo &file : group->backupFiles) {
            ++copies;
            bytes += file.fileSize;
            const QDateTime saved(group->saveDate, file.saveTime);
            if (!lastCopyTime.isValid() || saved > lastCopyTime)
                lastCopyTime = saved;
        }
    }
}

QVector<BackupStatus::Alert> BackupStatus::alerts(const QDateTime &now) const
{
    QVector<Alert> list;
    const QString where = QDir::toNativeSeparators(folder);
    const bool on = enabled && mode != 0;
    if (!on)
        list.append({QStringLiteral("backupOff"), tr("Backups are off: documents are not copied while you work.")});
    if (!folderReachable) {
        list.append({QStringLiteral("folderUnreachable"),
                     tr("The backup folder %1 cannot be reached: its drive may be unplugged or its network share "
                        "removed.")
                         .arg(where)});
    } else if (!folderWritable) {
        list.append({QStringLiteral("folderReadOnly"),
                     tr("The backup folder %1 is read-only: no copy can be saved there.").arg(where)});
    }
    if (folderReachable && totalBytes > 0
        && (freeBytes < lowSpaceBytes || freeBytes * 100 < totalBytes * lowSpacePercent)) {
        list.append(
            {QStringLiteral("lowDiskSpace"),
             tr("Only %1 is free on the drive of the backup folder.").arg(QLocale::c().formattedDataSize(freeBytes))});
    }
    // A new user has no copy yet; the empty list says why.
    if (on && lastCopyTime.isValid() && lastCopyTime.daysTo(now) >= recentCopyDays)
        list.append(
            {QStringLiteral("noRecentCopy"), tr("No backup copy was made in the last %1 days.").arg(recentCopyDays)});
    if (damagedCopies > 0) {
        list.append({QStringLiteral("damagedCopies"),
                     damagedCopies == 1 ? tr("1 backup copy is damaged and cannot be opened.")
                                        : tr("%1 backup copies are damaged and cannot be opened.").arg(damagedCopies)});
    }
    return list;
}
