// The simulated cloud service: uploads into the suite home's cloud drive,
// the roaming mode in suite.ini, the backup folder's ids and address.
#include "pageapifixture.h"

#include <kcloudsvrproxy.h>
#include <kcoreapplication.h>
#include <kdomainmgr.h>
#include <localcloudservice.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QtTest>

namespace {
struct Answer
{
    bool ok = false;
    QString text;
    KRpcResponse reply;
};

Answer ask(LocalCloudService &service, const QString &method, const QStringList &args)
{
    Answer answer;
    service.respond(method, args, [&answer](bool ok, const QString &text, const KRpcResponse &reply) {
        answer = {ok, text, reply};
    });
    return answer;
}

QString stateOf(LocalCloudService &service, const QString &file)
{
    return ask(service, QStringLiteral("getBatchUploadFileListState"), {file}).reply.value(file);
}

int percentOf(const QString &state)
{
    return state.startsWith(QLatin1String("uploading/")) ? state.mid(10).toInt() : -1;
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList filesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

const QString day = QStringLiteral("Backup Center/2024-03-05");
const QString upload = QStringLiteral("batchUploadFileListToPath");
}

class Catcher : public QObject
{
    Q_OBJECT
public:
    QList<KRpcResponse> replies;
public slots:
    void onReply(bool, const QString &, const KRpcResponse &reply) { replies.append(reply); }
};

class tst_LocalCloudService : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void cleanup() { m_home.reset(); }
    void requests_data();
    void requests();
    void uploadsIntoTheDatedFolder();
    void uploadsOneAtATimeAndCancels();
    void backupFolderAddressNamesTheRealFolder();
    void proxyAnswersFromTheService();

private:
    std::unique_ptr<TestSuiteHome> m_home;
};

void tst_LocalCloudService::init()
{
    m_home = std::make_unique<TestSuiteHome>();
    m_home->setSuiteValue(QStringLiteral("cloud/uploadBytesPerSecond"), 0);
}

// Each row: suite.ini values, a request ("$FILE" is a file of the home), its
// reply or refusal text, and what it leaves: suite.ini values and the
// addresses handed to the desktop ("opened").
void tst_LocalCloudService::requests_data()
{
    QTest::addColumn<QVariantMap>("suite");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<KRpcResponse>("reply");
    QTest::addColumn<QString>("refused");
    QTest::addColumn<QVariantMap>("effects");
    const QVariantMap none;
    const auto strategy = [](const char *strategy, const char *mode) {
        return QVariantMap{{"cloud/roamingStrategy", strategy}, {"cloud/roamingMode", mode}};
    };
    const QString adminText = QStringLiteral("roaming mode is set by the administrator");

    const auto row = [](const char *tag, const QVariantMap &suite, const char *method, const QStringList &args,
                        const KRpcResponse &reply, const QString &refused, const QVariantMap &effects = {}) {
        QTest::newRow(tag) << suite << QString(method) << args << reply << refused << effects;
    };
    const char *change = "changeRoamingMode";
    row("roaming mode, default", none, "getRoamingMode", {}, {{"roamingmode", "auto"}}, "");
    row("roaming mode and strategy", strategy("no_rule", "manual"), "getRoamingMode", {},
        {{"roamingmode", "manual"}, {"roamingstrategy", "no_rule"}}, "");
    row("roaming mode changed", none, change, {"manual", "Cloud", "false", "backup_center"},
        {{"roamingmode", "manual"}}, "", {{"cloud/roamingMode", "manual"}});
    row("unknown roaming mode", strategy("", "auto"), change, {"sometimes"}, {}, "unknown roaming mode",
        {{"cloud/roamingMode", "auto"}});
    row("no roaming mode", strategy("", "manual"), change, {}, {}, "unknown roaming mode",
        {{"cloud/roamingMode", "manual"}});
    row("upload forced", strategy("force_upload", "auto"), change, {"manual"}, {}, adminText,
        {{"cloud/roamingMode", "auto"}});
    row("upload forbidden", strategy("forbid_upload", "manual"), change, {"auto"}, {}, adminText,
        {{"cloud/roamingMode", "manual"}});

    const char *openUrl = "openVipAutoLoginUrl";
    row("open a web address", none, openUrl, {"https://papyra.example/group/1/2"}, {}, "",
        {{"opened", QStringList{"https://papyra.example/group/1/2"}}});
    row("open a script address", none, openUrl, {"javascript:alert(1)"}, {}, "invalid arguments");
    row("open nothing", none, openUrl, {}, {}, "invalid arguments");
    row("unknown request", none, "formatDrive", {}, {}, "unknown request");
    for (const char *bad : {"", "..", "a/b"}) {
        QTest::addRow("backup folder ids of \"%s\"", bad)
            << none << "getPrivateGroupInfoFromDrivePath" << QStringList{bad} << KRpcResponse() << "invalid arguments"
            << none;
    }
    // Uploads stay inside the cloud drive.
    for (const char *target :
         {"", "../outside", "Backup Center/../../outside", "/tmp/outside", "Backup Center\\..\\x", "C:/x"}) {
        QTest::addRow("upload to \"%s\"", target)
            << none << upload << QStringList{"$FILE", target} << KRpcResponse() << "invalid arguments" << none;
    }
}

void tst_LocalCloudService::requests()
{
    QFETCH(QVariantMap, suite);
    QFETCH(QString, method);
    QFETCH(QStringList, args);
    QFETCH(KRpcResponse, reply);
    QFETCH(QString, refused);
    QFETCH(QVariantMap, effects);
    for (auto it = suite.cbegin(); it != suite.cend(); ++it)
        m_home->setSuiteValue(it.key(), it.value());
    const QString file = m_home->writeFile(QStringLiteral("a.docx"));
    args.replaceInStrings(QStringLiteral("$FILE"), file);
    UrlCatcher opened({QStringLiteral("https")});
    LocalCloudService service;
    const Answer answer = ask(service, method, args);

    QCOMPARE(answer.ok, refused.isEmpty());
    QCOMPARE(answer.text, refused);
    QCOMPARE(answer.reply, reply);
    QCOMPARE(QUrl::toStringList(opened.urls()), effects.take(QStringLiteral("opened")).toStringList());
    for (auto it = effects.cbegin(); it != effects.cend(); ++it)
        QCOMPARE(m_home->suiteValue(it.key()), it.value());
    QVERIFY(!ask(service, QStringLiteral("getBatchUploadFileListState"), {file}).reply.contains(file));
    QCOMPARE(service.activeUploads(), 0);
}

void tst_LocalCloudService::uploadsIntoTheDatedFolder()
{
    QByteArray large(5 * 1024 * 1024 + 3, Qt::Uninitialized); // more than one turn of the event loop copies
    for (int i = 0; i < large.size(); ++i)
        large[i] = char((uint(i) * 7919u) >> 3);
    const QStringList good{
        m_home->writeFile(QStringLiteral("docs/empty.txt"), QByteArray()),
        m_home->writeFile(QStringLiteral("docs/Bericht über.docx"), "Bericht"),
        m_home->writeFile(QStringLiteral("docs/large.bin"), large),
        m_home->writeFile(QStringLiteral("one/report.docx"), "first"),
        m_home->writeFile(QStringLiteral("two/report.docx"), "second"),
    };
    // Failed files leave nothing behind.
    QStringList bad{m_home->filePath(QStringLiteral("gone.docx")), m_home->makeDir(QStringLiteral("a folder"))};
    const QString locked = m_home->writeFile(QStringLiteral("locked.docx"));
    QFile::setPermissions(locked, QFile::WriteOwner);
    if (!QFileInfo(locked).isReadable())
        bad.append(locked);
    LocalCloudService service;
    QSignalSpy idle(&service, &LocalCloudService::uploadsIdle);
    QVERIFY(ask(service, upload, {(good + bad).join(QLatin1Char('|')), day, "false", "saveascloud_bkcenter"}).ok);
    for (const QString &file : good)
        QCOMPARE(stateOf(service, file), QStringLiteral("queue/"));

    QVERIFY(idle.wait());
    for (const QString &file : good)
        QCOMPARE(stateOf(service, file), QStringLiteral("ok"));
    for (const QString &file : bad) {
        const QString state = stateOf(service, file);
        QVERIFY2(!state.isEmpty() && state != QLatin1String("ok") && state != QLatin1String("queue/")
                     && percentOf(state) < 0,
                 qPrintable(state));
    }
    const QString folder = LocalCloudService::localFolder(day);
    // A second file of the same name gets a new name.
    QCOMPARE(filesOf(folder),
             (QStringList{"Bericht über.docx", "empty.txt", "large.bin", "report (1).docx", "report.docx"}));
    QCOMPARE(contentOf(folder + QStringLiteral("/report.docx")), QByteArray("first"));
    QCOMPARE(contentOf(folder + QStringLiteral("/report (1).docx")), QByteArray("second"));
    QCOMPARE(contentOf(folder + QStringLiteral("/large.bin")), large);
    QCOMPARE(service.activeUploads(), 0);
}

void tst_LocalCloudService::uploadsOneAtATimeAndCancels()
{
    m_home->setSuiteValue(QStringLiteral("cloud/uploadBytesPerSecond"), 100000);
    const QString big = m_home->writeFile(QStringLiteral("big.bin"), QByteArray(1000000, 'b'));
    const QString next = m_home->writeFile(QStringLiteral("next.txt"), QByteArray("next"));
    LocalCloudService service;
    QSignalSpy idle(&service, &LocalCloudService::uploadsIdle);
    ask(service, upload, {big + QLatin1Char('|') + next, day});
    // Progress shows at a limited rate; the second file waits while the first goes up.
    QTRY_VERIFY(percentOf(stateOf(service, big)) > 0);
    QVERIFY2(percentOf(stateOf(service, big)) < 100, qPrintable(stateOf(service, big)));
    QCOMPARE(stateOf(service, next), QStringLiteral("queue/"));
    // Until it is complete the copy goes by a hidden name of its own.
    const QString folder = LocalCloudService::localFolder(day);
    const QStringList parts = filesOf(folder);
    QCOMPARE(parts.size(), 1);
    QVERIFY(parts.first().startsWith(QLatin1Char('.')));

    QVERIFY(ask(service, QStringLiteral("cancelBatchUploadFileToPath"), {big}).ok);
    QCOMPARE(stateOf(service, big), QStringLiteral("cancelled"));
    QVERIFY(filesOf(folder).isEmpty());
    // Only the files named are stopped.
    QVERIFY(idle.wait());
    QCOMPARE(stateOf(service, next), QStringLiteral("ok"));
    QCOMPARE(filesOf(folder), QStringList{QStringLiteral("next.txt")});
}

void tst_LocalCloudService::backupFolderAddressNamesTheRealFolder()
{
    KCoreApplication app;
    const QString papyra = KCoreApplication::getDomainMgr()->getDomainUrl(QStringLiteral("papyra"));
    QCOMPARE(QUrl(papyra).toLocalFile(), m_home->filePath(QStringLiteral("clouddrive")));

    LocalCloudService service;
    const KRpcResponse ids = ask(service, QStringLiteral("getPrivateGroupInfoFromDrivePath"), {"Backup Center"}).reply;
    const QString group = ids.value(QStringLiteral("groupid"));
    QVERIFY(!group.isEmpty() && !ids.value(QStringLiteral("fileid")).isEmpty());
    const QString address = QStringLiteral("%1/group/%2/%3").arg(papyra, group, ids.value(QStringLiteral("fileid")));
    const QString folder = QUrl(address, QUrl::TolerantMode).toLocalFile();
    QVERIFY(QFileInfo(folder).isDir());
    QCOMPARE(folder, LocalCloudService::localFolder(QStringLiteral("Backup Center")));
    QVERIFY(LocalCloudService::localFolder(day).startsWith(folder + QLatin1Char('/')));

    // Stable: another service answers the same ids; another account other ones.
    LocalCloudService again;
    QCOMPARE(ask(again, QStringLiteral("getPrivateGroupInfoFromDrivePath"), {"Backup Center"}).reply, ids);
    m_home->setSuiteValue(QStringLiteral("account/userId"), QStringLiteral("someone else"));
    QVERIFY(ask(again, QStringLiteral("getPrivateGroupInfoFromDrivePath"), {"Backup Center"}).reply.value("groupid")
            != group);
}

void tst_LocalCloudService::proxyAnswersFromTheService()
{
    m_home->setSuiteValue(QStringLiteral("account/storageCode"), 1);
    m_home->setSuiteValue(QStringLiteral("cloud/roamingMode"), QStringLiteral("manual"));
    KCloudSvrProxy proxy;
    KUserInfo info;
    proxy.getUserInfo(info);
    QCOMPARE(info.storageCode, 1);

    Catcher receiver;
    auto roamingMode = [&] {
        QSignalSpy delivered(&proxy, &KCloudSvrProxy::allRepliesDelivered);
        proxy.asyncCall(QStringLiteral("getRoamingMode"), {}, &receiver, QStringLiteral("onReply"));
        // Answered at once, delivered queued.
        return receiver.replies.isEmpty() && delivered.wait() ? receiver.replies.takeLast().value("roamingmode")
                                                              : QString();
    };
    QCOMPARE(roamingMode(), QStringLiteral("manual"));
    proxy.setResponder([](const QString &, const QStringList &, KCloudSvrProxy::Reply reply) {
        reply(true, QString(), {{QStringLiteral("roamingmode"), QStringLiteral("scripted")}});
    });
    QCOMPARE(roamingMode(), QStringLiteral("scripted"));
    // A null responder brings the simulation back, still one service.
    proxy.setResponder(nullptr);
    QCOMPARE(roamingMode(), QStringLiteral("manual"));
    QCOMPARE(proxy.findChildren<LocalCloudService *>().size(), 1);
}

QTEST_MAIN(tst_LocalCloudService)
#include "tst_localcloudservice.moc"
