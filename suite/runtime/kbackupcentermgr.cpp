#include "kbackupcentermgr.h"

KBackupCenterMgr::KBackupCenterMgr(QObject *parent)
    : QObject(parent)
{}

KBackupCenterMgr *KBackupCenterMgr::instance()
{
    static KBackupCenterMgr manager;
    return &manager;
}
