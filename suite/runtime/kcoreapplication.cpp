#include "kcoreapplication.h"

#include "kaccountsdkproxy.h"
#include "kcloudsvrproxy.h"
#include "kdcinfoc.h"
#include "kdomainmgr.h"
#include "suiteconfig.h"

namespace {
QPointer<KCoreApplication> s_instance;
}

KCoreApplication::KCoreApplication(QObject *parent)
    : QObject(parent)
    , m_accountSdk(new KAccountSdkProxy(this))
    , m_dcInfo(new KDcInfoC(this))
    , m_domainMgr(new KDomainMgr(this))
    , m_cloudSvrProxy(new KCloudSvrProxy(this))
{
    // The newest application object is the running one.
    s_instance = this;
}

KCoreApplication::~KCoreApplication()
{
    if (s_instance == this)
        s_instance = nullptr;
}

KCoreApplication *KCoreApplication::instance()
{
    return s_instance.data();
}

// Services switched off in suite.ini ("services" group) are answered as
// missing; the switch is read at each call.
KAccountSdkProxy *KCoreApplication::getAccountSDK()
{
    KCoreApplication *app = instance();
    return app && SuiteConfig::serviceEnabled(QStringLiteral("accountSdk")) ? app->m_accountSdk : nullptr;
}

KDcInfoC *KCoreApplication::getDcInfo()
{
    KCoreApplication *app = instance();
    return app && SuiteConfig::serviceEnabled(QStringLiteral("usageReporter")) ? app->m_dcInfo : nullptr;
}

KDomainMgr *KCoreApplication::getDomainMgr()
{
    KCoreApplication *app = instance();
    return app && SuiteConfig::serviceEnabled(QStringLiteral("domainMgr")) ? app->m_domainMgr : nullptr;
}

KCloudSvrProxy *KCoreApplication::cloudSvrProxy()
{
    KCoreApplication *app = instance();
    return app && SuiteConfig::serviceEnabled(QStringLiteral("cloudProxy")) ? app->m_cloudSvrProxy : nullptr;
}
