#include "kdomainmgr.h"

#include "suiteconfig.h"

KDomainMgr::KDomainMgr(QObject *parent)
    : QObject(parent)
{
}

KDomainMgr::~KDomainMgr() = default;

QString KDomainMgr::getDomainUrl(const QString &key) const
{
    if (key.isEmpty())
        return QString();
    return SuiteConfig::value(QStringLiteral("domains/") + key).toString();
}
