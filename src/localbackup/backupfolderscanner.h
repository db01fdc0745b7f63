#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QVector>

struct BackupFolderEntry
{
    QString fileName;
    QString filePath; // absolute, "/" separators
    qint64 size = 0;  // of the target when the entry is a symbolic link
    qint64 sortKey = 0;
};

// Lists one backup folder in the order and with the selection of
// QDir::entryInfoList(nameFilters, QDir::Files | QDir::NoDotAndDotDot, QDir::Time),
// but reads each file's metadata once: that call converts times to local time
// in every comparison, which costs minutes on large folders.
class BackupFolderScanner
{
public:
    explicit BackupFolderScanner(const QStringList &nameFilters);

    QVector<BackupFolderEntry> scan(const QString &folder) const;
    // Whether a file name passes the name filters (without regard to case).
    bool matchesName(const QString &fileName) const;

private:
    // "*.ext" patterns reduce to suffixes compared without regard to case;
    // anything else goes through wildcard expressions.
    QStringList m_suffixes;
    QVector<QRegularExpression> m_patterns;
};
