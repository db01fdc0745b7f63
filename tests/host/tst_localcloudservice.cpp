// The simulated cloud service: uploads into the suite home's cloud drive,
// the roaming mode in suite.ini, the backup folder's ids and address.
#include "testsuitehome.h"

#include <kcloudsvrproxy.h>
#include <kcoreapplication.h>
#include <kdomainmgr.h>
#include <localcloudservice.h>

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
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

QByteArray randomBytes(int size)
{
    QByteArray data(size, Qt::Uninitialized);
    for (char &c : data)
        c = char(QRandomGenerator::global()->bounded(256));
    return data;
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QString day = QStringLiteral("Backup Center/2024-03-05");
}

class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class ReplyCatcher : public QObject
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
    void initTestCase();
    void init();
    void cleanup();
    void copiesFilesIntoTheDatedFolder();
    void progressIsVisibleAtALimitedRate();
    void failedFilesLeaveNothing_data();
    void failedFilesLeaveNothing();
    void cancelStopsAndRemovesThePartialCopy();
    void sameNameGetsANewName();
    void refusesFoldersOutsideTheDrive_data();
    void refusesFoldersOutsideTheDrive();
    void roamingModePersists();
    void roamingChangesRefused_data();
    void roamingChangesRefused();
    void backupFolderAddressNamesTheRealFolder();
    void opensOnlySafeAddresses();
    void proxyAnswersFromTheService();

private:
    std::unique_ptr<TestSuiteHome> m_home;
};

void tst_LocalCloudService::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_LocalCloudService::init()
{
    m_home = std::make_unique<TestSuiteHome>();
    m_home->setSuiteValue(QStringLiteral("cloud/uploadBytesPerSecond"), 0);
}

void tst_LocalCloudService::cleanup()
{
    m_home.reset();
}

void tst_LocalCloudService::copiesFilesIntoTheDatedFolder()
{
    const QStringList sources{
        m_home->writeFile(QStringLiteral("docs/empty.txt"), QByteArray()),
        m_home->writeFile(QStringLiteral("docs/Bericht über.docx"), randomBytes(10)),
        // Larger than one turn of the event loop copies.
        m_home->writeFile(QStringLiteral("docs/large.bin"), randomBytes(5 * 1024 * 1024 + 3)),
    };
    LocalCloudService service;
    QSignalSpy idle(&service, &LocalCloudService::uploadsIdle);
    QVERIFY(ask(service, QStringLiteral("batchUploadFileListToPath"),
                {sources.join(QLatin1Char('|')), day, QStringLiteral("false"), QStringLiteral("saveascloud_bkcenter")}).ok);
    const KRpcResponse queued = ask(service, QStringLiteral("getBatchUploadFileListState"), {sources.join(QLatin1Char('|'))}).reply;
    QCOMPARE(queued.size(), 3);
    for (const QString &state : queued)
        QCOMPARE(state, QStringLiteral("queue/"));

    QVERIFY(idle.wait());
    const QDir folder(LocalCloudService::localFolder(day));
    QCOMPARE(folder.entryList(QDir::Files, QDir::Name).size(), 3);
    for (const QString &source : sources) {
        QCOMPARE(stateOf(service, source), QStringLiteral("ok"));
        QCOMPARE(contentOf(folder.filePath(QFileInfo(source).fileName())), contentOf(source));
    }
    QCOMPARE(service.activeUploads(), 0);
}

void tst_LocalCloudService::progressIsVisibleAtALimitedRate()
{
    m_home->setSuiteValue(QStringLiteral("cloud/uploadBytesPerSecond"), 400000);
    const QString first = m_home->writeFile(QStringLiteral("a.bin"), randomBytes(200000));
    const QString second = m_home->writeFile(QStringLiteral("b.bin"), randomBytes(10));
    LocalCloudService service;
    QSignalSpy idle(&service, &LocalCloudService::uploadsIdle);
    ask(service, QStringLiteral("batchUploadFileListToPath"), {first + QLatin1Char('|') + second, day});

    // One file at a time: the second waits while the first goes up.
    QTRY_VERIFY(percentOf(stateOf(service, first)) > 0);
    const int seen = percentOf(stateOf(service, first));
    QVERIFY2(seen < 100, qPrintable(stateOf(service, first)));
    QCOMPARE(stateOf(service, second), QStringLiteral("queue/"));
    QVERIFY(idle.wait());
    QCOMPARE(stateOf(service, first), QStringLiteral("ok"));
    QCOMPARE(stateOf(service, second), QStringLiteral("ok"));
}

void tst_LocalCloudService::failedFilesLeaveNothing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing file") << "missing";
    QTest::newRow("folder") << "folder";
    QTest::newRow("unreadable file") << "unreadable";
}

void tst_LocalCloudService::failedFilesLeaveNothing()
{
    QFETCH(QString, kind);
    QString source = m_home->filePath(QStringLiteral("gone.docx"));
    if (kind == QLatin1String("folder")) {
        source = m_home->makeDir(QStringLiteral("a folder"));
    } else if (kind == QLatin1String("unreadable")) {
        source = m_home->writeFile(QStringLiteral("locked.docx"));
        QFile::setPermissions(source, QFile::WriteOwner);
        if (QFileInfo(source).isReadable())
            QSKIP("this user reads every file");
    }
    const QString good = m_home->writeFile(QStringLiteral("good.docx"));
    LocalCloudService service;
    QSignalSpy idle(&service, &LocalCloudService::uploadsIdle);
    ask(service, QStringLiteral("batchUploadFileListToPath"), {source + QLatin1Char('|') + good, day});
    QVERIFY(idle.wait());

    const QString state = stateOf(service, source);
    QVERIFY2(!state.isEmpty() && !state.startsWith(QLatin1String("ok")) && !state.startsWith(QLatin1String("uploading/"))
                 && !state.startsWith(QLatin1String("queue/")),
             qPrintable(state));
    QCOMPARE(stateOf(service, good), QStringLiteral("ok"));
    QCOMPARE(QDir(LocalCloudService::localFolder(day)).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("good.docx")});
}

void tst_LocalCloudService::cancelStopsAndRemovesThePartialCopy()
{
    m_home->setSuiteValue(QStringLiteral("cloud/uploadBytesPerSecond"), 100000);
    const QString big = m_home->writeFile(QStringLiteral("big.bin"), randomBytes(1000000));
    const QString next = m_home->writeFile(QStringLiteral("next.txt"), QByteArray("next"));
    LocalCloudService service;
    QSignalSpy idle(&service, &LocalCloudService::uploadsIdle);
    ask(service, QStringLiteral("batchUploadFileListToPath"), {big + QLatin1Char('|') + next, day});
    QTRY_VERIFY(percentOf(stateOf(service, big)) > 0);
    // Until it is complete the copy goes by a hidden name of its own.
    const QDir folder(LocalCloudService::localFolder(day));
    QVERIFY(!folder.exists(QStringLiteral("big.bin")));
    const QStringList parts = folder.entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(parts.size(), 1);
    QVERIFY(parts.first().startsWith(QLatin1Char('.')));

    QVERIFY(ask(service, QStringLiteral("cancelBatchUploadFileToPath"), {big}).ok);
    QCOMPARE(stateOf(service, big), QStringLiteral("cancelled"));
    QVERIFY(folder.entryList(QDir::Files | QDir::Hidden).isEmpty());
    // Only the files named are stopped.
    QVERIFY(idle.wait());
    QCOMPARE(stateOf(service, next), QStringLiteral("ok"));
    QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("next.txt")});
}

void tst_LocalCloudService::sameNameGetsANewName()
{
    const QString first = m_home->writeFile(QStringLiteral("one/report.docx"), "first");
    const QString second = m_home->writeFile(QStringLiteral("two/report.docx"), "second");
    LocalCloudService service;
    QSignalSpy idle(&service, &LocalCloudService::uploadsIdle);
    ask(service, QStringLiteral("batchUploadFileListToPath"), {first + QLatin1Char('|') + second, day});
    QVERIFY(idle.wait());
    const QDir folder(LocalCloudService::localFolder(day));
    QCOMPARE(contentOf(folder.filePath(QStringLiteral("report.docx"))), QByteArray("first"));
    QCOMPARE(contentOf(folder.filePath(QStringLiteral("report (1).docx"))), QByteArray("second"));
}

void tst_LocalCloudService::refusesFoldersOutsideTheDrive_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("empty") << "";
    QTest::newRow("parent") << "../outside";
    QTest::newRow("parent inside") << "Backup Center/../../outside";
    QTest::newRow("absolute") << "/tmp/outside";
    QTest::newRow("backslash") << "Backup Center\\..\\x";
    QTest::newRow("drive letter") << "C:/x";
}

void tst_LocalCloudService::refusesFoldersOutsideTheDrive()
{
    QFETCH(QString, target);
    const QString source = m_home->writeFile(QStringLiteral("a.docx"));
    LocalCloudService service;
    QVERIFY(!ask(service, QStringLiteral("batchUploadFileListToPath"), {source, target}).ok);
    QVERIFY(!ask(service, QStringLiteral("getBatchUploadFileListState"), {source}).reply.contains(source));
    QCOMPARE(service.activeUploads(), 0);
}

void tst_LocalCloudService::roamingModePersists()
{
    {
        LocalCloudService service;
        const Answer first = ask(service, QStringLiteral("getRoamingMode"), {});
        QVERIFY(first.ok);
        QCOMPARE(first.reply, (KRpcResponse{{QStringLiteral("roamingmode"), QStringLiteral("auto")}}));
        QVERIFY(ask(service, QStringLiteral("changeRoamingMode"),
                    {QStringLiteral("manual"), QStringLiteral("Cloud"), QStringLiteral("false"), QStringLiteral("backup_center")}).ok);
        QCOMPARE(ask(service, QStringLiteral("getRoamingMode"), {}).reply.value(QStringLiteral("roamingmode")),
                 QStringLiteral("manual"));
    }
    m_home->setSuiteValue(QStringLiteral("cloud/roamingStrategy"), QStringLiteral("no_rule"));
    LocalCloudService later;
    QCOMPARE(ask(later, QStringLiteral("getRoamingMode"), {}).reply,
             (KRpcResponse{{QStringLiteral("roamingmode"), QStringLiteral("manual")},
                           {QStringLiteral("roamingstrategy"), QStringLiteral("no_rule")}}));
    QCOMPARE(m_home->suiteValue(QStringLiteral("cloud/roamingMode")).toString(), QStringLiteral("manual"));
}

void tst_LocalCloudService::roamingChangesRefused_data()
{
    QTest::addColumn<QString>("strategy");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("requested");
    QTest::newRow("unknown mode") << "" << "auto" << "sometimes";
    QTest::newRow("no mode") << "" << "manual" << "";
    QTest::newRow("upload forced") << "force_upload" << "auto" << "manual";
    QTest::newRow("upload forbidden") << "forbid_upload" << "manual" << "auto";
}

void tst_LocalCloudService::roamingChangesRefused()
{
    QFETCH(QString, strategy);
    QFETCH(QString, before);
    QFETCH(QString, requested);
    m_home->setSuiteValue(QStringLiteral("cloud/roamingStrategy"), strategy);
    m_home->setSuiteValue(QStringLiteral("cloud/roamingMode"), before);
    LocalCloudService service;
    const Answer answer = ask(service, QStringLiteral("changeRoamingMode"),
                              requested.isEmpty() ? QStringList() : QStringList{requested});
    QVERIFY(!answer.ok);
    QVERIFY(!answer.text.isEmpty());
    QCOMPARE(ask(service, QStringLiteral("getRoamingMode"), {}).reply.value(QStringLiteral("roamingmode")), before);
}

void tst_LocalCloudService::backupFolderAddressNamesTheRealFolder()
{
    KCoreApplication app;
    const QString papyra = KCoreApplication::getDomainMgr()->getDomainUrl(QStringLiteral("papyra"));
    QCOMPARE(QUrl(papyra).toLocalFile(), m_home->filePath(QStringLiteral("clouddrive")));

    LocalCloudService service;
    const Answer answer = ask(service, QStringLiteral("getPrivateGroupInfoFromDrivePath"), {QStringLiteral("Backup Center")});
    QVERIFY(answer.ok);
    const QString group = answer.reply.value(QStringLiteral("groupid"));
    const QString file = answer.reply.value(QStringLiteral("fileid"));
    QVERIFY(!group.isEmpty() && !file.isEmpty());
    const QString address = QStringLiteral("%1/group/%2/%3").arg(papyra, group, file);
    const QString folder = QUrl(address, QUrl::TolerantMode).toLocalFile();
    QVERIFY(QFileInfo(folder).isDir());
    QCOMPARE(folder, LocalCloudService::localFolder(QStringLiteral("Backup Center")));
    QVERIFY(LocalCloudService::localFolder(day).startsWith(folder + QLatin1Char('/')));

    // Stable: another service answers the same ids; another account other ones.
    LocalCloudService again;
    QCOMPARE(ask(again, QStringLiteral("getPrivateGroupInfoFromDrivePath"), {QStringLiteral("Backup Center")}).reply,
             answer.reply);
    m_home->setSuiteValue(QStringLiteral("account/userId"), QStringLiteral("someone else"));
    QVERIFY(ask(again, QStringLiteral("getPrivateGroupInfoFromDrivePath"), {QStringLiteral("Backup Center")})
                .reply.value(QStringLiteral("groupid")) != group);

    for (const QString &bad : {QStringLiteral(""), QStringLiteral(".."), QStringLiteral("a/b")})
        QVERIFY(!ask(again, QStringLiteral("getPrivateGroupInfoFromDrivePath"), {bad}).ok);
}

void tst_LocalCloudService::opensOnlySafeAddresses()
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
    LocalCloudService service;
    QVERIFY(ask(service, QStringLiteral("openVipAutoLoginUrl"), {QStringLiteral("https://papyra.example/group/1/2")}).ok);
    QVERIFY(!ask(service, QStringLiteral("openVipAutoLoginUrl"), {QStringLiteral("javascript:alert(1)")}).ok);
    QVERIFY(!ask(service, QStringLiteral("openVipAutoLoginUrl"), {}).ok);
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl(QStringLiteral("https://papyra.example/group/1/2"))});

    const Answer unknown = ask(service, QStringLiteral("formatDrive"), {});
    QVERIFY(!unknown.ok);
    QCOMPARE(unknown.text, QStringLiteral("unknown request"));
}

void tst_LocalCloudService::proxyAnswersFromTheService()
{
    m_home->setSuiteValue(QStringLiteral("account/storageCode"), 1);
    m_home->setSuiteValue(QStringLiteral("cloud/roamingMode"), QStringLiteral("manual"));
    KCloudSvrProxy proxy;
    KUserInfo info;
    proxy.getUserInfo(info);
    QCOMPARE(info.storageCode, 1);

    ReplyCatcher receiver;
    auto roamingMode = [&] {
        QSignalSpy delivered(&proxy, &KCloudSvrProxy::allRepliesDelivered);
        proxy.asyncCall(QStringLiteral("getRoamingMode"), {}, &receiver, QStringLiteral("onReply"));
        return delivered.wait() ? receiver.replies.last().value(QStringLiteral("roamingmode")) : QString();
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
