#include "krepairtoolsmanager.h"

#include <dirs.h>
#include <kprocess.h>

#include <QStringList>

namespace {
// The suite's main executable asks its cloud service to run the app.
bool runCloudApp(const QString &appId)
{
    const QStringList arguments{
        QStringLiteral("Run"),
        QStringLiteral("/InstanceId=ZentriCloudSvr"),
        QStringLiteral("zentricloudsvrimp.dll"),
        QStringLiteral("/run_app"),
        QStringLiteral("/app_id=") + appId,
        QStringLiteral("/src=public_backupcenter"),
    };
    return KProcess::Execute(dirs::launchExePath(), arguments);
}
}

KRepairToolsManager::KRepairToolsManager(QObject *parent)
    : QObject(parent)
{}

KRepairToolsManager::~KRepairToolsManager() = default;

bool KRepairToolsManager::launchDocumentRepair()
{
    return runCloudApp(QStringLiteral("mendtool"));
}

bool KRepairToolsManager::launchDataRecovery()
{
    return runCloudApp(QStringLiteral("rescuekit_orr"));
}
