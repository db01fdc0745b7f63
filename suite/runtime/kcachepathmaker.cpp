#include "kcachepathmaker.h"

#include "suiteconfig.h"
#include "suitehome.h"

KCachePathMaker *KCachePathMaker::getInstance()
{
    static KCachePathMaker maker;
    return &maker;
}

QStringList KCachePathMaker::getAllCachePaths() const
{
    return SuiteConfig::value(QStringLiteral("cloudCache/paths")).toStringList();
}

QString KCachePathMaker::getAppCachePath(const QString &appName) const
{
    return SuiteHome::filePath(QStringLiteral("cache/") + appName);
}
