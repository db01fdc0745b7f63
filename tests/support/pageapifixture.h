#pragma once

#include "testsuitehome.h"

#include <kcoreapplication.h>
#include <kessjsapi.h>

#include <QJsonObject>
#include <QMutex>
#include <QPointer>
#include <QUrl>

#include <json/json.h>

#include <memory>

// The page API as the suite's framework builds it, for one test: a temporary
// suite home, the host application, the script-API registry and the
// plug-in's handler registered with it.
class PageApiFixture
{
public:
    // `hostWidget` stands for the web view's window.
    explicit PageApiFixture(QWidget *hostWidget = nullptr);
    ~PageApiFixture();
    PageApiFixture(const PageApiFixture &) = delete;
    PageApiFixture &operator=(const PageApiFixture &) = delete;

    // Calls a page method as the framework does; answers the call's result object.
    Json::Value call(const QString &method, const QVariantMap &arguments = {}) const;
    // The page's answer as compact JSON text, keys sorted; "{}" when nothing was written.
    static QString text(const Json::Value &answer);
    // Deletes the handler as the framework does when the page goes, and registers a new one.
    void reopen();

    TestSuiteHome home;
    std::unique_ptr<KCoreApplication> hostApp;
    std::unique_ptr<KEssJsApi> registry;
    QPointer<QObject> handler;
};

// The object of an eventBroadcast signal's JSON text.
QJsonObject eventObject(const QList<QVariant> &signalArguments);
// The objects of a file of JSON lines, in order; none when it cannot be read.
QList<QJsonObject> jsonLines(const QString &path);
// The usage events the suite home recorded, in order.
QList<QJsonObject> usageEvents(const TestSuiteHome &home);

// Takes the addresses handed to the desktop for `schemes`, from any thread,
// while it lives.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    explicit UrlCatcher(const QStringList &schemes);
    ~UrlCatcher() override;
    QList<QUrl> urls() const
    {
        QMutexLocker locker(&m_mutex);
        return m_urls;
    }

public slots:
    void open(const QUrl &url)
    {
        QMutexLocker locker(&m_mutex);
        m_urls.append(url);
    }

private:
    QStringList m_schemes;
    mutable QMutex m_mutex;
    QList<QUrl> m_urls;
};
