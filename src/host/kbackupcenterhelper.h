#pragma once

#include "zentrihost_global.h"

#include <QString>

// The suite's backup settings (hostrt). A setter takes effect at once and
// the getter then returns the value set.
class ZENTRIHOST_EXPORT KBackupCenterHelper
{
public:
    enum BackupMode {
        CloseBackup = 0,
        SmartBackup = 1,
        TimedBackup = 2,
        IncrementBackup = 3,
    };

    static BackupMode getBackupMode();
    static void setBackupMode(BackupMode mode);
    // Minutes between two timed backups.
    static uint timeBackupInterval();
    static void setTimeBackupInterval(int minutes);
    static bool enableBackup();
    static void setEnableBackup(bool on);
    static QString backupPath();
    static void setBackupPath(const QString &path);
    // The suite's default backup folder; it may not exist.
    static QString defaultBackupPath();

    // Shows the system's recycle bin (hostkit).
    static bool openWindowsRecycleBin();
};
