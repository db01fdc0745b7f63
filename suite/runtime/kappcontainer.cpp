#include "kappcontainer.h"

#include "eventsubscriptions.h"
#include "suiteconfig.h"
#include "usagesink.h"

IKAppContainer::~IKAppContainer() = default;

KAppMainWindow::KAppMainWindow(QWidget *parent)
    : QDialog(parent)
{
    // The subscriptions live in a child object so that the window's class
    // layout stays the suite's; ZentriAppContainer::raiseEvent reaches them.
    new EventSubscriptions(this);
}

KAppMainWindow::~KAppMainWindow() = default;

IKAppContainer *KAppMainWindow::mainContainer()
{
    return this;
}

KAppInfo KAppMainWindow::appInfo() const
{
    return SuiteConfig::appInfo();
}

void KAppMainWindow::reportEvent(const QString &name, const QMap<QString, QString> &params)
{
    UsageSink::record(name, params, QStringLiteral("container"));
}

bool KAppMainWindow::subscribeEvent(const QString &event, QObject *receiver, const QString &slot)
{
    auto *subscriptions = findChild<EventSubscriptions *>(QString(), Qt::FindDirectChildrenOnly);
    return subscriptions && subscriptions->subscribe(event, receiver, slot);
}
