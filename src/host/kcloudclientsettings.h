#pragma once

#include "zentrihost_global.h"

#include <QString>

// Where the suite's cloud client keeps its settings, to be read with
// QSettings in the native format: a registry key on Windows, an INI file of
// the suite home elsewhere.
namespace cloudclient {
ZENTRIHOST_EXPORT QString settingsLocation();
}
