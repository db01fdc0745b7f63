// The page methods over the local backup copies. Each holds apiMutex for its
// whole run: the catalogue has no lock of its own.
#include "arkivoapi.h"

#include "api/apiconventions_p.h"
#include "core/backgroundtasks.h"
#include "localbackup/backuplistwriter.h"
#include "localbackup/klocalbackupmanager.h"
#include "plugin/arkivoapplication.h"
#include "settings/kbackupoptionmgr.h"

#include <QDate>
#include <QTimer>
#include <QtConcurrent>
#include <QMutexLocker>

using Arkivo::textOf;

namespace {
constexpr int prefetchKeptMs = 30 * 1000;
const QString backupFileKey = QStringLiteral("backupFile");
const QString fileNameKey = QStringLiteral("fileName");
const QString saveDateKey = QStringLiteral("saveDate");

QString fileNameOf(const QVariantMap &args)
{
    return textOf(args, fileNameKey);
}

// Whether each path is as its stamp, taken before it was read, says it was.
bool asStamped(const QStringList &paths, const QVector<PlatformFiles::Stamp> &stamps)
{
    if (paths.size() != stamps.size())
        return false;
    for (int i = 0; i < paths.size(); ++i) {
        if (!stamps.at(i).unchangedIn(PlatformFiles::stampOf(paths.at(i))))
            return false;
    }
    return true;
}

QDate saveDateOf(const QVariantMap &args)
{
    return QDate::fromString(textOf(args, saveDateKey), QStringLiteral("yyyy/MM/dd"));
}
}

template<typename Operation>
void arkivoAPI::answerFromCatalogue(KxWebViewJSContext &context, const char *method, Operation operation)
{
    QMutexLocker locker(apiMutex);
    const Arkivo::MethodLog log(method);
    bool answer = false;
    if (KLocalBackupManager *catalogue = arkivoApplication::instance().localBackupManager())
        answer = operation(catalogue, parseContextArgs(context, true));
    context.result()["result"] = answer;
}

template<typename Write>
void arkivoAPI::answerListing(KxWebViewJSContext &context, const char *method, const char *key, Write write,
                              Listing listing)
{
    QMutexLocker locker(apiMutex);
    const Arkivo::MethodLog log(method);
    bool answer = false;
    arkivoApplication &application = arkivoApplication::instance();
    KLocalBackupManager *catalogue = application.localBackupManager();
    KBackupOptionMgr *options = application.backupOptionMgr();
    if (catalogue && options) {
        const QStringList folders = options->backupDirs();
        if (listing == Listing::Reusable && m_listKey == QLatin1String(key) && lastListingHolds(folders, catalogue)) {
            Arkivo::logInfo(QStringLiteral("%1() the folders are as last listed").arg(QLatin1String(method)));
        } else {
            // Taken before the folders are read: a change while they are read shows.
            m_listFolderStamps.clear();
            for (const QString &folder : folders)
                m_listFolderStamps.append(PlatformFiles::stampOf(folder));
            m_listFolders = folders;
            {
                // What was read while the page loaded, when none of the
                // folders changed since: the same as reading them now. It
                // goes before the list text is written.
                QVector<QVector<BackupFolderEntry>> scanned;
                if (takePrefetch(folders, &scanned) && listing != Listing::Specified)
                    Arkivo::logInfo(
                        QStringLiteral("%1() the folders were read while the page loaded").arg(QLatin1String(method)));
                catalogue->reloadBackupFiles(folders, scanned);
            }
            startWatching(folders);
            scheduleTextIndexPass();
            // The list of a large folder is tens of megabytes: the answer
            // points at the writer's bytes instead of holding a copy. They
            // stay with the handler until the next listing, well after the
            // answer is sent.
            m_listText = write(catalogue);
            m_listKey = QLatin1String(key);
        }
        context.result()[key] = Json::Value(Json::StaticString(m_listText.constData()));
        answer = true;
    }
    context.result()["result"] = answer;
}

void arkivoAPI::prefetchListing()
{
    KBackupOptionMgr *options = arkivoApplication::instance().backupOptionMgr();
    if (!options)
        return;
    m_prefetchFolders = options->backupDirs();
    m_prefetchStamps.clear();
    for (const QString &folder : qAsConst(m_prefetchFolders)) {
        const PlatformFiles::Stamp stamp = PlatformFiles::stampOf(folder);
        // A folder that just changed makes the reading useless: not done.
        if (!stamp.unchangedIn(stamp)) {
            m_prefetchStamps.clear();
            return;
        }
        m_prefetchStamps.append(stamp);
    }
    m_prefetch = QtConcurrent::run(BackgroundTasks::pool(), [folders = m_prefetchFolders] {
        QVector<QVector<BackupFolderEntry>> scanned;
        for (const QString &folder : folders)
            scanned.append(KLocalBackupManager::scanFolder(folder));
        return scanned;
    });
    m_prefetching = true;
    // Not held for a page that never lists. The timer is the handler's own:
    // a pending one-shot of Qt's would outlive the plug-in's code.
    auto *expiry = new QTimer(this);
    expiry->setSingleShot(true);
    connect(expiry, &QTimer::timeout, this, &arkivoAPI::dropPrefetch);
    connect(expiry, &QTimer::timeout, expiry, &QObject::deleteLater);
    expiry->start(prefetchKeptMs);
}

bool arkivoAPI::takePrefetch(const QStringList &folders, QVector<QVector<BackupFolderEntry>> *scanned)
{
    const bool usable = m_prefetching && folders == m_prefetchFolders && asStamped(folders, m_prefetchStamps);
    if (usable) {
        *scanned = m_prefetch.result();
        // What the listing was made from: the folders as they were before they were read.
        m_listFolderStamps = m_prefetchStamps;
    }
    dropPrefetch();
    return usable;
}

void arkivoAPI::dropPrefetch()
{
    m_prefetching = false;
    m_prefetch = {};
    m_prefetchStamps.clear();
}

bool arkivoAPI::lastListingHolds(const QStringList &folders, const KLocalBackupManager *catalogue) const
{
    if (m_listText.isEmpty() || folders != m_listFolders || !asStamped(folders, m_listFolderStamps))
        return false;
    const QHash<QString, PlatformFiles::Stamp> &conflictFiles = catalogue->conflictFileStamps();
    for (auto it = conflictFiles.constBegin(); it != conflictFiles.constEnd(); ++it) {
        if (!it.value().unchangedIn(PlatformFiles::stampOf(it.key())))
            return false;
    }
    return true;
}

void arkivoAPI::getBackupFileList(KxWebViewJSContext &context)
{
    answerListing(
        context, "getBackupFileList", "backupList",
        [](const KLocalBackupManager *catalogue) { return catalogue->getBackupFilesForJsonBase64Utf8(); },
        Listing::Specified);
}

void arkivoAPI::getBackupFileListCompact(KxWebViewJSContext &context)
{
    // The page asks for a fresh listing when a person asks to read the folders again.
    const QVariant fresh = parseContextArgs(context, true).value(QStringLiteral("fresh"));
    answerListing(
        context, "getBackupFileListCompact", "backupTable",
        [](const KLocalBackupManager *catalogue) {
            return BackupListWriter::toCompactBase64(catalogue->backupGroups());
        },
        fresh.userType() == QMetaType::Bool && fresh.toBool() ? Listing::Fresh : Listing::Reusable);
}

void arkivoAPI::openBackupFile(KxWebViewJSContext &context)
{
    answerFromCatalogue(context, "openBackupFile", [](KLocalBackupManager *catalogue, const QVariantMap &args) {
        return catalogue->openBackupFile(textOf(args, backupFileKey));
    });
}

void arkivoAPI::openBackupGroup(KxWebViewJSContext &context)
{
    answerFromCatalogue(context, "openBackupGroup", [](KLocalBackupManager *catalogue, const QVariantMap &args) {
        return catalogue->openBackupGroup(fileNameOf(args), saveDateOf(args));
    });
}

void arkivoAPI::openBackupFolder(KxWebViewJSContext &context)
{
    answerFromCatalogue(context, "openBackupFolder", [](KLocalBackupManager *catalogue, const QVariantMap &args) {
        return catalogue->openBackupFolder(fileNameOf(args), saveDateOf(args));
    });
}

void arkivoAPI::delBackupFile(KxWebViewJSContext &context)
{
    answerFromCatalogue(context, "delBackupFile", [this](KLocalBackupManager *catalogue, const QVariantMap &args) {
        m_listKey.clear();
        return catalogue->delBackupFile(textOf(args, backupFileKey));
    });
}

void arkivoAPI::delBackupGroup(KxWebViewJSContext &context)
{
    answerFromCatalogue(context, "delBackupGroup", [this](KLocalBackupManager *catalogue, const QVariantMap &args) {
        m_listKey.clear();
        return catalogue->delBackupGroup(fileNameOf(args), saveDateOf(args));
    });
}
