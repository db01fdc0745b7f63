#include "kbackupcenterinfoc.h"

#include "core/arkivolog.h"
#include "plugin/arkivoapplication.h"

#include <kappcontainer.h>

#include <QMap>

#include <utility>

namespace {
const QString switchEvent = QStringLiteral("vas_newbackupcenter_switch");
const QString settingChangedEvent = QStringLiteral("vas_newbackupcenter_settingchanged");
const QString popEvent = QStringLiteral("vas_newbackupcenter_pop");
const QString incrementTipShowEvent = QStringLiteral("backupcenter_backupmode_increment_tipshow");
const QString incrementTipClickEvent = QStringLiteral("backupcenter_backupmode_increment_tipclick");
const QString migrateAlertEvent = QStringLiteral("configguider_backupmigratealert");

const QString nameKey = QStringLiteral("name");
const QString statusKey = QStringLiteral("status");
const QString positionKey = QStringLiteral("position");
const QString oldValueKey = QStringLiteral("old_value");
const QString newValueKey = QStringLiteral("new_value");
const QString typeKey = QStringLiteral("type");
const QString actionKey = QStringLiteral("action");
const QString clickOnKey = QStringLiteral("clickon");
const QString sourceKey = QStringLiteral("src");
const QString backupCenterPosition = QStringLiteral("backupcenter");
}

KBackupCenterInfoC::KBackupCenterInfoC(QObject *parent)
    : QObject(parent)
{}

KBackupCenterInfoC::~KBackupCenterInfoC() = default;

void KBackupCenterInfoC::postSwitchEvent(const QString &name, const QString &status)
{
    postEvent(switchEvent, nameKey, name, statusKey, status, positionKey, backupCenterPosition);
}

void KBackupCenterInfoC::postSettingChangedEvent(const QString &name, const QString &oldValue, const QString &newValue)
{
    postEvent(settingChangedEvent, nameKey, name, oldValueKey, oldValue, newValueKey, newValue);
}

void KBackupCenterInfoC::postPopEvent(const QString &type, const QString &action)
{
    postEvent(popEvent, typeKey, type, actionKey, action);
}

void KBackupCenterInfoC::postIncrementTipShowEvent(const QString &action)
{
    postEvent(incrementTipShowEvent, actionKey, action);
}

void KBackupCenterInfoC::postIncrementTipClickEvent(const QString &clickOn)
{
    postEvent(incrementTipClickEvent, clickOnKey, clickOn);
}

void KBackupCenterInfoC::postMigrateAlertEvent(const QString &action, const QString &source)
{
    postEvent(migrateAlertEvent, actionKey, action, sourceKey, source);
}

void KBackupCenterInfoC::postEvent(const QString &event, const QString &key1, const QString &value1,
                                   const QString &key2, const QString &value2, const QString &key3,
                                   const QString &value3, const QString &key4, const QString &value4,
                                   const QString &key5, const QString &value5, const QString &key6,
                                   const QString &value6, const QString &key7, const QString &value7,
                                   const QString &key8, const QString &value8, const QString &key9,
                                   const QString &value9, const QString &key10, const QString &value10)
{
    const std::pair<const QString &, const QString &> pairs[] = {
        {key1, value1}, {key2, value2}, {key3, value3}, {key4, value4}, {key5, value5},
        {key6, value6}, {key7, value7}, {key8, value8}, {key9, value9}, {key10, value10},
    };
    QMap<QString, QString> params;
    for (const auto &pair : pairs) {
        if (!pair.first.isEmpty())
            params.insert(pair.first, pair.second);
    }
    IKAppContainer *container = arkivoApplication::instance().container();
    if (!container) {
        qCDebug(lcUsage) << "no container: usage event" << event << "not reported";
        return;
    }
    container->reportEvent(event, params);
}
