#pragma once

#include "zentrihost_global.h"

#include <QObject>
#include <QVariantMap>

// The suite's backup-center manager: the rest of the suite hears backup
// option changes through its signals.
class ZENTRIHOST_EXPORT KBackupCenterMgr : public QObject
{
    Q_OBJECT
public:
    static KBackupCenterMgr *instance();

signals:
    void backupSwitchStateChanged(bool on);
    void backupModeChange(int mode, int interval);
    void backupDirChange(const QString &dir);
    void notifyChangeBackupSettings(const QVariantMap &settings);

private:
    explicit KBackupCenterMgr(QObject *parent = nullptr);
};
