#include "pagebridge.h"

#include "jsonline.h"
#include "pagedispatch.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QTcpSocket>
#include <QUrlQuery>
#include <QWebSocket>
#include <QWebSocketCorsAuthenticator>
#include <QWebSocketServer>

#include <cmath>
#include <memory>
#include <ostream>
#include <streambuf>

#include <sys/socket.h>

// Debug lines (QT_LOGGING_RULES="zentri.host.bridge.debug=true") time each call.
Q_LOGGING_CATEGORY(lcBridge, "zentri.host.bridge", QtInfoMsg)

namespace {

// Messages up to this size are read and refused with an answer; beyond it the
// connection is closed, so that no page can make the host hold more.
constexpr quint64 closingMessageBytes = 16 * 1024 * 1024;
constexpr int largeAnswerBytes = 256 * 1024;

// Follows the frames a page sends, as they arrive, to find one that is not
// masked: RFC 6455 has the server close such a connection, and QWebSocket
// takes them. Only frame headers are looked at; payloads are skipped.
class ClientFrames
{
public:
    explicit ClientFrames(int handshakeBytes)
        : m_payloadLeft(quint64(handshakeBytes))
    {}

    // How many of `bytes` may go on: all of them, or those before an unmasked frame.
    int accept(const QByteArray &bytes)
    {
        int i = 0;
        // 0 when the header began in an earlier read: nothing more passes.
        int frameStart = 0;
        while (i < bytes.size()) {
            if (m_payloadLeft > 0) {
                const int skipped = int(qMin(m_payloadLeft, quint64(bytes.size() - i)));
                i += skipped;
                m_payloadLeft -= skipped;
                continue;
            }
            if (m_header.isEmpty())
                frameStart = i;
            m_header += bytes.at(i++);
            if (m_header.size() < 2)
                continue;
            const auto second = static_cast<unsigned char>(m_header.at(1));
            if (!(second & 0x80))
                return frameStart;
            const int lengthBytes = (second & 0x7f) == 126 ? 2 : (second & 0x7f) == 127 ? 8 : 0;
            if (m_header.size() < 2 + lengthBytes + 4)
                continue;
            quint64 length = second & 0x7f;
            if (lengthBytes > 0) {
                length = 0;
                for (int b = 2; b < 2 + lengthBytes; ++b)
                    length = (length << 8) | static_cast<unsigned char>(m_header.at(b));
            }
            m_payloadLeft = length;
            m_header.clear();
        }
        return bytes.size();
    }

private:
    // The handshake counts as a payload: it is passed on unlooked at.
    quint64 m_payloadLeft;
    QByteArray m_header;
};

QByteArray idText(const QJsonValue &id)
{
    if (!id.isDouble())
        return QByteArrayLiteral("null");
    return QJsonDocument(QJsonArray{id}).toJson(QJsonDocument::Compact).mid(1).chopped(1);
}

// Appends what a std::ostream writes to a QByteArray, so that the answer's
// text is built once, in the buffer that is sent.
class ByteArrayBuffer : public std::streambuf
{
public:
    explicit ByteArrayBuffer(QByteArray *out)
        : m_out(out)
    {}

protected:
    int_type overflow(int_type c) override
    {
        if (c != traits_type::eof())
            m_out->append(char(c));
        return c;
    }
    std::streamsize xsputn(const char *data, std::streamsize size) override
    {
        m_out->append(data, int(size));
        return size;
    }

private:
    QByteArray *m_out;
};

}

PageBridge::PageBridge(HandlerSource handler, const QString &origin, const QByteArray &token, QObject *parent)
    : QObject(parent)
    , m_handler(std::move(handler))
    , m_origin(origin)
    , m_token(token)
    , m_server(new QWebSocketServer(QStringLiteral("zentri-host"), QWebSocketServer::NonSecureMode, this))
{
    connect(m_server, &QWebSocketServer::newConnection, this, &PageBridge::onNewConnection);
    connect(m_server, &QWebSocketServer::originAuthenticationRequired, this,
            [this](QWebSocketCorsAuthenticator *authenticator) {
                authenticator->setAllowed(authenticator->origin() == m_origin);
            });
}

PageBridge::~PageBridge()
{
    for (const QPointer<QWebSocket> &socket : qAsConst(m_sockets)) {
        if (socket)
            socket->abort();
    }
}

bool PageBridge::tokenMatches(const QByteArray &given, const QByteArray &token)
{
    if (token.isEmpty() || given.size() != token.size())
        return false;
    unsigned char difference = 0;
    for (int i = 0; i < token.size(); ++i)
        difference |= static_cast<unsigned char>(given.at(i) ^ token.at(i));
    return difference == 0;
}

void PageBridge::handleConnection(QTcpSocket *client, int handshakeBytes)
{
    // QWebSocket reads its socket itself, so it is given one end of a socket
    // pair; the page's bytes reach the other end once their frames passed.
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        qCWarning(lcBridge) << "cannot make a socket pair for a page:" << qt_error_string();
        client->abort();
        return;
    }
    auto *relay = new QTcpSocket(client);
    auto *inner = new QTcpSocket(this);
    relay->setSocketDescriptor(ends[0]);
    inner->setSocketDescriptor(ends[1]);
    connect(inner, &QTcpSocket::disconnected, inner, &QObject::deleteLater);

    auto frames = std::make_shared<ClientFrames>(handshakeBytes);
    auto forward = [client, relay, frames] {
        const QByteArray bytes = client->readAll();
        const int passing = frames->accept(bytes);
        relay->write(bytes.constData(), passing);
        if (passing == bytes.size())
            return;
        qCWarning(lcBridge) << "closed a page that sent an unmasked frame";
        relay->disconnect();
        relay->abort();
        client->disconnect(relay);
        // Unread bytes at close would reset the connection before the close frame is read.
        connect(client, &QTcpSocket::readyRead, client, [client] { client->readAll(); });
        // A close frame, code 1002 (protocol error).
        client->write(QByteArray::fromHex("880203ea"));
        client->disconnectFromHost();
    };
    connect(client, &QTcpSocket::readyRead, relay, forward);
    auto answer = [client, relay] {
        const QByteArray bytes = relay->readAll();
        if (client->state() == QAbstractSocket::ConnectedState)
            client->write(bytes);
    };
    connect(relay, &QTcpSocket::readyRead, client, answer);
    connect(relay, &QTcpSocket::disconnected, client, [client, answer] {
        answer();
        client->disconnectFromHost();
    });
    connect(client, &QTcpSocket::disconnected, relay, [relay] { relay->disconnectFromHost(); });
    m_server->handleConnection(inner);
    // The handshake is in already.
    forward();
}

bool PageBridge::isOwnPage(const QWebSocket *socket) const
{
    const QByteArray given
        = QUrlQuery(socket->requestUrl()).queryItemValue(QStringLiteral("token"), QUrl::FullyDecoded).toUtf8();
    return socket->origin() == m_origin && tokenMatches(given, m_token);
}

void PageBridge::onNewConnection()
{
    while (QWebSocket *socket = m_server->nextPendingConnection()) {
        // The page server checked the handshake already; checked again here
        // because this is the door that matters.
        if (!isOwnPage(socket)) {
            qCWarning(lcBridge) << "refused a page from" << socket->origin();
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated);
            socket->deleteLater();
            continue;
        }
        socket->setParent(this);
        socket->setMaxAllowedIncomingMessageSize(closingMessageBytes);
        m_sockets.append(socket);
        connect(socket, &QWebSocket::textMessageReceived, this,
                [this, socket](const QString &message) { onTextMessage(socket, message); });
        connect(socket, &QWebSocket::binaryMessageReceived, this, [this, socket](const QByteArray &) {
            refuse(socket, QJsonValue(), QStringLiteral("messages are JSON texts, not binary data"));
        });
        connect(socket, &QWebSocket::disconnected, this, [this, socket] {
            m_sockets.removeAll(socket);
            socket->deleteLater();
        });
        emit pageConnected();
    }
}

void PageBridge::onTextMessage(QWebSocket *socket, const QString &message)
{
    const QByteArray bytes = message.toUtf8();
    if (bytes.size() > maximumMessageBytes) {
        refuse(socket, QJsonValue(), QStringLiteral("the message is larger than 1 MiB"));
        return;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        refuse(socket, QJsonValue(), QStringLiteral("the message is not JSON: %1").arg(parseError.errorString()));
        return;
    }
    if (!document.isObject()) {
        refuse(socket, QJsonValue(), QStringLiteral("the message is not a JSON object"));
        return;
    }
    const QJsonObject object = document.object();
    const QJsonValue id = object.value(QLatin1String("id"));
    if (!id.isDouble() || !std::isfinite(id.toDouble())) {
        refuse(socket, QJsonValue(), QStringLiteral("the message has no numeric id"));
        return;
    }
    const QJsonValue method = object.value(QLatin1String("method"));
    if (!method.isString()) {
        refuse(socket, id, QStringLiteral("the message names no method"));
        return;
    }
    const QJsonValue arguments = object.value(QLatin1String("args"));
    if (!arguments.isUndefined() && !arguments.isObject()) {
        refuse(socket, id, QStringLiteral("args must be a JSON object"));
        return;
    }
    const QString name = method.toString();
    if (!PageDispatch::isPageMethod(name)) {
        refuse(socket, id, PageDispatch::describe(PageDispatch::Status::UnknownMethod, name.left(100)));
        return;
    }
    const Call call{socket, id, name, arguments.toObject().toVariantMap()};
    // While a call holds the others in a modal window, the page may ask to
    // bring that window back in front: that one runs at once.
    if (m_dispatching && name == QLatin1String("bringWindowToFront")) {
        run(call);
        return;
    }
    m_queue.enqueue(call);
    dispatchQueued();
}

void PageBridge::dispatchQueued()
{
    // A page method may run a modal window, whose event loop delivers further
    // messages: they wait in the queue until the running call has answered.
    if (m_dispatching)
        return;
    m_dispatching = true;
    while (!m_queue.isEmpty()) {
        const Call call = m_queue.dequeue();
        if (call.socket)
            run(call);
    }
    m_dispatching = false;
}

void PageBridge::run(const Call &call)
{
    emit aboutToCall(call.method);
    QElapsedTimer timer;
    timer.start();
    Json::Value result;
    const PageDispatch::Status status = PageDispatch::call(m_handler(), call.method, call.arguments, &result);
    const qint64 callMs = timer.elapsed();
    if (status != PageDispatch::Status::Ok)
        refuse(call.socket, call.id, PageDispatch::describe(status, call.method));
    else
        answer(call.socket, call.id, result);
    qCDebug(lcBridge) << call.method << "ran" << callMs << "ms, answered after" << timer.elapsed() << "ms";
}

void PageBridge::answer(QWebSocket *socket, const QJsonValue &id, Json::Value &result)
{
    if (!socket)
        return;
    QByteArray text = "{\"id\":" + idText(id) + ",\"answer\":";
    {
        ByteArrayBuffer buffer(&text);
        std::ostream stream(&buffer);
        writeCompactJson(stream, result);
    }
    text += '}';
    // A large answer (the backup list of a big catalogue) goes as a binary
    // frame holding the same UTF-8 text: a text frame would cost two
    // conversions of tens of megabytes.
    if (text.size() > largeAnswerBytes)
        socket->sendBinaryMessage(text);
    else
        socket->sendTextMessage(QString::fromUtf8(text));
}

void PageBridge::refuse(QWebSocket *socket, const QJsonValue &id, const QString &error)
{
    if (!socket)
        return;
    QJsonObject message{{QStringLiteral("error"), error}};
    message.insert(QStringLiteral("id"), id.isDouble() ? id : QJsonValue(QJsonValue::Null));
    socket->sendTextMessage(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
}

void PageBridge::broadcastEvent(const QString &name, const QString &payloadText)
{
    const QJsonDocument payload = QJsonDocument::fromJson(payloadText.toUtf8());
    QJsonObject message{{QStringLiteral("event"), name}};
    message.insert(QStringLiteral("payload"),
                   payload.isObject() ? QJsonValue(payload.object()) : QJsonValue(payloadText));
    const QString text = QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact));
    for (const QPointer<QWebSocket> &socket : qAsConst(m_sockets)) {
        if (socket)
            socket->sendTextMessage(text);
    }
}
