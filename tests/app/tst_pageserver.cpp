// The page server and its bridge: what a browser on this machine may fetch,
// who may open the bridge, and how the bridge answers what it is sent.
#include "api/arkivoapi.h"
#include "httprequesthead.h"
#include "pagebridge.h"
#include "pageserver.h"
#include "testsuitehome.h"

#include <kcoreapplication.h>
#include <kessjsapi.h>

#include <QDesktopServices>
#include <QEventLoop>
#include <QJsonArray>
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

public:
    static inline const QString source = QStringLiteral("quote \" backslash \\ tab \t line\n bell \a Grüße ✓");
};

// Stands in for the desktop's opener: records the addresses it is handed,
// which are what the opener and the browser would have on their command lines.
class OpenedUrls : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class tst_PageServer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void parsesRequestHeads_data();
    void parsesRequestHeads();
    void servesOnlyThePage_data();
    void servesOnlyThePage();
    void letsInOnlyItsOwnPage_data();
    void letsInOnlyItsOwnPage();
    void answersEveryMessage_data();
    void answersEveryMessage();
    void closesOnUnmaskedFrames_data();
    void closesOnUnmaskedFrames();
    void carriesEventsToThePage();
    void answersTextsAsTheyAre();
    void holdsCallsWhileAModalWindowRuns();
    void opensThePageWithoutTheTokenOnACommandLine();

private:
    struct Response
    {
        int status = 0;
        QByteArray head;
        QByteArray body;
    };
    void request(const QByteArray &text, Response *response);
    QByteArray upgradeRequest(const QByteArray &target, const QByteArray &origin, const QByteArray &host = {});
    std::unique_ptr<QWebSocket> openPage();
    static QJsonObject nextMessage(QWebSocket *socket);

    std::unique_ptr<TestSuiteHome> m_home;
    std::unique_ptr<KCoreApplication> m_hostApp;
    std::unique_ptr<KEssJsApi> m_registry;
    QPointer<QObject> m_handler;
    std::unique_ptr<PageServer> m_server;
};

void tst_PageServer::init()
{
    m_home = std::make_unique<TestSuiteHome>();
    m_home->setSuiteValue(QStringLiteral("backup/path"), m_home->makeDir(QStringLiteral("backup")));
    m_home->writeBackupCopy(QStringLiteral("backup"), QStringLiteral("report.docx"), QDateTime(QDate(2024, 3, 5), QTime(14, 30, 7)));
    m_hostApp = std::make_unique<KCoreApplication>();
    m_registry = std::make_unique<KEssJsApi>();
    arkivoAPI::registerWith(m_registry.get());
    m_handler = m_registry->handles().first().first;
    m_server = std::make_unique<PageServer>([this] { return m_handler.data(); });
    QString error;
    QVERIFY2(m_server->listen(0, &error), qPrintable(error));
}

void tst_PageServer::cleanup()
{
    m_server.reset();
    m_registry.reset();
    m_hostApp.reset();
    m_home.reset();
}

void tst_PageServer::request(const QByteArray &text, Response *response)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_server->port());
    QVERIFY(socket.waitForConnected(5000));
    socket.write(text);
    QByteArray received;
    // The server closes after an answer, except after a switch to WebSocket.
    QTRY_VERIFY_WITH_TIMEOUT((received += socket.readAll(), socket.state() == QAbstractSocket::UnconnectedState
                              || (received.startsWith("HTTP/1.1 101") && received.contains("\r\n\r\n"))), 5000);
    received += socket.readAll();
    const int end = received.indexOf("\r\n\r\n");
    response->head = received.left(end);
    response->body = received.mid(end + 4);
    response->status = received.mid(9, 3).toInt();
}

QByteArray tst_PageServer::upgradeRequest(const QByteArray &target, const QByteArray &origin, const QByteArray &host)
{
    QByteArray text = "GET " + target + " HTTP/1.1\r\n"
                      "Host: " + (host.isEmpty() ? "127.0.0.1:" + QByteArray::number(m_server->port()) : host) + "\r\n"
                      "Upgrade: websocket\r\nConnection: Upgrade\r\n"
                      "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n";
    if (!origin.isEmpty())
        text += "Origin: " + origin + "\r\n";
    return text + "\r\n";
}

std::unique_ptr<QWebSocket> tst_PageServer::openPage()
{
    auto socket = std::make_unique<QWebSocket>(m_server->origin());
    QSignalSpy connected(socket.get(), &QWebSocket::connected);
    socket->open(m_server->bridgeUrl());
    if (!connected.wait(5000))
        return nullptr;
    return socket;
}

QJsonObject tst_PageServer::nextMessage(QWebSocket *socket)
{
    QSignalSpy received(socket, &QWebSocket::textMessageReceived);
    if (!received.wait(5000))
        return {};
    return QJsonDocument::fromJson(received.first().first().toString().toUtf8()).object();
}

void tst_PageServer::parsesRequestHeads_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("parse");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("token");

    const int complete = int(HttpRequestHead::Parse::Complete);
    const int malformed = int(HttpRequestHead::Parse::Malformed);
    QTest::newRow("page") << QByteArray("GET /?token=ab%63 HTTP/1.1\r\nHost: x\r\n\r\n") << complete << QByteArray("/") << QByteArray("abc");
    QTest::newRow("not yet whole") << QByteArray("GET / HTTP/1.1\r\nHost: x\r\n") << int(HttpRequestHead::Parse::Incomplete) << QByteArray() << QByteArray();
    QTest::newRow("too large") << QByteArray("GET / HTTP/1.1\r\nX: ") + QByteArray(20000, 'a') << int(HttpRequestHead::Parse::TooLarge) << QByteArray() << QByteArray();
    QTest::newRow("absolute target") << QByteArray("GET http://evil/ HTTP/1.1\r\n\r\n") << malformed << QByteArray() << QByteArray();
    QTest::newRow("field twice") << QByteArray("GET / HTTP/1.1\r\nOrigin: a\r\nOrigin: b\r\n\r\n") << malformed << QByteArray() << QByteArray();
    QTest::newRow("folded field") << QByteArray("GET / HTTP/1.1\r\nHost: a\r\n b\r\n\r\n") << malformed << QByteArray() << QByteArray();
    QTest::newRow("bare line feed") << QByteArray("GET / HTTP/1.1\nHost: a\r\n\r\n") << malformed << QByteArray() << QByteArray();
    QTest::newRow("other protocol") << QByteArray("GET / HTTP/2\r\n\r\n") << malformed << QByteArray() << QByteArray();
}

void tst_PageServer::parsesRequestHeads()
{
    QFETCH(QByteArray, text);
    QFETCH(int, parse);
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, token);
    HttpRequestHead head;
    QCOMPARE(int(HttpRequestHead::parse(text, &head)), parse);
    if (parse == int(HttpRequestHead::Parse::Complete)) {
        QCOMPARE(head.path, path);
        QCOMPARE(head.queryValue("token"), token);
    }
}

void tst_PageServer::servesOnlyThePage_data()
{
    QTest::addColumn<QByteArray>("requestLine");
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("contentType");

    QTest::newRow("the page") << QByteArray("GET /?token=x") << QByteArray() << 200 << QByteArray("text/html; charset=utf-8");
    QTest::newRow("a module") << QByteArray("GET /main.js") << QByteArray() << 200 << QByteArray("text/javascript; charset=utf-8");
    QTest::newRow("head of a file") << QByteArray("HEAD /page.css") << QByteArray() << 200 << QByteArray("text/css; charset=utf-8");
    QTest::newRow("unknown file") << QByteArray("GET /secret.txt") << QByteArray() << 404 << QByteArray();
    QTest::newRow("up and out") << QByteArray("GET /../../etc/passwd") << QByteArray() << 404 << QByteArray();
    QTest::newRow("encoded up and out") << QByteArray("GET /%2e%2e/%2e%2e/etc/passwd") << QByteArray() << 404 << QByteArray();
    QTest::newRow("resource path") << QByteArray("GET /:/page/index.html") << QByteArray() << 404 << QByteArray();
    QTest::newRow("file on disk") << QByteArray("GET //etc/passwd") << QByteArray() << 404 << QByteArray();
    QTest::newRow("posting") << QByteArray("POST /") << QByteArray() << 405 << QByteArray();
    QTest::newRow("bridge without upgrade") << QByteArray("GET /bridge") << QByteArray() << 426 << QByteArray();
    QTest::newRow("another host name") << QByteArray("GET /") << QByteArray("attacker.example:80") << 421 << QByteArray();
}

void tst_PageServer::servesOnlyThePage()
{
    QFETCH(QByteArray, requestLine);
    QFETCH(QByteArray, host);
    QFETCH(int, status);
    QFETCH(QByteArray, contentType);
    const QByteArray hostField = host.isEmpty() ? "127.0.0.1:" + QByteArray::number(m_server->port()) : host;
    Response response;
    request(requestLine + " HTTP/1.1\r\nHost: " + hostField + "\r\n\r\n", &response);
    QCOMPARE(response.status, status);
    QVERIFY(response.head.contains("Referrer-Policy: no-referrer"));
    if (status == 200) {
        QVERIFY(response.head.contains("Content-Type: " + contentType + "\r\n"));
        QVERIFY(response.head.contains("Content-Security-Policy: "));
        QCOMPARE(response.body.isEmpty(), requestLine.startsWith("HEAD"));
    }
}

void tst_PageServer::letsInOnlyItsOwnPage_data()
{
    QTest::addColumn<QByteArray>("tokenPart");
    QTest::addColumn<QByteArray>("origin");
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<int>("status");

    QTest::newRow("its own page") << QByteArray("?token=%1") << QByteArray("%2") << QByteArray() << 101;
    QTest::newRow("no token") << QByteArray("") << QByteArray("%2") << QByteArray() << 403;
    QTest::newRow("wrong token") << QByteArray("?token=0123") << QByteArray("%2") << QByteArray() << 403;
    QTest::newRow("token with a tail") << QByteArray("?token=%1a") << QByteArray("%2") << QByteArray() << 403;
    QTest::newRow("foreign origin") << QByteArray("?token=%1") << QByteArray("http://attacker.example") << QByteArray() << 403;
    QTest::newRow("localhost origin") << QByteArray("?token=%1") << QByteArray("http://localhost:%3") << QByteArray() << 403;
    QTest::newRow("no origin") << QByteArray("?token=%1") << QByteArray() << QByteArray() << 403;
    QTest::newRow("rebound host name") << QByteArray("?token=%1") << QByteArray("%2") << QByteArray("attacker.example") << 421;
}

void tst_PageServer::letsInOnlyItsOwnPage()
{
    QFETCH(QByteArray, tokenPart);
    QFETCH(QByteArray, origin);
    QFETCH(QByteArray, host);
    QFETCH(int, status);
    auto fill = [this](QByteArray text) {
        return text.replace("%1", m_server->token()).replace("%2", m_server->origin().toLatin1())
            .replace("%3", QByteArray::number(m_server->port()));
    };
    if (status == 403)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("refused a bridge connection")));
    Response response;
    request(upgradeRequest("/bridge" + fill(tokenPart), fill(origin), host), &response);
    QCOMPARE(response.status, status);
    QTRY_COMPARE(m_server->bridge()->connectionCount(), status == 101 ? 1 : 0);
}

void tst_PageServer::answersEveryMessage_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QJsonValue>("id");
    QTest::addColumn<QString>("errorPart");

    const QJsonValue none(QJsonValue::Null);
    QTest::newRow("not JSON") << QStringLiteral("{\"id\": 1,") << none << QStringLiteral("not JSON");
    QTest::newRow("an array") << QStringLiteral("[1]") << none << QStringLiteral("not a JSON object");
    QTest::newRow("no id") << QStringLiteral("{\"method\": \"getAppInfo\"}") << none << QStringLiteral("no numeric id");
    QTest::newRow("text id") << QStringLiteral("{\"id\": \"7\", \"method\": \"getAppInfo\"}") << none << QStringLiteral("no numeric id");
    QTest::newRow("args not an object") << QStringLiteral("{\"id\": 2, \"method\": \"openUrl\", \"args\": [\"x\"]}") << QJsonValue(2) << QStringLiteral("args");
    QTest::newRow("no method") << QStringLiteral("{\"id\": 3}") << QJsonValue(3) << QStringLiteral("no method");
    QTest::newRow("reply slot") << QStringLiteral("{\"id\": 4, \"method\": \"onGetRoamingMode\"}") << QJsonValue(4) << QStringLiteral("unknown page method");
    QTest::newRow("internal slot") << QStringLiteral("{\"id\": 5, \"method\": \"doOpenSearchPanel\"}") << QJsonValue(5) << QStringLiteral("unknown page method");
    QTest::newRow("QObject's own") << QStringLiteral("{\"id\": 6, \"method\": \"deleteLater\"}") << QJsonValue(6) << QStringLiteral("unknown page method");
    QTest::newRow("over 1 MiB") << QStringLiteral("{\"id\": 8, \"method\": \"openUrl\", \"args\": {\"url\": \"%1\"}}").arg(QString(1024 * 1024, QLatin1Char('a')))
                                << none << QStringLiteral("larger than 1 MiB");
}

void tst_PageServer::answersEveryMessage()
{
    QFETCH(QString, message);
    QFETCH(QJsonValue, id);
    QFETCH(QString, errorPart);
    const std::unique_ptr<QWebSocket> page = openPage();
    QVERIFY(page);
    page->sendTextMessage(message);
    const QJsonObject refused = nextMessage(page.get());
    QVERIFY2(refused.value(QLatin1String("error")).toString().contains(errorPart), qPrintable(refused.value(QLatin1String("error")).toString()));
    QCOMPARE(refused.value(QLatin1String("id")), id);
    QVERIFY(!refused.contains(QLatin1String("answer")));

    // The connection stays usable.
    page->sendTextMessage(QStringLiteral("{\"id\": 99, \"method\": \"getBackupFileList\", \"args\": {}}"));
    const QJsonObject answered = nextMessage(page.get());
    QCOMPARE(answered.value(QLatin1String("id")).toInt(), 99);
    QCOMPARE(answered.value(QLatin1String("answer")).toObject().value(QLatin1String("result")).toBool(), true);
    QVERIFY(m_handler);
}

void tst_PageServer::carriesEventsToThePage()
{
    const std::unique_ptr<QWebSocket> page = openPage();
    QVERIFY(page);
    m_server->bridge()->broadcastEvent(QStringLiteral("event.arkivo.onskinmodechanged"), QStringLiteral("{\"skin\":\"dark\"}"));
    const QJsonObject event = nextMessage(page.get());
    QCOMPARE(event, QJsonObject({{QStringLiteral("event"), QStringLiteral("event.arkivo.onskinmodechanged")},
                                 {QStringLiteral("payload"), QJsonObject{{QStringLiteral("skin"), QStringLiteral("dark")}}}}));
}

void tst_PageServer::answersTextsAsTheyAre()
{
    ScriptedHandler handler;
    PageServer server([&handler] { return &handler; });
    QString error;
    QVERIFY(server.listen(0, &error));
    QWebSocket page(server.origin());
    QSignalSpy connected(&page, &QWebSocket::connected);
    page.open(server.bridgeUrl());
    QVERIFY(connected.wait(5000));
    page.sendTextMessage(QStringLiteral("{\"id\": 1.5, \"method\": \"getAppInfo\"}"));
    const QJsonObject answered = nextMessage(&page);
    QCOMPARE(answered.value(QLatin1String("id")).toDouble(), 1.5);
    const QJsonObject answer = answered.value(QLatin1String("answer")).toObject();
    QCOMPARE(answer.value(QLatin1String("src")).toString(), ScriptedHandler::source);
    QCOMPARE(answer.value(QLatin1String("size")).toDouble(), 1099511627776.0);
}

void tst_PageServer::holdsCallsWhileAModalWindowRuns()
{
    ScriptedHandler modal;
    PageServer server([&modal] { return &modal; });
    QString error;
    QVERIFY(server.listen(0, &error));
    QWebSocket page(server.origin());
    QSignalSpy connected(&page, &QWebSocket::connected);
    page.open(server.bridgeUrl());
    QVERIFY(connected.wait(5000));

    QSignalSpy received(&page, &QWebSocket::textMessageReceived);
    page.sendTextMessage(QStringLiteral("{\"id\": 1, \"method\": \"showBackupSettings\"}"));
    // Sent while the window's event loop runs.
    QTimer::singleShot(100, &page, [&page] { page.sendTextMessage(QStringLiteral("{\"id\": 2, \"method\": \"getAppInfo\"}")); });
    QTRY_COMPARE(received.size(), 2);
    QCOMPARE(modal.calls, QStringList({QStringLiteral("showBackupSettings begin"), QStringLiteral("showBackupSettings end"),
                                       QStringLiteral("getAppInfo")}));
    QCOMPARE(QJsonDocument::fromJson(received.at(0).first().toString().toUtf8()).object().value(QLatin1String("id")).toInt(), 1);
    QCOMPARE(QJsonDocument::fromJson(received.at(1).first().toString().toUtf8()).object().value(QLatin1String("id")).toInt(), 2);
}

namespace {

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

void tst_PageServer::closesOnUnmaskedFrames_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<bool>("answered");

    const QByteArray call = "{\"id\": 1, \"method\": \"getBackupFileList\"}";
    const QByteArray masked = frame(1, call, true);
    const QByteArray unmasked = frame(1, call, false);
    QTest::newRow("masked") << QList<QByteArray>{masked} << true;
    QTest::newRow("masked, split in its header and payload") << QList<QByteArray>{masked.left(1), masked.mid(1, 3), masked.mid(4)} << true;
    QTest::newRow("masked, 16-bit length") << QList<QByteArray>{frame(1, call + QByteArray(300, ' '), true)} << true;
    QTest::newRow("masked, 64-bit length") << QList<QByteArray>{frame(1, call + QByteArray(70000, ' '), true)} << true;
    QTest::newRow("masked, in two fragments") << QList<QByteArray>{frame(1, call.left(10), true, false) + frame(0, call.mid(10), true)} << true;
    QTest::newRow("unmasked") << QList<QByteArray>{unmasked} << false;
    QTest::newRow("unmasked, split after its first byte") << QList<QByteArray>{unmasked.left(1), unmasked.mid(1)} << false;
    QTest::newRow("unmasked second fragment") << QList<QByteArray>{frame(1, call.left(10), true, false), frame(0, call.mid(10), false)} << false;
    QTest::newRow("unmasked ping") << QList<QByteArray>{frame(9, "x", false)} << false;
}

void tst_PageServer::closesOnUnmaskedFrames()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(bool, answered);
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_server->port());
    QVERIFY(socket.waitForConnected(5000));
    socket.write(upgradeRequest("/bridge?token=" + m_server->token(), m_server->origin().toLatin1()));
    QByteArray received;
    QTRY_VERIFY_WITH_TIMEOUT((received += socket.readAll()).contains("\r\n\r\n"), 5000);
    QVERIFY(received.startsWith("HTTP/1.1 101"));
    received.clear();
    if (!answered)
        QTest::ignoreMessage(QtWarningMsg, "closed a page that sent an unmasked frame");
    for (const QByteArray &piece : pieces) {
        socket.write(piece);
        QVERIFY(socket.waitForBytesWritten(5000));
        // Lets the server read this piece on its own.
        QCoreApplication::processEvents();
    }
    if (answered) {
        // One unmasked text frame; the answer is under 64 KiB.
        auto payload = [&received]() -> QByteArray {
            if (received.size() < 4)
                return {};
            const int length = (received.at(1) & 0x7f) == 126 ? quint8(received.at(2)) << 8 | quint8(received.at(3)) : received.at(1) & 0x7f;
            const int start = (received.at(1) & 0x7f) == 126 ? 4 : 2;
            return received.size() >= start + length ? received.mid(start, length) : QByteArray();
        };
        QTRY_VERIFY_WITH_TIMEOUT((received += socket.readAll(), !payload().isEmpty()), 5000);
        QCOMPARE(received.at(0), char(0x81));
        const QJsonObject answer = QJsonDocument::fromJson(payload()).object();
        QCOMPARE(answer.value(QLatin1String("id")).toInt(), 1);
        QVERIFY(answer.contains(QLatin1String("answer")));
        QCOMPARE(socket.state(), QAbstractSocket::ConnectedState);
    } else {
        QTRY_VERIFY_WITH_TIMEOUT((received += socket.readAll(), socket.state() == QAbstractSocket::UnconnectedState), 5000);
        received += socket.readAll();
        // Nothing but a close frame with code 1002.
        QCOMPARE(received.toHex(), QByteArray("880203ea"));
        QTRY_COMPARE(m_server->bridge()->connectionCount(), 0);
    }
}

void tst_PageServer::opensThePageWithoutTheTokenOnACommandLine()
{
    OpenedUrls opened;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &opened, "open");
    QString error;
    const bool ok = m_server->openInBrowser(&error);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QVERIFY2(ok, qPrintable(error));
    QCOMPARE(opened.urls.size(), 1);
    const QUrl url = opened.urls.first();
    QVERIFY2(!url.toEncoded().contains(m_server->token()), url.toEncoded().constData());
    QVERIFY(url.isLocalFile());

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
