#pragma once

#include "zentrihost_global.h"

#include <QObject>
#include <QVariantMap>

// A suite account as the account service reports it.
class ZENTRIHOST_EXPORT KAccount
{
public:
    bool isLogined() const { return m_signedIn; }
    // 1 personal, 2 corporate, 3 mixed.
    int userType() const { return m_userType; }

    void setLogined(bool signedIn) { m_signedIn = signedIn; }
    void setUserType(int type) { m_userType = type; }

private:
    bool m_signedIn = false;
    int m_userType = 0;
};

class ZENTRIHOST_EXPORT KAccountSdkProxy : public QObject
{
    Q_OBJECT
public:
    explicit KAccountSdkProxy(QObject *parent = nullptr);
    ~KAccountSdkProxy() override;

    // The account for `id` (the current one for an empty id), or null. The
    // proxy keeps ownership.
    KAccount *getAccount(const QString &id);
    // Shows the suite's login; the parameters are kept as the last login parameters.
    bool login(const QVariantMap &params);
    QVariantMap getLastLoginParams() const { return m_lastLoginParams; }

private:
    KAccount m_account;
    QVariantMap m_lastLoginParams;
};
