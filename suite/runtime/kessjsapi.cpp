#include "kessjsapi.h"

KxWebViewJSContext::KxWebViewJSContext(const QVariantMap &arguments)
    : m_arguments(arguments)
    , m_result(Json::objectValue)
{}

KxWebViewJSApiHandler::KxWebViewJSApiHandler(QObject *parent)
    : QObject(parent)
{}

KxWebViewJSApiHandler::~KxWebViewJSApiHandler() = default;

void KxWebViewJSApiHandler::initHandlers() {}

void KxWebViewJSApiHandler::setHandler(const QString &name, QObject *handler)
{
    if (handler)
        m_handlers.insert(name, handler);
    else
        m_handlers.remove(name);
}

QObject *KxWebViewJSApiHandler::findHandler(const QString &name) const
{
    return m_handlers.value(name).data();
}

bool KxWebViewJSApiHandler::isHandlersValid() const
{
    for (const QPointer<QObject> &handler : m_handlers) {
        if (handler.isNull())
            return false;
    }
    return true;
}

QVariantMap KxWebViewJSApiHandler::parseContextArgs(KxWebViewJSContext &context, bool convert)
{
    // The page's JSON arrives already converted to Qt values.
    Q_UNUSED(convert)
    return context.arguments();
}

KxWebViewJSObject *KxWebViewJSApiHandler::jsObject() const
{
    return nullptr;
}

KEssJsApiProfile::KEssJsApiProfile(const QString &version, const QString &scope)
    : m_version(version)
    , m_scope(scope)
{}

KEssJsApiHandler::KEssJsApiHandler(KEssJsApi *api)
    : KxWebViewJSApiHandler(nullptr)
    , m_api(api)
{}

KEssJsApiHandler::~KEssJsApiHandler() = default;

void KEssJsApiHandler::broadcastEvent(const QString &name, const QString &text)
{
    if (m_api)
        emit m_api->eventBroadcast(name, text);
}

KxWebViewJSObject *KEssJsApiHandler::jsObject() const
{
    return m_api ? m_api->jsObject() : nullptr;
}

KEssJsApi::KEssJsApi(QObject *parent)
    : QObject(parent)
{}

KEssJsApi::~KEssJsApi()
{
    tearDown();
}

void KEssJsApi::addAppHandle(Handle handle)
{
    KEssJsApiHandler *handler = handle.first;
    if (!handler)
        return;
    for (const Handle &existing : qAsConst(m_handles)) {
        if (existing.first == handler)
            return;
    }
    m_handles.append(handle);
    // A handler deleted by someone else must not be deleted again at tear-down.
    connect(handler, &QObject::destroyed, this, [this, handler] {
        for (int i = 0; i < m_handles.size(); ++i) {
            if (m_handles.at(i).first == handler) {
                m_handles.removeAt(i);
                break;
            }
        }
    });
}

void KEssJsApi::tearDown()
{
    const QList<Handle> handles = m_handles;
    m_handles.clear();
    for (const Handle &handle : handles) {
        disconnect(handle.first, &QObject::destroyed, this, nullptr);
        delete handle.first;
    }
}
