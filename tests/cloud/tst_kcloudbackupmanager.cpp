// The upload manager against scripted cloud replies. Real files going up
// are tested with the local cloud service and with zentri-host.
#include "cloud/kcloudbackupmanager.h"
#include "pageapifixture.h"
#include "plugin/arkivoapplication.h"

#include <kcloudsvrproxy.h>

#include <QStandardPaths>
#include <QtTest>

#include <algorithm>

namespace {
// A state list starting with it is answered as a failed request.
const QString failedReply = QStringLiteral("<failed reply>");
const QString missing = QStringLiteral("<no entry>");
}

class tst_KCloudBackupManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void cleanup();
    void startsABatch();
    void statusTable_data();
    void statusTable();
    void staleReplyIsDropped_data();
    void staleReplyIsDropped();
    void withoutCloudService();
    void opensTheCloudBackupFolder_data();
    void opensTheCloudBackupFolder();

private:
    void useScriptedService();
    // The poll timer fires now.
    void poll()
    {
        timer()->stop();
        QMetaObject::invokeMethod(m_manager.get(), "onUpdateUploadFilesStatus");
    }
    // Answers the held status request `index` and waits until it is delivered.
    void answerStatus(int index, bool success, const KRpcResponse &states);
    // The requests to the service, as "method: arguments" with ", " between.
    QStringList requestsOf(const QString &method) const { return m_requests.filter(method + QStringLiteral(": ")); }
    QTimer *timer() const { return m_manager->findChild<QTimer *>(); }
    KCloudSvrProxy *proxy() const { return KCoreApplication::cloudSvrProxy(); }

    std::unique_ptr<TestSuiteHome> m_home;
    std::unique_ptr<KCoreApplication> m_hostApp;
    std::unique_ptr<KCloudBackupManager> m_manager;
    QStringList m_requests;
    QList<KCloudSvrProxy::Reply> m_heldStatus;
    std::function<void(const QString &, KCloudSvrProxy::Reply)> m_answerOther;
};

void tst_KCloudBackupManager::init()
{
    m_home = std::make_unique<TestSuiteHome>();
    m_home->setSuiteValue(QStringLiteral("cloud/uploadBytesPerSecond"), 0);
    m_hostApp = std::make_unique<KCoreApplication>();
    m_manager = std::make_unique<KCloudBackupManager>();
    m_manager->setToday([] { return QDate(2024, 3, 5); });
    m_requests.clear();
    m_heldStatus.clear();
    m_answerOther = [](const QString &, KCloudSvrProxy::Reply reply) { reply(true, QString(), {}); };
}

void tst_KCloudBackupManager::cleanup()
{
    m_manager.reset();
    m_hostApp.reset();
    arkivoApplication::instance().waitForBackgroundTasks();
    m_home.reset();
}

void tst_KCloudBackupManager::useScriptedService()
{
    proxy()->setResponder([this](const QString &method, const QStringList &args, KCloudSvrProxy::Reply reply) {
        m_requests.append(method + QStringLiteral(": ") + args.join(QStringLiteral(", ")));
        if (method == QLatin1String("getBatchUploadFileListState"))
            m_heldStatus.append(reply);
        else
            m_answerOther(method, reply);
    });
}

void tst_KCloudBackupManager::answerStatus(int index, bool success, const KRpcResponse &states)
{
    QVERIFY(index < m_heldStatus.size());
    m_heldStatus.at(index)(success, QString(), states);
    // Posted after the proxy's delivery, so run after the reply slot.
    bool delivered = false;
    QMetaObject::invokeMethod(
        this, [&delivered] { delivered = true; }, Qt::QueuedConnection);
    QTRY_VERIFY(delivered);
}

void tst_KCloudBackupManager::startsABatch()
{
    useScriptedService();
    QVERIFY(m_manager->uploadBackupFiles({QStringLiteral("/d/a.docx"), QStringLiteral("/d/b.xlsx")}));
    poll();
    QCOMPARE(m_requests,
             QStringList({"batchUploadFileListToPath: /d/a.docx|/d/b.xlsx, Backup Center/2024-03-05, false, "
                          "saveascloud_bkcenter",
                          "getBatchUploadFileListState: /d/a.docx|/d/b.xlsx"}));
    // A second batch starts afresh and leaves the first one running at the service.
    answerStatus(0, true, {{QStringLiteral("/d/a.docx"), QStringLiteral("ok")}});
    m_manager->uploadBackupFiles({QStringLiteral("/d/c.pptx")});
    QCOMPARE(m_manager->uploadProgress(), 0);
    QCOMPARE(m_manager->uploadSuccessCount(), 0);
    QVERIFY(requestsOf(QStringLiteral("cancelBatchUploadFileToPath")).isEmpty());
}

void tst_KCloudBackupManager::statusTable_data()
{
    QTest::addColumn<int>("files");                // f0, f1, ...
    QTest::addColumn<QList<QStringList>>("polls"); // the states of the files, one list per status reply
    QTest::addColumn<int>("progress");
    QTest::addColumn<int>("successes");
    QTest::addColumn<QString>("cancelled");

    const auto poll = [](const QStringList &states) { return QList<QStringList>{states}; };
    QTest::newRow("not polled yet") << 3 << QList<QStringList>() << 0 << 0 << "f0|f1|f2";
    QTest::newRow("ok, half, queued, failed")
        << 4 << poll({"ok", "uploading/50", "queue/", "failed"}) << 62 << 1 << "f1|f2";
    QTest::newRow("2 of 3 ok, 1 queued") << 3 << poll({"ok", "ok", "queue/"}) << 66 << 2 << "f2";
    QTest::newRow("uploading/100 is still busy") << 1 << poll({"uploading/100"}) << 99 << 0 << "f0";
    QTest::newRow("uploading/abc") << 1 << poll({"uploading/abc"}) << 0 << 0 << "f0";
    QTest::newRow("all failed") << 2 << poll({"error/file not found", missing}) << 100 << 0 << "";
    QTest::newRow("ok and cancelled") << 2 << poll({"ok", "cancelled"}) << 100 << 1 << "";
    QTest::newRow("all ok") << 2 << poll({"ok", "ok"}) << 100 << 2 << "";
    QTest::newRow("text after ok") << 1 << poll({"ok/verified"}) << 100 << 1 << "";
    QTest::newRow("prefixes are case-sensitive") << 3 << poll({"OK", "Uploading/50", "Queue/"}) << 100 << 0 << "";
    QTest::newRow("empty batch") << 0 << poll({}) << 100 << 0 << "";
    // The service forgot f0: it stays uploaded.
    QTest::newRow("finished file is not re-evaluated")
        << 2 << QList<QStringList>{{"ok", "queue/"}, {missing, "uploading/50"}} << 75 << 1 << "f1";
    QTest::newRow("failed reply ends polling") << 1 << poll({failedReply, "ok"}) << 0 << 0 << "f0";
}

void tst_KCloudBackupManager::statusTable()
{
    QFETCH(int, files);
    QFETCH(QList<QStringList>, polls);
    QFETCH(int, progress);
    QFETCH(int, successes);
    QFETCH(QString, cancelled);

    useScriptedService();
    QStringList names;
    for (int i = 0; i < files; ++i)
        names << QStringLiteral("f%1").arg(i);
    m_manager->uploadBackupFiles(names);
    bool failed = false;
    for (QStringList states : polls) {
        failed = !states.isEmpty() && states.first() == failedReply;
        if (failed)
            states.removeFirst();
        KRpcResponse reply;
        for (int i = 0; i < states.size(); ++i) {
            if (states.at(i) != missing)
                reply.insert(names.at(i), states.at(i));
        }
        poll();
        answerStatus(m_heldStatus.size() - 1, !failed, reply);
    }

    QCOMPARE(m_manager->uploadProgress(), progress);
    QCOMPARE(m_manager->uploadSuccessCount(), successes);
    QCOMPARE(timer()->isActive(), progress < 100 && !failed);
    if (timer()->isActive())
        QCOMPARE(timer()->interval(), polls.isEmpty() ? 3000 : 1000);
    QVERIFY(m_manager->cancelUpload());
    // What the page lists: every file in the order chosen, the uploaded ones done.
    const QList<KCloudBackupManager::UploadFileReport> reports = m_manager->uploadFiles();
    QCOMPARE(reports.size(), files);
    QCOMPARE(int(std::count_if(reports.cbegin(), reports.cend(),
                               [](const auto &report) { return report.state == KCloudBackupManager::UploadDone; })),
             successes);
    QCOMPARE(m_manager->uploadCancelled(), files > 0);
    QCOMPARE(requestsOf(QStringLiteral("cancelBatchUploadFileToPath")),
             QStringList{QStringLiteral("cancelBatchUploadFileToPath: ") + cancelled});
    QVERIFY(!timer()->isActive());
    QCOMPARE(m_manager->uploadProgress(), progress);
}

void tst_KCloudBackupManager::staleReplyIsDropped_data()
{
    QTest::addColumn<bool>("newPollBeforeOldReply");
    QTest::addColumn<bool>("oldReplySucceeds");
    QTest::newRow("old reply first") << false << true;
    QTest::newRow("old failure first") << false << false;
    QTest::newRow("new batch polls while the old reply is out") << true << true;
}

void tst_KCloudBackupManager::staleReplyIsDropped()
{
    QFETCH(bool, newPollBeforeOldReply);
    QFETCH(bool, oldReplySucceeds);
    useScriptedService();
    m_manager->uploadBackupFiles({QStringLiteral("old1"), QStringLiteral("old2")});
    poll();
    m_manager->uploadBackupFiles({QStringLiteral("new1"), QStringLiteral("new2")});
    if (newPollBeforeOldReply) {
        poll();
        // Not sent yet: its reply could not be told from the old one.
        QCOMPARE(m_heldStatus.size(), 1);
    }

    // Applied, the old reply would mark the new files failed and end at 100.
    answerStatus(0, oldReplySucceeds,
                 {{QStringLiteral("old1"), QStringLiteral("ok")}, {QStringLiteral("old2"), QStringLiteral("ok")}});
    QCOMPARE(m_manager->uploadProgress(), 0);
    QCOMPARE(m_manager->uploadSuccessCount(), 0);
    if (newPollBeforeOldReply) {
        QCOMPARE(m_heldStatus.size(), 2);
    } else {
        QVERIFY(timer()->isActive());
        poll();
    }
    QCOMPARE(requestsOf(QStringLiteral("getBatchUploadFileListState")).last(),
             QStringLiteral("getBatchUploadFileListState: new1|new2"));
    answerStatus(
        1, true,
        {{QStringLiteral("new1"), QStringLiteral("ok")}, {QStringLiteral("new2"), QStringLiteral("uploading/50")}});
    QCOMPARE(m_manager->uploadProgress(), 75);
    QCOMPARE(m_manager->uploadSuccessCount(), 1);
    QCOMPARE(timer()->interval(), 1000);
}

void tst_KCloudBackupManager::withoutCloudService()
{
    m_home->setSuiteValue(QStringLiteral("services/cloudProxy"), false);
    QVERIFY(m_manager->uploadBackupFiles({QStringLiteral("a")}));
    QCOMPARE(timer()->interval(), 3000);
    poll();
    QVERIFY(m_manager->cancelUpload());
    QCOMPARE(m_manager->uploadProgress(), 0);
    QVERIFY(!m_manager->openCloudBackupFolder());
    QCOMPARE(m_hostApp->findChild<KCloudSvrProxy *>()->pendingCalls(), 0);
}

void tst_KCloudBackupManager::opensTheCloudBackupFolder_data()
{
    QTest::addColumn<QString>("papyra");
    QTest::addColumn<bool>("success");
    QTest::addColumn<bool>("running");
    QTest::addColumn<KRpcResponse>("ids");
    QTest::addColumn<QString>("serviceOpens");
    QTest::addColumn<QString>("pluginOpens");

    const QString home = QStringLiteral("https://papyra.example");
    const KRpcResponse ids{{"groupid", "g1"}, {"fileid", "f1"}};
    QTest::newRow("running, ids") << home << true << true << ids << "https://papyra.example/group/g1/f1" << QString();
    QTest::newRow("running, no file id") << home << true << true << KRpcResponse{{"groupid", "g1"}} << "" << home;
    QTest::newRow("not running") << home << true << false << ids << "" << home;
    QTest::newRow("lookup failed") << home << false << true << ids << "" << home;
    QTest::newRow("lookup failed, unsafe home") << "javascript:alert(1)" << false << true << ids << "" << QString();
}

void tst_KCloudBackupManager::opensTheCloudBackupFolder()
{
    QFETCH(QString, papyra);
    QFETCH(bool, success);
    QFETCH(bool, running);
    QFETCH(KRpcResponse, ids);
    QFETCH(QString, serviceOpens);
    QFETCH(QString, pluginOpens);

    m_home->setSuiteValue(QStringLiteral("domains/papyra"), papyra);
    m_home->setSuiteValue(QStringLiteral("cloud/running"), running);
    m_answerOther = [&](const QString &method, KCloudSvrProxy::Reply reply) {
        if (method == QLatin1String("getPrivateGroupInfoFromDrivePath"))
            reply(success, QString(), ids);
        else
            reply(true, QString(), {});
    };
    useScriptedService();
    UrlCatcher catcher({QStringLiteral("https"), QStringLiteral("javascript")});
    QVERIFY(m_manager->openCloudBackupFolder());
    QTRY_COMPARE(proxy()->pendingCalls(), 0);
    arkivoApplication::instance().waitForBackgroundTasks();

    QCOMPARE(m_requests.first(), QStringLiteral("getPrivateGroupInfoFromDrivePath: Backup Center"));
    QCOMPARE(requestsOf(QStringLiteral("openVipAutoLoginUrl")),
             serviceOpens.isEmpty() ? QStringList()
                                    : QStringList{QStringLiteral("openVipAutoLoginUrl: ") + serviceOpens});
    QCOMPARE(catcher.urls(), pluginOpens.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl(pluginOpens)});
}

QTEST_MAIN(tst_KCloudBackupManager)
#include "tst_kcloudbackupmanager.moc"
