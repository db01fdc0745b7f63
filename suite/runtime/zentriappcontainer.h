#pragma once

#include "kappcontainer.h"

#include <QPointer>
#include <QVariantMap>

class EventSubscriptions;

// The app container the host program hands to the plug-in's Initialize.
class ZENTRIHOST_EXPORT ZentriAppContainer : public IKAppContainer
{
public:
    explicit ZentriAppContainer(KAppMainWindow *mainWindow = nullptr);
    ~ZentriAppContainer() override;
    ZentriAppContainer(const ZentriAppContainer &) = delete;
    ZentriAppContainer &operator=(const ZentriAppContainer &) = delete;

    IKAppContainer *mainContainer() override;
    KAppInfo appInfo() const override;
    void reportEvent(const QString &name, const QMap<QString, QString> &params) override;
    bool subscribeEvent(const QString &event, QObject *receiver, const QString &slot) override;

    // Raises a host event: every subscriber of this container and of its main
    // window gets its slot invoked by name with `payload`. Answers how many did.
    int raiseEvent(const QString &event, const QVariantMap &payload);

private:
    QPointer<KAppMainWindow> m_mainWindow;
    EventSubscriptions *m_subscriptions;
};
