#pragma once

#include "backupfolderscanner.h"

#include <QFileSystemWatcher>
#include <QFuture>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <atomic>

// Watches the backup folders and lists them again, on the plug-in's thread
// pool, a moment after they change: copies written by the suite's editors,
// deleted by hand, a folder whose drive went away. A folder that is gone is
// watched through its parent until it comes back. Changes the system does
// not report (a watch it dropped or could not set up) are found by a slower
// rescan on a timer.
class BackupFolderWatcher : public QObject
{
    Q_OBJECT
public:
    static constexpr int settleMs = 300;
    static constexpr int rescanMs = 60 * 1000;
    static constexpr int unwatchedRescanMs = 5 * 1000;

    explicit BackupFolderWatcher(QObject *parent = nullptr);
    // Waits for a listing in progress.
    ~BackupFolderWatcher() override;

    // Watches `folders` from now on, in place of what was watched.
    void watch(const QStringList &folders);
    QStringList folders() const { return m_folders; }
    // Lists the folders again after the settling time, as if they changed.
    void rescanSoon();

signals:
    // The copies the watched folders hold now; a folder that could not be
    // listed is in `folders` but has no entries.
    void listed(const QStringList &folders, const QVector<BackupFolderEntry> &entries);

private:
    void startScan();
    void rewatch();

    QStringList m_folders;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    QTimer m_rescan;
    QFuture<void> m_scan;
    bool m_scanAgain = false;
    std::atomic<bool> m_stopping{false};
};
