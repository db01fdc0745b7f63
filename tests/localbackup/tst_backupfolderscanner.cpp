#include "localbackup/backupfolderscanner.h"
#include "localbackup/klocalbackupmanager.h"

#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>

class tst_BackupFolderScanner : public QObject
{
    Q_OBJECT

private slots:
    void sameAsQDirTimeOrder_data();
    void sameAsQDirTimeOrder();
    void cleanup() { qunsetenv("TZ"); }
};

namespace {
void touch(const QString &path, qint64 msecs, long extraNanoseconds = 0)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(path.toUtf8()) > 0);
    file.close();
    const timespec time{time_t(msecs / 1000), long(msecs % 1000) * 1000000 + extraNanoseconds};
    const timespec times[2] = {time, time};
    QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0);
}
} // namespace

void tst_BackupFolderScanner::sameAsQDirTimeOrder_data()
{
    QTest::addColumn<QByteArray>("timeZone");
    QTest::addColumn<QDateTime>("earlier");
    QTest::addColumn<QDateTime>("later");
    QTest::newRow("UTC") << QByteArray("UTC0") << QDateTime(QDate(2024, 3, 5), QTime(10, 0), Qt::UTC)
                         << QDateTime(QDate(2024, 3, 5), QTime(11, 0), Qt::UTC);
    // QDir compares local wall-clock times: 00:30 UTC is 02:30 summer time and
    // sorts after 01:10 UTC, which is 02:10 winter time.
    QTest::newRow("fall-back hour") << QByteArray("CET-1CEST,M3.5.0,M10.5.0/3")
                                    << QDateTime(QDate(2024, 10, 27), QTime(0, 30), Qt::UTC)
                                    << QDateTime(QDate(2024, 10, 27), QTime(1, 10), Qt::UTC);
}

void tst_BackupFolderScanner::sameAsQDirTimeOrder()
{
    QFETCH(QByteArray, timeZone);
    QFETCH(QDateTime, earlier);
    QFETCH(QDateTime, later);
    qputenv("TZ", timeZone);

    QTemporaryDir home;
    const QString folder = home.filePath("backup");
    QVERIFY(QDir().mkpath(folder + "/sub.docx"));
    const qint64 base = earlier.toMSecsSinceEpoch();
    for (const char *name : {"b.docx", "B.docx", "a.DOCX", "A.docx", "d.ZENTRI", "c.xl\xc5\xbf", // long s
                             "notes.txt", "noext", "docx", "trailing.docx.", "a.docx.bak"})
        touch(folder + '/' + QString::fromUtf8(name), base);
    touch(folder + "/.hidden.docx", later.toMSecsSinceEpoch() + 5000);
    touch(folder + "/later.pdf", later.toMSecsSinceEpoch());
    touch(folder + "/ns-b.xlsx", base - 1000, 900000); // same millisecond: name decides
    touch(folder + "/ns-a.xlsx", base - 1000, 100000);
    touch(folder + "/ms.xlsx", base - 999);
    touch(home.filePath("target.bin"), base + 1000);
    QVERIFY(QFile::link(home.filePath("target.bin"), folder + "/link.pdf"));
    QVERIFY(QFile::link(home.filePath("nowhere"), folder + "/broken.pdf"));
    QVERIFY(QFile::link(folder + "/sub.docx", folder + "/dirlink.pdf"));
    QVERIFY(::mkfifo(QFile::encodeName(folder + "/pipe.pdf").constData(), 0600) == 0);
    QVERIFY(QFile::link(folder + "/pipe.pdf", folder + "/pipelink.pdf"));

    const QStringList filters = KLocalBackupManager::backupNameFilter().split(';');
    const BackupFolderScanner scanner(filters);
    const QString savedCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(home.path()));
    for (const QString &spelling : {folder, QStringLiteral("./backup/sub.docx/..//")}) {
        QStringList expected, actual;
        for (const QFileInfo &info :
             QDir(spelling).entryInfoList(filters, QDir::Files | QDir::NoDotAndDotDot, QDir::Time))
            expected << QString("%1 %2 %3").arg(info.fileName(), info.absoluteFilePath()).arg(info.size());
        for (const BackupFolderEntry &entry : scanner.scan(spelling))
            actual << QString("%1 %2 %3").arg(entry.fileName().toString(), entry.filePath).arg(entry.size);
        QCOMPARE(actual, expected);
        QCOMPARE(actual.size(), 12);
    }
    QVERIFY(QDir::setCurrent(savedCurrent));
}

QTEST_GUILESS_MAIN(tst_BackupFolderScanner)
#include "tst_backupfolderscanner.moc"
