#pragma once

#include <QObject>
#include <QString>

// Reports what the user does in the backup settings as named usage events
// through the host's app container. Without a container events are dropped.
class KBackupCenterInfoC : public QObject
{
public:
    explicit KBackupCenterInfoC(QObject *parent = nullptr);
    ~KBackupCenterInfoC() override;

    void postSwitchEvent(const QString &name, const QString &status);
    void postSettingChangedEvent(const QString &name, const QString &oldValue, const QString &newValue);
    void postPopEvent(const QString &type, const QString &action);
    void postIncrementTipShowEvent(const QString &action);
    void postIncrementTipClickEvent(const QString &clickOn);
    void postMigrateAlertEvent(const QString &action, const QString &source);

    // Pairs with an empty key are left out; an empty value is sent as is.
    void
    postEvent(const QString &event, const QString &key1 = QString(), const QString &value1 = QString(),
              const QString &key2 = QString(), const QString &value2 = QString(), const QString &key3 = QString(),
              const QString &value3 = QString(), const QString &key4 = QString(), const QString &value4 = QString(),
              const QString &key5 = QString(), const QString &value5 = QString(), const QString &key6 = QString(),
              const QString &value6 = QString(), const QString &key7 = QString(), const QString &value7 = QString(),
              const QString &key8 = QString(), const QString &value8 = QString(), const QString &key9 = QString(),
              const QString &value9 = QString(), const QString &key10 = QString(), const QString &value10 = QString());
};
