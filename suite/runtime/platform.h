#pragma once

// The operating-system calls of the host layer. platform_win.cpp holds the
// Windows calls, platform_posix.cpp their POSIX twins; one is built.
#include "zentrihost_global.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace Platform {
// Shows the system's recycle bin (the trash folder on POSIX).
bool openRecycleBin();
// The cloud client's settings for QSettings::NativeFormat: its registry key
// on Windows, <home>/cloudclient.ini on POSIX.
QString cloudClientSettingsLocation();
// Sends WM_COPYDATA (dwData, data) from the window `sender` to every
// app-center window of the suite; answers how many windows took it.
int sendToAppCenterWindows(quintptr sender, quintptr dwData, const QByteArray &data);
// Whether the process `pid` is running; one that the caller may not signal
// (another user's) counts as running.
ZENTRIHOST_EXPORT bool processExists(qint64 pid);
// Renames `from` to `to` in one step, never over a file that has `to`'s name.
bool renameNoReplace(const QString &from, const QString &to);
}
