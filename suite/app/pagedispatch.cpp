#include "pagedispatch.h"

#include <kessjsapi.h>

#include <QMetaMethod>
#include <QMetaObject>
#include <QObject>

namespace PageDispatch {

const QStringList &pageMethods()
{
    static const QStringList methods = {
        QStringLiteral("getBackupFileList"),
        QStringLiteral("openBackupFile"),
        QStringLiteral("openBackupGroup"),
        QStringLiteral("openBackupFolder"),
        QStringLiteral("delBackupFile"),
        QStringLiteral("delBackupGroup"),
        QStringLiteral("showBackupSettings"),
        QStringLiteral("runDocumentRepair"),
        QStringLiteral("runDataRestore"),
        QStringLiteral("getAppInfo"),
        QStringLiteral("showFileRadarDlg"),
        QStringLiteral("changeRoamingMode"),
        QStringLiteral("getRoamingMode"),
        QStringLiteral("manualBackupFiles"),
        QStringLiteral("getUploadFilesProgress"),
        QStringLiteral("getUploadSuccessFilesCount"),
        QStringLiteral("cancelUploadFilesToCloud"),
        QStringLiteral("openUrl"),
        QStringLiteral("enterBackupCenterPage"),
        QStringLiteral("disableFeature"),
        QStringLiteral("openSearchPanel"),
        QStringLiteral("openCloudRecycleBin"),
        QStringLiteral("openLoaclRecycleBin"),
        // Ours, after the suite's own table.
        QStringLiteral("getBackupFilePreview"),
        QStringLiteral("compareBackupFiles"),
        QStringLiteral("getBackupFileDetails"),
        QStringLiteral("restoreBackupFile"),
        QStringLiteral("getBackupStatus"),
        QStringLiteral("verifyBackupFiles"),
        QStringLiteral("searchBackupText"),
        QStringLiteral("bringWindowToFront"),
        QStringLiteral("getSignInState"),
        QStringLiteral("getUploadFilesState"),
        QStringLiteral("getBackupFileListCompact"),
    };
    return methods;
}

bool isPageMethod(const QString &method)
{
    return pageMethods().contains(method);
}

Status check(const QObject *handler, const QString &method)
{
    if (!isPageMethod(method))
        return Status::UnknownMethod;
    const QByteArray signature
        = QMetaObject::normalizedSignature((method + QLatin1String("(KxWebViewJSContext&)")).toLatin1().constData());
    return handler && handler->metaObject()->indexOfSlot(signature.constData()) >= 0 ? Status::Ok : Status::NotBuilt;
}

Status call(QObject *handler, const QString &method, const QVariantMap &arguments, Json::Value *answer)
{
    const Status status = check(handler, method);
    if (status != Status::Ok)
        return status;
    KxWebViewJSContext context(arguments);
    const QByteArray name = method.toLatin1();
    QMetaObject::invokeMethod(handler, name.constData(), Qt::DirectConnection, Q_ARG(KxWebViewJSContext &, context));
    // Moved, not copied: a backup list can be tens of megabytes.
    answer->swap(context.result());
    return Status::Ok;
}

QString describe(Status status, const QString &method)
{
    switch (status) {
    case Status::Ok:
        return QString();
    case Status::UnknownMethod:
        return QStringLiteral("unknown page method: %1").arg(method);
    case Status::NotBuilt:
        return QStringLiteral("page method not available in this plug-in: %1").arg(method);
    }
    return QString();
}

}
