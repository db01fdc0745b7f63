#pragma once

#include "backupinfo.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVector>

// How well a person's documents are protected, at a glance: the backup
// options, the current folder and its drive, what the catalogue holds, and
// what needs their attention.
struct BackupStatus
{
    struct Alert
    {
        QString kind;
        QString text;
    };

    int mode = 0;
    bool enabled = false;
    int interval = 0;
    int retentionDays = 0;

    QString folder;
    bool folderReachable = false;
    bool folderWritable = false;
    qint64 freeBytes = 0;
    qint64 totalBytes = 0;

    QDateTime lastCopyTime;
    qint64 copies = 0;
    qint64 bytes = 0;
    int damagedCopies = 0;

    // Looks at `folder` once: whether it is there, writable, and the space of its drive.
    void probeFolder();
    // The newest copy, the number of copies and their bytes.
    void countCopies(const QList<BackupGroupInfo *> &groups);
    QVector<Alert> alerts(const QDateTime &now) const;
};
