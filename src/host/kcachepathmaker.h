#pragma once

#include "zentrihost_global.h"

#include <QStringList>

// Where the suite caches cloud documents.
class ZENTRIHOST_EXPORT KCachePathMaker
{
public:
    static KCachePathMaker *getInstance();
    QStringList getAllCachePaths() const;
};
