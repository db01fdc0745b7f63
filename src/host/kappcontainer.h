#pragma once

#include "zentrihost_global.h"

#include <QDialog>
#include <QMap>
#include <QString>

class QObject;

// The host's description of an application; the page's source id is its third text.
struct ZENTRIHOST_EXPORT KAppInfo
{
    QString id;
    QString name;
    QString src;
    QString version;
};

// The app container that the framework hands to Initialize.
class ZENTRIHOST_EXPORT IKAppContainer
{
public:
    virtual ~IKAppContainer();

    // The container interface of the suite's main window; may be null.
    virtual IKAppContainer *mainContainer() = 0;
    virtual KAppInfo appInfo() const = 0;
    // Forwards a usage event to the suite's data collection.
    virtual void reportEvent(const QString &name, const QMap<QString, QString> &params) = 0;
    // Invokes `slot` (a slot name, no signature) of `receiver` by name with a
    // QVariantMap whenever the host raises `event`.
    virtual bool subscribeEvent(const QString &event, QObject *receiver, const QString &slot) = 0;
};

// The suite's main window: a dialog that is also a container.
class ZENTRIHOST_EXPORT KAppMainWindow : public QDialog, public IKAppContainer
{
    Q_OBJECT
public:
    explicit KAppMainWindow(QWidget *parent = nullptr);
    ~KAppMainWindow() override;

    IKAppContainer *mainContainer() override;
    KAppInfo appInfo() const override;
    void reportEvent(const QString &name, const QMap<QString, QString> &params) override;
    bool subscribeEvent(const QString &event, QObject *receiver, const QString &slot) override;
};
