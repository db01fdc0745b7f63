#pragma once

#include "zentrihost_global.h"

#include <QObject>
#include <QPointer>

class KAccountSdkProxy;
class KCloudSvrProxy;
class KDcInfoC;
class KDomainMgr;

// The suite's application object. It holds the application services, each of
// which may be missing; the accessors answer null then.
class ZENTRIHOST_EXPORT KCoreApplication : public QObject
{
    Q_OBJECT
public:
    explicit KCoreApplication(QObject *parent = nullptr);
    ~KCoreApplication() override;

    // The running host application, or null.
    static KCoreApplication *instance();

    static KAccountSdkProxy *getAccountSDK();
    static KDcInfoC *getDcInfo();
    static KDomainMgr *getDomainMgr();
    static KCloudSvrProxy *cloudSvrProxy();

private:
    KAccountSdkProxy *m_accountSdk = nullptr;
    KDcInfoC *m_dcInfo = nullptr;
    KDomainMgr *m_domainMgr = nullptr;
    KCloudSvrProxy *m_cloudSvrProxy = nullptr;
};
