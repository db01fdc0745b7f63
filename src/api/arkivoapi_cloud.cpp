// The page methods of the account's document roaming. The cloud service
// answers later, on the reply slots; the page hears the mode as an event.
#include "arkivoapi.h"

#include <jsonhelper.h>
#include <kaccountsdkproxy.h>
#include <kcloudclientsettings.h>
#include <kcoreapplication.h>
#include <kdcinfoc.h>

#include <QJsonObject>
#include <QSettings>

namespace {
QString accountType()
{
    KAccountSdkProxy *accounts = KCoreApplication::instance() ? KCoreApplication::getAccountSDK() : nullptr;
    KAccount *account = accounts ? accounts->getAccount(QString()) : nullptr;
    if (!account)
        return QString();
    switch (account->userType()) {
    case 1:
        return QStringLiteral("personal");
    case 2:
        return QStringLiteral("corp");
    case 3:
        return QStringLiteral("mixed");
    default:
        return QStringLiteral("other");
    }
}
}

void arkivoAPI::changeRoamingMode(KxWebViewJSContext &context)
{
    KCloudSvrProxy *proxy = KCoreApplication::cloudSvrProxy();
    if (!proxy)
        return;
    KUserInfo userInfo;
    const QString modeKey = QStringLiteral("mode");
    QStringList arguments{parseContextArgs(context, true).value(modeKey).toBool() ? QStringLiteral("auto")
                                                                                  : QStringLiteral("manual")};
    if (isRoamingMode20Enabled()) {
        proxy->getUserInfo(userInfo);
        const bool localOnly = userInfo.storageCode == 1;
        arguments << (localOnly ? QStringLiteral("localOnly") : QStringLiteral("Cloud"))
                  << (localOnly ? QStringLiteral("true") : QStringLiteral("false")) << QStringLiteral("backup_center");
    }
    proxy->asyncCall(QStringLiteral("changeRoamingMode"), arguments, this, QStringLiteral("onChangeRoamingMode"));

    const bool automatic = parseContextArgs(context, true).value(modeKey).toBool();
    // A local-only account switched to automatic roaming is not reported.
    if (userInfo.storageCode == 1 && automatic)
        return;
    KDcInfoC *reporter = KCoreApplication::getDcInfo();
    if (!reporter)
        return;
    const QMap<QString, QString> event{
        {QStringLiteral("account_type"), accountType()},
        {QStringLiteral("before_status"), automatic ? QStringLiteral("0") : QStringLiteral("1")},
        {QStringLiteral("status"), automatic ? QStringLiteral("1") : QStringLiteral("0")},
        {QStringLiteral("report_scene"), QStringLiteral("switch")},
        {QStringLiteral("scene"), QStringLiteral("backup_center")},
    };
    reporter->postGeneralEvent(QStringLiteral("cloud_roaming_switch"), event, 0, 0, 1);
}

void arkivoAPI::getRoamingMode(KxWebViewJSContext &)
{
    requestRoamingMode();
}

void arkivoAPI::onGetRoamingMode(bool, QString, KRpcResponse reply)
{
    // Every reply becomes an event, whatever its success flag says.
    QJsonObject payload;
    payload.insert(QStringLiteral("mode"), reply.value(QStringLiteral("roamingmode")) == QLatin1String("auto")
                                               ? QStringLiteral("true")
                                               : QStringLiteral("false"));
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

bool arkivoAPI::isRoamingMode20Enabled()
{
    // Read once: the cloud client's setting does not change under a running suite.
    static const bool enabled = [] {
        QSettings settings(cloudclient::settingsLocation(), QSettings::NativeFormat);
        settings.setIniCodec("UTF-8");
        return settings.value(QStringLiteral("usercenter/roamingMode20"), QStringLiteral("true")).toString()
               != QLatin1String("false");
    }();
    return enabled;
}
