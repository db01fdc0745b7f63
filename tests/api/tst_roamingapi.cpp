// Reading and switching the account's roaming mode through the page: the
// requests to the cloud service, the page event and the usage event.
#include "api/arkivoapi.h"
#include "pagecall.h"
#include "plugin/arkivoapplication.h"
#include "testsuitehome.h"

#include <kcloudsvrproxy.h>
#include <kcoreapplication.h>
#include <kessjsapi.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

#include <memory>

namespace {
// Nothing written: the page gets the result as the framework made it.
bool noKeys(const Json::Value &answer)
{
    return answer.getMemberNames().empty();
}

struct Request
{
    QString method;
    QStringList args;
};

// The cloud client's setting is read once per process: rows about it run
// in a process of their own.
const char childVariable[] = "ARKIVO_ROAMING_TEST_CHILD";

QList<QJsonObject> usageEvents(const TestSuiteHome &home)
{
    QList<QJsonObject> events;
    QFile file(home.filePath(QStringLiteral("usage.jsonl")));
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.atEnd())
            events.append(QJsonDocument::fromJson(file.readLine()).object());
    }
    return events;
}

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
    void initTestCase();
    void init();
    void cleanup();
    void roamingEvent_data();
    void roamingEvent();
    void changeArguments_data();
    void changeArguments();
    void usageEventAccountType_data();
    void usageEventAccountType();
    void withoutServices_data();
    void withoutServices();
    void changeIsFollowedByAFreshRead();

private:
    void useScriptedService(const KRpcResponse &roaming = {}, bool success = true);

    std::unique_ptr<TestSuiteHome> m_home;
    std::unique_ptr<KCoreApplication> m_hostApp;
    std::unique_ptr<KEssJsApi> m_registry;
    QPointer<QObject> m_handler;
    QList<Request> m_requests;
};

void tst_RoamingApi::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_RoamingApi::init()
{
    m_home = std::make_unique<TestSuiteHome>();
    m_home->setSuiteValue(QStringLiteral("account/signedIn"), true);
    m_hostApp = std::make_unique<KCoreApplication>();
    m_registry = std::make_unique<KEssJsApi>();
    arkivoAPI::registerWith(m_registry.get());
    m_handler = m_registry->handles().first().first;
    m_requests.clear();
}

void tst_RoamingApi::cleanup()
{
    m_registry.reset();
    m_hostApp.reset();
    m_home.reset();
}

void tst_RoamingApi::useScriptedService(const KRpcResponse &roaming, bool success)
{
    KCoreApplication::cloudSvrProxy()->setResponder(
        [this, roaming, success](const QString &method, const QStringList &args, KCloudSvrProxy::Reply reply) {
            m_requests.append({method, args});
            reply(success, QString(), method == QLatin1String("getRoamingMode") ? roaming : KRpcResponse());
        });
}

void tst_RoamingApi::roamingEvent_data()
{
    QTest::addColumn<bool>("success");
    QTest::addColumn<KRpcResponse>("reply");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("control");

    QTest::newRow("auto, upload forced") << true << KRpcResponse{{"roamingmode", "auto"}, {"roamingstrategy", "force_upload"}}
                                          << "true" << "force_upload";
    QTest::newRow("manual, upload forbidden") << true << KRpcResponse{{"roamingmode", "manual"}, {"roamingstrategy", "forbid_upload"}}
                                               << "false" << "forbid_upload";
    QTest::newRow("other strategy") << true << KRpcResponse{{"roamingmode", "auto"}, {"roamingstrategy", "ask_first"}}
                                    << "true" << "no_control";
    QTest::newRow("no strategy") << true << KRpcResponse{{"roamingmode", "auto"}} << "true" << "no_control";
    QTest::newRow("mode is case-sensitive") << true << KRpcResponse{{"roamingmode", "Auto"}} << "false" << "no_control";
    QTest::newRow("failed, empty") << false << KRpcResponse() << "false" << "no_control";
    QTest::newRow("failed, with values") << false << KRpcResponse{{"roamingmode", "auto"}, {"roamingstrategy", "forbid_upload"}}
                                         << "true" << "forbid_upload";
}

void tst_RoamingApi::roamingEvent()
{
    QFETCH(bool, success);
    QFETCH(KRpcResponse, reply);
    QFETCH(QString, mode);
    QFETCH(QString, control);
    useScriptedService(reply, success);
    QSignalSpy events(m_registry.get(), &KEssJsApi::eventBroadcast);

    QVERIFY(noKeys(callPage(m_handler, QStringLiteral("getRoamingMode"))));
    QVERIFY(events.isEmpty());
    QTRY_COMPARE(events.size(), 1);
    QCOMPARE(events.first().at(0).toString(), QStringLiteral("event.arkivo.autoRoamingModeChanged"));
    QCOMPARE(QJsonDocument::fromJson(events.first().at(1).toString().toUtf8()).object(),
             QJsonObject({{QStringLiteral("mode"), mode}, {QStringLiteral("fileUploadControl"), control},
                          {QStringLiteral("callstatus"), QStringLiteral("ok")}}));
}

void tst_RoamingApi::changeArguments_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<int>("storageCode");
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("reported");

    const QString absent = QStringLiteral("<absent>");
    QTest::newRow("absent, cloud account, to automatic") << absent << 0 << true
                                                        << QStringList{"auto", "Cloud", "false", "backup_center"} << true;
    QTest::newRow("absent, cloud account, to manual") << absent << 0 << false
                                                     << QStringList{"manual", "Cloud", "false", "backup_center"} << true;
    QTest::newRow("absent, local-only account, to automatic") << absent << 1 << true
                                                             << QStringList{"auto", "localOnly", "true", "backup_center"} << false;
    QTest::newRow("absent, local-only account, to manual") << absent << 1 << false
                                                          << QStringList{"manual", "localOnly", "true", "backup_center"} << true;
    QTest::newRow("false, local-only account, to automatic") << "false" << 1 << true << QStringList{"auto"} << true;
    QTest::newRow("false, cloud account, to manual") << "false" << 0 << false << QStringList{"manual"} << true;
    QTest::newRow("FALSE is not false") << "FALSE" << 1 << true
                                        << QStringList{"auto", "localOnly", "true", "backup_center"} << false;
    QTest::newRow("true") << "true" << 2 << true << QStringList{"auto", "Cloud", "false", "backup_center"} << true;
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
    QFETCH(bool, automatic);
    QFETCH(QStringList, arguments);
    QFETCH(bool, reported);
    if (setting != QLatin1String("<absent>")) {
        QSettings client(m_home->filePath(QStringLiteral("cloudclient.ini")), QSettings::IniFormat);
        client.setValue(QStringLiteral("usercenter/roamingMode20"), setting);
    }
    m_home->setSuiteValue(QStringLiteral("account/storageCode"), storageCode);
    m_home->setSuiteValue(QStringLiteral("account/userType"), 2);
    useScriptedService();

    QVERIFY(noKeys(callPage(m_handler, QStringLiteral("changeRoamingMode"), {{QStringLiteral("mode"), automatic}})));
    QCOMPARE(m_requests.size(), 1);
    QCOMPARE(m_requests.first().method, QStringLiteral("changeRoamingMode"));
    QCOMPARE(m_requests.first().args, arguments);
    const QList<QJsonObject> events = usageEvents(*m_home);
    QCOMPARE(events.size(), reported ? 1 : 0);
    if (reported) {
        QCOMPARE(events.first().value(QStringLiteral("event")).toString(), QStringLiteral("cloud_roaming_switch"));
        QCOMPARE(events.first().value(QStringLiteral("params")).toObject(), usageParams(QStringLiteral("corp"), automatic));
        QCOMPARE(events.first().value(QStringLiteral("probability")).toInt(), 1);
    }
}

void tst_RoamingApi::usageEventAccountType_data()
{
    QTest::addColumn<int>("userType");
    QTest::addColumn<bool>("accountService");
    QTest::addColumn<QString>("accountType");
    QTest::newRow("personal") << 1 << true << "personal";
    QTest::newRow("corporate") << 2 << true << "corp";
    QTest::newRow("mixed") << 3 << true << "mixed";
    QTest::newRow("unknown type") << 7 << true << "other";
    QTest::newRow("no account service") << 1 << false << "";
}

void tst_RoamingApi::usageEventAccountType()
{
    QFETCH(int, userType);
    QFETCH(bool, accountService);
    QFETCH(QString, accountType);
    m_home->setSuiteValue(QStringLiteral("account/userType"), userType);
    m_home->setSuiteValue(QStringLiteral("services/accountSdk"), accountService);
    useScriptedService();
    callPage(m_handler, QStringLiteral("changeRoamingMode"), {{QStringLiteral("mode"), false}});
    const QList<QJsonObject> events = usageEvents(*m_home);
    QCOMPARE(events.size(), 1);
    QCOMPARE(events.first().value(QStringLiteral("params")).toObject(), usageParams(accountType, false));
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
    m_home->setSuiteValue(QStringLiteral("services/") + service, false);
    QSignalSpy events(m_registry.get(), &KEssJsApi::eventBroadcast);
    callPage(m_handler, QStringLiteral("getRoamingMode"));
    callPage(m_handler, QStringLiteral("changeRoamingMode"), {{QStringLiteral("mode"), true}});
    QTRY_COMPARE(KCoreApplication::instance()->findChild<KCloudSvrProxy *>()->pendingCalls(), 0);
    QCoreApplication::processEvents();

    QCOMPARE(m_requests.size(), changeSent ? 3 : 0);
    QCOMPARE(events.size(), changeSent ? 2 : 0);
    QVERIFY(usageEvents(*m_home).isEmpty());
}

void tst_RoamingApi::changeIsFollowedByAFreshRead()
{
    // The suite home's own cloud service.
    QSignalSpy events(m_registry.get(), &KEssJsApi::eventBroadcast);
    for (bool automatic : {false, true, false}) {
        events.clear();
        callPage(m_handler, QStringLiteral("changeRoamingMode"), {{QStringLiteral("mode"), automatic}});
        QTRY_COMPARE(events.size(), 1);
        QCOMPARE(QJsonDocument::fromJson(events.first().at(1).toString().toUtf8()).object().value(QStringLiteral("mode")).toString(),
                 automatic ? QStringLiteral("true") : QStringLiteral("false"));
        QCOMPARE(m_home->suiteValue(QStringLiteral("cloud/roamingMode")).toString(),
                 automatic ? QStringLiteral("auto") : QStringLiteral("manual"));
    }
}

QTEST_MAIN(tst_RoamingApi)
#include "tst_roamingapi.moc"
