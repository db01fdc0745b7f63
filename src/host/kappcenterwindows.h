#pragma once

#include "zentrihost_global.h"

#include <QByteArray>

// The suite's app-center windows, which hear backup settings changes as
// copy-data window messages (WM_COPYDATA on Windows).
namespace KAppCenterWindows {
// Sends the message (dwData, data) from the window `sender` (0 for none) to
// every app-center window; answers how many windows took it.
ZENTRIHOST_EXPORT int sendCopyData(quintptr sender, quintptr dwData, const QByteArray &data);
}
