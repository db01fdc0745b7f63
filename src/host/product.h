#pragma once

#include "zentrihost_global.h"

namespace product {
// Whether the suite runs as an independent product (without the office
// centre's backup location choice).
ZENTRIHOST_EXPORT bool isIndependentMode(int kind);
}
