// Our stand-in for the suite's host services, as request → reply rows read
// from a temporary suite home.
#include "pageapifixture.h"

#include <dirs.h>
#include <kaccountsdkproxy.h>
#include <kbackupcenterhelper.h>
#include <kcloudsvrproxy.h>
#include <kcmc.h>
#include <kcommonsettings.h>
#include <kcoreapplication.h>
#include <kdcinfoc.h>
#include <kdomainmgr.h>
#include <kfpccomb.h>
#include <kxloggerlite.h>
#include <zentriappcontainer.h>

#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

#include <sys/stat.h>

#include <functional>
#include <thread>
#include <vector>

using Request = std::function<QVariant(TestSuiteHome &)>;
Q_DECLARE_METATYPE(Request)

namespace {
using H = KBackupCenterHelper;

QVariant services()
{
    KCoreApplication app;
    return QVariantList{KCoreApplication::cloudSvrProxy() != nullptr, KCoreApplication::getAccountSDK() != nullptr,
                        KCoreApplication::getDcInfo() != nullptr, KCoreApplication::getDomainMgr() != nullptr,
                        KFpccomb::getInstance() != nullptr};
}

QVariant configItem(const char *item)
{
    bool null = false;
    const int value = kcmc::intValue(QLatin1String(item), QStringLiteral("value"), &null);
    return QVariantList{value, null};
}

QVariant fpcItem(const char *name)
{
    const KFpcData data = KFpccomb::getInstance()->getData(139, 61870);
    if (!data)
        return false;
    const KFpcItem item = data->first().items.value(QLatin1String(name));
    return item.type == int(KFpcItem::Number) ? QVariant(item.number) : QVariant(item.text);
}

QVariant login(TestSuiteHome &home, bool autoLogin)
{
    home.setSuiteValue(QStringLiteral("account/userType"), 2);
    home.setSuiteValue(QStringLiteral("account/autoLogin"), autoLogin);
    KCoreApplication app;
    KAccountSdkProxy *sdk = KCoreApplication::getAccountSDK();
    QSignalSpy changed(KCoreApplication::cloudSvrProxy(), &KCloudSvrProxy::userInfoChange);
    const QVariantMap params{{QStringLiteral("src"), QStringLiteral("arkivoSearchPanel")}};
    const bool asked = sdk->login(params);
    return QVariantList{asked,
                        changed.count(),
                        sdk->getAccount(QString())->isLogined(),
                        sdk->getAccount(QString())->userType(),
                        sdk->getLastLoginParams() == params,
                        home.suiteValue(QStringLiteral("account/signedIn")).toBool()};
}

QVariant usageLines(TestSuiteHome &home)
{
    ZentriAppContainer container;
    container.reportEvent(QStringLiteral("vas_newbackupcenter_switch"), {{"status", "on"}});
    KCoreApplication app;
    KCoreApplication::getDcInfo()->postGeneralEvent(QStringLiteral("cloud_roaming_switch"),
                                                    {{"scene", "backup_center"}}, 0, 0, 1);
    QStringList lines;
    for (const QJsonObject &line : usageEvents(home))
        lines.append(QString::fromUtf8(QJsonDocument(line).toJson(QJsonDocument::Compact)));
    return lines;
}

QVariant threadedLog(TestSuiteHome &home)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 100; ++i)
                KxLoggerLite::writeInfo(L"arkivo", QStringLiteral("thread %1 line %2").arg(t).arg(i).toStdWString());
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    const QStringList messages = home.logMessages();
    return QVariantList{messages.size(),
                        messages.filter(QRegularExpression(QStringLiteral("^thread \\d line \\d+$"))).size()};
}

QVariant recycleBin(TestSuiteHome &home)
{
    const QByteArray previous = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
    UrlCatcher catcher({QStringLiteral("file")});
    const bool opened = H::openWindowsRecycleBin();
    previous.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", previous);
    return QVariantList{opened, QUrl::toStringList(catcher.urls()),
                        QFileInfo(home.filePath(QStringLiteral("data/Trash/files"))).isDir()};
}
}

class tst_HostServices : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void answers_data();
    void answers();
    void settingsFiles_data();
    void settingsFiles();
};

// Each row: suite.ini values, a request, and its reply ("$HOME" stands for the
// suite home). Every row reads the same cloud configuration.
void tst_HostServices::answers_data()
{
    QTest::addColumn<QVariantMap>("suite");
    QTest::addColumn<Request>("request");
    QTest::addColumn<QVariant>("reply");
    const QVariantMap none;
    const auto row = [](const char *name, const QVariantMap &suite, Request request, const QVariant &reply) {
        QTest::newRow(name) << suite << request << reply;
    };

    row(
        "backup mode out of range", {{"backup/mode", 9}}, [](TestSuiteHome &) { return int(H::getBackupMode()); },
        int(H::SmartBackup));
    const Request paths = [](TestSuiteHome &) { return QStringList{H::defaultBackupPath(), H::backupPath()}; };
    row("backup path, default", none, paths, QStringList{"$HOME/backup", "$HOME/backup"});
    row("backup path, the suite's default", {{"backup/defaultPath", "/srv/copies"}}, paths,
        QStringList{"/srv/copies", "/srv/copies"});
    // Written at once to the suite's file, where the rest of the suite reads it.
    row(
        "backup settings written", none,
        [](TestSuiteHome &h) {
            H::setBackupMode(H::TimedBackup);
            H::setTimeBackupInterval(45);
            return QVariantList{h.suiteValue("backup/mode").toInt(), h.suiteValue("backup/interval").toInt()};
        },
        QVariantList{2, 45});
    row(
        "negative backup interval refused", none,
        [](TestSuiteHome &) {
            H::setTimeBackupInterval(30);
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("refusing backup interval -5")));
            H::setTimeBackupInterval(-5);
            return int(H::timeBackupInterval());
        },
        30);

    const auto item = [](const char *name) -> Request { return [name](TestSuiteHome &) { return configItem(name); }; };
    row("config item", none, item("retention"), QVariantList{30, false});
    row("config item with fields", none, item("fielded"), QVariantList{7, false});
    row("absent config item", none, item("absent"), QVariantList{0, true});
    row("text config item is not configured", none, item("text"), QVariantList{0, true});
    row("fraction is not an integer", none, item("fraction"), QVariantList{0, true});
    row(
        "features", none,
        [](TestSuiteHome &) {
            return QVariantList{kcmc::support("search"), kcmc::support("radar"), kcmc::support("unlisted")};
        },
        QVariantList{true, false, true});
    const auto fpc = [](const char *name) -> Request { return [name](TestSuiteHome &) { return fpcItem(name); }; };
    row("fpc number", none, fpc("incBackupAvailable"), 1.0);
    row("fpc text", none, fpc("label"), "beta");
    row(
        "fpc of another app", none, [](TestSuiteHome &) { return bool(KFpccomb::getInstance()->getData(139, 1)); },
        false);
    row(
        "fpc, malformed file", none,
        [](TestSuiteHome &h) {
            h.writeFile(QStringLiteral("cloudconfig.json"), "{\"fpc\": {\"139/61870\": {");
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("malformed")));
            return fpcItem("label");
        },
        false);

    const Request present = [](TestSuiteHome &) { return services(); };
    row("services", none, present, QVariantList{true, true, true, true, true});
    row("no cloud proxy", {{"services/cloudProxy", false}}, present, QVariantList{false, true, true, true, true});
    row("no account SDK", {{"services/accountSdk", false}}, present, QVariantList{true, false, true, true, true});
    row("no usage reporter", {{"services/usageReporter", false}}, present, QVariantList{true, true, false, true, true});
    row("no domain manager", {{"services/domainMgr", false}}, present, QVariantList{true, true, true, false, true});
    row("no feature configuration", {{"services/fpc", false}}, present, QVariantList{true, true, true, true, false});

    row(
        "frameworks folder", none,
        [](TestSuiteHome &h) {
            bool before = true, after = false;
            const QString app = dirs::frameworks(QStringLiteral("zentridriver_app"), &before);
            h.makeDir(QStringLiteral("frameworks"));
            return QVariantList{app, before, dirs::frameworks(QString(), &after), after};
        },
        QVariantList{"$HOME/frameworks/zentridriver_app", false, "$HOME/frameworks", true});
    row(
        "domains", {{"domains/papyra", "https://papyra.example"}},
        [](TestSuiteHome &) {
            KCoreApplication app;
            KDomainMgr *domains = KCoreApplication::getDomainMgr();
            return QStringList{domains->getDomainUrl("papyra"), domains->getDomainUrl("other")};
        },
        QStringList{"https://papyra.example", QString()});

    // asked, userInfoChange, signed in, user type, parameters kept, signed in in suite.ini
    const auto signIn
        = [](bool autoLogin) -> Request { return [autoLogin](TestSuiteHome &h) { return login(h, autoLogin); }; };
    row("login without auto login", none, signIn(false), QVariantList{true, 0, false, 2, true, false});
    row("auto login signs in", none, signIn(true), QVariantList{true, 1, true, 2, true, true});

    row(
        "log, one line per call", none,
        [](TestSuiteHome &h) {
            KxLoggerLite::writeInfo(L"arkivo", L"getBackupFileList() begin");
            KxLoggerLite::writeInfo(L"arkivo", L"forged\nline\r");
            KxLoggerLite::writeInfo(L"arkivo", L"Umlaut ü 中");
            QFile file(h.filePath(QStringLiteral("logs/arkivo.log")));
            const bool stamped = file.open(QIODevice::ReadOnly)
                                 && QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\."
                                                                      "\\d{3} arkivo getBackupFileList\\(\\) begin\n$"))
                                        .match(QString::fromUtf8(file.readLine()))
                                        .hasMatch();
            return QVariantList{h.logMessages(), stamped};
        },
        QVariantList{QStringList{"getBackupFileList() begin", "forged line ", "Umlaut ü 中"}, true});
    row("log from four threads", none, threadedLog, QVariantList{400, 400});
    row("usage events carry their channel", none, usageLines,
        QStringList{R"({"channel":"container","event":"vas_newbackupcenter_switch","params":{"status":"on"}})",
                    R"({"channel":"dcinfo","event":"cloud_roaming_switch","params":{"scene":"backup_center"},)"
                    R"("probability":1,"reserved1":0,"reserved2":0})"});
    row("recycle bin opens the trash folder", none, recycleBin,
        QVariantList{true, QStringList{"file://$HOME/data/Trash/files"}, true});
}

void tst_HostServices::answers()
{
    QFETCH(QVariantMap, suite);
    QFETCH(Request, request);
    QFETCH(QVariant, reply);
    TestSuiteHome home;
    home.setCloudConfig(QJsonObject{
        {"items",
         QJsonObject{{"retention", 30}, {"fielded", QJsonObject{{"value", 7}}}, {"text", "12"}, {"fraction", 2.5}}},
        {"features", QJsonObject{{"search", true}, {"radar", false}}},
        {"fpc", QJsonObject{{"139/61870", QJsonObject{{"incBackupAvailable", 1}, {"label", "beta"}}}}},
    });
    for (auto it = suite.cbegin(); it != suite.cend(); ++it)
        home.setSuiteValue(it.key(), it.value());
    const QByteArray expected = QJsonDocument::fromVariant(QVariantList{reply})
                                    .toJson(QJsonDocument::Compact)
                                    .replace("$HOME", home.path().toUtf8());
    QCOMPARE(QJsonDocument::fromVariant(QVariantList{request(home)}).toJson(QJsonDocument::Compact), expected);
}

// What stands where suite.ini or common.ini should be: read as UTF-8, written
// only on a change, never hung on or replaced unless it is a regular file.
void tst_HostServices::settingsFiles_data()
{
    QTest::addColumn<QString>("store");
    QTest::addColumn<QString>("place");
    for (const char *store : {"suite.ini", "common.ini"}) {
        for (const char *place : {"file", "link to a file", "fifo", "link to a fifo", "dangling link"})
            QTest::addRow("%s, %s", store, place) << store << place;
    }
}

void tst_HostServices::settingsFiles()
{
    QFETCH(QString, store);
    QFETCH(QString, place);
    TestSuiteHome home;
    const QString storePath = home.filePath(store);
    QFile::remove(storePath);
    const QByteArray text = QStringLiteral("; kept by another program\n[backup]\npath=/home/张伟/backup\n"
                                           "[Backup]\nuser=Jürgen Müller\n")
                                .toUtf8();
    const bool fifo = place.contains(QLatin1String("fifo"));
    const QString target = home.filePath(fifo ? QStringLiteral("pipe") : QStringLiteral("real.ini"));
    if (fifo)
        QCOMPARE(mkfifo(QFile::encodeName(target).constData(), 0600), 0);
    else if (place != QLatin1String("dangling link"))
        home.writeFile(QFileInfo(target).fileName(), text);
    const bool link = place.contains(QLatin1String("link"));
    QVERIFY(link ? QFile::link(target, storePath) : QFile::rename(target, storePath));
    const bool regular = place == QLatin1String("file") || place == QLatin1String("link to a file");
    auto bytes = [&] {
        QFile file(QFileInfo(storePath).isSymLink() ? target : storePath);
        return QFileInfo(file.fileName()).isFile() && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };

    if (!regular)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("is not a regular file; using defaults")));
    if (store == QLatin1String("suite.ini")) {
        const QString stored = QStringLiteral("/home/张伟/backup");
        QCOMPARE(H::backupPath(), regular ? stored : H::defaultBackupPath());
        H::setBackupPath(stored); // unchanged where it was read
        QCOMPARE(bytes(), regular ? text : QByteArray());
        H::setBackupMode(H::TimedBackup);
        QCOMPARE(H::getBackupMode(), regular ? H::TimedBackup : H::SmartBackup);
    } else {
        KCommonSettings settings(QSettings::UserScope);
        QCOMPARE(settings.value(QStringLiteral("Backup/user")).toString(),
                 regular ? QStringLiteral("Jürgen Müller") : QString());
        settings.setValue(QStringLiteral("Backup/MoveBackupFlag"), QString::fromLatin1("-1"));
    }
    QFileInfo after(storePath);
    QCOMPARE(after.isSymLink(), link);
    if (regular) {
        QTRY_VERIFY(bytes().contains("Jürgen Müller") && bytes().contains("/home/张伟/backup"));
    } else {
        QCOMPARE(after.isFile(), false);
        QCOMPARE(QFileInfo(link ? target : storePath).exists(), place != QLatin1String("dangling link"));
    }
}

QTEST_MAIN(tst_HostServices)
#include "tst_hostservices.moc"
