#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

// The event subscriptions of one app container: slots invoked by name with
// a QVariantMap when the host raises the event.
class EventSubscriptions : public QObject
{
    Q_OBJECT
public:
    explicit EventSubscriptions(QObject *parent = nullptr);

    // False for a missing receiver or a slot it does not have as slot(QVariantMap).
    bool subscribe(const QString &event, QObject *receiver, const QString &slot);
    // Invokes every living subscriber of `event`; answers how many were reached.
    int raise(const QString &event, const QVariantMap &payload);

private:
    struct Subscription
    {
        QString event;
        QPointer<QObject> receiver;
        QByteArray slot;
    };
    QList<Subscription> m_subscriptions;
};
