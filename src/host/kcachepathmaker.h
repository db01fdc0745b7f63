#pragma once

#include "zentrihost_global.h"

#include <QStringList>

// Where the suite caches cloud documents.
class ZENTRIHOST_EXPORT KCachePathMaker
{
public:
    static KCachePathMaker *getInstance();
    QStringList getAllCachePaths() const;
    // The suite's cache folder for one of its apps (say "arkivo"): what
    // may be thrown away and made again. It may not exist yet.
    QString getAppCachePath(const QString &appName) const;
};
