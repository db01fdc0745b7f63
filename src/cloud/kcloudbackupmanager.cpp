#include "kcloudbackupmanager.h"

#include "core/arkivolog.h"
#include "core/backgroundtasks.h"

#include <kcoreapplication.h>
#include <kdomainmgr.h>
#include <kprocess.h>

#include <QUrl>

namespace {
constexpr int firstPollMs = 3000;
constexpr int nextPollMs = 1000;

KCloudSvrProxy *proxy()
{
    return KCoreApplication::cloudSvrProxy();
}

QString backupCenterFolderName()
{
    return QObject::tr("Backup Center");
}
}

KCloudBackupManager::KCloudBackupManager(QObject *parent)
    : QObject(parent)
    , statusTimer(this)
    , m_today([] { return QDate::currentDate(); })
{
    statusTimer.setSingleShot(true);
    statusTimer.setInterval(nextPollMs);
    connect(&statusTimer, &QTimer::timeout, this, &KCloudBackupManager::onUpdateUploadFilesStatus);
}

KCloudBackupManager::~KCloudBackupManager() = default;

QString KCloudBackupManager::cloudFolder(const QDate &day)
{
    return backupCenterFolderName() + QLatin1Char('/') + day.toString(QStringLiteral("yyyy-MM-dd"));
}

void KCloudBackupManager::setToday(std::function<QDate()> today)
{
    m_today = std::move(today);
}

bool KCloudBackupManager::uploadBackupFiles(const QStringList &files)
{
    UploadTask task;
    task.targetPath = cloudFolder(m_today());
    task.files = files;

    fileStates.clear();
    allFiles.clear();
    pendingFiles.clear();
    m_uploadSuccessCount = 0;
    m_uploadProgress = 0;
    m_cancelled = false;
    // Replies to status requests sent before this point belong to an earlier batch.
    ++m_batch;
    m_pollWhenAnswered = false;

    uploadTasks({task});
    return true;
}

int KCloudBackupManager::uploadProgress() const
{
    return m_uploadProgress;
}

int KCloudBackupManager::uploadSuccessCount() const
{
    return m_uploadSuccessCount;
}

bool KCloudBackupManager::cancelUpload()
{
    if (KCloudSvrProxy *service = proxy()) {
        service->asyncCall(QStringLiteral("cancelBatchUploadFileToPath"), {pendingFiles.join(QLatin1Char('|'))},
                           nullptr, QString());
    }
    statusTimer.stop();
    m_pollWhenAnswered = false;
    m_cancelled = !allFiles.isEmpty();
    return true;
}

bool KCloudBackupManager::uploadCancelled() const
{
    return m_cancelled;
}

QList<KCloudBackupManager::UploadFileReport> KCloudBackupManager::uploadFiles() const
{
    QList<UploadFileReport> files;
    files.reserve(allFiles.size());
    for (const QString &file : allFiles) {
        UploadFileReport report;
        report.filePath = file;
        const auto known = fileStates.constFind(file);
        if (known != fileStates.constEnd()) {
            report.state = known->state;
            report.percent = known->percent;
        }
        files.append(report);
    }
    return files;
}

bool KCloudBackupManager::openCloudBackupFolder()
{
    KCloudSvrProxy *service = proxy();
    if (!service)
        return false;
    service->asyncCall(QStringLiteral("getPrivateGroupInfoFromDrivePath"), {backupCenterFolderName()}, this,
                       QStringLiteral("onGetPrivateGroupInfoFromDrivePath"));
    return true;
}

void KCloudBackupManager::uploadTasks(const QList<UploadTask> &tasks)
{
    if (tasks.isEmpty())
        return;
    for (const UploadTask &task : tasks) {
        allFiles.append(task.files);
        if (KCloudSvrProxy *service = proxy()) {
            service->asyncCall(QStringLiteral("batchUploadFileListToPath"),
                               {task.files.join(QLatin1Char('|')), task.targetPath, QStringLiteral("false"),
                                QStringLiteral("saveascloud_bkcenter")},
                               nullptr, QString());
        }
    }
    pendingFiles = allFiles;
    _startCheckUploadStatusTimer(firstPollMs);
}

void KCloudBackupManager::onUpdateUploadFilesStatus()
{
    if (!proxy())
        return;
    // A request of an earlier batch is still out: its reply is awaited (and
    // dropped) first, so that the next reply can only be this batch's.
    if (m_statusRequestOut && m_statusRequestProxy && m_statusRequestBatch != m_batch) {
        m_pollWhenAnswered = true;
        return;
    }
    sendStatusRequest();
}

void KCloudBackupManager::sendStatusRequest()
{
    KCloudSvrProxy *service = proxy();
    m_statusRequestOut = true;
    m_statusRequestBatch = m_batch;
    m_statusRequestProxy = service;
    service->asyncCall(QStringLiteral("getBatchUploadFileListState"), {allFiles.join(QLatin1Char('|'))}, this,
                       QStringLiteral("onGetUploadFileStatus"));
}

void KCloudBackupManager::onGetUploadFileStatus(bool success, QString, KRpcResponse response)
{
    const bool stale = m_statusRequestOut && m_statusRequestBatch != m_batch;
    m_statusRequestOut = false;
    const bool pollNow = m_pollWhenAnswered;
    m_pollWhenAnswered = false;
    if (stale) {
        qCDebug(lcCloud) << "dropping a status reply of an earlier batch";
        if (pollNow && proxy())
            sendStatusRequest();
        return;
    }
    if (!success)
        return;

    for (const QString &file : qAsConst(allFiles)) {
        // A finished file is never re-evaluated: the service may forget it.
        const auto known = fileStates.constFind(file);
        if (known != fileStates.constEnd() && known->state == UploadDone)
            continue;
        const QString status = response.value(file);
        UploadFileState next;
        if (status.startsWith(QLatin1String("ok"))) {
            next.state = UploadDone;
            next.percent = 100;
            pendingFiles.removeOne(file);
        } else if (status.startsWith(QLatin1String("uploading/"))) {
            next.state = UploadBusy;
            next.percent = status.mid(10).toInt();
        } else if (status.startsWith(QLatin1String("queue/"))) {
            next.state = UploadBusy;
            next.percent = 0;
        } else {
            next.state = UploadFailed;
            next.percent = 0;
            pendingFiles.removeOne(file);
        }
        fileStates.insert(file, next);
    }
    updateUploadProgress();
}

void KCloudBackupManager::updateUploadProgress()
{
    const int count = allFiles.size();
    float sum = 0.0f;
    int success = 0;
    bool busy = false;
    // An empty batch has nothing busy: it ends at 100 like a finished one.
    if (count > 0) {
        const float share = float(100.0 / float(count));
        for (const QString &file : qAsConst(allFiles)) {
            const UploadFileState state = fileStates.value(file);
            if (state.state != UploadDone && state.state != UploadFailed) {
                sum = float(sum + state.percent * share / 100.0);
                busy = true;
            } else {
                sum = sum + share;
                if (state.state == UploadDone)
                    ++success;
            }
        }
    }
    m_uploadProgress = int(sum);
    // Below 100 while anything is busy, exactly 100 once nothing is.
    if (m_uploadProgress >= 100 || !busy)
        m_uploadProgress = busy ? 99 : 100;
    m_uploadSuccessCount = success;
    if (busy)
        _startCheckUploadStatusTimer(nextPollMs);
    else
        statusTimer.stop();
}

void KCloudBackupManager::onGetPrivateGroupInfoFromDrivePath(bool success, QString, KRpcResponse response)
{
    KDomainMgr *domains = KCoreApplication::instance() ? KCoreApplication::getDomainMgr() : nullptr;
    if (!domains)
        return;
    const QString home = domains->getDomainUrl(QStringLiteral("papyra"));
    KCloudSvrProxy *service = proxy();
    if (success && service && service->checkBrisaRunning()) {
        const QString group = response.value(QStringLiteral("groupid"));
        const QString file = response.value(QStringLiteral("fileid"));
        if (!group.isEmpty() && !file.isEmpty()) {
            // The service opens it with the user signed in.
            service->asyncCall(QStringLiteral("openVipAutoLoginUrl"),
                               {QStringLiteral("%1/group/%2/%3").arg(home, group, file)}, nullptr, QString());
        } else {
            BackgroundTasks::openUrl(QUrl(home));
        }
        return;
    }
    if (KProcess::checkUrl(home))
        BackgroundTasks::openUrl(QUrl(home));
}

void KCloudBackupManager::_startCheckUploadStatusTimer(int ms)
{
    if (statusTimer.isActive())
        statusTimer.stop();
    statusTimer.setInterval(ms);
    statusTimer.start();
}

void KCloudBackupManager::_stopCheckUploadStatusTimer()
{
    statusTimer.stop();
}
