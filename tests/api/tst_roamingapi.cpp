// Reading and switching the account's roaming mode through the page: the
// requests to the cloud service, the page event and the usage event.
#include "pageapifixture.h"

#include <kcloudsvrproxy.h>

#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

namespace {
// The cloud client's setting is read once per process: rows about it run
// in a process of their own.
const char childVariable[] = "ARKIVO_ROAMING_TEST_CHILD";

QJsonObject usageParams(const QString &accountType, bool automatic)
{
    return {{QStringLiteral("account_type"), accountType},
            {QStringLiteral("before_status"), automatic ? QStringLiteral("0") : QStringLiteral("1")},
            {QStringLiteral("status"), automatic ? QStringLiteral("1") : QStringLiteral("0")},
            {QStringLiteral("report_scene"), QStringLiteral("switch")},
            {QStringLiteral("scene"), QStringLiteral("backup_center")}};
}
}

class tst_RoamingApi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void cleanup() { m_api.reset(); }
    void roamingEvent_data();
    void roamingEvent();
    void changeArguments_data();
    void changeArguments();
    void withoutServices_data();
    void withoutServices();
    void changeIsFollowedByAFreshRead();

private:
    // Answers every request with `success`, getRoamingMode with `roaming`;
    // the requests are kept in m_requests as "method: arguments".
    void useScriptedService(const KRpcResponse &roaming = {}, bool success = true);
    Json::Value call(const QString &method, const QVariantMap &arguments = {})
    {
        return m_api->call(method, arguments);
    }

    std::unique_ptr<PageApiFixture> m_api;
    QStringList m_requests;
};

void tst_RoamingApi::init()
{
    m_api = std::make_unique<PageApiFixture>();
    m_api->home.setSuiteValue(QStringLiteral("account/signedIn"), true);
    m_requests.clear();
}

void tst_RoamingApi::useScriptedService(const KRpcResponse &roaming, bool success)
{
    KCoreApplication::cloudSvrProxy()->setResponder(
        [this, roaming, success](const QString &method, const QStringList &args, KCloudSvrProxy::Reply reply) {
            m_requests.append(method + QStringLiteral(": ") + args.join(QLatin1Char(' ')));
            reply(success, QString(), method == QLatin1String("getRoamingMode") ? roaming : KRpcResponse());
        });
}

void tst_RoamingApi::roamingEvent_data()
{
    QTest::addColumn<bool>("success");
    QTest::addColumn<KRpcResponse>("reply");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("control");

    const auto row = [](const char *tag, bool success, const KRpcResponse &reply, const char *mode,
                        const char *control = "no_control") {
        QTest::newRow(tag) << success << reply << QString(mode) << QString(control);
    };
    row("auto, upload forced", true, {{"roamingmode", "auto"}, {"roamingstrategy", "force_upload"}}, "true",
        "force_upload");
    row("manual, upload forbidden", true, {{"roamingmode", "manual"}, {"roamingstrategy", "forbid_upload"}}, "false",
        "forbid_upload");
    row("other strategy", true, {{"roamingmode", "auto"}, {"roamingstrategy", "ask_first"}}, "true");
    row("no strategy", true, {{"roamingmode", "auto"}}, "true");
    row("mode is case-sensitive", true, {{"roamingmode", "Auto"}}, "false");
    row("failed, empty", false, {}, "false");
    row("failed, with values", false, {{"roamingmode", "auto"}, {"roamingstrategy", "forbid_upload"}}, "true",
        "forbid_upload");
}

void tst_RoamingApi::roamingEvent()
{
    QFETCH(bool, success);
    QFETCH(KRpcResponse, reply);
    QFETCH(QString, mode);
    QFETCH(QString, control);
    useScriptedService(reply, success);
    QSignalSpy events(m_api->registry.get(), &KEssJsApi::eventBroadcast);

    QCOMPARE(PageApiFixture::text(call(QStringLiteral("getRoamingMode"))), QStringLiteral("{}"));
    QVERIFY(events.isEmpty());
    QTRY_COMPARE(events.size(), 1);
    QCOMPARE(events.first().at(0).toString(), QStringLiteral("event.arkivo.autoRoamingModeChanged"));
    QCOMPARE(eventObject(events.first()), QJsonObject({{QStringLiteral("mode"), mode},
                                                       {QStringLiteral("fileUploadControl"), control},
                                                       {QStringLiteral("callstatus"), QStringLiteral("ok")}}));
}

void tst_RoamingApi::changeArguments_data()
{
    QTest::addColumn<QString>("setting"); // the cloud client's, empty when absent
    QTest::addColumn<int>("storageCode");
    QTest::addColumn<int>("userType"); // 0: no account service
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("accountType"); // "-": no usage event

    const auto row = [](const char *tag, const char *setting, int storageCode, int userType, bool automatic,
                        const char *request, const char *accountType = "corp") {
        QTest::newRow(tag) << QString(setting) << storageCode << userType << automatic << QString(request)
                           << QString(accountType);
    };
    row("absent, cloud account, to automatic", "", 0, 2, true, "auto Cloud false backup_center");
    row("absent, cloud account, to manual", "", 0, 2, false, "manual Cloud false backup_center");
    row("absent, local-only account, to automatic", "", 1, 2, true, "auto localOnly true backup_center", "-");
    row("absent, local-only account, to manual", "", 1, 2, false, "manual localOnly true backup_center");
    row("false, local-only account, to automatic", "false", 1, 2, true, "auto");
    row("false, cloud account, to manual", "false", 0, 2, false, "manual");
    row("FALSE is not false", "FALSE", 1, 2, true, "auto localOnly true backup_center", "-");
    row("true", "true", 2, 2, true, "auto Cloud false backup_center");
    row("personal account", "false", 0, 1, false, "manual", "personal");
    row("mixed account", "false", 0, 3, false, "manual", "mixed");
    row("unknown account type", "false", 0, 7, false, "manual", "other");
    row("no account service", "false", 0, 0, false, "manual", "");
}

void tst_RoamingApi::changeArguments()
{
    if (!qEnvironmentVariableIsSet(childVariable)) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QLatin1String(childVariable), QStringLiteral("1"));
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("changeArguments:") + QString::fromUtf8(QTest::currentDataTag())});
        QVERIFY(child.waitForFinished(60000));
        QVERIFY2(child.exitCode() == 0, child.readAll().constData());
        return;
    }

    QFETCH(QString, setting);
    QFETCH(int, storageCode);
    QFETCH(int, userType);
    QFETCH(bool, automatic);
    QFETCH(QString, request);
    QFETCH(QString, accountType);
    if (!setting.isEmpty()) {
        QSettings client(m_api->home.filePath(QStringLiteral("cloudclient.ini")), QSettings::IniFormat);
        client.setValue(QStringLiteral("usercenter/roamingMode20"), setting);
    }
    m_api->home.setSuiteValue(QStringLiteral("account/storageCode"), storageCode);
    m_api->home.setSuiteValue(QStringLiteral("account/userType"), qMax(userType, 1));
    m_api->home.setSuiteValue(QStringLiteral("services/accountSdk"), userType > 0);
    useScriptedService();

    QCOMPARE(PageApiFixture::text(call(QStringLiteral("changeRoamingMode"), {{QStringLiteral("mode"), automatic}})),
             QStringLiteral("{}"));
    QCOMPARE(m_requests, QStringList{QStringLiteral("changeRoamingMode: ") + request});
    const QList<QJsonObject> events = usageEvents(m_api->home);
    QCOMPARE(events.size(), accountType == QLatin1String("-") ? 0 : 1);
    if (!events.isEmpty()) {
        QCOMPARE(events.first().value(QStringLiteral("event")).toString(), QStringLiteral("cloud_roaming_switch"));
        QCOMPARE(events.first().value(QStringLiteral("params")).toObject(), usageParams(accountType, automatic));
        QCOMPARE(events.first().value(QStringLiteral("probability")).toInt(), 1);
    }
}

void tst_RoamingApi::withoutServices_data()
{
    QTest::addColumn<QString>("service");
    QTest::addColumn<bool>("changeSent");
    QTest::newRow("no cloud service") << "cloudProxy" << false;
    QTest::newRow("no usage reporter") << "usageReporter" << true;
}

void tst_RoamingApi::withoutServices()
{
    QFETCH(QString, service);
    QFETCH(bool, changeSent);
    useScriptedService({{QStringLiteral("roamingmode"), QStringLiteral("auto")}});
    m_api->home.setSuiteValue(QStringLiteral("services/") + service, false);
    QSignalSpy events(m_api->registry.get(), &KEssJsApi::eventBroadcast);
    call(QStringLiteral("getRoamingMode"));
    call(QStringLiteral("changeRoamingMode"), {{QStringLiteral("mode"), true}});
    QTRY_COMPARE(m_api->hostApp->findChild<KCloudSvrProxy *>()->pendingCalls(), 0);
    QCoreApplication::processEvents();

    QCOMPARE(m_requests.size(), changeSent ? 3 : 0);
    QCOMPARE(events.size(), changeSent ? 2 : 0);
    QVERIFY(usageEvents(m_api->home).isEmpty());
}

void tst_RoamingApi::changeIsFollowedByAFreshRead()
{
    // The suite home's own cloud service.
    QSignalSpy events(m_api->registry.get(), &KEssJsApi::eventBroadcast);
    for (bool automatic : {false, true, false}) {
        events.clear();
        call(QStringLiteral("changeRoamingMode"), {{QStringLiteral("mode"), automatic}});
        QTRY_COMPARE(events.size(), 1);
        QCOMPARE(eventObject(events.first()).value(QStringLiteral("mode")).toString(),
                 automatic ? QStringLiteral("true") : QStringLiteral("false"));
        QCOMPARE(m_api->home.suiteValue(QStringLiteral("cloud/roamingMode")).toString(),
                 automatic ? QStringLiteral("auto") : QStringLiteral("manual"));
    }
}

QTEST_MAIN(tst_RoamingApi)
#include "tst_roamingapi.moc"
