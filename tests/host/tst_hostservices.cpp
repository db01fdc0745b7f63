#include "testsuitehome.h"

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

#include <QDesktopServices>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

#include <sys/stat.h>

#include <functional>
#include <thread>
#include <vector>

namespace {
QList<QJsonObject> usageLines(const TestSuiteHome &home)
{
    QList<QJsonObject> lines;
    QFile file(home.filePath(QStringLiteral("usage.jsonl")));
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.atEnd())
            lines.append(QJsonDocument::fromJson(file.readLine()).object());
    }
    return lines;
}
}

// Catches the addresses the host layer hands to the desktop.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class tst_HostServices : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void backupSettingsDefaults();
    void backupSettingsRoundTrip();
    void backupSettingsRefuseBadValues();
    void settingsFiles_data();
    void settingsFiles();
    void cloudConfigItems_data();
    void cloudConfigItems();
    void fpcData();
    void servicesSwitchedOff_data();
    void servicesSwitchedOff();
    void suiteFolders();
    void autoLoginSignsIn();
    void loggerWritesOneLinePerCall();
    void loggerIsThreadSafe();
    void usageEventsCarryTheirChannel();
    void recycleBinOpensTrashFolder();
};

void tst_HostServices::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_HostServices::backupSettingsDefaults()
{
    TestSuiteHome home;
    const QString defaultPath = home.filePath(QStringLiteral("backup"));
    QCOMPARE(KBackupCenterHelper::getBackupMode(), KBackupCenterHelper::SmartBackup);
    QCOMPARE(KBackupCenterHelper::timeBackupInterval(), 10u);
    QVERIFY(KBackupCenterHelper::enableBackup());
    QCOMPARE(KBackupCenterHelper::defaultBackupPath(), defaultPath);
    QCOMPARE(KBackupCenterHelper::backupPath(), defaultPath);

    home.setSuiteValue(QStringLiteral("backup/defaultPath"), QStringLiteral("/srv/copies"));
    QCOMPARE(KBackupCenterHelper::defaultBackupPath(), QStringLiteral("/srv/copies"));
    QCOMPARE(KBackupCenterHelper::backupPath(), QStringLiteral("/srv/copies"));
}

void tst_HostServices::backupSettingsRoundTrip()
{
    TestSuiteHome home;
    KBackupCenterHelper::setBackupMode(KBackupCenterHelper::TimedBackup);
    KBackupCenterHelper::setTimeBackupInterval(45);
    KBackupCenterHelper::setEnableBackup(false);
    KBackupCenterHelper::setBackupPath(QStringLiteral("/data/Sicherung ü"));

    QCOMPARE(KBackupCenterHelper::getBackupMode(), KBackupCenterHelper::TimedBackup);
    QCOMPARE(KBackupCenterHelper::timeBackupInterval(), 45u);
    QVERIFY(!KBackupCenterHelper::enableBackup());
    QCOMPARE(KBackupCenterHelper::backupPath(), QStringLiteral("/data/Sicherung ü"));
    // Written at once to the suite's file, where the rest of the suite reads it.
    QCOMPARE(home.suiteValue(QStringLiteral("backup/mode")).toInt(), 2);
    QCOMPARE(home.suiteValue(QStringLiteral("backup/interval")).toInt(), 45);
}

void tst_HostServices::backupSettingsRefuseBadValues()
{
    TestSuiteHome home;
    home.setSuiteValue(QStringLiteral("backup/mode"), 9);
    QCOMPARE(KBackupCenterHelper::getBackupMode(), KBackupCenterHelper::SmartBackup);

    KBackupCenterHelper::setTimeBackupInterval(30);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("refusing backup interval -5")));
    KBackupCenterHelper::setTimeBackupInterval(-5);
    QCOMPARE(KBackupCenterHelper::timeBackupInterval(), 30u);
}

// What stands where suite.ini or common.ini should be: read as UTF-8, written
// only on a change, never hung on or replaced unless it is a regular file.
void tst_HostServices::settingsFiles_data()
{
    QTest::addColumn<QString>("store");
    QTest::addColumn<QString>("place");
    const QStringList places{QStringLiteral("file"), QStringLiteral("link to a file"), QStringLiteral("fifo"),
                             QStringLiteral("link to a fifo"), QStringLiteral("dangling link")};
    for (const QString &store : {QStringLiteral("suite.ini"), QStringLiteral("common.ini")}) {
        for (const QString &place : places)
            QTest::addRow("%s, %s", qPrintable(store), qPrintable(place)) << store << place;
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
                                           "[Backup]\nuser=Jürgen Müller\n").toUtf8();
    const QString target = home.filePath(place.contains(QLatin1String("fifo")) ? QStringLiteral("pipe")
                                                                               : QStringLiteral("real.ini"));
    if (place.contains(QLatin1String("fifo")))
        QCOMPARE(mkfifo(QFile::encodeName(target).constData(), 0600), 0);
    else if (place != QLatin1String("dangling link"))
        home.writeFile(QFileInfo(target).fileName(), text);
    const bool link = place.contains(QLatin1String("link"));
    if (link)
        QVERIFY(QFile::link(target, storePath));
    else
        QVERIFY(QFile::rename(target, storePath));
    const bool regular = place == QLatin1String("file") || place == QLatin1String("link to a file");
    auto bytes = [&] {
        QFile file(QFileInfo(storePath).isSymLink() ? target : storePath);
        return QFileInfo(file.fileName()).isFile() && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };

    if (!regular)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("is not a regular file; using defaults")));
    if (store == QLatin1String("suite.ini")) {
        const QString stored = QStringLiteral("/home/张伟/backup");
        QCOMPARE(KBackupCenterHelper::backupPath(), regular ? stored : KBackupCenterHelper::defaultBackupPath());
        KBackupCenterHelper::setBackupPath(stored); // unchanged where it was read
        QCOMPARE(bytes(), regular ? text : QByteArray());
        KBackupCenterHelper::setBackupMode(KBackupCenterHelper::TimedBackup);
        QCOMPARE(KBackupCenterHelper::getBackupMode(),
                 regular ? KBackupCenterHelper::TimedBackup : KBackupCenterHelper::SmartBackup);
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

void tst_HostServices::cloudConfigItems_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("isNull");
    QTest::addColumn<QString>("feature");
    QTest::addColumn<bool>("supported");

    QTest::newRow("present item, feature on") << "retention" << 30 << false << "search" << true;
    QTest::newRow("item with fields, feature off") << "fielded" << 7 << false << "radar" << false;
    QTest::newRow("absent item, unlisted feature") << "absent" << 0 << true << "unlisted" << true;
    QTest::newRow("text item is not configured") << "text" << 0 << true << "search" << true;
    QTest::newRow("fraction is not an integer") << "fraction" << 0 << true << "search" << true;
}

void tst_HostServices::cloudConfigItems()
{
    QFETCH(QString, item);
    QFETCH(int, value);
    QFETCH(bool, isNull);
    QFETCH(QString, feature);
    QFETCH(bool, supported);

    TestSuiteHome home;
    home.setCloudConfig(QJsonObject{
        {"items", QJsonObject{{"retention", 30}, {"fielded", QJsonObject{{"value", 7}}}, {"text", "12"},
                                {"fraction", 2.5}}},
        {"features", QJsonObject{{"search", true}, {"radar", false}}},
    });
    bool null = !isNull;
    QCOMPARE(kcmc::intValue(item, QStringLiteral("value"), &null), value);
    QCOMPARE(null, isNull);
    QCOMPARE(kcmc::support(feature), supported);
}

void tst_HostServices::fpcData()
{
    TestSuiteHome home;
    home.setCloudConfig(QJsonObject{{"fpc", QJsonObject{
        {"139/61870", QJsonObject{{"incBackupAvailable", 1}, {"label", "beta"}}}}}});
    KFpccomb *comb = KFpccomb::getInstance();
    QVERIFY(comb);
    const KFpcData data = comb->getData(139, 61870);
    QVERIFY(data);
    QCOMPARE(data->size(), 1);
    const KFpcItem available = data->first().items.value(QStringLiteral("incBackupAvailable"));
    QCOMPARE(available.type, int(KFpcItem::Number));
    QCOMPARE(available.number, 1.0);
    QCOMPARE(data->first().items.value(QStringLiteral("label")).text, QStringLiteral("beta"));
    QVERIFY(!comb->getData(139, 1));

    home.writeFile(QStringLiteral("cloudconfig.json"), "{\"fpc\": {\"139/61870\": {");
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("malformed")));
    QVERIFY(!comb->getData(139, 61870));
}

void tst_HostServices::servicesSwitchedOff_data()
{
    QTest::addColumn<QString>("service");
    QTest::addColumn<int>("missing");   // index into the accessors below

    QTest::newRow("cloud proxy") << "cloudProxy" << 0;
    QTest::newRow("account SDK") << "accountSdk" << 1;
    QTest::newRow("usage reporter") << "usageReporter" << 2;
    QTest::newRow("domain manager") << "domainMgr" << 3;
    QTest::newRow("feature configuration") << "fpc" << 4;
}

void tst_HostServices::servicesSwitchedOff()
{
    QFETCH(QString, service);
    QFETCH(int, missing);

    TestSuiteHome home;
    const std::vector<std::function<bool()>> present{
        [] { return KCoreApplication::cloudSvrProxy() != nullptr; },
        [] { return KCoreApplication::getAccountSDK() != nullptr; },
        [] { return KCoreApplication::getDcInfo() != nullptr; },
        [] { return KCoreApplication::getDomainMgr() != nullptr; },
        [] { return KFpccomb::getInstance() != nullptr; },
    };
    QVERIFY(!KCoreApplication::instance());
    QVERIFY(!present[0]());

    home.setSuiteValue(QStringLiteral("services/") + service, false);
    KCoreApplication app;
    QCOMPARE(KCoreApplication::instance(), &app);
    for (int i = 0; i < int(present.size()); ++i)
        QCOMPARE(present[i](), i != missing);
}

void tst_HostServices::suiteFolders()
{
    TestSuiteHome home;
    bool exists = true;
    QCOMPARE(dirs::frameworks(QStringLiteral("zentridriver_app"), &exists),
             home.filePath(QStringLiteral("frameworks/zentridriver_app")));
    QVERIFY(!exists);
    home.makeDir(QStringLiteral("frameworks"));
    QCOMPARE(dirs::frameworks(QString(), &exists), home.filePath(QStringLiteral("frameworks")));
    QVERIFY(exists);
    QCOMPARE(dirs::launchExePath(), TestSuiteHome::recorderPath());
    QVERIFY(dirs::officeInstallRoot().isEmpty());

    home.setSuiteValue(QStringLiteral("domains/papyra"), QStringLiteral("https://papyra.example"));
    KCoreApplication app;
    QCOMPARE(KCoreApplication::getDomainMgr()->getDomainUrl(QStringLiteral("papyra")),
             QStringLiteral("https://papyra.example"));
    QVERIFY(KCoreApplication::getDomainMgr()->getDomainUrl(QStringLiteral("other")).isEmpty());
}

void tst_HostServices::autoLoginSignsIn()
{
    TestSuiteHome home;
    home.setSuiteValue(QStringLiteral("account/userType"), 2);
    KCoreApplication app;
    KAccountSdkProxy *sdk = KCoreApplication::getAccountSDK();
    QVERIFY(!sdk->getAccount(QString())->isLogined());
    QCOMPARE(sdk->getAccount(QString())->userType(), 2);

    QSignalSpy changed(KCoreApplication::cloudSvrProxy(), &KCloudSvrProxy::userInfoChange);
    const QVariantMap params{{QStringLiteral("src"), QStringLiteral("arkivoSearchPanel")}};
    QVERIFY(sdk->login(params));
    QCOMPARE(changed.count(), 0);   // without auto login nothing happens
    QCOMPARE(sdk->getLastLoginParams(), params);

    home.setSuiteValue(QStringLiteral("account/autoLogin"), true);
    QVERIFY(sdk->login(params));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().first().toInt(), 0);
    QVERIFY(sdk->getAccount(QString())->isLogined());
    QVERIFY(home.suiteValue(QStringLiteral("account/signedIn")).toBool());
}

void tst_HostServices::loggerWritesOneLinePerCall()
{
    TestSuiteHome home;
    KxLoggerLite::writeInfo(L"arkivo", L"getBackupFileList() begin");
    KxLoggerLite::writeInfo(L"arkivo", L"forged\nline\r");
    KxLoggerLite::writeInfo(L"arkivo", L"Umlaut ü 中");
    QCOMPARE(home.logMessages(),
             (QStringList{"getBackupFileList() begin", "forged line ", QStringLiteral("Umlaut ü 中")}));

    QFile file(home.filePath(QStringLiteral("logs/arkivo.log")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QRegularExpression format(QStringLiteral(
        "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3} arkivo getBackupFileList\\(\\) begin\n$"));
    QVERIFY(format.match(QString::fromUtf8(file.readLine())).hasMatch());
}

void tst_HostServices::loggerIsThreadSafe()
{
    TestSuiteHome home;
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
    QCOMPARE(messages.size(), 400);
    QCOMPARE(messages.filter(QRegularExpression(QStringLiteral("^thread \\d line \\d+$"))).size(), 400);
}

void tst_HostServices::usageEventsCarryTheirChannel()
{
    TestSuiteHome home;
    ZentriAppContainer container;
    container.reportEvent(QStringLiteral("vas_newbackupcenter_switch"), {{"status", "on"}});
    KCoreApplication app;
    KCoreApplication::getDcInfo()->postGeneralEvent(QStringLiteral("cloud_roaming_switch"),
                                                    {{"scene", "backup_center"}}, 0, 0, 1);

    const QList<QJsonObject> lines = usageLines(home);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], (QJsonObject{{"event", "vas_newbackupcenter_switch"},
                                    {"params", QJsonObject{{"status", "on"}}},
                                    {"channel", "container"}}));
    QCOMPARE(lines[1], (QJsonObject{{"event", "cloud_roaming_switch"},
                                    {"params", QJsonObject{{"scene", "backup_center"}}},
                                    {"channel", "dcinfo"},
                                    {"reserved1", 0}, {"reserved2", 0}, {"probability", 1}}));
}

void tst_HostServices::recycleBinOpensTrashFolder()
{
#ifdef Q_OS_WIN
    QSKIP("the Windows recycle bin is a shell folder");
#endif
    TestSuiteHome home;
    const QByteArray previous = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");

    const bool opened = KBackupCenterHelper::openWindowsRecycleBin();

    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    if (previous.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", previous);
    QVERIFY(opened);
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl::fromLocalFile(home.filePath(QStringLiteral("data/Trash/files")))});
    QVERIFY(QFileInfo(home.filePath(QStringLiteral("data/Trash/files"))).isDir());
}

QTEST_MAIN(tst_HostServices)
#include "tst_hostservices.moc"
