// The page methods of the account's document roaming. The cloud service
// answers later, on the reply slots; the page hears the mode as an event.
#include "arkivoapi.h"

#include <jsonhelper.h>
#include <kcoreapplication.h>

#include <QJsonObject>

void arkivoAPI::getRoamingMode(KxWebViewJSContext &)
{
    requestRoamingMode();
}

void arkivoAPI::onGetRoamingMode(bool, QString, KRpcResponse reply)
{
    // Every reply becomes an event, whatever its success flag says.
    QJsonObject payload;
    payload.insert(QStringLiteral("mode"), reply.value(QStringLiteral("roamingmode")) == QLatin1String("auto")
                                               ? QStringLiteral("true") : QStringLiteral("false"));
    QString strategy = reply.value(QStringLiteral("roamingstrategy"));
    if (strategy != QLatin1String("force_upload") && strategy != QLatin1String("forbid_upload"))
        strategy = QStringLiteral("no_control");
    payload.insert(QStringLiteral("fileUploadControl"), strategy);
    payload.insert(QStringLiteral("callstatus"), QStringLiteral("ok"));
    broadcastEvent(QStringLiteral("event.arkivo.autoRoamingModeChanged"), JsonHelper::convertQJsonToString(payload));
}

void arkivoAPI::onChangeRoamingMode(bool, QString, KRpcResponse)
{
    // Every change is followed by a fresh read.
    requestRoamingMode();
}

void arkivoAPI::requestRoamingMode()
{
    if (KCloudSvrProxy *proxy = KCoreApplication::cloudSvrProxy())
        proxy->asyncCall(QStringLiteral("getRoamingMode"), QStringList(), this, QStringLiteral("onGetRoamingMode"));
}
