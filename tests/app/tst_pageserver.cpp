// The page server and its bridge: what a browser on this machine may fetch,
// who may open the bridge, and how the bridge answers what it is sent.
#include "pagebridge.h"
#include "pageserver.h"
#include "pageapifixture.h"

#include <kessjsapi.h>

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QtTest>

#include <memory>

#include <sys/stat.h>

// A script object with two page methods: the settings method runs a nested
// event loop, as the modal settings dialog does; the other answers texts that
// need escaping.
class ScriptedHandler : public QObject
{
    Q_OBJECT
public:
    QStringList calls;
    static inline const QString source = QStringLiteral("quote \" backslash \\ tab \t line\n bell \a Grüße ✓");

private slots:
    void showBackupSettings(KxWebViewJSContext &context)
    {
        calls.append(QStringLiteral("showBackupSettings begin"));
        QEventLoop loop;
        QTimer::singleShot(300, &loop, &QEventLoop::quit);
        loop.exec();
        calls.append(QStringLiteral("showBackupSettings end"));
        context.result()["result"] = true;
    }
    void getAppInfo(KxWebViewJSContext &context)
    {
        calls.append(QStringLiteral("getAppInfo"));
        context.result()["src"] = source.toStdString();
        context.result()["size"] = Json::Int64(1) << 40;
        context.result()["result"] = true;
    }
};

namespace {
const QByteArray upgradeFields = "Upgrade: websocket\r\nConnection: Upgrade\r\n"
                                 "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n";

QJsonObject nextMessage(QWebSocket *socket)
{
    QSignalSpy received(socket, &QWebSocket::textMessageReceived);
    return received.wait(5000) ? QJsonDocument::fromJson(received.first().first().toString().toUtf8()).object()
                               : QJsonObject();
}

QByteArray frame(int opcode, const QByteArray &payload, bool masked, bool final = true)
{
    QByteArray bytes(1, char((final ? 0x80 : 0) | opcode));
    const char mask = masked ? char(0x80) : char(0);
    if (payload.size() < 126) {
        bytes += char(mask | payload.size());
    } else if (payload.size() < 65536) {
        bytes += char(mask | 126);
        bytes += char(payload.size() >> 8);
        bytes += char(payload.size() & 0xff);
    } else {
        bytes += char(mask | 127);
        for (int shift = 56; shift >= 0; shift -= 8)
            bytes += char((quint64(payload.size()) >> shift) & 0xff);
    }
    if (!masked)
        return bytes + payload;
    const QByteArray key = QByteArrayLiteral("\x37\xfa\x21\x3d");
    bytes += key;
    for (int i = 0; i < payload.size(); ++i)
        bytes += char(payload.at(i) ^ key.at(i % 4));
    return bytes;
}
}

class tst_PageServer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void requests_data();
    void requests();
    void messages_data();
    void messages();
    void frames_data();
    void frames();
    void carriesAnswersAndEventsAsTheyAre();
    void holdsCallsWhileAModalWindowRuns();
    void opensThePageWithoutTheTokenOnACommandLine();

private:
    // Sends `text` in two pieces, with %T, %E, %O and %P filled in (token,
    // token escaped, origin, port); reads the answer up to its end or the end
    // of a switch to WebSocket, and answers its status.
    int request(QByteArray text, QTcpSocket *socket, QByteArray *head = nullptr);
    std::unique_ptr<QWebSocket> openPage();

    std::unique_ptr<TestSuiteHome> m_home;
    QPointer<ScriptedHandler> m_handler;
    std::unique_ptr<PageServer> m_server;
};

void tst_PageServer::init()
{
    m_home = std::make_unique<TestSuiteHome>();
    m_handler = new ScriptedHandler;
    m_server = std::make_unique<PageServer>([this] { return m_handler.data(); });
    QString error;
    QVERIFY2(m_server->listen(0, &error), qPrintable(error));
}

void tst_PageServer::cleanup()
{
    m_server.reset();
    delete m_handler;
    m_home.reset();
}

int tst_PageServer::request(QByteArray text, QTcpSocket *socket, QByteArray *head)
{
    QByteArray escaped;
    for (const char c : m_server->token())
        escaped += '%' + QByteArray(1, c).toHex();
    text.replace("%T", m_server->token())
        .replace("%E", escaped)
        .replace("%O", m_server->origin().toLatin1())
        .replace("%P", QByteArray::number(m_server->port()));
    socket->connectToHost(QHostAddress::LocalHost, m_server->port());
    if (!socket->waitForConnected(5000))
        return 0;
    socket->write(text.left(text.size() / 2));
    socket->waitForBytesWritten(5000);
    QCoreApplication::processEvents(); // the server reads the first piece on its own
    socket->write(text.mid(text.size() / 2));
    QByteArray received;
    // The server closes after an answer, except after a switch to WebSocket.
    (void)QTest::qWaitFor(
        [&] {
            received += socket->readAll();
            return socket->state() == QAbstractSocket::UnconnectedState
                   || (received.startsWith("HTTP/1.1 101") && received.contains("\r\n\r\n"));
        },
        5000);
    received += socket->readAll();
    if (head)
        *head = received;
    return received.mid(9, 3).toInt();
}

std::unique_ptr<QWebSocket> tst_PageServer::openPage()
{
    auto socket = std::make_unique<QWebSocket>(m_server->origin());
    QSignalSpy connected(socket.get(), &QWebSocket::connected);
    socket->open(m_server->bridgeUrl());
    return connected.wait(5000) ? std::move(socket) : nullptr;
}

// What a browser on this machine may fetch, and who may open the bridge.
void tst_PageServer::requests_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("contentType");
    const auto get = [](const QByteArray &target, const QByteArray &fields = "Host: 127.0.0.1:%P\r\n") {
        return target + " HTTP/1.1\r\n" + fields + "\r\n";
    };
    const auto ws = [](const char *origin, const QByteArray &host = "127.0.0.1:%P") {
        return "Host: " + host + "\r\n" + upgradeFields
               + (*origin ? "Origin: " + QByteArray(origin) + "\r\n" : QByteArray());
    };
    QTest::newRow("the page") << get("GET /?token=x") << 200 << QByteArray("text/html; charset=utf-8");
    QTest::newRow("a module") << get("GET /main.js") << 200 << QByteArray("text/javascript; charset=utf-8");
    QTest::newRow("head of a file") << get("HEAD /page.css") << 200 << QByteArray("text/css; charset=utf-8");
    for (const char *path :
         {"/secret.txt", "/../../etc/passwd", "/%2e%2e/%2e%2e/etc/passwd", "/:/page/index.html", "//etc/passwd"})
        QTest::addRow("GET %s", path) << get("GET " + QByteArray(path)) << 404 << QByteArray();
    QTest::newRow("posting") << get("POST /") << 405 << QByteArray();
    QTest::newRow("bridge without upgrade") << get("GET /bridge") << 426 << QByteArray();
    QTest::newRow("another host name") << get("GET /", "Host: attacker.example:80\r\n") << 421 << QByteArray();
    QTest::newRow("head too large") << "GET / HTTP/1.1\r\nX: " + QByteArray(20000, 'a') << 431 << QByteArray();
    QTest::newRow("absolute target") << get("GET http://evil/") << 400 << QByteArray();
    QTest::newRow("field twice") << get("GET /", "Host: 127.0.0.1:%P\r\nHost: 127.0.0.1:%P\r\n") << 400 << QByteArray();
    QTest::newRow("folded field") << get("GET /", "Host: 127.0.0.1:%P\r\nX: a\r\n b\r\n") << 400 << QByteArray();
    QTest::newRow("bare line feed") << QByteArray("GET / HTTP/1.1\nHost: 127.0.0.1:%P\r\n\r\n") << 400 << QByteArray();
    QTest::newRow("other protocol") << QByteArray("GET / HTTP/2\r\nHost: 127.0.0.1:%P\r\n\r\n") << 400 << QByteArray();

    QTest::newRow("bridge, its own page") << get("GET /bridge?token=%T", ws("%O")) << 101 << QByteArray();
    QTest::newRow("bridge, token escaped") << get("GET /bridge?token=%E", ws("%O")) << 101 << QByteArray();
    QTest::newRow("bridge, no token") << get("GET /bridge", ws("%O")) << 403 << QByteArray();
    QTest::newRow("bridge, wrong token") << get("GET /bridge?token=0123", ws("%O")) << 403 << QByteArray();
    QTest::newRow("bridge, token with a tail") << get("GET /bridge?token=%Ta", ws("%O")) << 403 << QByteArray();
    QTest::newRow("bridge, foreign origin")
        << get("GET /bridge?token=%T", ws("http://attacker.example")) << 403 << QByteArray();
    QTest::newRow("bridge, localhost origin")
        << get("GET /bridge?token=%T", ws("http://localhost:%P")) << 403 << QByteArray();
    QTest::newRow("bridge, no origin") << get("GET /bridge?token=%T", ws("")) << 403 << QByteArray();
    QTest::newRow("bridge, rebound host name")
        << get("GET /bridge?token=%T", ws("%O", "attacker.example")) << 421 << QByteArray();
}

void tst_PageServer::requests()
{
    QFETCH(QByteArray, text);
    QFETCH(int, status);
    QFETCH(QByteArray, contentType);
    if (status == 403)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("refused a bridge connection")));
    QTcpSocket socket;
    QByteArray head;
    QCOMPARE(request(text, &socket, &head), status);
    const QByteArray body = head.mid(head.indexOf("\r\n\r\n") + 4);
    head.truncate(head.indexOf("\r\n\r\n"));
    QVERIFY(head.contains("Referrer-Policy: no-referrer") || status == 101);
    if (status == 200) {
        QVERIFY(head.contains("Content-Type: " + contentType + "\r\n"));
        QVERIFY(head.contains("Content-Security-Policy: "));
        QCOMPARE(body.isEmpty(), text.startsWith("HEAD"));
    }
    QTRY_COMPARE(m_server->bridge()->connectionCount(), status == 101 ? 1 : 0);
}

void tst_PageServer::messages_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QJsonValue>("id");
    QTest::addColumn<QString>("errorPart");

    const auto row = [](const char *tag, const QString &message, const QJsonValue &id, const char *errorPart) {
        QTest::newRow(tag) << message << id << QString(errorPart);
    };
    const QJsonValue none(QJsonValue::Null);
    row("not JSON", "{\"id\": 1,", none, "not JSON");
    row("an array", "[1]", none, "not a JSON object");
    row("no id", "{\"method\": \"getAppInfo\"}", none, "no numeric id");
    row("text id", "{\"id\": \"7\", \"method\": \"getAppInfo\"}", none, "no numeric id");
    row("args not an object", "{\"id\": 2, \"method\": \"openUrl\", \"args\": [\"x\"]}", 2, "args");
    row("no method", "{\"id\": 3}", 3, "no method");
    row("reply slot", "{\"id\": 4, \"method\": \"onGetRoamingMode\"}", 4, "unknown page method");
    row("internal slot", "{\"id\": 5, \"method\": \"doOpenSearchPanel\"}", 5, "unknown page method");
    row("QObject's own", "{\"id\": 6, \"method\": \"deleteLater\"}", 6, "unknown page method");
    row("over 1 MiB",
        "{\"id\": 8, \"method\": \"openUrl\", \"args\": {\"url\": \"" + QString(1024 * 1024, 'a') + "\"}}", none,
        "larger than 1 MiB");
}

void tst_PageServer::messages()
{
    QFETCH(QString, message);
    QFETCH(QJsonValue, id);
    QFETCH(QString, errorPart);
    const std::unique_ptr<QWebSocket> page = openPage();
    QVERIFY(page);
    page->sendTextMessage(message);
    const QJsonObject refused = nextMessage(page.get());
    const QString error = refused.value(QLatin1String("error")).toString();
    QVERIFY2(error.contains(errorPart), qPrintable(error));
    QCOMPARE(refused.value(QLatin1String("id")), id);
    QVERIFY(!refused.contains(QLatin1String("answer")));

    // The connection stays usable, and nothing was called.
    page->sendTextMessage(QStringLiteral("{\"id\": 99, \"method\": \"getAppInfo\", \"args\": {}}"));
    const QJsonObject answered = nextMessage(page.get());
    QCOMPARE(answered.value(QLatin1String("id")).toInt(), 99);
    QCOMPARE(answered.value(QLatin1String("answer")).toObject().value(QLatin1String("result")).toBool(), true);
    QVERIFY(m_handler);
    QCOMPARE(m_handler->calls, QStringList{QStringLiteral("getAppInfo")});
}

// Frames as a browser sends them, in pieces; an unmasked one closes the page.
void tst_PageServer::frames_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<bool>("answered");

    const QByteArray call = "{\"id\": 1, \"method\": \"getAppInfo\"}";
    const QByteArray masked = frame(1, call, true);
    const QByteArray unmasked = frame(1, call, false);
    QTest::newRow("masked") << QList<QByteArray>{masked} << true;
    QTest::newRow("masked, split in its header and payload")
        << QList<QByteArray>{masked.left(1), masked.mid(1, 3), masked.mid(4)} << true;
    QTest::newRow("masked, 16-bit length") << QList<QByteArray>{frame(1, call + QByteArray(300, ' '), true)} << true;
    QTest::newRow("masked, 64-bit length") << QList<QByteArray>{frame(1, call + QByteArray(70000, ' '), true)} << true;
    const QByteArray first = frame(1, call.left(10), true, false);
    QTest::newRow("masked, in two fragments") << QList<QByteArray>{first + frame(0, call.mid(10), true)} << true;
    QTest::newRow("unmasked") << QList<QByteArray>{unmasked} << false;
    QTest::newRow("unmasked, split after its first byte")
        << QList<QByteArray>{unmasked.left(1), unmasked.mid(1)} << false;
    QTest::newRow("unmasked second fragment") << QList<QByteArray>{first, frame(0, call.mid(10), false)} << false;
    QTest::newRow("unmasked ping") << QList<QByteArray>{frame(9, "x", false)} << false;
}

void tst_PageServer::frames()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(bool, answered);
    QTcpSocket socket;
    QCOMPARE(request("GET /bridge?token=%T HTTP/1.1\r\nHost: 127.0.0.1:%P\r\n" + upgradeFields + "Origin: %O\r\n\r\n",
                     &socket),
             101);
    if (!answered)
        QTest::ignoreMessage(QtWarningMsg, "closed a page that sent an unmasked frame");
    for (const QByteArray &piece : pieces) {
        socket.write(piece);
        QVERIFY(socket.waitForBytesWritten(5000));
        QCoreApplication::processEvents(); // lets the server read this piece on its own
    }
    QByteArray received;
    if (answered) {
        // One unmasked text frame with the answer.
        QTRY_VERIFY_WITH_TIMEOUT((received += socket.readAll()).endsWith("}"), 5000);
        QCOMPARE(received.at(0), char(0x81));
        QVERIFY(received.contains("\"answer\":{") && received.contains("\"id\":1"));
        QCOMPARE(socket.state(), QAbstractSocket::ConnectedState);
    } else {
        QTRY_VERIFY_WITH_TIMEOUT((received += socket.readAll(), socket.state() == QAbstractSocket::UnconnectedState),
                                 5000);
        QCOMPARE(received.toHex(), QByteArray("880203ea")); // nothing but a close frame with code 1002
        QTRY_COMPARE(m_server->bridge()->connectionCount(), 0);
    }
}

void tst_PageServer::carriesAnswersAndEventsAsTheyAre()
{
    const std::unique_ptr<QWebSocket> page = openPage();
    QVERIFY(page);
    page->sendTextMessage(QStringLiteral("{\"id\": 1.5, \"method\": \"getAppInfo\"}"));
    const QJsonObject answered = nextMessage(page.get());
    QCOMPARE(answered.value(QLatin1String("id")).toDouble(), 1.5);
    const QJsonObject answer = answered.value(QLatin1String("answer")).toObject();
    QCOMPARE(answer.value(QLatin1String("src")).toString(), ScriptedHandler::source);
    QCOMPARE(answer.value(QLatin1String("size")).toDouble(), 1099511627776.0);

    m_server->bridge()->broadcastEvent(QStringLiteral("event.arkivo.onskinmodechanged"),
                                       QStringLiteral("{\"skin\":\"dark\"}"));
    QCOMPARE(nextMessage(page.get()),
             QJsonObject({{"event", "event.arkivo.onskinmodechanged"}, {"payload", QJsonObject{{"skin", "dark"}}}}));
}

void tst_PageServer::holdsCallsWhileAModalWindowRuns()
{
    const std::unique_ptr<QWebSocket> page = openPage();
    QVERIFY(page);
    QSignalSpy received(page.get(), &QWebSocket::textMessageReceived);
    page->sendTextMessage(QStringLiteral("{\"id\": 1, \"method\": \"showBackupSettings\"}"));
    // Sent while the window's event loop runs.
    QTimer::singleShot(100, page.get(),
                       [&page] { page->sendTextMessage(QStringLiteral("{\"id\": 2, \"method\": \"getAppInfo\"}")); });
    QTRY_COMPARE(received.size(), 2);
    QCOMPARE(m_handler->calls, (QStringList{"showBackupSettings begin", "showBackupSettings end", "getAppInfo"}));
    for (int i = 0; i < 2; ++i)
        QCOMPARE(QJsonDocument::fromJson(received.at(i).first().toString().toUtf8())["id"].toInt(), i + 1);
}

void tst_PageServer::opensThePageWithoutTheTokenOnACommandLine()
{
    // What the desktop's opener is handed is what the opener and the browser
    // would have on their command lines.
    UrlCatcher opened({QStringLiteral("file"), QStringLiteral("http")});
    QString error;
    QVERIFY2(m_server->openInBrowser(&error), qPrintable(error));
    QCOMPARE(opened.urls().size(), 1);
    const QUrl url = opened.urls().first();
    QVERIFY2(!url.toEncoded().contains(m_server->token()), url.toEncoded().constData());
    QVERIFY(url.isLocalFile());

    // An owner-only file in an owner-only folder, gone with the server.
    const QString page = url.toLocalFile();
    QCOMPARE(QFileInfo(page).absolutePath(), m_home->filePath(QStringLiteral("run")));
    struct stat status;
    QCOMPARE(::stat(QFile::encodeName(page).constData(), &status), 0);
    QCOMPARE(status.st_mode & 0777, mode_t(0600));
    QCOMPARE(::stat(QFile::encodeName(m_home->filePath(QStringLiteral("run"))).constData(), &status), 0);
    QCOMPARE(status.st_mode & 0777, mode_t(0700));
    QFile file(page);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains(m_server->pageUrl().toEncoded()));
    m_server.reset();
    QVERIFY(!QFile::exists(page));
}

QTEST_MAIN(tst_PageServer)
#include "tst_pageserver.moc"
