// The page methods of the manual upload to the cloud drive: the user
// chooses files, the upload manager sends and polls them.
#include "arkivoapi.h"

#include "apiconventions_p.h"
#include "cloud/kcloudbackupmanager.h"
#include "plugin/arkivoapplication.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>

void arkivoAPI::manualBackupFiles(KxWebViewJSContext &context)
{
    QWidget *parent = nullptr;
    if (KxWebViewJSObject *object = jsObject()) {
        if (KxWebViewContainer *container = object->webViewContainer())
            parent = container->hostWidget();
    }
    // The dialog runs a nested event loop in which the host may tear the page down.
    QPointer<arkivoAPI> self(this);
    const QStringList files = QFileDialog::getOpenFileNames(parent, QObject::tr("Select one or more files to upload"),
                                                            QString(), QString(), nullptr, QFileDialog::Options());
    if (!self)
        return;
    if (files.isEmpty()) {
        context.result()["errormsg"] = "selectedFiles is empty";
        return;
    }
    KCloudBackupManager *manager = arkivoApplication::instance().cloudBackupManager();
    if (!manager)
        return;
    context.result()["uploading"] = manager->uploadBackupFiles(files);
}

void arkivoAPI::getUploadFilesProgress(KxWebViewJSContext &context)
{
    if (KCloudBackupManager *manager = arkivoApplication::instance().cloudBackupManager())
        context.result()["progress"] = manager->uploadProgress();
}

void arkivoAPI::getUploadSuccessFilesCount(KxWebViewJSContext &context)
{
    if (KCloudBackupManager *manager = arkivoApplication::instance().cloudBackupManager())
        context.result()["uploadSuccessFilesCount"] = manager->uploadSuccessCount();
}

void arkivoAPI::cancelUploadFilesToCloud(KxWebViewJSContext &context)
{
    if (KCloudBackupManager *manager = arkivoApplication::instance().cloudBackupManager())
        context.result()["cancelUpload"] = manager->cancelUpload();
}

void arkivoAPI::getUploadFilesState(KxWebViewJSContext &context)
{
    Json::Value &result = context.result();
    KCloudBackupManager *manager = arkivoApplication::instance().cloudBackupManager();
    if (!manager) {
        result["result"] = false;
        result["errormsg"] = "the upload service is not available";
        return;
    }
    const bool cancelled = manager->uploadCancelled();
    Json::Value files(Json::arrayValue);
    int done = 0;
    int failed = 0;
    const QList<KCloudBackupManager::UploadFileReport> reports = manager->uploadFiles();
    for (const KCloudBackupManager::UploadFileReport &report : reports) {
        const char *state = "waiting";
        if (report.state == KCloudBackupManager::UploadDone) {
            state = "done";
            ++done;
        } else if (report.state == KCloudBackupManager::UploadFailed) {
            state = "failed";
            ++failed;
        } else if (cancelled) {
            state = "cancelled";
        } else if (report.percent > 0) {
            state = "uploading";
        }
        Json::Value file(Json::objectValue);
        file["filePath"] = Arkivo::utf8(report.filePath);
        file["fileName"] = Arkivo::utf8(QFileInfo(report.filePath).fileName());
        file["state"] = state;
        file["percent"] = report.percent;
        files.append(file);
    }
    result["result"] = true;
    result["files"] = files;
    result["total"] = int(reports.size());
    result["done"] = done;
    result["failed"] = failed;
    result["progress"] = manager->uploadProgress();
    result["cancelled"] = cancelled;
}
