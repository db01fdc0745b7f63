#include "settings/kbackupoptionmgr.h"
#include "testsuitehome.h"

#include <kbackupcenterhelper.h>
#include <kbackupcentermgr.h>

#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using Args = QList<QVariant>;

class tst_KBackupOptionMgr : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void readsAndWritesHost();
    void retention_data();
    void retention();
    void loadBackupDirs_data();
    void loadBackupDirs();
    void setBackupDir_data();
    void setBackupDir();
    void modeSetters_data();
    void modeSetters();
    void setBackupEnabled_data();
    void setBackupEnabled();
    void hostNotice_data();
    void hostNotice();
    void fpcCfgChange_data();
    void fpcCfgChange();

private:
    // Folder tokens of the tables: A, B, X, Y exist; "missing" does not;
    // a trailing "^" gives the same folder in upper case.
    QString dir(const QString &token) const;
    QStringList dirs(const QStringList &tokens) const;

    std::unique_ptr<TestSuiteHome> m_home;
    std::unique_ptr<KBackupOptionMgr> m_mgr;
};

QString tst_KBackupOptionMgr::dir(const QString &token) const
{
    if (token.endsWith(QLatin1Char('^')))
        return dir(token.chopped(1)).toUpper();
    if (token.isEmpty() || token == QLatin1String("missing"))
        return token.isEmpty() ? token : m_home->filePath(token);
    return m_home->makeDir(QStringLiteral("dirs/") + token);
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
    QVERIFY(m_home->isValid());
}

void tst_KBackupOptionMgr::cleanup()
{
    m_mgr.reset(); // writes to the suite home, so before it goes
    m_home.reset();
}

void tst_KBackupOptionMgr::readsAndWritesHost()
{
    m_home->setSuiteValue("backup/mode", 2);
    m_home->setSuiteValue("backup/interval", 30);
    m_home->setSuiteValue("backup/enabled", true);
    m_mgr = std::make_unique<KBackupOptionMgr>();
    QCOMPARE(m_mgr->backupMode(), 2);
    QVERIFY(m_mgr->isTimedBackup());
    QCOMPARE(m_mgr->backupInterval(), 30);
    QVERIFY(m_mgr->isBackupEnabled());

    // Changed elsewhere in the suite: reloading takes mode and switch, not the interval.
    KBackupCenterHelper::setBackupMode(KBackupCenterHelper::IncrementBackup);
    KBackupCenterHelper::setTimeBackupInterval(5);
    KBackupCenterHelper::setEnableBackup(false);
    m_mgr->reloadFromHost();
    QVERIFY(m_mgr->isIncrementBackup());
    QVERIFY(!m_mgr->isBackupEnabled());
    QCOMPARE(m_mgr->backupInterval(), 30);

    m_mgr.reset();
    QCOMPARE(int(KBackupCenterHelper::getBackupMode()), 3);
    QCOMPARE(KBackupCenterHelper::timeBackupInterval(), 30u);
}

void tst_KBackupOptionMgr::retention_data()
{
    QTest::addColumn<QJsonObject>("items");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("days");
    QTest::addColumn<int>("keep");
    QTest::addColumn<int>("min");
    QTest::addColumn<QVariant>("storedAfter");

    const QVariant none;
    QTest::newRow("fixed") << QJsonObject{{"FixedBackupKeepDays", 30}} << QVariant("200") << 50 << 30 << 7 << QVariant("200");
    QTest::newRow("nothing configured") << QJsonObject() << none << 60 << 90 << 7 << QVariant("60");
    QTest::newRow("suggestion above max") << QJsonObject{{"BackupKeepCacheDays", 150}} << none << 60 << 90 << 7 << QVariant("60");
    QTest::newRow("suggestion below min") << QJsonObject{{"BackupKeepCacheDays", 3}} << none << 60 << 90 << 7 << QVariant("60");
    QTest::newRow("suggestion taken") << QJsonObject{{"BackupKeepCacheDays", 60}} << none << 60 << 60 << 7 << QVariant("60");
    QTest::newRow("suggestion below configured min") << QJsonObject{{"BackupKeepCacheDays", 60}, {"MinKeepCacheDays", 70}} << none << 80 << 90 << 70 << QVariant("80");
    QTest::newRow("clamped to max") << QJsonObject() << none << 500 << 90 << 7 << QVariant("120");
    QTest::newRow("clamped to min") << QJsonObject() << none << 1 << 90 << 7 << QVariant("7");
    QTest::newRow("min above max wins") << QJsonObject{{"MinKeepCacheDays", 150}} << none << 60 << 90 << 150 << QVariant("150");
    QTest::newRow("stored not clamped") << QJsonObject() << QVariant("200") << 60 << 200 << 7 << QVariant("60");
    QTest::newRow("stored not a number") << QJsonObject() << QVariant("abc") << 60 << 0 << 7 << QVariant("60");
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

void tst_KBackupOptionMgr::loadBackupDirs_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QVariant>("history");
    QTest::addColumn<QString>("legacy");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("no history") << "A" << QVariant() << QString() << QStringList{"A"};
    QTest::newRow("existing, non-empty, unlisted")
        << "A" << QVariant(QStringList{"X", "missing", "", "A^", "Y", "X^"}) << QString() << QStringList{"A", "X", "Y"};
    QTest::newRow("legacy split at commas") << "A" << QVariant() << "X,,missing,Y" << QStringList{"A", "X", "Y"};
    QTest::newRow("list wins over legacy") << "A" << QVariant(QStringList{"Y"}) << "X" << QStringList{"A", "Y"};
    QTest::newRow("empty current kept") << "" << QVariant(QStringList{"X"}) << QString() << QStringList{"", "X"};
}

void tst_KBackupOptionMgr::loadBackupDirs()
{
    QFETCH(QString, current);
    QFETCH(QVariant, history);
    QFETCH(QString, legacy);
    QFETCH(QStringList, expected);
    m_home->setSuiteValue("backup/path", dir(current));
    if (history.isValid())
        m_home->setCommonValue("Backup/AutoRecoverFilePathHis", dirs(history.toStringList()));
    if (!legacy.isNull())
        m_home->setCommonValue("Backup/OldAutoRecoverFilePath", dirs(legacy.split(',')).join(','));

    m_mgr = std::make_unique<KBackupOptionMgr>();
    QCOMPARE(m_mgr->backupDirs(), dirs(expected));
    QCOMPARE(m_mgr->currentBackupDrive(), dir(current).left(1));
}

void tst_KBackupOptionMgr::setBackupDir_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QVariant>("history");
    QTest::addColumn<QString>("legacy");
    QTest::addColumn<QString>("newDir");
    QTest::addColumn<QStringList>("historyAfter"); // empty: key left as it was
    QTest::addColumn<QStringList>("dirsAfter");

    QTest::newRow("first change") << "A" << QVariant() << QString() << "B" << QStringList{"A"} << QStringList{"B", "A"};
    QTest::newRow("legacy history") << "A" << QVariant() << "X,,Y" << "B" << QStringList{"X", "Y", "A"} << QStringList{"B", "A", "X", "Y"};
    QTest::newRow("old listed in other case") << "A" << QVariant(QStringList{"A^"}) << QString() << "B" << QStringList{"A^"} << QStringList{"B", "A"};
    QTest::newRow("new folder leaves history") << "A" << QVariant(QStringList{"B", "X"}) << QString() << "B" << QStringList{"X", "A"} << QStringList{"B", "A", "X"};
    QTest::newRow("entry with NUL dropped") << "A" << QVariant(QStringList{QStringLiteral("X\0Z"), "Y"}) << QString() << "B" << QStringList{"Y", "A"} << QStringList{"B", "A", "Y"};
    QTest::newRow("nothing to remember") << "" << QVariant() << QString() << "B" << QStringList() << QStringList{"B", ""};
}

void tst_KBackupOptionMgr::setBackupDir()
{
    QFETCH(QString, current);
    QFETCH(QVariant, history);
    QFETCH(QString, legacy);
    QFETCH(QString, newDir);
    QFETCH(QStringList, historyAfter);
    m_home->setSuiteValue("backup/path", dir(current));
    if (history.isValid())
        m_home->setCommonValue("Backup/AutoRecoverFilePathHis", dirs(history.toStringList()));
    if (!legacy.isNull())
        m_home->setCommonValue("Backup/OldAutoRecoverFilePath", dirs(legacy.split(',')).join(','));
    m_mgr = std::make_unique<KBackupOptionMgr>();
    QSignalSpy spy(m_mgr.get(), &KBackupOptionMgr::backupDirChange);
    QSignalSpy hostSpy(KBackupCenterMgr::instance(), &KBackupCenterMgr::backupDirChange);

    m_mgr->setBackupDir(dir(newDir));
    QCOMPARE(spy, QList<Args>{{dir(newDir)}});
    QCOMPARE(hostSpy, spy);
    QCOMPARE(KBackupCenterHelper::backupPath(), dir(newDir));
    QTEST(m_mgr->backupDirs(), "dirsAfter"); // tokens resolved below
}

void tst_KBackupOptionMgr::modeSetters_data()
{
}

void tst_KBackupOptionMgr::modeSetters()
{
}

void tst_KBackupOptionMgr::setBackupEnabled_data()
{
}

void tst_KBackupOptionMgr::setBackupEnabled()
{
}

void tst_KBackupOptionMgr::hostNotice_data()
{
}

void tst_KBackupOptionMgr::hostNotice()
{
}

void tst_KBackupOptionMgr::fpcCfgChange_data()
{
}

void tst_KBackupOptionMgr::fpcCfgChange()
{
}

QTEST_GUILESS_MAIN(tst_KBackupOptionMgr)
#include "tst_kbackupoptionmgr.moc"
