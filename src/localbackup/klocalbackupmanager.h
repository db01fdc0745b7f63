#pragma once

#include "backupfolderscanner.h"
#include "backupinfo.h"
#include "core/platformfiles.h"

#include <QHash>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QStringList>
#include <QStringView>

// The catalogue of the backup copies in the backup folders, grouped by
// document and day, with the operations the backup page offers on them.
class KLocalBackupManager : public QObject
{
    Q_OBJECT

public:
    explicit KLocalBackupManager(QObject *parent = nullptr);
    ~KLocalBackupManager() override;

    void reloadBackupFiles(const QStringList &folders);
    // The same from listings of the folders made before (scanFolder), one per folder.
    void reloadBackupFiles(const QStringList &folders, const QVector<QVector<BackupFolderEntry>> &scanned);
    // What reloading reads of one folder; safe on any thread.
    static QVector<BackupFolderEntry> scanFolder(const QString &folder);
    QString getBackupFilesForJsonBase64() const;
    // The same text as its UTF-8 bytes (plain ASCII), for callers that want
    // bytes: it spares a UTF-16 copy of a text that can be tens of megabytes.
    QByteArray getBackupFilesForJsonBase64Utf8() const;

    bool openBackupFile(const QString &path);
    bool openBackupGroup(const QString &name, const QDate &date);
    bool openBackupFolder(const QString &name, const QDate &date);
    bool delBackupFile(const QString &path);
    bool delBackupGroup(const QString &name, const QDate &date);

    const QList<BackupGroupInfo *> &backupGroups() const { return groups; }
    // The sync-conflict files read since the last reload, each as it was
    // just before it was read.
    const QHash<QString, PlatformFiles::Stamp> &conflictFileStamps() const { return m_conflictFileStamps; }

    bool addBackupFile(const QString &path);
    // Brings the copies of `folders` in step with `entries`, what a new
    // listing of those folders found, without touching any file. Answers
    // the paths of the copies added and of those removed (a copy whose size
    // changed is both).
    QPair<QStringList, QStringList> syncFolders(const QStringList &folders, const QVector<BackupFolderEntry> &entries);
    // The same from what changed: the copies that appeared (or whose size
    // changed), and the keys (BackupFolderScanner::pathKey) of those that
    // vanished (or whose size changed). Costs little unless copies vanished.
    QPair<QStringList, QStringList> applyFolderChange(const QVector<BackupFolderEntry> &added,
                                                      const QSet<quint64> &removed);
    // The listed copy `path` and its group; null when it is not listed.
    const BackupFileInfo *findCopy(const QString &path, const BackupGroupInfo **group) const;
    static BackupDocType classifyDocumentType(const QString &fileName);
    BackupGroupInfo *findGroup(const QString &name, const QDate &date) const;
    BackupGroupInfo *findGroupByFilePath(const QString &path) const;
    QDateTime conflictTimeFor(BackupDocType type, const QString &lowercasePath);
    // Where the sync-conflict record of the copy `path` says its original
    // lies; empty when no record read so far names one.
    QString originalPathOf(const QString &path) const;
    QString syncConflictFilePath(const QString &appName) const;
    void loadSyncConflictFile(const QString &file);
    static bool parseSyncConflictFile(const QString &file, QHash<QString, SyncConflictInfo> &table);

    // The "*.ext" patterns, ";"-separated, of the files a backup folder is listed for.
    static QString backupNameFilter();
    // The suite application of a document type: "zentri", "zdeck", "zcel", "pdf" or empty.
    static QString hostApplicationName(BackupDocType type);

protected:
    // The one place a backup copy leaves the disk.
    virtual bool removeBackupCopy(const QString &path);

private:
    bool addBackupFile(const QString &path, QStringView fileName, qint64 size);
    void removeGroup(BackupGroupInfo *group);
    // Where the copy `path` lies in its folder as that folder was listed.
    QString listedLocation(const QString &path) const;
    void clearCatalogue();

    QList<BackupGroupInfo *> groups;
    QHash<QString, SyncConflictInfo> conflictInfos;
    QHash<QString, bool> loadedConflictFiles;

    // Lookup by group key: at most one group exists per (name, date), so it
    // maps to the first and only group that matches.
    QHash<QPair<QString, QDate>, BackupGroupInfo *> m_groupsByKey;
    // The conflict file of each type, read from the suite settings once per reload.
    QHash<int, QString> m_conflictFilePaths;
    bool m_reloading = false;
    QSet<QString> m_unreadableConflictFiles;
    QHash<QString, PlatformFiles::Stamp> m_conflictFileStamps;
    // Each listed folder (cleaned) and where it was at the listing.
    QHash<QString, QString> m_listedFolders;
};
