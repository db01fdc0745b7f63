#pragma once

#include <QLibrary>
#include <QPointer>
#include <QString>
#include <QVector>

#include <json/json.h>

#include <functional>
#include <memory>

class KAppMainWindow;
class KCoreApplication;
class KEssJsApi;
class KEssJsApiHandler;
class ZentriAppContainer;

// The suite around the plug-in: the host application with its services,
// the app container with the main window, the script-API registry, and the
// plug-in itself, loaded and started through its entry points.
class HostSession
{
public:
    struct Event
    {
        QString name;
        QString payload;
    };

    HostSession();
    ~HostSession();

    // Loads the plug-in, calls Initialize and apifactory_creater.
    bool start(const QString &pluginPath, QString *error);
    KEssJsApiHandler *handler() const;
    ZentriAppContainer *container() const { return m_container.get(); }

    // Runs the event loop until no cloud reply is pending, at most `ms`.
    void waitForReplies(int ms);
    // Runs the event loop for `ms`.
    static void runEventLoop(int ms);

    // The page events broadcast since the last call.
    QVector<Event> takeEvents();
    // Hands each page event to `sink` as it comes instead of keeping it.
    void setEventSink(std::function<void(const Event &)> sink) { m_eventSink = std::move(sink); }

    // The plug-in next to this program.
    static QString defaultPluginPath();

private:
    void stop();

    std::unique_ptr<KCoreApplication> m_hostApplication;
    std::unique_ptr<KAppMainWindow> m_mainWindow;
    std::unique_ptr<ZentriAppContainer> m_container;
    std::unique_ptr<KEssJsApi> m_registry;
    QLibrary m_plugin;
    bool m_initialized = false;
    QVector<Event> m_events;
    std::function<void(const Event &)> m_eventSink;
};
