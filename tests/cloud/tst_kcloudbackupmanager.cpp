// The upload manager against scripted cloud replies and against the suite
// home's simulated cloud service copying real files.
#include "cloud/kcloudbackupmanager.h"
#include "plugin/arkivoapplication.h"
#include "testsuitehome.h"

#include <kcloudsvrproxy.h>
#include <kcoreapplication.h>
#include <localcloudservice.h>

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QStandardPaths>
#include <QtTest>

#include <memory>
#include <utility>

namespace {
struct Request
{
    QString method;
    QStringList args;
};

const QString missing = QStringLiteral("<no entry>");
}

// Addresses opened on the plug-in's background threads.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> take()
    {
        QMutexLocker locker(&m_mutex);
        return std::exchange(m_urls, {});
    }
public slots:
    void open(const QUrl &url)
    {
        QMutexLocker locker(&m_mutex);
        m_urls.append(url);
    }

private:
    QMutex m_mutex;
    QList<QUrl> m_urls;
};

class tst_KCloudBackupManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void startsABatch();
    void statusTable_data();
    void statusTable();
    void finishedFileIsNotReevaluated();
    void failedReplyEndsPolling();
    void cancelSendsTheUnfinishedFiles_data();
    void cancelSendsTheUnfinishedFiles();
    void staleReplyIsDropped_data();
    void staleReplyIsDropped();
    void withoutCloudService();
    void opensTheCloudBackupFolder_data();
    void opensTheCloudBackupFolder();
    void uploadsRealFiles();
    void progressRisesWhileCopying();

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
    QList<Request> requestsOf(const QString &method) const;
    QTimer *timer() const { return m_manager->findChild<QTimer *>(); }
    KCloudSvrProxy *proxy() const { return KCoreApplication::cloudSvrProxy(); }

    std::unique_ptr<TestSuiteHome> m_home;
    std::unique_ptr<KCoreApplication> m_hostApp;
    std::unique_ptr<KCloudBackupManager> m_manager;
    QList<Request> m_requests;
    QList<KCloudSvrProxy::Reply> m_heldStatus;
    std::function<void(const QString &, KCloudSvrProxy::Reply)> m_answerOther;
};

void tst_KCloudBackupManager::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

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
        m_requests.append({method, args});
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
    QMetaObject::invokeMethod(this, [&delivered] { delivered = true; }, Qt::QueuedConnection);
    QTRY_VERIFY(delivered);
}

QList<Request> tst_KCloudBackupManager::requestsOf(const QString &method) const
{
    QList<Request> found;
    for (const Request &request : m_requests) {
        if (request.method == method)
            found.append(request);
    }
    return found;
}

void tst_KCloudBackupManager::startsABatch()
{
    useScriptedService();
    QVERIFY(m_manager->uploadBackupFiles({QStringLiteral("/d/a.docx"), QStringLiteral("/d/b.xlsx")}));
    QCOMPARE(m_requests.size(), 1);
    QCOMPARE(m_requests.first().method, QStringLiteral("batchUploadFileListToPath"));
    QCOMPARE(m_requests.first().args, QStringList({QStringLiteral("/d/a.docx|/d/b.xlsx"),
                                                   QStringLiteral("Backup Center/2024-03-05"), QStringLiteral("false"),
                                                   QStringLiteral("saveascloud_bkcenter")}));
    QVERIFY(timer()->isActive());
    QCOMPARE(timer()->interval(), 3000);
    QCOMPARE(m_manager->uploadProgress(), 0);

    poll();
    QCOMPARE(requestsOf(QStringLiteral("getBatchUploadFileListState")).first().args,
             QStringList{QStringLiteral("/d/a.docx|/d/b.xlsx")});
    // A second batch starts afresh and leaves the first one running at the service.
    answerStatus(0, true, {{QStringLiteral("/d/a.docx"), QStringLiteral("ok")}});
    m_manager->uploadBackupFiles({QStringLiteral("/d/c.pptx")});
    QCOMPARE(m_manager->uploadProgress(), 0);
    QCOMPARE(m_manager->uploadSuccessCount(), 0);
    QVERIFY(requestsOf(QStringLiteral("cancelBatchUploadFileToPath")).isEmpty());
}

void tst_KCloudBackupManager::statusTable_data()
{
    QTest::addColumn<QStringList>("states");
    QTest::addColumn<int>("progress");
    QTest::addColumn<int>("successes");
    QTest::addColumn<QStringList>("pending");

    QTest::newRow("ok, half, queued, failed") << QStringList{"ok", "uploading/50", "queue/", "failed"} << 62 << 1
                                             << QStringList{"f1", "f2"};
    QTest::newRow("2 of 3 ok, 1 queued") << QStringList{"ok", "ok", "queue/"} << 66 << 2 << QStringList{"f2"};
    QTest::newRow("uploading/100 is still busy") << QStringList{"uploading/100"} << 99 << 0 << QStringList{"f0"};
    QTest::newRow("uploading/abc") << QStringList{"uploading/abc"} << 0 << 0 << QStringList{"f0"};
    QTest::newRow("all failed") << QStringList{"error/file not found", missing} << 100 << 0 << QStringList();
    QTest::newRow("ok and cancelled") << QStringList{"ok", "cancelled"} << 100 << 1 << QStringList();
    QTest::newRow("all ok") << QStringList{"ok", "ok"} << 100 << 2 << QStringList();
    QTest::newRow("text after ok") << QStringList{"ok/verified"} << 100 << 1 << QStringList();
    QTest::newRow("prefixes are case-sensitive") << QStringList{"OK", "Uploading/50", "Queue/"} << 100 << 0 << QStringList();
    QTest::newRow("empty batch") << QStringList() << 100 << 0 << QStringList();
}

void tst_KCloudBackupManager::statusTable()
{
    QFETCH(QStringList, states);
    QFETCH(int, progress);
    QFETCH(int, successes);
    QFETCH(QStringList, pending);

    useScriptedService();
    QStringList files;
    KRpcResponse reply;
    for (int i = 0; i < states.size(); ++i) {
        files << QStringLiteral("f%1").arg(i);
        if (states.at(i) != missing)
            reply.insert(files.last(), states.at(i));
    }
    m_manager->uploadBackupFiles(files);
    poll();
    answerStatus(0, true, reply);

    QCOMPARE(m_manager->uploadProgress(), progress);
    QCOMPARE(m_manager->uploadSuccessCount(), successes);
    const bool busy = progress < 100;
    QCOMPARE(timer()->isActive(), busy);
    if (busy)
        QCOMPARE(timer()->interval(), 1000);
    m_manager->cancelUpload();
    QCOMPARE(requestsOf(QStringLiteral("cancelBatchUploadFileToPath")).last().args,
             QStringList{pending.join(QLatin1Char('|'))});
}

void tst_KCloudBackupManager::finishedFileIsNotReevaluated()
{
    useScriptedService();
    m_manager->uploadBackupFiles({QStringLiteral("a"), QStringLiteral("b")});
    poll();
    answerStatus(0, true, {{QStringLiteral("a"), QStringLiteral("ok")}, {QStringLiteral("b"), QStringLiteral("queue/")}});
    QCOMPARE(m_manager->uploadProgress(), 50);
    // The service forgot "a": it stays uploaded.
    poll();
    answerStatus(1, true, {{QStringLiteral("b"), QStringLiteral("uploading/50")}});
    QCOMPARE(m_manager->uploadProgress(), 75);
    QCOMPARE(m_manager->uploadSuccessCount(), 1);
}

void tst_KCloudBackupManager::failedReplyEndsPolling()
{
    useScriptedService();
    m_manager->uploadBackupFiles({QStringLiteral("a")});
    poll();
    answerStatus(0, false, {{QStringLiteral("a"), QStringLiteral("ok")}});
    QCOMPARE(m_manager->uploadProgress(), 0);
    QVERIFY(!timer()->isActive());
}

void tst_KCloudBackupManager::cancelSendsTheUnfinishedFiles_data()
{
    QTest::addColumn<KRpcResponse>("states");
    QTest::addColumn<QString>("cancelled");
    QTest::newRow("right after the start") << KRpcResponse() << "a|b|c";
    QTest::newRow("after one ok") << KRpcResponse{{"a", "uploading/10"}, {"b", "ok"}, {"c", "queue/"}} << "a|c";
}

void tst_KCloudBackupManager::cancelSendsTheUnfinishedFiles()
{
    QFETCH(KRpcResponse, states);
    QFETCH(QString, cancelled);
    useScriptedService();
    m_manager->uploadBackupFiles({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    if (!states.isEmpty()) {
        poll();
        answerStatus(0, true, states);
    }
    const int progress = m_manager->uploadProgress();
    QVERIFY(m_manager->cancelUpload());
    QCOMPARE(requestsOf(QStringLiteral("cancelBatchUploadFileToPath")).size(), 1);
    QCOMPARE(requestsOf(QStringLiteral("cancelBatchUploadFileToPath")).first().args, QStringList{cancelled});
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
    answerStatus(0, oldReplySucceeds, {{QStringLiteral("old1"), QStringLiteral("ok")}, {QStringLiteral("old2"), QStringLiteral("ok")}});
    QCOMPARE(m_manager->uploadProgress(), 0);
    QCOMPARE(m_manager->uploadSuccessCount(), 0);
    if (newPollBeforeOldReply) {
        QCOMPARE(m_heldStatus.size(), 2);
    } else {
        QVERIFY(timer()->isActive());
        poll();
    }
    QCOMPARE(requestsOf(QStringLiteral("getBatchUploadFileListState")).last().args, QStringList{QStringLiteral("new1|new2")});
    answerStatus(1, true, {{QStringLiteral("new1"), QStringLiteral("ok")}, {QStringLiteral("new2"), QStringLiteral("uploading/50")}});
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
    QTest::newRow("running, ids") << home << true << true << ids << "https://papyra.example/group/g1/f1" << "";
    QTest::newRow("running, no file id") << home << true << true << KRpcResponse{{"groupid", "g1"}} << "" << home;
    QTest::newRow("not running") << home << true << false << ids << "" << home;
    QTest::newRow("lookup failed") << home << false << true << ids << "" << home;
    QTest::newRow("lookup failed, unsafe home") << "javascript:alert(1)" << false << true << ids << "" << "";
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
    UrlCatcher catcher;
    for (const char *scheme : {"https", "javascript"})
        QDesktopServices::setUrlHandler(QLatin1String(scheme), &catcher, "open");

    QVERIFY(m_manager->openCloudBackupFolder());
    QTRY_COMPARE(proxy()->pendingCalls(), 0);
    arkivoApplication::instance().waitForBackgroundTasks();
    for (const char *scheme : {"https", "javascript"})
        QDesktopServices::unsetUrlHandler(QLatin1String(scheme));

    QCOMPARE(m_requests.first().args, QStringList{QStringLiteral("Backup Center")});
    const QList<Request> serviceOpened = requestsOf(QStringLiteral("openVipAutoLoginUrl"));
    QCOMPARE(serviceOpened.size(), serviceOpens.isEmpty() ? 0 : 1);
    if (!serviceOpens.isEmpty())
        QCOMPARE(serviceOpened.first().args, QStringList{serviceOpens});
    QCOMPARE(catcher.take(), pluginOpens.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl(pluginOpens)});
}

void tst_KCloudBackupManager::uploadsRealFiles()
{
    QStringList files;
    for (int size : {0, 1, 70000, 5 * 1024 * 1024})
        files << m_home->writeFile(QStringLiteral("docs/file%1.bin").arg(size), QByteArray(size, char('a' + size % 26)));
    files << m_home->filePath(QStringLiteral("docs/missing.docx"));
    m_manager->uploadBackupFiles(files);

    QTRY_COMPARE_WITH_TIMEOUT(m_manager->uploadProgress(), 100, 10000);
    QCOMPARE(m_manager->uploadSuccessCount(), 4);
    QVERIFY(!timer()->isActive());
    const QDir drive(LocalCloudService::localFolder(KCloudBackupManager::cloudFolder(QDate(2024, 3, 5))));
    QCOMPARE(drive.entryList(QDir::Files).size(), 4);
    for (int i = 0; i < 4; ++i) {
        QFile source(files.at(i));
        QFile copy(drive.filePath(QFileInfo(source).fileName()));
        QVERIFY(source.open(QIODevice::ReadOnly) && copy.open(QIODevice::ReadOnly));
        QVERIFY(source.readAll() == copy.readAll());
    }
}

void tst_KCloudBackupManager::progressRisesWhileCopying()
{
    // Four seconds of copying: the first poll, after three, finds it under way.
    m_home->setSuiteValue(QStringLiteral("cloud/uploadBytesPerSecond"), 200000);
    const QString file = m_home->writeFile(QStringLiteral("big.bin"), QByteArray(800000, 'x'));
    m_manager->uploadBackupFiles({file});
    QTRY_VERIFY_WITH_TIMEOUT(m_manager->uploadProgress() > 0, 10000);
    QVERIFY(m_manager->uploadProgress() < 100);
    QCOMPARE(m_manager->uploadSuccessCount(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(m_manager->uploadProgress(), 100, 10000);
    QCOMPARE(m_manager->uploadSuccessCount(), 1);
}

QTEST_MAIN(tst_KCloudBackupManager)
#include "tst_kcloudbackupmanager.moc"
