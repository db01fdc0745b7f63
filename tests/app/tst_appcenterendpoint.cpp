// The app-center windows' POSIX twin: the frame that carries WM_COPYDATA,
// the host's sending function, and zentri-host's endpoint writing what it
// hears to <home>/logs/appcenter.jsonl.
#include "pageapifixture.h"

#include <appcenterchannel.h>
#include <appcenterendpoint.h>
#include <kappcenterwindows.h>

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>
#include <QtTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QByteArray serialised(const QVariant &value)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << value;
    return bytes;
}

// A socket file as a process leaves it behind when it is killed.
bool leaveSocket(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(name.size()) >= sizeof(address.sun_path))
        return false;
    qstrcpy(address.sun_path, name.constData());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0;
    if (fd >= 0)
        ::close(fd);
    return bound;
}

}

class tst_AppCenterEndpoint : public QObject
{
    Q_OBJECT

private slots:
    void frames_data();
    void frames();
    void recordsAnnouncements();
    void removesRegistrationsOfEndedProcesses();
};

// Good rows hold a message's data, sent as two frames back to back and fed
// in single bytes as a socket may deliver them; malformed rows hold a frame.
void tst_AppCenterEndpoint::frames_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("malformed");
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("hash") << serialised(QVariantHash{{QStringLiteral("action"), QStringLiteral("BackupPathChanged")}})
                          << false;
    QTest::newRow("binary") << QByteArray("\0\x01\xff", 3) << false;
    const auto sized = [](quint32 size, const QByteArray &rest) {
        QByteArray bytes(4, '\0');
        qToBigEndian(size, bytes.data());
        return bytes + rest;
    };
    QTest::newRow("too large") << sized(64 * 1024 * 1024, {}) << true;
    const QByteArray frame = AppCenterChannel::encode({2, 1, QByteArray("x")});
    QTest::newRow("bytes after the message") << sized(frame.size() - 3, frame.mid(4) + '!') << true;
    QTest::newRow("payload too short") << sized(3, "abc") << true;
}

void tst_AppCenterEndpoint::frames()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, malformed);
    AppCenterChannel::Message message;
    if (malformed) {
        QCOMPARE(AppCenterChannel::takeFrame(&data, &message), AppCenterChannel::Decoded::Malformed);
        return;
    }
    const AppCenterChannel::Message sent{2, Q_UINT64_C(0x1234567890), data};
    const QByteArray stream = AppCenterChannel::encode(sent) + AppCenterChannel::encode(sent);
    QByteArray buffer;
    int received = 0;
    for (const char byte : stream) {
        buffer.append(byte);
        if (AppCenterChannel::takeFrame(&buffer, &message) == AppCenterChannel::Decoded::Ok) {
            ++received;
            QCOMPARE(message.dwData, sent.dwData);
            QCOMPARE(message.sender, sent.sender);
            QCOMPARE(message.data, sent.data);
        }
    }
    QCOMPARE(received, 2);
    QVERIFY(buffer.isEmpty());
}

void tst_AppCenterEndpoint::recordsAnnouncements()
{
    TestSuiteHome home;
    // A registration left behind by a process that ended is passed over.
    home.writeFile(QStringLiteral("run/appcenter-1.sock"));
    QCOMPARE(KAppCenterWindows::sendCopyData(1, 2, QByteArray("x")), 0);
    QVERIFY(!QFile::exists(AppCenterEndpoint::logPath()));
    AppCenterEndpoint endpoint;
    QVERIFY(endpoint.start());
    QCOMPARE(AppCenterChannel::endpoints().size(), 2);

    const QVariantHash hash{{QStringLiteral("action"), QStringLiteral("BackupModeChanged")},
                            {QStringLiteral("backupMode"), 2}};
    QCOMPARE(KAppCenterWindows::sendCopyData(4242, 2, serialised(hash)), 1);
    QCOMPARE(KAppCenterWindows::sendCopyData(0, 7, QByteArray("not a hash")), 1);
    // The sender returns once the endpoint has handled the message.
    const QList<QJsonObject> lines = jsonLines(AppCenterEndpoint::logPath());
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0), (QJsonObject{{"dwData", 2},
                                       {"sender", 4242},
                                       {"hash", QJsonObject{{"action", "BackupModeChanged"}, {"backupMode", 2}}}}));
    QCOMPARE(lines.at(1).value(QStringLiteral("hash")), QJsonValue());
    QCOMPARE(QByteArray::fromBase64(lines.at(1).value(QStringLiteral("data")).toString().toLatin1()),
             QByteArray("not a hash"));

    const QString registered = endpoint.endpointPath();
    endpoint.stop();
    QVERIFY(!QFileInfo::exists(registered));
}

void tst_AppCenterEndpoint::removesRegistrationsOfEndedProcesses()
{
    TestSuiteHome home;
    // No process has an id above the kernel's largest (4194304).
    const QString ended = QStringLiteral("appcenter-999999999.sock");
    const QString running = QStringLiteral("appcenter-%1.sock").arg(::getppid());
    const QStringList kept{running, QStringLiteral("appcenter-999999998.sock.old"),
                           QStringLiteral("other-999999999.sock")};
    QDir run(home.makeDir(QStringLiteral("run")));
    for (const QString &name : kept + QStringList{ended})
        QVERIFY(leaveSocket(run.filePath(name)));
    // Only a socket is a registration.
    home.writeFile(QStringLiteral("run/appcenter-999999997.sock"));

    AppCenterEndpoint endpoint;
    QVERIFY(endpoint.start());
    const QString own = QFileInfo(endpoint.endpointPath()).fileName();
    QStringList expected = kept + QStringList{QStringLiteral("appcenter-999999997.sock"), own};
    expected.sort();
    QCOMPARE(run.entryList(QDir::System | QDir::Files, QDir::Name), expected);
}

QTEST_MAIN(tst_AppCenterEndpoint)
#include "tst_appcenterendpoint.moc"
