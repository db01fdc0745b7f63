#include "settings/kbackupoptionmgr.h"
#include "testsuitehome.h"

#include <kbackupcenterhelper.h>
#include <kbackupcentermgr.h>

#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using Calls = QList<QList<QVariant>>;

class tst_KBackupOptionMgr : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void readsAndWritesHost();
    void retention_data();
    void retention();
    void backupDirs_data();
    void backupDirs();
    void backupDirBackAndIgnored();
    void modeSetters_data();
    void modeSetters();
    void backupSwitch_data();
    void backupSwitch();
    void fpcCfgChange_data();
    void fpcCfgChange();
    void fpcCfgChangeFromTheSuite();

private:
    // Folder tokens: a single letter is an existing folder, "missing" one that
    // does not exist, a trailing "^" the folder in upper case, a letter
    // followed by "/..." that folder spelled with the rest; else literal.
    QString dir(const QString &token) const;
    QStringList dirs(const QStringList &tokens) const;

    std::unique_ptr<TestSuiteHome> m_home;
    std::unique_ptr<KBackupOptionMgr> m_mgr;
};

QString tst_KBackupOptionMgr::dir(const QString &token) const
{
    if (token == QLatin1String("missing"))
        return m_home->filePath(token);
    if (token.endsWith(QLatin1Char('^')))
        return dir(token.chopped(1)).toUpper();
    if (token.size() > 1 && token.at(1) == QLatin1Char('/'))
        return dir(token.left(1)) + token.mid(1);
    return token.size() == 1 ? m_home->makeDir(QStringLiteral("dirs/") + token) : token;
}

QStringList tst_KBackupOptionMgr::dirs(const QStringList &tokens) const
{
    QStringList result;
    for (const QString &token : tokens)
        result.append(dir(token));
    return result;
}

void tst_KBackupOptionMgr::init()
{
    m_home = std::make_unique<TestSuiteHome>();
}

void tst_KBackupOptionMgr::cleanup()
{
    m_mgr.reset();
    m_home.reset();
}

// Mode, switch and interval come from the suite, at start and on reload;
// leaving writes nothing, so what the suite changed meanwhile stays.
void tst_KBackupOptionMgr::readsAndWritesHost()
{
    m_home->setSuiteValue("backup/mode", 2);
    m_home->setSuiteValue("backup/interval", 30);
    m_home->setSuiteValue("backup/enabled", true);
    m_mgr = std::make_unique<KBackupOptionMgr>();
    QVERIFY(m_mgr->isTimedBackup() && m_mgr->isBackupEnabled());
    QCOMPARE(m_mgr->backupInterval(), 30);
    KBackupCenterHelper::setBackupMode(KBackupCenterHelper::IncrementBackup);
    KBackupCenterHelper::setTimeBackupInterval(5);
    KBackupCenterHelper::setEnableBackup(false);
    m_mgr->reloadFromHost();
    QVERIFY(m_mgr->isIncrementBackup() && !m_mgr->isBackupEnabled());
    QCOMPARE(m_mgr->backupInterval(), 5);

    KBackupCenterHelper::setBackupMode(KBackupCenterHelper::SmartBackup);
    m_home->setCommonValue("Backup/Other", QString::fromUtf8("Jürgen Müller"));
    const auto bytes = [this] {
        QFile suite(m_home->filePath("suite.ini")), common(m_home->filePath("common.ini"));
        return suite.open(QIODevice::ReadOnly) && common.open(QIODevice::ReadOnly) ? suite.readAll() + common.readAll()
                                                                                   : QByteArray();
    };
    const QByteArray before = bytes();
    m_mgr.reset();
    QCOMPARE(bytes(), before);
}

void tst_KBackupOptionMgr::retention_data()
{
    QTest::addColumn<QJsonObject>("items");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("keep");
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("days");
    QTest::addColumn<QVariant>("storedAfter");

    const QVariant none;
    QTest::newRow("fixed") << QJsonObject{{"FixedBackupKeepDays", 30}} << QVariant("200") << 30 << 7 << 50
                           << QVariant("200");
    QTest::newRow("nothing configured") << QJsonObject() << none << 90 << 7 << 60 << QVariant("60");
    QTest::newRow("suggestion above max")
        << QJsonObject{{"BackupKeepCacheDays", 150}} << none << 90 << 7 << 60 << QVariant("60");
    QTest::newRow("suggestion below min")
        << QJsonObject{{"BackupKeepCacheDays", 3}} << none << 90 << 7 << 60 << QVariant("60");
    QTest::newRow("suggestion taken") << QJsonObject{{"BackupKeepCacheDays", 60}} << none << 60 << 7 << 60
                                      << QVariant("60");
    QTest::newRow("suggestion below configured min")
        << QJsonObject{{"BackupKeepCacheDays", 60}, {"MinKeepCacheDays", 70}} << none << 90 << 70 << 80
        << QVariant("80");
    QTest::newRow("clamped to max") << QJsonObject() << none << 90 << 7 << 500 << QVariant("120");
    QTest::newRow("clamped to min") << QJsonObject() << none << 90 << 7 << 1 << QVariant("7");
    QTest::newRow("min above max wins") << QJsonObject{{"MinKeepCacheDays", 150}} << none << 90 << 150 << 60
                                        << QVariant("150");
    QTest::newRow("stored not clamped") << QJsonObject() << QVariant("200") << 200 << 7 << 60 << QVariant("60");
    QTest::newRow("stored not a number") << QJsonObject() << QVariant("abc") << 0 << 7 << 60 << QVariant("60");
}

void tst_KBackupOptionMgr::retention()
{
    QFETCH(QJsonObject, items);
    QFETCH(QVariant, stored);
    QFETCH(int, days);
    m_home->setCloudConfig(QJsonObject{{"items", items}});
    if (stored.isValid())
        m_home->setCommonValue("backup/BackupKeepCacheDays", stored);

    QTEST(KBackupOptionMgr::keepCacheDays(), "keep");
    QTEST(KBackupOptionMgr::minKeepCacheDays(), "min");
    QCOMPARE(KBackupOptionMgr::isKeepCacheDaysEditable(), !items.contains("FixedBackupKeepDays"));
    KBackupOptionMgr::setKeepCacheDays(days);
    QTEST(m_home->commonValue("backup/BackupKeepCacheDays"), "storedAfter");
    QVERIFY(!m_home->hasCommonValue("Backup/BackupKeepCacheDays"));
}

// Loads the folder list, then moves from the current folder to folder B.
void tst_KBackupOptionMgr::backupDirs_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QVariant>("history");
    QTest::addColumn<QString>("legacy");
    QTest::addColumn<QStringList>("loaded");
    QTest::addColumn<QStringList>("historyAfter");
    QTest::addColumn<QStringList>("dirsAfter");

    using L = QStringList;
    const QString noLegacy;
    QTest::newRow("no history") << "A" << QVariant() << noLegacy << L{"A"} << L{"A"} << L{"B", "A"};
    // Letter case makes another folder here (only Windows ignores it).
    QTest::newRow("existing, non-empty, unlisted")
        << "A" << QVariant(L{"X", "missing", "", "A^", "Y", "X^"}) << noLegacy << L{"A", "X", "Y"}
        << L{"X", "missing", "A^", "Y", "X^", "A"} << L{"B", "A", "X", "Y"};
    QTest::newRow("one folder spelled three ways")
        << "A" << QVariant(L{"X/", "X/.", "A/", "X/../X"}) << noLegacy << L{"A", "X/"} << L{"X/", "X/.", "A/", "X/../X"}
        << L{"B", "A", "X/"};
    QTest::newRow("legacy split at commas") << "A" << QVariant() << "X,,missing,Y" << L{"A", "X", "Y"}
                                            << L{"X", "missing", "Y", "A"} << L{"B", "A", "X", "Y"};
    QTest::newRow("list wins over legacy")
        << "A" << QVariant(L{"Y"}) << "X" << L{"A", "Y"} << L{"Y", "A"} << L{"B", "A", "Y"};
    QTest::newRow("new folder leaves history")
        << "A" << QVariant(L{"B", "X"}) << noLegacy << L{"A", "B", "X"} << L{"X", "A"} << L{"B", "A", "X"};
    QTest::newRow("entry with NUL dropped") << "A" << QVariant(L{QStringLiteral("bad\0name"), "Y"}) << noLegacy
                                            << L{"A", "Y"} << L{"Y", "A"} << L{"B", "A", "Y"};
}

void tst_KBackupOptionMgr::backupDirs()
{
    QFETCH(QString, current);
    QFETCH(QVariant, history);
    QFETCH(QString, legacy);
    QFETCH(QStringList, loaded);
    QFETCH(QStringList, historyAfter);
    QFETCH(QStringList, dirsAfter);
    m_home->setSuiteValue("backup/path", dir(current));
    if (history.isValid())
        m_home->setCommonValue("Backup/AutoRecoverFilePathHis", dirs(history.toStringList()));
    if (!legacy.isNull())
        m_home->setCommonValue("Backup/OldAutoRecoverFilePath", dirs(legacy.split(',')).join(','));

    m_mgr = std::make_unique<KBackupOptionMgr>();
    QCOMPARE(m_mgr->backupDirs(), dirs(loaded));
    QCOMPARE(m_mgr->currentBackupDrive(), dir(current).left(1));

    QSignalSpy spy(m_mgr.get(), &KBackupOptionMgr::backupDirChange);
    QSignalSpy hostSpy(KBackupCenterMgr::instance(), &KBackupCenterMgr::backupDirChange);
    m_mgr->setBackupDir(dir("B"));
    QCOMPARE(spy, Calls{{dir("B")}});
    QCOMPARE(hostSpy, spy);
    QCOMPARE(KBackupCenterHelper::backupPath(), dir("B"));
    QCOMPARE(m_mgr->backupDirs(), dirs(dirsAfter));
    QCOMPARE(m_home->commonValue("Backup/AutoRecoverFilePathHis").toStringList(), dirs(historyAfter));
    QCOMPARE(m_home->commonValue("Backup/MoveBackupFlag"), QVariant("-1"));
}

void tst_KBackupOptionMgr::backupDirBackAndIgnored()
{
    m_home->setSuiteValue("backup/path", dir("A"));
    m_mgr = std::make_unique<KBackupOptionMgr>();
    m_mgr->setBackupDir(dir("B"));
    m_mgr->setBackupDir(dir("A"));
    QCOMPARE(m_home->commonValue("Backup/AutoRecoverFilePathHis").toStringList(), dirs({"B"}));
    QCOMPARE(m_mgr->backupDirs(), dirs({"A", "B"}));

    QSignalSpy spy(m_mgr.get(), &KBackupOptionMgr::backupDirChange);
    m_mgr->setBackupDir(QString());
    m_mgr->setBackupDir(dir("A/."));
    QCOMPARE(spy.count(), 0);
    QCOMPARE(KBackupCenterHelper::backupPath(), dir("A"));
    QCOMPARE(m_mgr->backupDirs(), dirs({"A", "B"}));
}

void tst_KBackupOptionMgr::modeSetters_data()
{
    QTest::addColumn<int>("startMode");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("argument");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("announced");
    QTest::addColumn<int>("startInterval");
    QTest::addColumn<int>("intervalElsewhere"); // set by the suite after the manager was made; -1 none
    QTest::addColumn<uint>("interval");

    QTest::newRow("smart") << 3 << true << "smart" << 0 << 1 << 0 << 10 << -1 << 10u;
    QTest::newRow("timed") << 1 << true << "timed" << 45 << 2 << 45 << 10 << -1 << 45u;
    QTest::newRow("increment on") << 1 << true << "increment" << 1 << 3 << 0 << 10 << -1 << 10u;
    QTest::newRow("increment off, switch on") << 3 << true << "increment" << 0 << 1 << 0 << 10 << -1 << 10u;
    QTest::newRow("increment off, switch off") << 3 << false << "increment" << 0 << 0 << 0 << 10 << -1 << 10u;
    QTest::newRow("smart keeps the suite's new interval") << 3 << true << "smart" << 0 << 1 << 0 << 10 << 25 << 25u;
    QTest::newRow("a stored 0 becomes one minute") << 3 << true << "smart" << 0 << 1 << 0 << 0 << -1 << 1u;
}

void tst_KBackupOptionMgr::modeSetters()
{
    QFETCH(int, startMode);
    QFETCH(bool, enabled);
    QFETCH(QString, action);
    QFETCH(int, argument);
    QFETCH(int, mode);
    QFETCH(int, announced);
    QFETCH(int, startInterval);
    QFETCH(int, intervalElsewhere);
    m_home->setSuiteValue("backup/mode", startMode);
    m_home->setSuiteValue("backup/interval", startInterval);
    m_home->setSuiteValue("backup/enabled", enabled);
    m_mgr = std::make_unique<KBackupOptionMgr>();
    if (intervalElsewhere >= 0)
        m_home->setSuiteValue("backup/interval", intervalElsewhere);
    QList<int> suiteModeSeenByListener;
    connect(m_mgr.get(), &KBackupOptionMgr::backupModeChange, this,
            [&] { suiteModeSeenByListener.append(KBackupCenterHelper::getBackupMode()); });
    QSignalSpy hostSpy(KBackupCenterMgr::instance(), &KBackupCenterMgr::backupModeChange);

    if (action == "smart")
        m_mgr->setSmartBackup();
    else if (action == "timed")
        m_mgr->setTimedBackup(argument);
    else
        m_mgr->setIncrementBackup(argument);

    QCOMPARE(suiteModeSeenByListener, QList<int>{startMode});
    QCOMPARE(hostSpy, (Calls{{mode, announced}}));
    QCOMPARE(m_mgr->backupMode(), mode);
    QCOMPARE(int(KBackupCenterHelper::getBackupMode()), mode);
    QTEST(KBackupCenterHelper::timeBackupInterval(), "interval");
    QCOMPARE(m_home->commonValue("Backup/EnableForceIncBackup"), mode == 3 ? QVariant() : QVariant(0));
}

void tst_KBackupOptionMgr::backupSwitch_data()
{
    QTest::addColumn<bool>("start");
    QTest::addColumn<bool>("notice"); // else the setter with the map's switch value
    QTest::addColumn<QVariantMap>("settings");
    QTest::addColumn<Calls>("emitted");

    // The suite flips the switch after the manager read it: the setter goes by the suite's value.
    QTest::newRow("turned on elsewhere, set on") << false << false << QVariantMap{{"BackupSwitch", true}} << Calls();
    QTest::newRow("turned on elsewhere, set off")
        << false << false << QVariantMap{{"BackupSwitch", false}} << Calls{{false}};
    QTest::newRow("turned off elsewhere, set off") << true << false << QVariantMap{{"BackupSwitch", false}} << Calls();
    QTest::newRow("turned off elsewhere, set on")
        << true << false << QVariantMap{{"BackupSwitch", true}} << Calls{{true}};
    QTest::newRow("notice on") << false << true << QVariantMap{{"BackupSwitch", true}} << Calls{{true}};
    QTest::newRow("notice off") << true << true << QVariantMap{{"from", "writer"}, {"BackupSwitch", false}}
                                << Calls{{false}};
    QTest::newRow("notice without switch")
        << true << true
        << QVariantMap{{"from", "writer"}, {"BackupMode", 2}, {"BackupInterval", 5}, {"BackupDir", "/x"}} << Calls();
}

void tst_KBackupOptionMgr::backupSwitch()
{
    QFETCH(bool, start);
    QFETCH(bool, notice);
    QFETCH(QVariantMap, settings);
    m_home->setSuiteValue("backup/mode", 1);
    m_home->setSuiteValue("backup/enabled", start);
    m_mgr = std::make_unique<KBackupOptionMgr>();
    KBackupCenterHelper::setEnableBackup(!start);
    QSignalSpy hostSpy(KBackupCenterMgr::instance(), &KBackupCenterMgr::backupSwitchStateChanged);
    QSignalSpy noticeSpy(m_mgr.get(), &KBackupOptionMgr::notifyBackupSwitchStateChanged);

    if (notice)
        emit KBackupCenterMgr::instance()->notifyChangeBackupSettings(settings);
    else
        m_mgr->setBackupEnabled(settings.value("BackupSwitch").toBool());
    QTEST(static_cast<Calls>(notice ? noticeSpy : hostSpy), "emitted");
    QCOMPARE(m_mgr->isBackupEnabled(), settings.value("BackupSwitch", start).toBool());
    QCOMPARE(KBackupCenterHelper::enableBackup(), notice ? !start : settings.value("BackupSwitch").toBool());
    QCOMPARE(m_mgr->backupMode(), 1);
}

void tst_KBackupOptionMgr::fpcCfgChange_data()
{
    QTest::addColumn<bool>("service");
    QTest::addColumn<qlonglong>("id");
    QTest::addColumn<QJsonValue>("item");
    QTest::addColumn<int>("startMode");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("mode");

    QTest::newRow("available while incremental") << true << 61870LL << QJsonValue(1) << 3 << QVariant(1) << 1;
    QTest::newRow("available while timed") << true << 61870LL << QJsonValue(1) << 2 << QVariant(1) << 2;
    QTest::newRow("not available") << true << 61870LL << QJsonValue(0) << 3 << QVariant(0) << 3;
    QTest::newRow("whole within tolerance") << true << 61870LL << QJsonValue(2.9999999999999) << 3 << QVariant(3) << 1;
    QTest::newRow("not whole") << true << 61870LL << QJsonValue(1.5) << 3 << QVariant(0) << 3;
    QTest::newRow("text") << true << 61870LL << QJsonValue("1") << 3 << QVariant(0) << 3;
    QTest::newRow("no item") << true << 61870LL << QJsonValue(QJsonValue::Undefined) << 3 << QVariant(0) << 3;
    QTest::newRow("no service") << false << 61870LL << QJsonValue(1) << 3 << QVariant(0) << 3;
    QTest::newRow("other id") << true << 61871LL << QJsonValue(1) << 3 << QVariant() << 3;
}

void tst_KBackupOptionMgr::fpcCfgChange()
{
    QFETCH(bool, service);
    QFETCH(qlonglong, id);
    QFETCH(QJsonValue, item);
    QFETCH(int, startMode);
    QFETCH(int, mode);
    QJsonObject record;
    if (!item.isUndefined())
        record.insert("incBackupAvailable", item);
    m_home->setCloudConfig(QJsonObject{{"fpc", QJsonObject{{"139/61870", record}}}});
    m_home->setSuiteValue("services/fpc", service);
    m_home->setSuiteValue("backup/mode", startMode);
    m_mgr = std::make_unique<KBackupOptionMgr>();
    QSignalSpy hostSpy(KBackupCenterMgr::instance(), &KBackupCenterMgr::backupModeChange);

    QVERIFY(QMetaObject::invokeMethod(m_mgr.get(), "onFpcCfgChange", Q_ARG(qlonglong, 7), Q_ARG(qlonglong, id)));
    QTEST(m_home->commonValue("Backup/IncBackupAvailable"), "stored");
    QCOMPARE(m_mgr->backupMode(), mode);
    QCOMPARE(int(KBackupCenterHelper::getBackupMode()), mode);
    QCOMPARE(hostSpy, (mode != startMode ? Calls{{1, 0}} : Calls()));
}

// The suite announces a changed cloud configuration when its file changes.
void tst_KBackupOptionMgr::fpcCfgChangeFromTheSuite()
{
    m_home->setSuiteValue("backup/mode", 3);
    m_mgr = std::make_unique<KBackupOptionMgr>();
    m_home->setCloudConfig(QJsonObject{{"fpc", QJsonObject{{"139/61870", QJsonObject{{"incBackupAvailable", 1}}}}}});
    QTRY_COMPARE(m_mgr->backupMode(), 1);
    QCOMPARE(m_home->commonValue("Backup/IncBackupAvailable"), QVariant(1));
}

QTEST_GUILESS_MAIN(tst_KBackupOptionMgr)
#include "tst_kbackupoptionmgr.moc"
