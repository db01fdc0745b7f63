#include "kcachepathmaker.h"

#include "suiteconfig.h"

KCachePathMaker *KCachePathMaker::getInstance()
{
    static KCachePathMaker maker;
    return &maker;
}

QStringList KCachePathMaker::getAllCachePaths() const
{
    return SuiteConfig::value(QStringLiteral("cloudCache/paths")).toStringList();
}
