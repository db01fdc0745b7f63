#include "kdomainmgr.h"

#include "suiteconfig.h"
#include "suitehome.h"

#include <QUrl>

KDomainMgr::KDomainMgr(QObject *parent)
    : QObject(parent)
{}

KDomainMgr::~KDomainMgr() = default;

QString KDomainMgr::getDomainUrl(const QString &key) const
{
    if (key.isEmpty())
        return QString();
    const QString url = SuiteConfig::value(QStringLiteral("domains/") + key).toString();
    // The online document service defaults to the local cloud drive, whose
    // "group/<groupid>/<fileid>" folders are the ones its addresses name.
    if (url.isEmpty() && key == QLatin1String("papyra"))
        return QUrl::fromLocalFile(SuiteHome::filePath(QStringLiteral("clouddrive"))).toString();
    return url;
}
