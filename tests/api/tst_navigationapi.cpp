// The page methods that open things outside the page: the repair tools, the
// file radar, addresses, the start page's panels behind a login, the recycle
// bins and the cloud backup folder; and the skin and application news.
#include "api/arkivoapi.h"
#include "pageapifixture.h"
#include "pagedispatch.h"
#include "plugin/arkivoapplication.h"

#include <automation.h>
#include <kaccountsdkproxy.h>
#include <kcloudsvrproxy.h>
#include <localcloudservice.h>
#include <zentriappcontainer.h>

#include <QMetaMethod>
#include <QStandardPaths>
#include <QtTest>

#include <algorithm>
#include <memory>

using Launches = QList<TestSuiteHome::Launch>;

class tst_NavigationApi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { m_api = std::make_unique<PageApiFixture>(); }
    void cleanup() { m_api.reset(); }
    void methodTable();
    void launches_data();
    void launches();
    void disableFeature_data();
    void disableFeature();
    void openUrl_data();
    void openUrl();
    void panelBehindLogin_data();
    void panelBehindLogin();
    void tellsTheSignInState();
    void panelWithoutAccountService();
    void skinEvents_data();
    void skinEvents();
    void appInfo();
    void folders_data();
    void folders();
    void bringWindowToFront_data();
    void bringWindowToFront();

private:
    // The launches other than the data-recovery tool's, which serves as a
    // sentinel: started after the launches under test and waited for, it
    // gives them time to be recorded.
    Launches otherLaunches() const;
    Launches launchesAfterSentinel();

    std::unique_ptr<PageApiFixture> m_api;
};

namespace {
QStringList repairArguments(const char *app)
{
    return {QStringLiteral("Run"),
            QStringLiteral("/InstanceId=ZentriCloudSvr"),
            QStringLiteral("zentricloudsvrimp.dll"),
            QStringLiteral("/run_app"),
            QStringLiteral("/app_id=") + QLatin1String(app),
            QStringLiteral("/src=public_backupcenter")};
}
}

Launches tst_NavigationApi::otherLaunches() const
{
    Launches launches = m_api->home.launches();
    launches.erase(std::remove_if(launches.begin(), launches.end(),
                                  [](const TestSuiteHome::Launch &launch) {
                                      return launch.arguments == repairArguments("rescuekit_orr");
                                  }),
                   launches.end());
    return launches;
}

Launches tst_NavigationApi::launchesAfterSentinel()
{
    const int before = m_api->home.launches().size() - otherLaunches().size();
    if (!m_api->call(QStringLiteral("runDataRestore"))["result"].asBool())
        QTest::qFail("the sentinel was not started", __FILE__, __LINE__);
    else if (!QTest::qWaitFor([&] { return m_api->home.launches().size() - otherLaunches().size() > before; }))
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
        QCOMPARE(PageDispatch::check(m_api->handler, method), PageDispatch::Status::Ok);
}

void tst_NavigationApi::launches_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QVariantMap>("arguments");
    QTest::addColumn<QString>("launcher"); // set to `value` for the call
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("launched"); // empty: nothing starts
    QTest::addColumn<bool>("logged");

    const QString launchExe = QStringLiteral("paths/launchExe");
    const QString compact = QStringLiteral("paths/compactLaunchExe");
    const char *yes = "{\"result\":true}";
    const auto radar = [](const char *id) {
        return QStringList{
            QStringLiteral("/brisadesk"),
            QStringLiteral("clouddoc://act=showbox&type=fileradar&radarid=%1&from=arkivo").arg(QLatin1String(id))};
    };
    const auto row = [](const char *tag, const char *method, const QVariantMap &arguments, const QString &launcher,
                        const char *value, const char *answer, const QStringList &launched, bool logged) {
        QTest::newRow(tag) << QString(method) << arguments << launcher << QString(value) << QString(answer) << launched
                           << logged;
    };
    row("document repair", "runDocumentRepair", {}, "", "", yes, repairArguments("mendtool"), true);
    row("data recovery", "runDataRestore", {}, "", "", yes, repairArguments("rescuekit_orr"), true);
    // Without the suite's executable the page hears false, still logged.
    row("repair without launcher", "runDocumentRepair", {}, launchExe, "", "{\"result\":false}", {}, true);
    const char *radarDlg = "showFileRadarDlg";
    row("radar, no id", radarDlg, {}, "", "", "{}", radar("2"), false);
    row("radar, empty id", radarDlg, {{"radarid", ""}}, "", "", "{}", radar("2"), false);
    row("radar, id 7", radarDlg, {{"radarid", "7"}}, "", "", "{}", radar("7"), false);
    // A quote must not end the address and smuggle in arguments of its own.
    row("radar, quote in the id", radarDlg, {{"radarid", "1\" /evil \"x"}}, "", "", "{}",
        radar("1%22%20%2Fevil%20%22x"), false);
    row("radar, no launcher", radarDlg, {}, compact, "", "{\"errormsg\":\"launchExe path is empty\"}", {}, false);
    row("radar, launcher is no program", radarDlg, {}, compact, "@/launcher.txt", "{}", {}, false);
}

void tst_NavigationApi::launches()
{
    QFETCH(QString, method);
    QFETCH(QVariantMap, arguments);
    QFETCH(QString, launcher);
    QFETCH(QString, value);
    QFETCH(QString, answer);
    QFETCH(QStringList, launched);
    QFETCH(bool, logged);
    TestSuiteHome &home = m_api->home;
    if (!launcher.isEmpty())
        home.setSuiteValue(launcher, value.isEmpty() ? value : home.writeFile(value.mid(2)));
    QCOMPARE(PageApiFixture::text(m_api->call(method, arguments)), answer);
    QCOMPARE(home.logMessages(), logged ? (QStringList{method + "() begin", method + "() end"}) : QStringList());
    if (!launcher.isEmpty())
        home.setSuiteValue(launcher, TestSuiteHome::recorderPath());
    if (launched.isEmpty()) {
        QVERIFY(launchesAfterSentinel().isEmpty());
        return;
    }
    QTRY_COMPARE(home.launches().size(), 1);
    QCOMPARE(home.launches().first().program, TestSuiteHome::recorderPath());
    QCOMPARE(home.launches().first().arguments, launched);
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
    m_api->home.setCloudConfig(
        {{QStringLiteral("features"), QJsonObject{{QStringLiteral("RescueWizard"), rescueWizard},
                                                  {QStringLiteral("EnableWeChatFileEntrance"), weChat}}}});
    QCOMPARE(PageApiFixture::text(m_api->call(QStringLiteral("disableFeature"))),
             QStringLiteral("{\"disableFeature\":\"%1\",\"result\":true}").arg(disabled));
}

void tst_NavigationApi::openUrl_data()
{
    QTest::addColumn<QVariantMap>("arguments");
    QTest::addColumn<bool>("opened");
    QTest::newRow("https") << QVariantMap{{"url", "https://example.com/help?a=1"}} << true;
    QTest::newRow("local file") << QVariantMap{{"url", "file://<home>/x.docx"}} << true;
    QTest::newRow("no url") << QVariantMap() << false;
    // Which addresses are safe: tst_kprocess; one refused one shows the check applies.
    QTest::newRow("script") << QVariantMap{{"url", "javascript:alert(1)"}} << false;
}

void tst_NavigationApi::openUrl()
{
    QFETCH(QVariantMap, arguments);
    QFETCH(bool, opened);
    // A file address opens only an existing document.
    m_api->home.writeFile(QStringLiteral("x.docx"));
    if (arguments.contains(QStringLiteral("url")))
        arguments[QStringLiteral("url")]
            = arguments.value(QStringLiteral("url")).toString().replace(QLatin1String("<home>"), m_api->home.path());
    UrlCatcher catcher(
        {QStringLiteral("https"), QStringLiteral("http"), QStringLiteral("file"), QStringLiteral("javascript")});
    QCOMPARE(PageApiFixture::text(m_api->call(QStringLiteral("openUrl"), arguments)), QStringLiteral("{}"));
    arkivoApplication::instance().waitForBackgroundTasks();
    const QUrl url(arguments.value(QStringLiteral("url")).toString());
    QCOMPARE(catcher.urls(), opened ? QList<QUrl>{url} : QList<QUrl>());
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
        QTest::addRow("search panel, %s", account) << "openSearchPanel"
                                                   << "arkivoSearchPanel" << search << account;
        QTest::addRow("cloud recycle bin, %s", account) << "openCloudRecycleBin"
                                                        << "arkivoCloudRecycleBin" << recycle << account;
    }
}

void tst_NavigationApi::panelBehindLogin()
{
    QFETCH(QString, method);
    QFETCH(QString, tag);
    QFETCH(QString, command);
    QFETCH(QString, account);
    m_api->home.setSuiteValue(QStringLiteral("account/signedIn"), account == QLatin1String("signed in"));
    m_api->home.setSuiteValue(QStringLiteral("account/autoLogin"), account == QLatin1String("signs in at once"));
    KAccountSdkProxy *accounts = KCoreApplication::getAccountSDK();
    KCloudSvrProxy *proxy = KCoreApplication::cloudSvrProxy();

    const Json::Value answer = m_api->call(method);
    if (account == QLatin1String("signed in")) {
        QCOMPARE(PageApiFixture::text(answer), QStringLiteral("{\"result\":true}"));
        QVERIFY(accounts->getLastLoginParams().isEmpty());
    } else {
        QCOMPARE(PageApiFixture::text(answer), QStringLiteral("{}"));
        QCOMPARE(accounts->getLastLoginParams(),
                 (QVariantMap{{"src", tag}, {"bizSrcDetail", "Arkivo_login"}, {"bShowModal", true}}));
    }
    if (account == QLatin1String("signs in later")) {
        // An account change without a signed-in user opens nothing yet.
        emit proxy->userInfoChange(0);
        QVERIFY(launchesAfterSentinel().isEmpty());
        m_api->home.setSuiteValue(QStringLiteral("account/signedIn"), true);
        emit proxy->userInfoChange(0);
    }
    QTRY_COMPARE(otherLaunches().size(), 1);
    QCOMPARE(otherLaunches().first().program, TestSuiteHome::recorderPath());
    QCOMPARE(otherLaunches().first().arguments, QStringList({QStringLiteral("/orrery"), command}));
    // Opened once: later account changes open nothing more.
    emit proxy->userInfoChange(0);
    QCOMPARE(launchesAfterSentinel().size(), 1);
}

void tst_NavigationApi::tellsTheSignInState()
{
    QSignalSpy events(m_api->registry.get(), &KEssJsApi::eventBroadcast);
    m_api->home.setSuiteValue(QStringLiteral("account/signedIn"), false);
    QCOMPARE(PageApiFixture::text(m_api->call(QStringLiteral("getSignInState"))),
             QStringLiteral("{\"result\":true,\"signedIn\":false}"));
    // Asking starts no sign-in.
    QVERIFY(KCoreApplication::getAccountSDK()->getLastLoginParams().isEmpty());
    m_api->home.setSuiteValue(QStringLiteral("account/signedIn"), true);
    emit KCoreApplication::cloudSvrProxy()->userInfoChange(0);
    QCOMPARE(events.first().at(0).toString(), QStringLiteral("event.arkivo.signInChanged"));
    QCOMPARE(eventObject(events.first()), QJsonObject({{QStringLiteral("signedIn"), true}}));
    QCOMPARE(PageApiFixture::text(m_api->call(QStringLiteral("getSignInState"))),
             QStringLiteral("{\"result\":true,\"signedIn\":true}"));
}

void tst_NavigationApi::panelWithoutAccountService()
{
    m_api->home.setSuiteValue(QStringLiteral("services/accountSdk"), false);
    QCOMPARE(PageApiFixture::text(m_api->call(QStringLiteral("openSearchPanel"))), QStringLiteral("{}"));
    // The wish stays pending until an account change finds a signed-in user.
    m_api->home.setSuiteValue(QStringLiteral("services/accountSdk"), true);
    m_api->home.setSuiteValue(QStringLiteral("account/signedIn"), true);
    m_api->hostApp->findChild<KAccountSdkProxy *>()->login(
        {{QStringLiteral("src"), QStringLiteral("arkivoCloudRecycleBin")}});
    emit KCoreApplication::cloudSvrProxy()->userInfoChange(0);
    QTRY_COMPARE(otherLaunches().size(), 1);
    // The panel is the one of the last login, whoever asked for it.
    QCOMPARE(otherLaunches().first().arguments.last(),
             QStringLiteral("plugin://pageStartPage?jumpToLocalFolder&recyclebin"));
}

void tst_NavigationApi::skinEvents_data()
{
    QTest::addColumn<QString>("skin");
    QTest::addColumn<QString>("reported");
    for (const char *skin : {"dark", "default"})
        QTest::newRow(skin) << QString(skin) << QString(skin);
    QTest::newRow("not set") << QString() << QStringLiteral("default");
}

void tst_NavigationApi::skinEvents()
{
    QFETCH(QString, skin);
    QFETCH(QString, reported);
    m_api->home.setSuiteValue(QStringLiteral("theme/skin"), skin);
    QSignalSpy events(m_api->registry.get(), &KEssJsApi::eventBroadcast);
    QMetaObject::invokeMethod(&arkivoApplication::instance(), "onSkinChanged", Q_ARG(QVariantMap, QVariantMap()));
    QCOMPARE(events.size(), 1);
    QCOMPARE(events.first().at(0).toString(), QStringLiteral("event.arkivo.onskinmodechanged"));
    QCOMPARE(eventObject(events.first()), QJsonObject({{QStringLiteral("skin"), reported}}));
}

void tst_NavigationApi::appInfo()
{
    m_api->home.setSuiteValue(QStringLiteral("app/src"), QStringLiteral("startpage_übersicht"));
    QCOMPARE(PageApiFixture::text(m_api->call(QStringLiteral("getAppInfo"))),
             QStringLiteral("{\"result\":true,\"src\":\"\"}"));
    ZentriAppContainer container;
    arkivoApplication::instance().setContainer(&container);
    QCOMPARE(PageApiFixture::text(m_api->call(QStringLiteral("getAppInfo"))),
             QStringLiteral("{\"result\":true,\"src\":\"startpage_übersicht\"}"));
}

void tst_NavigationApi::folders_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<bool>("running");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("folder"); // "@" stands for the suite home; empty: the service's backup folder
    // The recycle bin opens after the answer, from the event loop.
    QTest::newRow("local recycle bin") << "openLoaclRecycleBin" << false << "{\"result\":true}"
                                       << QStringLiteral("@/xdg/Trash/files");
    // Running, the service opens the backup folder itself; else the drive's home opens.
    QTest::newRow("cloud backup folder, client running") << "enterBackupCenterPage" << true << "{}" << QString();
    QTest::newRow("cloud backup folder, client not running")
        << "enterBackupCenterPage" << false << "{}" << QStringLiteral("@/clouddrive");
}

void tst_NavigationApi::folders()
{
    QFETCH(QString, method);
    QFETCH(bool, running);
    QFETCH(QString, answer);
    QFETCH(QString, folder);
    folder = folder.isEmpty() ? LocalCloudService::localFolder(QStringLiteral("Backup Center"))
                              : folder.replace(QLatin1Char('@'), m_api->home.path());
    m_api->home.setSuiteValue(QStringLiteral("cloud/running"), running);
    qputenv("XDG_DATA_HOME", m_api->home.filePath(QStringLiteral("xdg")).toLocal8Bit());
    UrlCatcher catcher({QStringLiteral("file")});
    QCOMPARE(PageApiFixture::text(m_api->call(method)), answer);
    if (method == QLatin1String("openLoaclRecycleBin"))
        QVERIFY(catcher.urls().isEmpty());
    QTRY_COMPARE(catcher.urls().size(), 1);
    qunsetenv("XDG_DATA_HOME");
    QCOMPARE(catcher.urls().first().toLocalFile(), folder);
    QVERIFY(QFileInfo(folder).isDir());
}

void tst_NavigationApi::bringWindowToFront_data()
{
    QTest::addColumn<QString>("window");  // the modal window open when the page asks; empty: none
    QTest::addColumn<QString>("opening"); // the steps that open it over the settings dialog
    QTest::newRow("nothing open") << QString() << QString();
    QTest::newRow("settings dialog") << "KLocalBackupSettingsDlg" << QString();
    QTest::newRow("box over the dialog") << "KStyleMessageBox"
                                         << QStringLiteral("click localBackupSetting_closeBackupOptBtn\n");
}

void tst_NavigationApi::bringWindowToFront()
{
    QFETCH(QString, window);
    QFETCH(QString, opening);
    if (window.isEmpty()) {
        QCOMPARE(PageApiFixture::text(m_api->call("bringWindowToFront")), QStringLiteral("{\"result\":false}"));
        return;
    }
    QString answer;
    bool inFront = false;
    QVector<Automation::Step> steps;
    QVERIFY(Automation::parse(opening, &steps, nullptr));
    // The page asks from inside the window's own event loop, the window minimized.
    steps.append(Automation::customStep("bring it to front", window, [&](QWidget *modal) {
        modal->setWindowState(Qt::WindowMinimized);
        answer = PageApiFixture::text(m_api->call("bringWindowToFront"));
        inFront = QTest::qWaitFor([modal] { return !modal->isMinimized() && QApplication::activeWindow() == modal; });
    }));
    QVector<Automation::Step> closing;
    QVERIFY(Automation::parse(opening.isEmpty() ? "key Escape" : "key Escape\nkey Escape", &closing, nullptr));
    Automation automation(steps + closing);
    automation.start();
    m_api->call("showBackupSettings");
    QVERIFY(automation.waitForDone());
    QCOMPARE(answer, QStringLiteral("{\"result\":true}"));
    QVERIFY(inFront);
}

QTEST_MAIN(tst_NavigationApi)
#include "tst_navigationapi.moc"
