#include "backupfolderwatcher.h"

#include "core/arkivolog.h"
#include "core/backgroundtasks.h"
#include "klocalbackupmanager.h"

#include <QDir>
#include <QFileInfo>
#include <QtConcurrent>

#include <utility>

BackupFolderWatcher::BackupFolderWatcher(QObject *parent)
    : QObject(parent)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(settleMs);
    connect(&m_settle, &QTimer::timeout, this, [this] { startScan(false); });
    connect(&m_rescan, &QTimer::timeout, this, [this] { startScan(true); });
    // Soon after a listing, what the folders hold is learnt once.
    m_baseline.setSingleShot(true);
    m_baseline.setInterval(baselineMs);
    connect(&m_baseline, &QTimer::timeout, this, [this] { startScan(true); });
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
    m_knownSizes.clear();
    m_changedEarly = false;
    rewatch();
    if (!m_folders.isEmpty())
        m_baseline.start();
}

void BackupFolderWatcher::rescanSoon()
{
    if (m_folders.isEmpty())
        return;
    if (m_knownSizes.isEmpty())
        m_changedEarly = true;
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

void BackupFolderWatcher::startScan(bool full)
{
    if (m_scan.isRunning()) {
        m_scanAgain = true;
        m_scanAgainFull = m_scanAgainFull || full;
        return;
    }
    const QStringList folders = m_folders;
    const QStringList filters
        = KLocalBackupManager::backupNameFilter().split(QLatin1Char(';'), Qt::KeepEmptyParts, Qt::CaseSensitive);
    const QHash<quint64, qint64> known = m_knownSizes;
    // The watcher outlives the scan (its destructor waits), so the scan may
    // queue its result to it. What changed is worked out here, so that the
    // GUI thread only applies the difference.
    m_scan = QtConcurrent::run(BackgroundTasks::pool(), [this, folders, filters, known, full] {
        const BackupFolderScanner scanner(filters);
        const auto knownSize
            = [&known](const QString &path) { return known.value(BackupFolderScanner::pathKey(path), -1); };
        QVector<BackupFolderEntry> entries;
        for (const QString &folder : folders) {
            if (m_stopping)
                return;
            if (QDir(folder).exists())
                entries += full || known.isEmpty() ? scanner.scan(folder) : scanner.scan(folder, knownSize);
        }
        QHash<quint64, qint64> sizes;
        sizes.reserve(entries.size());
        QVector<BackupFolderEntry> added;
        QSet<quint64> removed;
        for (const BackupFolderEntry &entry : qAsConst(entries)) {
            const quint64 key = BackupFolderScanner::pathKey(entry.filePath);
            sizes.insert(key, entry.size);
            const qint64 before = known.value(key, -1);
            if (before != entry.size)
                added.append(entry);
            if (before >= 0 && before != entry.size)
                removed.insert(key);
        }
        for (auto it = known.cbegin(); it != known.cend(); ++it) {
            if (!sizes.contains(it.key()))
                removed.insert(it.key());
        }
        const bool first = known.isEmpty();
        if (!first)
            entries.clear();
        QMetaObject::invokeMethod(
            this,
            [this, folders, entries, sizes, added, removed, first] {
                if (folders != m_folders)
                    return;
                m_knownSizes = sizes;
                // A folder that came or went changes what is watched.
                rewatch();
                if (!first)
                    emit changed(added, removed);
                else if (std::exchange(m_changedEarly, false))
                    emit listed(folders, entries);
                if (m_scanAgain) {
                    m_scanAgain = false;
                    if (std::exchange(m_scanAgainFull, false))
                        startScan(true);
                    else
                        rescanSoon();
                }
            },
            Qt::QueuedConnection);
    });
}
