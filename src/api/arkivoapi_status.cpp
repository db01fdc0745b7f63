// The page methods and events that keep the page current: how well the
// documents are protected, whether copies can still be opened, and the
// copies that appear and vanish in the backup folders while the page is open.
#include "arkivoapi.h"

#include "api/apiconventions_p.h"
#include "localbackup/backupfolderwatcher.h"
#include "localbackup/backuplistwriter.h"
#include "localbackup/backupstatus.h"
#include "localbackup/copyverifier.h"
#include "localbackup/klocalbackupmanager.h"
#include "localbackup/textindex.h"
#include "plugin/arkivoapplication.h"
#include "settings/kbackupoptionmgr.h"

#include <jsonhelper.h>
#include <kbackupcenterhelper.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QMutexLocker>

using Arkivo::utf8;

void arkivoAPI::getBackupStatus(KxWebViewJSContext &context)
{
    QMutexLocker locker(apiMutex);
    const Arkivo::MethodLog log("getBackupStatus");
    arkivoApplication &application = arkivoApplication::instance();
    BackupStatus status;
    if (KBackupOptionMgr *options = application.backupOptionMgr()) {
        status.mode = options->backupMode();
        status.enabled = options->isBackupEnabled();
        status.interval = options->backupInterval();
    }
    status.retentionDays = KBackupOptionMgr::keepCacheDays();
    status.folder = KBackupCenterHelper::backupPath();
    status.probeFolder();
    if (KLocalBackupManager *catalogue = application.localBackupManager()) {
        status.countCopies(catalogue->backupGroups());
        const QStringList damaged = CopyVerifier::damagedPaths();
        for (const QString &path : damaged)
            status.damagedCopies += catalogue->findCopy(path, nullptr) ? 1 : 0;
    }

    Json::Value &result = context.result();
    result["result"] = true;
    result["mode"] = status.mode;
    result["enabled"] = status.enabled;
    result["interval"] = status.interval;
    result["folder"] = utf8(QDir::toNativeSeparators(status.folder));
    result["folderReachable"] = status.folderReachable;
    result["folderWritable"] = status.folderWritable;
    result["freeBytes"] = Json::Int64(status.freeBytes);
    result["totalBytes"] = Json::Int64(status.totalBytes);
    result["retentionDays"] = status.retentionDays;
    result["lastCopyTime"]
        = utf8(status.lastCopyTime.isValid() ? status.lastCopyTime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                             : QString());
    result["copies"] = Json::Int64(status.copies);
    result["bytes"] = Json::Int64(status.bytes);
    // The text index's progress: copies indexed of those listed.
    result["indexed"] = m_textIndex ? m_textIndex->indexedCount() : 0;
    result["total"] = m_textIndex ? m_textIndex->totalCount() : 0;
    Json::Value &alerts = result["alerts"] = Json::Value(Json::arrayValue);
    const QVector<BackupStatus::Alert> found = status.alerts(QDateTime::currentDateTime());
    for (const BackupStatus::Alert &alert : found) {
        Json::Value entry;
        entry["kind"] = utf8(alert.kind);
        entry["text"] = utf8(alert.text);
        alerts.append(entry);
    }
}

void arkivoAPI::verifyBackupFiles(KxWebViewJSContext &context)
{
    QMutexLocker locker(apiMutex);
    const Arkivo::MethodLog log("verifyBackupFiles");
    // A page asks for what it shows; a bound keeps one call short.
    constexpr int maxPaths = 1000;
    QStringList paths;
    const QVariantList values = parseContextArgs(context, true).value(QStringLiteral("backupFiles")).toList();
    KLocalBackupManager *catalogue = arkivoApplication::instance().localBackupManager();
    for (const QVariant &value : values) {
        // Only listed copies are read.
        if (paths.size() < maxPaths && value.userType() == QMetaType::QString && catalogue
            && catalogue->findCopy(value.toString(), nullptr))
            paths.append(value.toString());
    }
    const QVector<CopyVerifier::State> states = m_verifier->request(paths);
    Json::Value &result = context.result();
    result["result"] = true;
    Json::Value &files = result["files"] = Json::Value(Json::arrayValue);
    for (int i = 0; i < paths.size(); ++i) {
        Json::Value entry;
        entry["filePath"] = utf8(paths.at(i));
        entry["state"] = utf8(CopyVerifier::stateName(states.at(i)));
        files.append(entry);
    }
}

void arkivoAPI::startWatching(const QStringList &folders)
{
    if (!m_folderWatcher) {
        m_folderWatcher = new BackupFolderWatcher(this);
        connect(m_folderWatcher, &BackupFolderWatcher::listed, this,
                [this](const QStringList &folders, const QVector<BackupFolderEntry> &entries) {
                    applyFolderChange(
                        [&](KLocalBackupManager *catalogue) { return catalogue->syncFolders(folders, entries); });
                });
        connect(m_folderWatcher, &BackupFolderWatcher::changed, this,
                [this](const QVector<BackupFolderEntry> &added, const QSet<quint64> &removed) {
                    applyFolderChange(
                        [&](KLocalBackupManager *catalogue) { return catalogue->applyFolderChange(added, removed); });
                });
    }
    m_folderWatcher->watch(folders);
}

void arkivoAPI::applyFolderChange(const std::function<QPair<QStringList, QStringList>(KLocalBackupManager *)> &apply)
{
    QJsonArray added;
    QJsonArray removed;
    {
        QMutexLocker locker(apiMutex);
        KLocalBackupManager *catalogue = arkivoApplication::instance().localBackupManager();
        if (!catalogue)
            return;
        const QPair<QStringList, QStringList> change = apply(catalogue);
        // The last listing's text no longer says what the catalogue holds.
        if (!change.first.isEmpty() || !change.second.isEmpty())
            m_listKey.clear();
        for (const QString &path : change.second)
            removed.append(path);
        for (const QString &path : change.first) {
            const BackupGroupInfo *group = nullptr;
            if (const BackupFileInfo *file = catalogue->findCopy(path, &group))
                added.append(BackupListWriter::copyObject(*group, *file));
        }
    }
    if (added.isEmpty() && removed.isEmpty())
        return;
    scheduleTextIndexPass();
    qCDebug(lcApi) << "backup folders changed:" << added.size() << "added," << removed.size() << "removed";
    const QJsonObject payload{{QStringLiteral("added"), added}, {QStringLiteral("removed"), removed}};
    broadcastEvent(QStringLiteral("event.arkivo.backupListChanged"), JsonHelper::convertQJsonToString(payload));
}

void arkivoAPI::reportVerified(const QVector<QPair<QString, CopyVerifier::State>> &results)
{
    QJsonArray files;
    for (const auto &result : results) {
        files.append(QJsonObject{{QStringLiteral("filePath"), result.first},
                                 {QStringLiteral("state"), CopyVerifier::stateName(result.second)}});
    }
    broadcastEvent(QStringLiteral("event.arkivo.backupFilesVerified"),
                   JsonHelper::convertQJsonToString(QJsonObject{{QStringLiteral("files"), files}}));
}
