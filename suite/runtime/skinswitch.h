#pragma once

#include "zentrihost_global.h"

#include <QString>

class ZentriAppContainer;

// The suite's skin switch: the host program changes the active skin here.
namespace SkinSwitch {
// Makes `skin` ("default" or "dark") the active skin in suite.ini [theme],
// re-themes the design widgets and raises "SkinChanged" {"skin": skin} on
// `container` (may be null). Answers how many subscribers were reached, or
// -1 for an unknown skin, which changes nothing.
ZENTRIHOST_EXPORT int apply(ZentriAppContainer *container, const QString &skin);
}
