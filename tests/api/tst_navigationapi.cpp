// The page methods that open things outside the page: the repair tools, the
// file radar, addresses, the start page's panels behind a login, the recycle
// bins and the cloud backup folder; and the skin and application news.
#include "api/arkivoapi.h"
#include "pagecall.h"
#include "pagedispatch.h"
#include "plugin/arkivoapplication.h"
#include "testsuitehome.h"

#include <kaccountsdkproxy.h>
#include <kcloudsvrproxy.h>
#include <kcoreapplication.h>
#include <kessjsapi.h>
#include <localcloudservice.h>
#include <zentriappcontainer.h>

#include <QDesktopServices>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaMethod>
#include <QMutex>
#include <QPointer>
#include <QStandardPaths>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <utility>

// Addresses handed to the desktop, from any thread.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    explicit UrlCatcher(const QStringList &schemes)
        : m_schemes(schemes)
    {
        for (const QString &scheme : m_schemes)
            QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    ~UrlCatcher() override
    {
        for (const QString &scheme : m_schemes)
            QDesktopServices::unsetUrlHandler(scheme);
    }
    QList<QUrl> urls()
    {
        QMutexLocker locker(&m_mutex);
        return m_urls;
    }
public slots:
    void open(const QUrl &url)
    {
        QMutexLocker locker(&m_mutex);
        m_urls.append(url);
    }

private:
    QStringList m_schemes;
    QMutex m_mutex;
    QList<QUrl> m_urls;
};

class tst_NavigationApi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void methodTable();
    void repairTools_data();
    void repairTools();
    void fileRadar_data();
    void fileRadar();
    void fileRadarRefused_data();
    void fileRadarRefused();
    void disableFeature_data();
    void disableFeature();
    void openUrl_data();
    void openUrl();
    void panelBehindLogin_data();
    void panelBehindLogin();
    void panelWithoutAccountService();
    void accountChangeAsksForRoamingMode();
    void localRecycleBinOpensLater();
    void skinEvents_data();
    void skinEvents();
    void appInfo();
    void cloudBackupFolder_data();
    void cloudBackupFolder();

private:
    Json::Value call(const QString &method, const QVariantMap &arguments = {})
    {
        return callPage(m_handler, method, arguments);
    }
    // The launches other than the data-recovery tool's, which serves as a
    // sentinel: started after the launches under test and waited for, it
    // gives them time to be recorded.
    QList<TestSuiteHome::Launch> otherLaunches() const;
    QList<TestSuiteHome::Launch> launchesAfterSentinel();

    std::unique_ptr<TestSuiteHome> m_home;
    std::unique_ptr<KCoreApplication> m_hostApp;
    std::unique_ptr<KEssJsApi> m_registry;
    QPointer<QObject> m_handler;
};

namespace {
// Nothing written: the page gets the result as the framework made it.
bool noKeys(const Json::Value &answer)
{
    return answer.getMemberNames().empty();
}

QStringList repairArguments(const char *app)
{
    return {QStringLiteral("Run"), QStringLiteral("/InstanceId=ZentriCloudSvr"), QStringLiteral("zentricloudsvrimp.dll"),
            QStringLiteral("/run_app"), QLatin1String("/app_id=") + QLatin1String(app),
            QStringLiteral("/src=public_backupcenter")};
}
}

void tst_NavigationApi::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_NavigationApi::init()
{
    m_home = std::make_unique<TestSuiteHome>();
    m_home->setSuiteValue(QStringLiteral("cloud/uploadBytesPerSecond"), 0);
    m_hostApp = std::make_unique<KCoreApplication>();
    m_registry = std::make_unique<KEssJsApi>();
    arkivoAPI::registerWith(m_registry.get());
    m_handler = m_registry->handles().first().first;
}

void tst_NavigationApi::cleanup()
{
    m_registry.reset();
    m_hostApp.reset();
    arkivoApplication::instance().waitForBackgroundTasks();
    arkivoApplication::instance().setContainer(nullptr);
    m_home.reset();
}

QList<TestSuiteHome::Launch> tst_NavigationApi::otherLaunches() const
{
    QList<TestSuiteHome::Launch> launches = m_home->launches();
    launches.erase(std::remove_if(launches.begin(), launches.end(),
                                  [](const TestSuiteHome::Launch &launch) {
                                      return launch.arguments == repairArguments("rescuekit_orr");
                                  }),
                   launches.end());
    return launches;
}

QList<TestSuiteHome::Launch> tst_NavigationApi::launchesAfterSentinel()
{
    const int before = m_home->launches().size() - otherLaunches().size();
    if (!call(QStringLiteral("runDataRestore"))["result"].asBool())
        QTest::qFail("the sentinel was not started", __FILE__, __LINE__);
    else if (!QTest::qWaitFor([&] { return m_home->launches().size() - otherLaunches().size() > before; }))
        QTest::qFail("the sentinel was not recorded", __FILE__, __LINE__);
    return otherLaunches();
}

void tst_NavigationApi::methodTable()
{
    // The framework finds the slots by name and the page relies on their order.
    const QMetaObject &meta = arkivoAPI::staticMetaObject;
    QStringList names;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i)
        names << QString::fromLatin1(meta.method(i).name());
    QCOMPARE(names, (PageDispatch::pageMethods()
                     + QStringList{"onGetRoamingMode", "onChangeRoamingMode", "onUserInfoChanged", "onSkinChanged",
                                   "doOpenSearchPanel", "doOpenCloudRecycleBin"}));
    for (const QString &method : PageDispatch::pageMethods())
        QCOMPARE(PageDispatch::check(m_handler, method), PageDispatch::Status::Ok);
}

void tst_NavigationApi::repairTools_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("app");
    QTest::newRow("document repair") << "runDocumentRepair" << "mendtool";
    QTest::newRow("data recovery") << "runDataRestore" << "rescuekit_orr";
}

void tst_NavigationApi::repairTools()
{
    QFETCH(QString, method);
    QFETCH(QString, app);
    const QStringList expected = repairArguments(app.toLatin1().constData());

    QVERIFY(call(method)["result"].asBool());
    QVERIFY(call(method)["result"].asBool());
    QTRY_COMPARE(m_home->launches().size(), 2);
    for (const TestSuiteHome::Launch &launch : m_home->launches()) {
        QCOMPARE(launch.program, TestSuiteHome::recorderPath());
        QCOMPARE(launch.arguments, expected);
    }
    QCOMPARE(m_home->logMessages(), QStringList({method + "() begin", method + "() end", method + "() begin", method + "() end"}));

    // Without the suite's executable the page hears false, still logged.
    m_home->clearLog();
    m_home->setSuiteValue(QStringLiteral("paths/launchExe"), QString());
    const Json::Value answer = call(method);
    QVERIFY(answer.isMember("result"));
    QVERIFY(!answer["result"].asBool());
    QCOMPARE(m_home->logMessages(), QStringList({method + "() begin", method + "() end"}));
}

void tst_NavigationApi::fileRadar_data()
{
    QTest::addColumn<QVariantMap>("arguments");
    QTest::addColumn<QString>("radarId");
    QTest::newRow("no radar id") << QVariantMap() << "2";
    QTest::newRow("empty radar id") << QVariantMap{{"radarid", ""}} << "2";
    QTest::newRow("radar id 7") << QVariantMap{{"radarid", "7"}} << "7";
    // A quote must not end the address and smuggle in arguments of its own.
    QTest::newRow("quote in the id") << QVariantMap{{"radarid", "1\" /evil \"x"}} << "1%22%20%2Fevil%20%22x";
}

void tst_NavigationApi::fileRadar()
{
    QFETCH(QVariantMap, arguments);
    QFETCH(QString, radarId);
    QVERIFY(noKeys(call(QStringLiteral("showFileRadarDlg"), arguments)));
    QTRY_COMPARE(m_home->launches().size(), 1);
    QCOMPARE(m_home->launches().first().program, TestSuiteHome::recorderPath());
    QCOMPARE(m_home->launches().first().arguments,
             QStringList({QStringLiteral("/brisadesk"),
                          QStringLiteral("clouddoc://act=showbox&type=fileradar&radarid=%1&from=arkivo").arg(radarId)}));
}

void tst_NavigationApi::fileRadarRefused_data()
{
    QTest::addColumn<bool>("noLauncher");
    QTest::newRow("no launcher") << true;
    QTest::newRow("launcher is no program") << false;
}

void tst_NavigationApi::fileRadarRefused()
{
    QFETCH(bool, noLauncher);
    m_home->setSuiteValue(QStringLiteral("paths/compactLaunchExe"),
                          noLauncher ? QString() : m_home->writeFile(QStringLiteral("launcher.txt")));
    const Json::Value answer = call(QStringLiteral("showFileRadarDlg"));
    if (noLauncher)
        QCOMPARE(answer["errormsg"].asString(), std::string("launchExe path is empty"));
    else
        QVERIFY(noKeys(answer));
    QVERIFY(launchesAfterSentinel().isEmpty());
}

void tst_NavigationApi::disableFeature_data()
{
    QTest::addColumn<bool>("rescueWizard");
    QTest::addColumn<bool>("weChat");
    QTest::addColumn<QString>("disabled");
    QTest::newRow("both supported") << true << true << "";
    QTest::newRow("no rescue wizard") << false << true << "dataRecovery";
    QTest::newRow("no file entrance") << true << false << "wechatQQ";
    QTest::newRow("neither") << false << false << "dataRecovery,wechatQQ";
}

void tst_NavigationApi::disableFeature()
{
    QFETCH(bool, rescueWizard);
    QFETCH(bool, weChat);
    QFETCH(QString, disabled);
    m_home->setCloudConfig({{QStringLiteral("features"),
                             QJsonObject{{QStringLiteral("RescueWizard"), rescueWizard},
                                         {QStringLiteral("EnableWeChatFileEntrance"), weChat}}}});
    const Json::Value answer = call(QStringLiteral("disableFeature"));
    QCOMPARE(QString::fromStdString(answer["disableFeature"].asString()), disabled);
    QCOMPARE(answer["result"].asBool(), true);
    QCOMPARE(answer.getMemberNames(), (std::vector<std::string>{"disableFeature", "result"}));
}

void tst_NavigationApi::openUrl_data()
{
    QTest::addColumn<QVariantMap>("arguments");
    QTest::addColumn<bool>("opened");
    QTest::newRow("https") << QVariantMap{{"url", "https://example.com/help?a=1"}} << true;
    QTest::newRow("local file") << QVariantMap{{"url", "file://<home>/x.docx"}} << true;
    QTest::newRow("no url") << QVariantMap() << false;
    QTest::newRow("script") << QVariantMap{{"url", "javascript:alert(1)"}} << false;
    QTest::newRow("relative") << QVariantMap{{"url", "help.html"}} << false;
    QTest::newRow("http without host") << QVariantMap{{"url", "http:///x"}} << false;
    QTest::newRow("network file") << QVariantMap{{"url", "file://server/share/x.docx"}} << false;
    QTest::newRow("control character") << QVariantMap{{"url", "https://example.com/\n"}} << false;
}

void tst_NavigationApi::openUrl()
{
    QFETCH(QVariantMap, arguments);
    QFETCH(bool, opened);
    // A file address opens only an existing document.
    m_home->writeFile(QStringLiteral("x.docx"));
    if (arguments.contains(QStringLiteral("url")))
        arguments[QStringLiteral("url")] = arguments.value(QStringLiteral("url")).toString().replace(QLatin1String("<home>"), m_home->path());
    UrlCatcher catcher({QStringLiteral("https"), QStringLiteral("http"), QStringLiteral("file"), QStringLiteral("javascript")});
    QVERIFY(noKeys(call(QStringLiteral("openUrl"), arguments)));
    arkivoApplication::instance().waitForBackgroundTasks();
    const QString url = arguments.value(QStringLiteral("url")).toString();
    QCOMPARE(catcher.urls(), opened ? QList<QUrl>{QUrl(url)} : QList<QUrl>());
}

void tst_NavigationApi::panelBehindLogin_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("account");

    const QString search = QStringLiteral("plugin://pageStartPage?showSearchPanel");
    const QString recycle = QStringLiteral("plugin://pageStartPage?jumpToLocalFolder&recyclebin");
    for (const char *account : {"signed in", "signs in at once", "signs in later"}) {
        QTest::addRow("search panel, %s", account) << "openSearchPanel" << "arkivoSearchPanel" << search << account;
        QTest::addRow("cloud recycle bin, %s", account) << "openCloudRecycleBin" << "arkivoCloudRecycleBin" << recycle << account;
    }
}

void tst_NavigationApi::panelBehindLogin()
{
    QFETCH(QString, method);
    QFETCH(QString, tag);
    QFETCH(QString, command);
    QFETCH(QString, account);
    m_home->setSuiteValue(QStringLiteral("account/signedIn"), account == QLatin1String("signed in"));
    m_home->setSuiteValue(QStringLiteral("account/autoLogin"), account == QLatin1String("signs in at once"));
    KAccountSdkProxy *accounts = KCoreApplication::getAccountSDK();
    KCloudSvrProxy *proxy = KCoreApplication::cloudSvrProxy();

    const Json::Value answer = call(method);
    if (account == QLatin1String("signed in")) {
        QCOMPARE(answer["result"].asBool(), true);
        QVERIFY(accounts->getLastLoginParams().isEmpty());
    } else {
        QVERIFY(noKeys(answer));
        QCOMPARE(accounts->getLastLoginParams(),
                 (QVariantMap{{"src", tag}, {"bizSrcDetail", "Arkivo_login"}, {"bShowModal", true}}));
    }
    if (account == QLatin1String("signs in later")) {
        // An account change without a signed-in user opens nothing yet.
        emit proxy->userInfoChange(0);
        QVERIFY(launchesAfterSentinel().isEmpty());
        m_home->setSuiteValue(QStringLiteral("account/signedIn"), true);
        emit proxy->userInfoChange(0);
    }
    QTRY_COMPARE(otherLaunches().size(), 1);
    QCOMPARE(otherLaunches().first().program, TestSuiteHome::recorderPath());
    QCOMPARE(otherLaunches().first().arguments, QStringList({QStringLiteral("/orrery"), command}));
    // Opened once: later account changes open nothing more.
    emit proxy->userInfoChange(0);
    QCOMPARE(launchesAfterSentinel().size(), 1);
}

void tst_NavigationApi::panelWithoutAccountService()
{
    m_home->setSuiteValue(QStringLiteral("services/accountSdk"), false);
    QVERIFY(noKeys(call(QStringLiteral("openSearchPanel"))));
    // The wish stays pending until an account change finds a signed-in user.
    m_home->setSuiteValue(QStringLiteral("services/accountSdk"), true);
    m_home->setSuiteValue(QStringLiteral("account/signedIn"), true);
    m_hostApp->findChild<KAccountSdkProxy *>()->login({{QStringLiteral("src"), QStringLiteral("arkivoCloudRecycleBin")}});
    emit KCoreApplication::cloudSvrProxy()->userInfoChange(0);
    QTRY_COMPARE(otherLaunches().size(), 1);
    // The panel is the one of the last login, whoever asked for it.
    QCOMPARE(otherLaunches().first().arguments.last(), QStringLiteral("plugin://pageStartPage?jumpToLocalFolder&recyclebin"));
}

void tst_NavigationApi::accountChangeAsksForRoamingMode()
{
    QStringList requests;
    KCoreApplication::cloudSvrProxy()->setResponder(
        [&requests](const QString &method, const QStringList &, KCloudSvrProxy::Reply reply) {
            requests.append(method);
            reply(true, QString(), {});
        });
    QSignalSpy events(m_registry.get(), &KEssJsApi::eventBroadcast);
    emit KCoreApplication::cloudSvrProxy()->userInfoChange(3);
    QCOMPARE(requests, QStringList{QStringLiteral("getRoamingMode")});
    QTRY_COMPARE(events.size(), 1);
    QVERIFY(launchesAfterSentinel().isEmpty());
}

void tst_NavigationApi::localRecycleBinOpensLater()
{
    qputenv("XDG_DATA_HOME", m_home->filePath(QStringLiteral("xdg")).toLocal8Bit());
    UrlCatcher catcher({QStringLiteral("file")});
    Json::Value answer = call(QStringLiteral("openLoaclRecycleBin"));
    QCOMPARE(answer["result"].asBool(), true);
    QVERIFY(catcher.urls().isEmpty());
    QTRY_COMPARE(catcher.urls().size(), 1);
    qunsetenv("XDG_DATA_HOME");
    QCOMPARE(catcher.urls().first().toLocalFile(), m_home->filePath(QStringLiteral("xdg/Trash/files")));
}

void tst_NavigationApi::skinEvents_data()
{
    QTest::addColumn<QString>("skin");
    QTest::addColumn<QString>("reported");
    QTest::newRow("dark") << "dark" << "dark";
    QTest::newRow("default") << "default" << "default";
    QTest::newRow("not set") << "" << "default";
}

void tst_NavigationApi::skinEvents()
{
    QFETCH(QString, skin);
    QFETCH(QString, reported);
    m_home->setSuiteValue(QStringLiteral("theme/skin"), skin);
    QSignalSpy events(m_registry.get(), &KEssJsApi::eventBroadcast);
    QMetaObject::invokeMethod(&arkivoApplication::instance(), "onSkinChanged", Q_ARG(QVariantMap, QVariantMap()));
    QCOMPARE(events.size(), 1);
    QCOMPARE(events.first().at(0).toString(), QStringLiteral("event.arkivo.onskinmodechanged"));
    QCOMPARE(QJsonDocument::fromJson(events.first().at(1).toString().toUtf8()).object(),
             QJsonObject({{QStringLiteral("skin"), reported}}));
}

void tst_NavigationApi::appInfo()
{
    m_home->setSuiteValue(QStringLiteral("app/src"), QStringLiteral("startpage_übersicht"));
    Json::Value answer = call(QStringLiteral("getAppInfo"));
    QCOMPARE(answer["src"].asString(), std::string());
    QCOMPARE(answer["result"].asBool(), true);

    ZentriAppContainer container;
    arkivoApplication::instance().setContainer(&container);
    answer = call(QStringLiteral("getAppInfo"));
    QCOMPARE(QString::fromStdString(answer["src"].asString()), QStringLiteral("startpage_übersicht"));
    QCOMPARE(answer.getMemberNames(), (std::vector<std::string>{"result", "src"}));
}

void tst_NavigationApi::cloudBackupFolder_data()
{
    QTest::addColumn<bool>("running");
    QTest::newRow("cloud client running") << true;
    QTest::newRow("cloud client not running") << false;
}

void tst_NavigationApi::cloudBackupFolder()
{
    QFETCH(bool, running);
    m_home->setSuiteValue(QStringLiteral("cloud/running"), running);
    UrlCatcher catcher({QStringLiteral("file")});
    QVERIFY(noKeys(call(QStringLiteral("enterBackupCenterPage"))));
    QTRY_COMPARE(catcher.urls().size(), 1);
    // Running, the service opens the backup folder itself; else the drive's home opens.
    const QString expected = running ? LocalCloudService::localFolder(QStringLiteral("Backup Center"))
                                     : m_home->filePath(QStringLiteral("clouddrive"));
    QCOMPARE(catcher.urls().first().toLocalFile(), expected);
    QCOMPARE(QFileInfo(expected).isDir(), true);
}

QTEST_MAIN(tst_NavigationApi)
#include "tst_navigationapi.moc"
