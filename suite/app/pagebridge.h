#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QString>
#include <QVariantMap>

#include <json/json.h>

#include <functional>

class QTcpSocket;
class QWebSocket;
class QWebSocketServer;

// The page's way into the plug-in: a WebSocket on which the page sends
// {"id", "method", "args"} and gets {"id", "answer"} or {"id", "error"}
// back, and on which the plug-in's events reach every connected page. Only
// the page methods are dispatched, one call at a time: a call that runs a
// modal window holds the others until it returns, as a page behind a modal
// window would.
class PageBridge : public QObject
{
    Q_OBJECT
public:
    using HandlerSource = std::function<QObject *()>;

    static constexpr int maximumMessageBytes = 1024 * 1024;

    // `origin` is the only Origin a page may come from, `token` the secret
    // its address carries.
    PageBridge(HandlerSource handler, const QString &origin, const QByteArray &token, QObject *parent = nullptr);
    ~PageBridge() override;

    // Takes a socket whose upgrade request, `handshakeBytes` long, has been
    // checked and is still unread; the WebSocket handshake is done here.
    void handleConnection(QTcpSocket *socket, int handshakeBytes);
    // Sends a plug-in event, its payload a JSON text, to every page.
    void broadcastEvent(const QString &name, const QString &payloadText);
    int connectionCount() const { return m_sockets.size(); }

    // Compares in a time that does not depend on where the texts differ.
    static bool tokenMatches(const QByteArray &given, const QByteArray &token);

signals:
    void pageConnected();
    // Emitted right before a page method runs.
    void aboutToCall(const QString &method);

private:
    struct Call
    {
        QPointer<QWebSocket> socket;
        QJsonValue id;
        QString method;
        QVariantMap arguments;
    };

    void onNewConnection();
    void onTextMessage(QWebSocket *socket, const QString &message);
    void dispatchQueued();
    void run(const Call &call);
    void answer(QWebSocket *socket, const QJsonValue &id, Json::Value &result);
    void refuse(QWebSocket *socket, const QJsonValue &id, const QString &error);
    bool isOwnPage(const QWebSocket *socket) const;

    HandlerSource m_handler;
    QString m_origin;
    QByteArray m_token;
    QWebSocketServer *m_server;
    QList<QPointer<QWebSocket>> m_sockets;
    QQueue<Call> m_queue;
    bool m_dispatching = false;
};
