#include "pageserver.h"

#include "httprequesthead.h"
#include "pagebridge.h"

#include <QDesktopServices>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryFile>
#include <QTimer>

#include <suitehome.h>

Q_LOGGING_CATEGORY(lcPageServer, "zentri.host.pageserver")

namespace {

const QString resourceRoot = QStringLiteral(":/page");
// A connection that has not sent a whole request head by then is dropped.
constexpr int requestHeadTimeoutMs = 10000;

QByteArray makeToken()
{
    quint32 words[8];
    QRandomGenerator::system()->fillRange(words);
    return QByteArray(reinterpret_cast<const char *>(words), sizeof(words)).toHex();
}

QByteArray contentTypeOf(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("html"))
        return "text/html; charset=utf-8";
    if (suffix == QLatin1String("css"))
        return "text/css; charset=utf-8";
    if (suffix == QLatin1String("js") || suffix == QLatin1String("mjs"))
        return "text/javascript; charset=utf-8";
    if (suffix == QLatin1String("svg"))
        return "image/svg+xml";
    if (suffix == QLatin1String("png"))
        return "image/png";
    if (suffix == QLatin1String("ico"))
        return "image/x-icon";
    if (suffix == QLatin1String("json"))
        return "application/json";
    return "application/octet-stream";
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 421:
        return "Misdirected Request";
    case 426:
        return "Upgrade Required";
    case 431:
        return "Request Header Fields Too Large";
    default:
        return "Error";
    }
}

}

PageServer::PageServer(std::function<QObject *()> handler, QObject *parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
    , m_handler(std::move(handler))
    , m_token(makeToken())
    , m_files(pageFiles())
{
    connect(m_server, &QTcpServer::newConnection, this, &PageServer::onNewConnection);
}

PageServer::~PageServer() = default;

QHash<QByteArray, QString> PageServer::pageFiles()
{
    // The page lives in this static library; its resources are registered by hand.
    Q_INIT_RESOURCE(page);
    QHash<QByteArray, QString> files;
    QDirIterator it(resourceRoot, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString resource = it.next();
        files.insert(resource.mid(resourceRoot.size()).toUtf8(), resource);
    }
    if (files.contains("/index.html"))
        files.insert("/", files.value("/index.html"));
    return files;
}

bool PageServer::listen(quint16 port, QString *error)
{
    if (!m_server->listen(QHostAddress::LocalHost, port)) {
        *error = QStringLiteral("cannot listen on 127.0.0.1:%1: %2").arg(port).arg(m_server->errorString());
        return false;
    }
    m_bridge = new PageBridge(m_handler, origin(), m_token, this);
    return true;
}

quint16 PageServer::port() const
{
    return m_server->serverPort();
}

QString PageServer::origin() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port());
}

QUrl PageServer::pageUrl() const
{
    return QUrl(origin() + QStringLiteral("/?token=") + QString::fromLatin1(m_token));
}

QUrl PageServer::bridgeUrl() const
{
    return QUrl(QStringLiteral("ws://127.0.0.1:%1/bridge?token=%2").arg(port()).arg(QString::fromLatin1(m_token)));
}

bool PageServer::openInBrowser(QString *error)
{
    // An address handed to the browser stands on its command line and the
    // opener's, which every user of this machine can read: it is handed a
    // file that only this user can read, which forwards to the address.
    const QString runDir = SuiteHome::makeRunFolder();
    if (runDir.isEmpty()) {
        *error = QStringLiteral("cannot make the folder %1").arg(SuiteHome::filePath(QStringLiteral("run")));
        return false;
    }
    // Made with mode 0600 from the start, and removed with the server.
    auto page = std::make_unique<QTemporaryFile>(runDir + QStringLiteral("/backup-center-XXXXXX.html"));
    const QByteArray address = pageUrl().toEncoded();
    if (!page->open()
        || page->write("<!doctype html>\n<meta charset=\"utf-8\">\n<meta name=\"referrer\" content=\"no-referrer\">\n"
                       "<meta http-equiv=\"refresh\" content=\"0; url="
                       + address
                       + "\">\n<title>Backup center</title>\n"
                         "<script>location.replace(\""
                       + address
                       + "\");</script>\n"
                         "<a href=\""
                       + address + "\">Open the backup center</a>\n")
               < 0
        || !page->flush()) {
        *error = QStringLiteral("cannot write the page's opening file in %1: %2").arg(runDir, page->errorString());
        return false;
    }
    const QUrl pageFile = QUrl::fromLocalFile(page->fileName());
    m_openingFile = std::move(page);
    if (!QDesktopServices::openUrl(pageFile)) {
        m_openingFile.reset();
        *error = QStringLiteral("no browser could be opened; open the printed address");
        return false;
    }
    return true;
}

void PageServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        auto *timeout = new QTimer(socket);
        timeout->setSingleShot(true);
        timeout->setObjectName(QStringLiteral("requestHeadTimeout"));
        connect(timeout, &QTimer::timeout, socket,
                [this, socket] { respond(socket, 408, "The request took too long.\n"); });
        timeout->start(requestHeadTimeoutMs);
        // Bounds what a client can make the server hold before its head is read.
        socket->setReadBufferSize(HttpRequestHead::maximumSize + 4);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void PageServer::onReadyRead(QTcpSocket *socket)
{
    // Peeked, not read: an upgrade request is handed on with its bytes unread,
    // so that the WebSocket server reads the handshake itself.
    const QByteArray buffered = socket->peek(HttpRequestHead::maximumSize + 4);
    HttpRequestHead head;
    switch (HttpRequestHead::parse(buffered, &head)) {
    case HttpRequestHead::Parse::Incomplete:
        return;
    case HttpRequestHead::Parse::TooLarge:
        respond(socket, 431, "The request head is too large.\n");
        return;
    case HttpRequestHead::Parse::Malformed:
        respond(socket, 400, "The request is malformed.\n");
        return;
    case HttpRequestHead::Parse::Complete:
        break;
    }
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    if (QTimer *timeout = socket->findChild<QTimer *>(QStringLiteral("requestHeadTimeout")))
        timeout->deleteLater();

    // Another name for this machine could be a name an attacker's site
    // resolves here: only the address the server printed is answered.
    const QByteArray host = QStringLiteral("127.0.0.1:%1").arg(port()).toLatin1();
    if (head.field("host") != host) {
        respond(socket, 421, "Open the backup center at the address zentri-host printed.\n");
        return;
    }
    if (head.path == "/bridge") {
        upgrade(socket, head);
        return;
    }
    socket->read(head.size);
    serveFile(socket, head);
}

void PageServer::upgrade(QTcpSocket *socket, const HttpRequestHead &head)
{
    if (head.method != "GET" || !head.isWebSocketUpgrade()) {
        respond(socket, 426, "The bridge speaks WebSocket only.\n", "text/plain; charset=utf-8",
                {{"Upgrade", "websocket"}});
        return;
    }
    if (!PageBridge::tokenMatches(head.queryValue("token"), m_token)) {
        qCWarning(lcPageServer) << "refused a bridge connection without the token";
        respond(socket, 403, "The bridge needs the token of the page's address.\n");
        return;
    }
    if (head.field("origin") != origin().toLatin1()) {
        qCWarning(lcPageServer) << "refused a bridge connection from the origin" << head.field("origin");
        respond(socket, 403, "The bridge serves only its own page.\n");
        return;
    }
    socket->setReadBufferSize(0);
    m_bridge->handleConnection(socket, head.size);
}

void PageServer::serveFile(QTcpSocket *socket, const HttpRequestHead &head)
{
    if (head.method != "GET" && head.method != "HEAD") {
        respond(socket, 405, "Only GET and HEAD.\n", "text/plain; charset=utf-8", {{"Allow", "GET, HEAD"}});
        return;
    }
    if (head.hasBody()) {
        respond(socket, 400, "A page request has no body.\n");
        return;
    }
    const QString resource = m_files.value(head.path);
    if (resource.isEmpty()) {
        respond(socket, 404, "Not found.\n");
        return;
    }
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly)) {
        respond(socket, 404, "Not found.\n");
        return;
    }
    const QByteArray connectSource = QStringLiteral("ws://127.0.0.1:%1").arg(port()).toLatin1();
    respond(socket, 200, file.readAll(), contentTypeOf(resource),
            {{"Content-Security-Policy",
              "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
              "connect-src "
                  + connectSource + "; base-uri 'none'; form-action 'none'; frame-ancestors 'none'"},
             {"Cache-Control", "no-store"}},
            head.method == "GET");
}

void PageServer::respond(QTcpSocket *socket, int status, const QByteArray &body, const QByteArray &contentType,
                         const QList<QPair<QByteArray, QByteArray>> &extraFields, bool withBody)
{
    QByteArray response = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    response += "Content-Type: " + contentType + "\r\n";
    response += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    // The token travels in the page's address: it must not leave in a Referer.
    response += "Referrer-Policy: no-referrer\r\n";
    response += "X-Content-Type-Options: nosniff\r\n";
    response += "X-Frame-Options: DENY\r\n";
    for (const auto &field : extraFields)
        response += field.first + ": " + field.second + "\r\n";
    response += "Connection: close\r\n\r\n";
    if (withBody)
        response += body;
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    // Unread bytes at close would make the system reset the connection
    // before the client has read the answer.
    socket->readAll();
    connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
    socket->write(response);
    socket->disconnectFromHost();
}
