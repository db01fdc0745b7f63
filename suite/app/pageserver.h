#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class PageBridge;
class QTcpServer;
class QTcpSocket;
class QTemporaryFile;
struct HttpRequestHead;

// Serves the backup-center page to a browser on this machine: the page's
// compiled-in files over HTTP, and its bridge to the plug-in as a WebSocket
// on the same port. It listens on 127.0.0.1 only. The bridge lets in only
// the page it served: the handshake must carry the address's token and come
// from the server's own origin.
class PageServer : public QObject
{
    Q_OBJECT
public:
    // `handler` gives the plug-in's script object at each call.
    explicit PageServer(std::function<QObject *()> handler, QObject *parent = nullptr);
    ~PageServer() override;

    // Listens on 127.0.0.1:`port` (0 takes a free port).
    bool listen(quint16 port, QString *error);
    quint16 port() const;
    QByteArray token() const { return m_token; }
    // http://127.0.0.1:PORT
    QString origin() const;
    // http://127.0.0.1:PORT/?token=TOKEN
    QUrl pageUrl() const;
    // ws://127.0.0.1:PORT/bridge?token=TOKEN
    QUrl bridgeUrl() const;

    PageBridge *bridge() const { return m_bridge; }

    // Opens the page in the default browser through a file in the suite
    // home's run/ folder that only this user can read and that forwards to
    // pageUrl(): the token is on no command line. The file goes with the server.
    bool openInBrowser(QString *error);

    // The files of the page, by the path they are served under.
    static QHash<QByteArray, QString> pageFiles();

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void serveFile(QTcpSocket *socket, const HttpRequestHead &head);
    void upgrade(QTcpSocket *socket, const HttpRequestHead &head);
    void respond(QTcpSocket *socket, int status, const QByteArray &body,
                 const QByteArray &contentType = QByteArrayLiteral("text/plain; charset=utf-8"),
                 const QList<QPair<QByteArray, QByteArray>> &extraFields = {}, bool withBody = true);

    QTcpServer *m_server;
    PageBridge *m_bridge = nullptr;
    std::function<QObject *()> m_handler;
    QByteArray m_token;
    QHash<QByteArray, QString> m_files;
    std::unique_ptr<QTemporaryFile> m_openingFile;
};
