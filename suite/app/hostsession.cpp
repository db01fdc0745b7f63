#include "hostsession.h"

#include <kappcontainer.h>
#include <kcloudsvrproxy.h>
#include <kcoreapplication.h>
#include <kessjsapi.h>
#include <zentriappcontainer.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QTimer>

namespace {
using InitializeFunction = bool (*)(IKAppContainer *);
using DestroyFunction = bool (*)();
using FactoryFunction = void (*)(KEssJsApi *);
}

HostSession::HostSession()
    : m_hostApplication(std::make_unique<KCoreApplication>())
    , m_mainWindow(std::make_unique<KAppMainWindow>())
    , m_container(std::make_unique<ZentriAppContainer>(m_mainWindow.get()))
    , m_registry(std::make_unique<KEssJsApi>())
{
    QObject::connect(m_registry.get(), &KEssJsApi::eventBroadcast, [this](const QString &name, const QString &text) {
        if (m_eventSink)
            m_eventSink({name, text});
        else
            m_events.append({name, text});
    });
}

HostSession::~HostSession()
{
    stop();
}

bool HostSession::start(const QString &pluginPath, QString *error)
{
    m_plugin.setFileName(pluginPath);
    if (!m_plugin.load()) {
        *error = QStringLiteral("cannot load the plug-in %1: %2").arg(pluginPath, m_plugin.errorString());
        return false;
    }
    auto initialize = reinterpret_cast<InitializeFunction>(m_plugin.resolve("Initialize"));
    auto factory = reinterpret_cast<FactoryFunction>(m_plugin.resolve("apifactory_creater"));
    if (!initialize || !factory || !m_plugin.resolve("Destroy")) {
        *error = QStringLiteral("%1 is not a backup-center plug-in").arg(pluginPath);
        return false;
    }
    initialize(m_container.get());
    m_initialized = true;
    factory(m_registry.get());
    if (!handler()) {
        *error = QStringLiteral("the plug-in registered no script object");
        return false;
    }
    return true;
}

void HostSession::stop()
{
    // The framework's order: the page API goes, then the plug-in is told,
    // then it is unloaded.
    m_registry->tearDown();
    if (m_initialized) {
        if (auto destroy = reinterpret_cast<DestroyFunction>(m_plugin.resolve("Destroy")))
            destroy();
        m_initialized = false;
    }
    if (m_plugin.isLoaded())
        m_plugin.unload();
}

KEssJsApiHandler *HostSession::handler() const
{
    const QList<KEssJsApi::Handle> handles = m_registry->handles();
    return handles.isEmpty() ? nullptr : handles.last().first;
}

void HostSession::waitForReplies(int ms)
{
    KCloudSvrProxy *proxy = KCoreApplication::cloudSvrProxy();
    QDeadlineTimer deadline(ms);
    while (proxy && proxy->pendingCalls() > 0 && !deadline.hasExpired()) {
        QEventLoop loop;
        QObject::connect(proxy, &KCloudSvrProxy::allRepliesDelivered, &loop, &QEventLoop::quit);
        QTimer::singleShot(int(deadline.remainingTime()), &loop, &QEventLoop::quit);
        loop.exec();
    }
    // A delivered reply may still have posted work (events, follow-up calls).
    QCoreApplication::processEvents();
}

void HostSession::runEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QVector<HostSession::Event> HostSession::takeEvents()
{
    QVector<Event> events;
    events.swap(m_events);
    return events;
}

QString HostSession::defaultPluginPath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("libarkivo.so"));
}
