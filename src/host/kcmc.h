#pragma once

#include "zentrihost_global.h"

#include <QString>

// The suite's cloud configuration values.
namespace kcmc {
// The integer of a configuration item; 0 when it is not configured. `isNull`,
// when given, tells whether the item was absent.
ZENTRIHOST_EXPORT int intValue(const QString &item, const QString &field, bool *isNull = nullptr);
// Whether the suite supports a feature; a feature that is not listed is supported.
ZENTRIHOST_EXPORT bool support(const QString &feature);
}
