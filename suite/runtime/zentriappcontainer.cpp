#include "zentriappcontainer.h"

#include "eventsubscriptions.h"
#include "suiteconfig.h"
#include "usagesink.h"

ZentriAppContainer::ZentriAppContainer(KAppMainWindow *mainWindow)
    : m_mainWindow(mainWindow)
    , m_subscriptions(new EventSubscriptions)
{}

ZentriAppContainer::~ZentriAppContainer()
{
    delete m_subscriptions;
}

IKAppContainer *ZentriAppContainer::mainContainer()
{
    return m_mainWindow.data();
}

KAppInfo ZentriAppContainer::appInfo() const
{
    return SuiteConfig::appInfo();
}

void ZentriAppContainer::reportEvent(const QString &name, const QMap<QString, QString> &params)
{
    UsageSink::record(name, params, QStringLiteral("container"));
}

bool ZentriAppContainer::subscribeEvent(const QString &event, QObject *receiver, const QString &slot)
{
    return m_subscriptions->subscribe(event, receiver, slot);
}

int ZentriAppContainer::raiseEvent(const QString &event, const QVariantMap &payload)
{
    int reached = m_subscriptions->raise(event, payload);
    if (m_mainWindow) {
        if (auto *windowSubscriptions
            = m_mainWindow->findChild<EventSubscriptions *>(QString(), Qt::FindDirectChildrenOnly))
            reached += windowSubscriptions->raise(event, payload);
    }
    return reached;
}
