// The page methods over the local backup copies. Each holds apiMutex for its
// whole run: the catalogue has no lock of its own.
#include "arkivoapi.h"

#include "api/apiconventions_p.h"
#include "localbackup/klocalbackupmanager.h"
#include "plugin/arkivoapplication.h"
#include "settings/kbackupoptionmgr.h"

#include <QDate>
#include <QMutexLocker>

namespace {
const QString backupFileKey = QStringLiteral("backupFile");
const QString fileNameKey = QStringLiteral("fileName");
const QString saveDateKey = QStringLiteral("saveDate");

QDate saveDateOf(const QVariantMap &args)
{
    return QDate::fromString(args.value(saveDateKey).toString(), QStringLiteral("yyyy/MM/dd"));
}
}

void arkivoAPI::getBackupFileList(KxWebViewJSContext &context)
{
    QMutexLocker locker(apiMutex);
    const Arkivo::MethodLog log("getBackupFileList");
    bool answer = false;
    arkivoApplication &application = arkivoApplication::instance();
    KLocalBackupManager *catalogue = application.localBackupManager();
    KBackupOptionMgr *options = application.backupOptionMgr();
    if (catalogue && options) {
        catalogue->reloadBackupFiles(options->backupDirs());
        context.result()["backupList"] = Arkivo::utf8(catalogue->getBackupFilesForJsonBase64());
        answer = true;
    }
    context.result()["result"] = answer;
}

void arkivoAPI::openBackupFile(KxWebViewJSContext &context)
{
    QMutexLocker locker(apiMutex);
    const Arkivo::MethodLog log("openBackupFile");
    bool answer = false;
    if (KLocalBackupManager *catalogue = arkivoApplication::instance().localBackupManager())
        answer = catalogue->openBackupFile(parseContextArgs(context, true).value(backupFileKey).toString());
    context.result()["result"] = answer;
}

void arkivoAPI::openBackupGroup(KxWebViewJSContext &context)
{
    QMutexLocker locker(apiMutex);
    const Arkivo::MethodLog log("openBackupGroup");
    bool answer = false;
    if (KLocalBackupManager *catalogue = arkivoApplication::instance().localBackupManager()) {
        const QVariantMap args = parseContextArgs(context, true);
        answer = catalogue->openBackupGroup(args.value(fileNameKey).toString(), saveDateOf(args));
    }
    context.result()["result"] = answer;
}

void arkivoAPI::openBackupFolder(KxWebViewJSContext &context)
{
    QMutexLocker locker(apiMutex);
    const Arkivo::MethodLog log("openBackupFolder");
    bool answer = false;
    if (KLocalBackupManager *catalogue = arkivoApplication::instance().localBackupManager()) {
        const QVariantMap args = parseContextArgs(context, true);
        answer = catalogue->openBackupFolder(args.value(fileNameKey).toString(), saveDateOf(args));
    }
    context.result()["result"] = answer;
}

void arkivoAPI::delBackupFile(KxWebViewJSContext &context)
{
    QMutexLocker locker(apiMutex);
    const Arkivo::MethodLog log("delBackupFile");
    bool answer = false;
    if (KLocalBackupManager *catalogue = arkivoApplication::instance().localBackupManager())
        answer = catalogue->delBackupFile(parseContextArgs(context, true).value(backupFileKey).toString());
    context.result()["result"] = answer;
}

void arkivoAPI::delBackupGroup(KxWebViewJSContext &context)
{
    QMutexLocker locker(apiMutex);
    const Arkivo::MethodLog log("delBackupGroup");
    bool answer = false;
    if (KLocalBackupManager *catalogue = arkivoApplication::instance().localBackupManager()) {
        const QVariantMap args = parseContextArgs(context, true);
        answer = catalogue->delBackupGroup(args.value(fileNameKey).toString(), saveDateOf(args));
    }
    context.result()["result"] = answer;
}
