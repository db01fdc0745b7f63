#pragma once

#include "zentrihost_global.h"

#include <QString>

// The suite's folders and programs (hostrt). Each may be empty.
namespace dirs {
// The frameworks folder, or `subPath` inside it; `exists`, when given, tells
// whether that path exists.
ZENTRIHOST_EXPORT QString frameworks(const QString &subPath, bool *exists);
ZENTRIHOST_EXPORT QString launchExePath();
ZENTRIHOST_EXPORT QString compactLaunchExePath();
ZENTRIHOST_EXPORT QString officeInstallRoot();
}
