#pragma once

#include "zentrihost_global.h"

#include <QString>

namespace product {
// Whether the suite runs as an independent product (without the office
// centre's backup location choice).
ZENTRIHOST_EXPORT bool isIndependentMode(int kind);
// The language the suite shows its windows in: "en" or "zh_CN".
ZENTRIHOST_EXPORT QString uiLanguage();
}
