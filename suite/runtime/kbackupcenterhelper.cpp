#include "kbackupcenterhelper.h"

#include "platform.h"
#include "suiteconfig.h"
#include "suitehome.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcBackupSettings, "zentri.host.backup")

namespace {
const QString kMode = QStringLiteral("backup/mode");
const QString kInterval = QStringLiteral("backup/interval");
const QString kEnabled = QStringLiteral("backup/enabled");
const QString kPath = QStringLiteral("backup/path");
const QString kDefaultPath = QStringLiteral("backup/defaultPath");
constexpr int kDefaultInterval = 10;
}

KBackupCenterHelper::BackupMode KBackupCenterHelper::getBackupMode()
{
    bool ok = false;
    const int mode = SuiteConfig::value(kMode, int(SmartBackup)).toInt(&ok);
    // A hand-edited or damaged value falls back to the suite's default.
    if (!ok || mode < CloseBackup || mode > IncrementBackup)
        return SmartBackup;
    return BackupMode(mode);
}

void KBackupCenterHelper::setBackupMode(BackupMode mode)
{
    if (mode < CloseBackup || mode > IncrementBackup) {
        qCWarning(lcBackupSettings) << "refusing backup mode" << int(mode);
        return;
    }
    SuiteConfig::setValue(kMode, int(mode));
}

uint KBackupCenterHelper::timeBackupInterval()
{
    bool ok = false;
    const int minutes = SuiteConfig::value(kInterval, kDefaultInterval).toInt(&ok);
    return ok && minutes >= 0 ? uint(minutes) : uint(kDefaultInterval);
}

void KBackupCenterHelper::setTimeBackupInterval(int minutes)
{
    // The getter answers an unsigned value: a negative one would come back huge.
    if (minutes < 0) {
        qCWarning(lcBackupSettings) << "refusing backup interval" << minutes;
        return;
    }
    SuiteConfig::setValue(kInterval, minutes);
}

bool KBackupCenterHelper::enableBackup()
{
    return SuiteConfig::value(kEnabled, true).toBool();
}

void KBackupCenterHelper::setEnableBackup(bool on)
{
    SuiteConfig::setValue(kEnabled, on);
}

QString KBackupCenterHelper::backupPath()
{
    const QString path = SuiteConfig::value(kPath).toString();
    return path.isEmpty() ? defaultBackupPath() : path;
}

void KBackupCenterHelper::setBackupPath(const QString &path)
{
    SuiteConfig::setValue(kPath, path);
}

QString KBackupCenterHelper::defaultBackupPath()
{
    const QString path = SuiteConfig::value(kDefaultPath).toString();
    return path.isEmpty() ? SuiteHome::filePath(QStringLiteral("backup")) : path;
}

bool KBackupCenterHelper::openWindowsRecycleBin()
{
    return Platform::openRecycleBin();
}
