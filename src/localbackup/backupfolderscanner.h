#pragma once

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVector>

#include <functional>

struct BackupFolderEntry
{
    QString filePath;   // absolute, "/" separators
    int nameOffset = 0; // where the file name starts in filePath
    qint64 size = 0;    // of the target when the entry is a symbolic link
    qint64 sortKey = 0;

    QStringView fileName() const { return QStringView(filePath).mid(nameOffset); }
};
Q_DECLARE_TYPEINFO(BackupFolderEntry, Q_MOVABLE_TYPE);

// Lists one backup folder in the order and with the selection of
// QDir::entryInfoList(nameFilters, QDir::Files | QDir::NoDotAndDotDot, QDir::Time),
// but reads each file's metadata once: that call converts times to local time
// in every comparison, which costs minutes on large folders. A name that does
// not survive the trip to text and back (bytes that are not valid in the
// system's encoding) is left out: no path handed on could reach that file.
class BackupFolderScanner
{
public:
    explicit BackupFolderScanner(const QStringList &nameFilters);

    QVector<BackupFolderEntry> scan(const QString &folder) const;
    // The same for a folder listed before: a regular file whose size
    // `knownSize` answers (for its path; -1 when unknown) is taken as it was,
    // without reading its metadata again. Its sort key is then 0.
    QVector<BackupFolderEntry> scan(const QString &folder,
                                    const std::function<qint64(const QString &path)> &knownSize) const;
    // A 64-bit hash of a listed path, to tell listings apart without keeping
    // their texts.
    static quint64 pathKey(const QString &path);
    // Whether a file name passes the name filters (without regard to case).
    bool matchesName(QStringView fileName) const;

private:
    bool matchesSuffix(QStringView suffix) const;

    // "*.ext" patterns reduce to suffixes compared without regard to case;
    // anything else goes through wildcard expressions.
    QStringList m_suffixes;
    QVector<QByteArray> m_asciiSuffixes; // the same, lowercased
    QVector<QRegularExpression> m_patterns;
};
