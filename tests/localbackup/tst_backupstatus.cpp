// What the status says needs a person's attention, in each situation.
#include "localbackup/backupstatus.h"

#include <QTemporaryDir>
#include <QtTest>

class tst_BackupStatus : public QObject
{
    Q_OBJECT

private slots:
    void alerts_data();
    void alerts();
    void probesTheFolder();
};

void tst_BackupStatus::alerts_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QStringList>("kinds");

    QTest::newRow("healthy") << "" << QStringList();
    QTest::newRow("switched off") << "off" << QStringList{"backupOff"};
    QTest::newRow("mode Close") << "mode0" << QStringList{"backupOff"};
    QTest::newRow("drive unplugged") << "missing" << QStringList{"folderUnreachable"};
    QTest::newRow("read-only") << "readonly" << QStringList{"folderReadOnly"};
    QTest::newRow("under 1 GB free") << "lowgb" << QStringList{"lowDiskSpace"};
    QTest::newRow("under 5% free") << "lowpercent" << QStringList{"lowDiskSpace"};
    QTest::newRow("no copy for 8 days") << "old" << QStringList{"noRecentCopy"};
    QTest::newRow("old copies while off") << "old,off" << QStringList{"backupOff"};
    QTest::newRow("a new user without copies") << "none" << QStringList();
    QTest::newRow("damaged copies") << "damaged" << QStringList{"damagedCopies"};
}

void tst_BackupStatus::alerts()
{
    QFETCH(QString, situation);
    const QStringList facts = situation.split(',');
    const QDateTime now(QDate(2024, 3, 20), QTime(12, 0));
    BackupStatus status;
    status.mode = facts.contains("mode0") ? 0 : 1;
    status.enabled = !facts.contains("off");
    status.folder = "/media/usb/backup";
    status.folderReachable = !facts.contains("missing");
    status.folderWritable = !facts.contains("readonly");
    status.totalBytes = facts.contains("lowpercent") ? 400LL << 30 : 100LL << 30;
    status.freeBytes = facts.contains("lowgb") ? 900LL << 20 : 10LL << 30;
    status.lastCopyTime = facts.contains("none") ? QDateTime() : now.addDays(facts.contains("old") ? -8 : -6);
    status.damagedCopies = facts.contains("damaged") ? 3 : 0;

    QStringList kinds;
    for (const BackupStatus::Alert &alert : status.alerts(now)) {
        kinds.append(alert.kind);
        QVERIFY(!alert.text.isEmpty());
    }
    QTEST(kinds, "kinds");
}

void tst_BackupStatus::probesTheFolder()
{
    QTemporaryDir dir;
    BackupStatus status;
    status.folder = dir.path();
    status.probeFolder();
    QVERIFY(status.folderReachable && status.folderWritable);
    QVERIFY(status.totalBytes >= status.freeBytes && status.freeBytes > 0);
    status.folder = dir.filePath("unplugged");
    status.probeFolder();
    QVERIFY(!status.folderReachable && !status.folderWritable);
    QCOMPARE(status.totalBytes, 0);
}

QTEST_MAIN(tst_BackupStatus)
#include "tst_backupstatus.moc"
