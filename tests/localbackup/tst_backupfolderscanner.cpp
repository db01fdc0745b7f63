#include "localbackup/backupfolderscanner.h"
#include "localbackup/klocalbackupmanager.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#endif

class tst_BackupFolderScanner : public QObject
{
    Q_OBJECT

private slots:
    void sameAsQDirTimeOrder_data();
    void sameAsQDirTimeOrder();
    void cleanup();

private:
    QByteArray m_savedTz = qgetenv("TZ");
};

namespace {

#ifdef Q_OS_UNIX
void setModified(const QString &path, qint64 msecs, long extraNanoseconds = 0)
{
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = time_t(msecs / 1000);
    times[0].tv_nsec = times[1].tv_nsec = long(msecs % 1000) * 1000000 + extraNanoseconds;
    QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0);
}

void touch(const QString &path, qint64 msecs, long extraNanoseconds = 0)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(int(path.size()), 'x'));
    file.close();
    setModified(path, msecs, extraNanoseconds);
}
#endif

} // namespace

void tst_BackupFolderScanner::sameAsQDirTimeOrder_data()
{
    QTest::addColumn<QByteArray>("timeZone");
    QTest::addColumn<QDateTime>("earlier");
    QTest::addColumn<QDateTime>("later");

    QTest::newRow("UTC") << QByteArray("UTC0") << QDateTime(QDate(2024, 3, 5), QTime(10, 0), Qt::UTC)
                         << QDateTime(QDate(2024, 3, 5), QTime(11, 0), Qt::UTC);
    // In the fall-back hour QDir orders by wall-clock time, not by the real instant:
    // 00:30 UTC is 02:30 summer time, 01:10 UTC is 02:10 winter time.
    QTest::newRow("fall-back hour") << QByteArray("CET-1CEST,M3.5.0,M10.5.0/3")
                                    << QDateTime(QDate(2024, 10, 27), QTime(0, 30), Qt::UTC)
                                    << QDateTime(QDate(2024, 10, 27), QTime(1, 10), Qt::UTC);
}

void tst_BackupFolderScanner::sameAsQDirTimeOrder()
{
#ifndef Q_OS_UNIX
    QSKIP("Builds links and pipes with POSIX calls");
#else
    QFETCH(QByteArray, timeZone);
    QFETCH(QDateTime, earlier);
    QFETCH(QDateTime, later);
    qputenv("TZ", timeZone);
    ::tzset();

    QTemporaryDir home;
    const QString folder = home.filePath("backup");
    QVERIFY(QDir().mkpath(folder + "/sub.docx"));
    const qint64 base = earlier.toMSecsSinceEpoch();
    for (const char *name : {"b.docx", "B.docx", "a.DOCX", "A.docx", "d.ZENTRI", "c.xl\xc5\xbf",
                             "notes.txt", "noext", "docx", "trailing.docx.", "a.docx.bak"})
        touch(folder + '/' + QString::fromUtf8(name), base);
    touch(folder + "/.hidden.docx", later.toMSecsSinceEpoch() + 5000);
    touch(folder + "/later.pdf", later.toMSecsSinceEpoch());
    // Same millisecond, different nanoseconds: a tie broken by name.
    touch(folder + "/ns-b.xlsx", base - 1000, 900000);
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
    // As given and as an unclean relative path.
    for (const QString &spelling : {folder, QStringLiteral("./backup/sub.docx/..//")}) {
        const QFileInfoList expected = QDir(spelling).entryInfoList(
                filters, QDir::Files | QDir::NoDotAndDotDot, QDir::Time);
        const QVector<BackupFolderEntry> actual = scanner.scan(spelling);
        QStringList expectedNames, actualNames;
        for (const QFileInfo &info : expected)
            expectedNames << QString("%1 %2 %3").arg(info.fileName(), info.absoluteFilePath()).arg(info.size());
        for (const BackupFolderEntry &entry : actual)
            actualNames << QString("%1 %2 %3").arg(entry.fileName, entry.filePath).arg(entry.size);
        QCOMPARE(actualNames, expectedNames);
        QCOMPARE(actual.size(), 12);
    }
    QVERIFY(QDir::setCurrent(savedCurrent));
#endif
}

void tst_BackupFolderScanner::cleanup()
{
    if (m_savedTz.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", m_savedTz);
}

QTEST_GUILESS_MAIN(tst_BackupFolderScanner)
#include "tst_backupfolderscanner.moc"
