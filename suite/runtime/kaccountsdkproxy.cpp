#include "kaccountsdkproxy.h"

#include "kcloudsvrproxy.h"
#include "kcoreapplication.h"
#include "suiteconfig.h"

#include <QJsonObject>

KAccountSdkProxy::KAccountSdkProxy(QObject *parent)
    : QObject(parent)
{}

KAccountSdkProxy::~KAccountSdkProxy() = default;

KAccount *KAccountSdkProxy::getAccount(const QString &id)
{
    // Only the current account is known to this suite.
    const QString current = SuiteConfig::value(QStringLiteral("account/userId")).toString();
    if (!id.isEmpty() && id != current)
        return nullptr;
    m_account.setLogined(SuiteConfig::value(QStringLiteral("account/signedIn"), false).toBool());
    m_account.setUserType(SuiteConfig::value(QStringLiteral("account/userType"), 1).toInt());
    return &m_account;
}

bool KAccountSdkProxy::login(const QVariantMap &params)
{
    // Deep copies: the texts may be literals inside a plug-in that is
    // unloaded before the account service goes.
    m_lastLoginParams = QJsonObject::fromVariantMap(params).toVariantMap();
    if (SuiteConfig::value(QStringLiteral("account/autoLogin"), false).toBool()) {
        SuiteConfig::setValue(QStringLiteral("account/signedIn"), true);
        if (KCloudSvrProxy *proxy = KCoreApplication::cloudSvrProxy())
            emit proxy->userInfoChange(0);
    }
    return true;
}
