#include "eventsubscriptions.h"

#include "ownedtext.h"

#include <QLoggingCategory>
#include <QMetaObject>

Q_LOGGING_CATEGORY(lcEvents, "zentri.host.events")

EventSubscriptions::EventSubscriptions(QObject *parent)
    : QObject(parent)
{}

bool EventSubscriptions::subscribe(const QString &event, QObject *receiver, const QString &slot)
{
    if (event.isEmpty() || !receiver || slot.isEmpty())
        return false;
    const QByteArray name = slot.toLatin1();
    // Checked now, so that a wrong name fails the subscription instead of
    // every later delivery.
    const QByteArray signature = QMetaObject::normalizedSignature(QByteArray(name + "(QVariantMap)").constData());
    if (receiver->metaObject()->indexOfMethod(signature.constData()) < 0) {
        qCWarning(lcEvents) << receiver << "has no method" << signature;
        return false;
    }
    m_subscriptions.erase(std::remove_if(m_subscriptions.begin(), m_subscriptions.end(),
                                         [](const Subscription &s) { return s.receiver.isNull(); }),
                          m_subscriptions.end());
    for (const Subscription &existing : qAsConst(m_subscriptions)) {
        if (existing.event == event && existing.receiver == receiver && existing.slot == name)
            return true;
    }
    // The container lives on after the plug-in is unloaded.
    m_subscriptions.append({ownedText(event), receiver, name});
    return true;
}

int EventSubscriptions::raise(const QString &event, const QVariantMap &payload)
{
    int reached = 0;
    // A slot may subscribe or unsubscribe others: work on a copy.
    const QList<Subscription> subscriptions = m_subscriptions;
    for (const Subscription &s : subscriptions) {
        if (s.event != event || s.receiver.isNull())
            continue;
        if (QMetaObject::invokeMethod(s.receiver, s.slot.constData(), Q_ARG(QVariantMap, payload)))
            ++reached;
    }
    return reached;
}
