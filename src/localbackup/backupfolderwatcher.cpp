#include "backupfolderwatcher.h"

#include "core/arkivolog.h"
#include "core/backgroundtasks.h"
#include "klocalbackupmanager.h"

#include <QDir>
#include <QFileInfo>
#include <QtConcurrent>

BackupFolderWatcher::BackupFolderWatcher(QObject *parent)
    : QObject(parent)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(settleMs);
    connect(&m_settle, &QTimer::timeout, this, &BackupFolderWatcher::startScan);
    connect(&m_rescan, &QTimer::timeout, this, &BackupFolderWatcher::startScan);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &BackupFolderWatcher::rescanSoon);
}

BackupFolderWatcher::~BackupFolderWatcher()
{
    m_stopping = true;
    m_scan.waitForFinished();
}

void BackupFolderWatcher::watch(const QStringList &folders)
{
    m_folders = folders;
    m_settle.stop();
    rewatch();
}

void BackupFolderWatcher::rescanSoon()
{
    if (!m_folders.isEmpty())
        m_settle.start();
}

// Each folder that is there is watched itself; one that is not, through its
// parent, so that its return is noticed.
void BackupFolderWatcher::rewatch()
{
    const QStringList watched = m_watcher.directories();
    if (!watched.isEmpty())
        m_watcher.removePaths(watched);
    bool everyFolderWatched = true;
    for (const QString &folder : qAsConst(m_folders)) {
        const QString place = QFileInfo(folder).isDir() ? folder : QFileInfo(folder).absolutePath();
        if (QFileInfo(place).isDir() && !m_watcher.directories().contains(place) && !m_watcher.addPath(place)) {
            qCDebug(lcCatalogue) << "cannot watch" << place << "; rescanning on a timer";
            everyFolderWatched = false;
        }
    }
    if (m_folders.isEmpty())
        m_rescan.stop();
    else
        m_rescan.start(everyFolderWatched ? rescanMs : unwatchedRescanMs);
}

void BackupFolderWatcher::startScan()
{
    if (m_scan.isRunning()) {
        m_scanAgain = true;
        return;
    }
    const QStringList folders = m_folders;
    const QStringList filters
        = KLocalBackupManager::backupNameFilter().split(QLatin1Char(';'), Qt::KeepEmptyParts, Qt::CaseSensitive);
    // The watcher outlives the scan (its destructor waits), so the scan may
    // queue its result to it.
    m_scan = QtConcurrent::run(BackgroundTasks::pool(), [this, folders, filters] {
        const BackupFolderScanner scanner(filters);
        QVector<BackupFolderEntry> entries;
        for (const QString &folder : folders) {
            if (m_stopping)
                return;
            if (QDir(folder).exists())
                entries += scanner.scan(folder);
        }
        QMetaObject::invokeMethod(
            this,
            [this, folders, entries] {
                // A folder that came or went changes what is watched.
                rewatch();
                emit listed(folders, entries);
                if (m_scanAgain) {
                    m_scanAgain = false;
                    rescanSoon();
                }
            },
            Qt::QueuedConnection);
    });
}
