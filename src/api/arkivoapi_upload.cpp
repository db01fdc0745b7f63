// The page methods of the manual upload to the cloud drive: the user
// chooses files, the upload manager sends and polls them.
#include "arkivoapi.h"

#include "cloud/kcloudbackupmanager.h"
#include "plugin/arkivoapplication.h"

#include <QFileDialog>
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
