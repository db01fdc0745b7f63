#pragma once

#include "backupfolderscanner.h"

#include <QFileSystemWatcher>
#include <QFuture>
#include <QHash>
#include <QSet>
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
    static constexpr int baselineMs = 2000;

    explicit BackupFolderWatcher(QObject *parent = nullptr);
    // Waits for a listing in progress.
    ~BackupFolderWatcher() override;

    // Watches `folders` from now on, in place of what was watched.
    void watch(const QStringList &folders);
    QStringList folders() const { return m_folders; }
    // Lists the folders again after the settling time, as if they changed.
    void rescanSoon();

signals:
    // The copies the watched folders hold now, when the watcher cannot tell
    // what changed (a change before it first learnt the folders); a folder
    // that could not be listed is in `folders` but has no entries.
    void listed(const QStringList &folders, const QVector<BackupFolderEntry> &entries);
    // What changed since the last listing: the copies that appeared or whose
    // size changed, and the keys (BackupFolderScanner::pathKey) of those that
    // vanished or whose size changed.
    void changed(const QVector<BackupFolderEntry> &added, const QSet<quint64> &removed);

private:
    // Full: every file's metadata read again. Otherwise only new names are.
    void startScan(bool full);
    void rewatch();

    QStringList m_folders;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    QTimer m_rescan;
    QTimer m_baseline;
    // The size of each file of the last full listing, by a 64-bit hash of
    // its path: a change then costs reading the folder, not every file's
    // metadata (copies are written once; the rescans read them all).
    QHash<quint64, qint64> m_knownSizes;
    bool m_scanAgainFull = false;
    // A change was reported before the folders were first learnt.
    bool m_changedEarly = false;
    QFuture<void> m_scan;
    bool m_scanAgain = false;
    std::atomic<bool> m_stopping{false};
};
