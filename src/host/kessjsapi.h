#pragma once

#include "zentrihost_global.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QVariantMap>
#include <QWidget>

#include <json/json.h>

class KEssJsApi;

// One page call: its arguments and the JSON object answered to the page.
class ZENTRIHOST_EXPORT KxWebViewJSContext
{
public:
    explicit KxWebViewJSContext(const QVariantMap &arguments = {});

    const QVariantMap &arguments() const { return m_arguments; }
    // The answer; methods assign keys of this object.
    Json::Value &result() { return m_result; }
    const Json::Value &result() const { return m_result; }

private:
    QVariantMap m_arguments;
    Json::Value m_result;
};

// The widget that hosts the web view, reached from a handler's script object.
class ZENTRIHOST_EXPORT KxWebViewContainer
{
public:
    QWidget *hostWidget() const { return m_hostWidget; }
    void setHostWidget(QWidget *widget) { m_hostWidget = widget; }

private:
    QPointer<QWidget> m_hostWidget;
};

class ZENTRIHOST_EXPORT KxWebViewJSObject
{
public:
    KxWebViewContainer *webViewContainer() { return &m_container; }

private:
    KxWebViewContainer m_container;
};

class ZENTRIHOST_EXPORT KxWebViewJSApiHandler : public QObject
{
    Q_OBJECT
public:
    explicit KxWebViewJSApiHandler(QObject *parent = nullptr);
    ~KxWebViewJSApiHandler() override;

    virtual void initHandlers();
    virtual void setHandler(const QString &name, QObject *handler);
    virtual QObject *findHandler(const QString &name) const;
    virtual bool isHandlersValid() const;

protected:
    // The page call's arguments as a map; `convert` asks for JSON values to
    // be turned into their Qt counterparts (always done here).
    QVariantMap parseContextArgs(KxWebViewJSContext &context, bool convert);
    virtual KxWebViewJSObject *jsObject() const;

private:
    QMap<QString, QPointer<QObject>> m_handlers;
};

// The profile under which a handler is registered.
class ZENTRIHOST_EXPORT KEssJsApiProfile
{
public:
    KEssJsApiProfile() = default;
    KEssJsApiProfile(const QString &version, const QString &scope);

    QString version() const { return m_version; }
    QString scope() const { return m_scope; }

private:
    QString m_version;
    QString m_scope;
};

class ZENTRIHOST_EXPORT KEssJsApiHandler : public KxWebViewJSApiHandler
{
    Q_OBJECT
public:
    explicit KEssJsApiHandler(KEssJsApi *api);
    ~KEssJsApiHandler() override;

    KEssJsApi *api() const { return m_api; }

protected:
    // Sends a named event with a JSON text to the page.
    void broadcastEvent(const QString &name, const QString &text);
    KxWebViewJSObject *jsObject() const override;

private:
    QPointer<KEssJsApi> m_api;
};

// The framework's script-API registry. It owns the handlers registered with
// it and deletes them when the page's API is torn down.
class ZENTRIHOST_EXPORT KEssJsApi : public QObject
{
    Q_OBJECT
public:
    using Handle = QPair<KEssJsApiHandler *, KEssJsApiProfile>;

    explicit KEssJsApi(QObject *parent = nullptr);
    ~KEssJsApi() override;

    void addAppHandle(Handle handle);
    QList<Handle> handles() const { return m_handles; }
    // Deletes every registered handler, as the framework does when the page goes.
    void tearDown();

    KxWebViewJSObject *jsObject() { return &m_jsObject; }

signals:
    void eventBroadcast(const QString &name, const QString &text);

private:
    QList<Handle> m_handles;
    KxWebViewJSObject m_jsObject;
};
