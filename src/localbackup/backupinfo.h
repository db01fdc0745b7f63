#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QTime>
#include <QVector>

// Value records of the local backup catalogue.

enum BackupDocType : qint32 {
    DocTypeDoc = 0,
    DocTypePpt = 1,
    DocTypeXls = 2,
    DocTypePdf = 3,
    DocTypeUnknown = 4,
};

// One backup copy on disk.
struct BackupFileInfo
{
    QString filePath;
    qint64 fileSize = 0;
    QTime saveTime;
    // Invalid unless the suite recorded the copy as a sync conflict.
    QDateTime conflictTime;
};
Q_DECLARE_TYPEINFO(BackupFileInfo, Q_MOVABLE_TYPE);

// The copies of one document made on one calendar day.
struct BackupGroupInfo
{
    QString groupName;
    BackupDocType groupType = DocTypeDoc;
    QDate saveDate;
    QVector<BackupFileInfo> backupFiles;
    bool isConflict = false;
};

// One record of the suite's sync-conflict files.
struct SyncConflictInfo
{
    QDateTime lastAccessTime;
    QDateTime conflictTime;
    QDateTime backupTime;
    QString fileId;
    QString localPath;
    QString backup;
};
