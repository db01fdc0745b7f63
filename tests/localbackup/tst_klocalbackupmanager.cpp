#include "localbackup/klocalbackupmanager.h"

#include <testsuitehome.h>

#include <QDesktopServices>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <stdexcept>

namespace {

const QString kId = QStringLiteral("0123456789abcdef0123456789ABCDEF");
const QDate kDay(2024, 3, 5);

QString copyName(const QString &document, const QString &stamp = QStringLiteral("20240305143007"),
                 const QString &extension = QString())
{
    return QStringLiteral("%1.%2.%3.%4")
            .arg(document, kId, stamp, extension.isEmpty() ? QFileInfo(document).suffix() : extension);
}

// A (sparse) file of `size` bytes, modified `minutes` after a fixed moment.
QString writeCopy(const QString &folder, const QString &name, int minutes = 0, qint64 size = 1)
{
    QDir().mkpath(folder);
    QFile file(folder + '/' + name);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(size)
        || !file.setFileTime(QDateTime(kDay, QTime(12, 0), Qt::UTC).addSecs(minutes * 60),
                             QFileDevice::FileModificationTime))
        qWarning() << "cannot write" << file.fileName();
    return QFileInfo(file).absoluteFilePath();
}

QStringList copyPaths(const BackupGroupInfo *group)
{
    QStringList paths;
    for (const BackupFileInfo &file : group ? group->backupFiles : QVector<BackupFileInfo>())
        paths << file.filePath;
    return paths;
}

// Throws from the `failAt`th removal it is asked for.
class FailingManager : public KLocalBackupManager
{
public:
    int failAt = 0;
    int removals = 0;

protected:
    bool removeBackupCopy(const QString &path) override
    {
        if (++removals == failAt)
            throw std::runtime_error("device gone");
        return KLocalBackupManager::removeBackupCopy(path);
    }
};

} // namespace

// Collects the addresses handed to QDesktopServices (from a pool thread).
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls() const
    {
        QMutexLocker lock(&m_mutex);
        return m_urls;
    }
public slots:
    void open(const QUrl &url)
    {
        QMutexLocker lock(&m_mutex);
        m_urls.append(url);
    }

private:
    mutable QMutex m_mutex;
    QList<QUrl> m_urls;
};

class tst_KLocalBackupManager : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void nameRules_data();
    void nameRules();
    void groupingAndOrder();
    void conflicts_data();
    void conflicts();
    void malformedConflictFileIsRetried();
    void listFormat();
    void openBackupFile_data();
    void openBackupFile();
    void openBackupGroup();
    void openBackupFolder();
    void delBackupFile_data();
    void delBackupFile();
    void delBackupGroup_data();
    void delBackupGroup();

private:
    std::unique_ptr<TestSuiteHome> m_home;
    QString m_backup;
};

void tst_KLocalBackupManager::init()
{
    m_home = std::make_unique<TestSuiteHome>();
    m_home->setSuiteValue("backup/defaultPath", m_home->makeDir("default"));
    m_backup = m_home->makeDir("backup");
}

void tst_KLocalBackupManager::cleanup()
{
    QDesktopServices::unsetUrlHandler("file");
    m_home.reset();
}

void tst_KLocalBackupManager::nameRules_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("group"); // empty: not a backup copy
    QTest::addColumn<int>("type");
    QTest::addColumn<QTime>("time");
    const QTime time(14, 30, 7);
    QTest::newRow("good") << copyName("a.docx") << "a.docx" << 0 << time;
    QTest::newRow("17-digit stamp") << copyName("a.docx", "20240305143007123") << "a.docx" << 0 << time;
    QTest::newRow("15-digit stamp") << copyName("a.docx", "202403051430071") << "" << 0 << QTime();
    QTest::newRow("31-char id") << copyName("a.docx").replace(kId, kId.left(31)) << "" << 0 << QTime();
    QTest::newRow("33-char id") << copyName("a.docx").replace(kId, kId + 'x') << "" << 0 << QTime();
    QTest::newRow("hyphen in id") << copyName("a.docx").replace(kId, kId.left(31) + '-') << "" << 0 << QTime();
    QTest::newRow("non-ASCII letters in id") << copyName("a.docx").replace(kId, QString(32, QChar(0xe9)))
                                             << "a.docx" << 0 << time;
    QTest::newRow("30 February") << copyName("a.docx", "20240230120000") << "" << 0 << QTime();
    QTest::newRow("hour 24") << copyName("a.docx", "20240305246000") << "" << 0 << QTime();
    QTest::newRow("two parts") << kId + ".docx" << "" << 0 << QTime();
    QTest::newRow("three parts") << kId + ".20240305143007.docx" << kId << 4 << time;
    QTest::newRow("dotted name") << copyName("my.plan.v2.PPTX") << "my.plan.v2.PPTX" << 1 << time;
    QTest::newRow("zentri") << copyName("a.zentri") << "a.zentri" << 0 << time;
    QTest::newRow("zsho") << copyName("a.zsho") << "a.zsho" << 1 << time;
    QTest::newRow("csv") << copyName("a.csv") << "a.csv" << 2 << time;
    QTest::newRow("pdf") << copyName("a.pdf") << "a.pdf" << 3 << time;
    QTest::newRow("pdf copy of a name without suffix") << copyName("notes", "20240305143007", "pdf")
                                                       << "notes" << 4 << time;
    QTest::newRow("other suffix") << copyName("a.txt", "20240305143007", "docx") << "a.txt" << 4 << time;
}

void tst_KLocalBackupManager::nameRules()
{
    QFETCH(QString, fileName);
    QFETCH(QString, group);
    QFETCH(int, type);
    QFETCH(QTime, time);
    const QString path = writeCopy(m_backup, fileName, 0, 3000);
    KLocalBackupManager manager;
    manager.reloadBackupFiles({m_backup});
    QCOMPARE(manager.backupGroups().size(), group.isEmpty() ? 0 : 1);
    if (group.isEmpty())
        return;
    const BackupGroupInfo *found = manager.backupGroups().first();
    QCOMPARE(found->groupName, group);
    QCOMPARE(int(found->groupType), type);
    QCOMPARE(found->saveDate, kDay);
    QCOMPARE(found->backupFiles.size(), 1);
    QCOMPARE(found->backupFiles[0].filePath, path);
    QCOMPARE(found->backupFiles[0].saveTime, time);
    QCOMPARE(found->backupFiles[0].fileSize, qint64(3000));
}

void tst_KLocalBackupManager::groupingAndOrder()
{
    const QString second = m_home->makeDir("second");
    const QString a1Old = writeCopy(m_backup, copyName("a.docx", "20240305101010"), 100);
    const QString b = writeCopy(m_backup, copyName("b.xlsx"), 300);
    const QString a1New = writeCopy(m_backup, copyName("a.docx", "20240305111111"), 200);
    const QString a2 = writeCopy(m_backup, copyName("a.docx", "20240306101010"), 150);
    const QString upperA = writeCopy(m_backup, copyName("A.docx"), 50);
    writeCopy(m_backup, copyName("a.docx", "20240305101010", "txt"), 500);
    writeCopy(m_backup, "readme.docx", 500);
    const QString a1Second = writeCopy(second, copyName("a.docx", "20240305121212"), 400);
    writeCopy(second, copyName("c.pdf"), 10);

    KLocalBackupManager manager;
    for (int round = 0; round < 2; ++round) {
        m_home->clearLog();
        manager.reloadBackupFiles({m_backup, m_home->filePath("missing"), second});
        QCOMPARE(m_home->logMessages(), QStringList({"reloadBackupFiles() BackupPath = " + m_backup,
                                                     "reloadBackupFiles() BackupPath = " + second}));
        QStringList order;
        for (const BackupGroupInfo *group : manager.backupGroups())
            order << group->groupName + ' ' + group->saveDate.toString(Qt::ISODate);
        QCOMPARE(order, QStringList({"b.xlsx 2024-03-05", "a.docx 2024-03-05", "a.docx 2024-03-06",
                                     "A.docx 2024-03-05", "c.pdf 2024-03-05"}));
        QCOMPARE(copyPaths(manager.findGroup("a.docx", kDay)), QStringList({a1New, a1Old, a1Second}));
        QCOMPARE(copyPaths(manager.findGroup("a.docx", kDay.addDays(1))), QStringList({a2}));
        QCOMPARE(manager.findGroupByFilePath(a1Second), manager.findGroup("a.docx", kDay));
        QCOMPARE(manager.findGroupByFilePath(upperA), manager.findGroup("A.docx", kDay));
        QCOMPARE(manager.findGroupByFilePath(b), manager.backupGroups().first());
    }
}

void tst_KLocalBackupManager::conflicts_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("conflictFile");
    QTest::addColumn<QString>("spelling"); // of the copy's path in the record
    QTest::addColumn<QString>("conflictTime");
    QTest::addColumn<bool>("isConflict");
    const QString at = "2024-03-05T10:00:01.250Z";
    QTest::newRow("exact") << "a.docx" << "zentri" << "exact" << at << true;
    QTest::newRow("case differs") << "a.docx" << "zentri" << "upper" << at << true;
    QTest::newRow("backslashes") << "a.docx" << "zentri" << "backslash" << at << (QDir::separator() == '\\');
    QTest::newRow("empty conflictTime") << "a.docx" << "zentri" << "exact" << "" << false;
    QTest::newRow("malformed conflictTime") << "a.docx" << "zentri" << "exact" << "yesterday" << false;
    QTest::newRow("spreadsheet file") << "a.xlsx" << "zcel" << "upper" << at << true;
    QTest::newRow("file of another type") << "a.pptx" << "zcel" << "exact" << at << false;
    QTest::newRow("unknown type") << "notes" << QCoreApplication::applicationName() << "exact" << at << true;
}

void tst_KLocalBackupManager::conflicts()
{
    QFETCH(QString, document);
    QFETCH(QString, conflictFile);
    QFETCH(QString, spelling);
    QFETCH(QString, conflictTime);
    QFETCH(bool, isConflict);
    writeCopy(m_backup, copyName(document, "20240305150000", "pdf"), 1);
    const QString path = writeCopy(m_backup, copyName(document, "20240305143007", "pdf"));
    const QString recorded = spelling == "upper" ? path.toUpper()
            : spelling == "backslash" ? QString(path).replace('/', '\\') : path;
    m_home->writeFile(QString("default/%1_sync_conflict.ini").arg(conflictFile),
                      QString("<?xml version=\"1.0\"?>\n<conflicts><group><file fileId=\"7\" localPath=\"C:/a\" "
                              "backup=\"%1\" conflictTime=\"%2\"/></group></conflicts>\n")
                              .arg(recorded.toHtmlEscaped(), conflictTime).toUtf8());

    KLocalBackupManager manager;
    manager.reloadBackupFiles({m_backup});
    const BackupGroupInfo *group = manager.findGroupByFilePath(path);
    QCOMPARE(copyPaths(group).indexOf(path), 1);
    QCOMPARE(group->backupFiles[1].conflictTime,
             isConflict ? QDateTime(kDay, QTime(10, 0, 1, 250), Qt::UTC) : QDateTime());
    QVERIFY(!group->backupFiles[0].conflictTime.isValid());
    QCOMPARE(group->isConflict, isConflict);
}

void tst_KLocalBackupManager::malformedConflictFileIsRetried()
{
    const QString copy = writeCopy(m_backup, copyName("a.docx", "20240305100000"), 1);
    const QString record = "<file backup=\"%1\" conflictTime=\"2024-03-0%2T08:00:00\"/>";
    const QString file = "default/zentri_sync_conflict.ini";
    m_home->writeFile(file, "<c><file backup=");

    KLocalBackupManager manager;
    manager.reloadBackupFiles({m_backup});
    QVERIFY(!manager.findGroupByFilePath(copy)->isConflict);
    // The next miss reads the mended file.
    m_home->writeFile(file, ("<c>" + record.arg(copy).arg(2) + "</c>").toUtf8());
    QCOMPARE(manager.conflictTimeFor(DocTypeDoc, copy.toLower()), QDateTime(QDate(2024, 3, 2), QTime(8, 0)));
    // A file read without error is not read again.
    m_home->writeFile(file, ("<c>" + record.arg("/elsewhere/too").arg(3) + "</c>").toUtf8());
    QVERIFY(!manager.conflictTimeFor(DocTypeDoc, "/elsewhere/too").isValid());
}

// The writer's own tests hold the format; here, that the catalogue hands it
// what it filed, and logs its count.
void tst_KLocalBackupManager::listFormat()
{
    KLocalBackupManager manager;
    manager.reloadBackupFiles({});
    QCOMPARE(QByteArray::fromBase64(manager.getBackupFilesForJsonBase64().toLatin1()),
             QJsonDocument(QJsonObject{{"backupList", QJsonArray()}}).toJson());
    QCOMPARE(m_home->logMessages(), QStringList("getBackupFilesForJsonBase64() BackupFileStorageCount = 0"));

    const QString name = QString::fromUtf8("Bericht \"ü\" 😀.pdf");
    const QString path = writeCopy(m_backup, copyName(name, "20240305090559"), 0, 1572864);
    writeCopy(m_backup, copyName("notes", "20231231235959", "docx"), -100);
    manager.reloadBackupFiles({m_backup});
    m_home->clearLog();
    const QByteArray text = manager.getBackupFilesForJsonBase64Utf8();
    QCOMPARE(QString::fromLatin1(text), manager.getBackupFilesForJsonBase64());
    const QJsonArray groups = QJsonDocument::fromJson(QByteArray::fromBase64(text))["backupList"].toArray();
    const QString count = "getBackupFilesForJsonBase64() BackupFileStorageCount = 2";
    QCOMPARE(m_home->logMessages(), QStringList({count, count}));

    QCOMPARE(groups.size(), 2);
    QCOMPARE(groups[0].toObject(), (QJsonObject{{"groupName", name}, {"groupType", "pdf"}, {"isConflict", false},
                                                 {"saveDate", "2024/03/05"}, {"backupFiles", QJsonArray{QJsonObject{
                                                     {"conflictTime", ""}, {"filePath", path},
                                                     {"fileSize", "1.50 MB"}, {"saveTime", "09:05"}}}}}));
    QCOMPARE(groups[1]["groupType"].toString(), "unknown");
    QCOMPARE(groups[1]["saveDate"].toString(), "2023/12/31");
}

void tst_KLocalBackupManager::openBackupFile_data()
{
    QTest::addColumn<QString>("fileName"); // written into the backup folder
    QTest::addColumn<QString>("path");     // opened, relative to the suite home
    QTest::addColumn<QString>("appSwitch"); // empty: refused
    QTest::addColumn<QString>("log");
    for (const auto &row : {qMakePair(QString("a.docx"), QString("/zentri")), qMakePair(QString("a.pptx"), QString("/zdeck")),
                            qMakePair(QString("a.csv"), QString("/zcel")), qMakePair(QString("a.pdf"), QString("/pdf"))})
        QTest::newRow(qPrintable(row.first)) << copyName(row.first) << "backup/" + copyName(row.first) << row.second << "";
    QTest::newRow("unknown, never listed") << "photo.png" << "backup/photo.png" << "/" << "";
    const QString unsafe = "openBackupFile() `backupFilePath` is not a safe path of local file.";
    // Empty paths, links and worse: tst_badinput.
    QTest::newRow("missing") << "" << "backup/" + copyName("a.docx") << "" << "openBackupFile() BackupFile not exists";
    QTest::newRow("folder") << "" << "backup" << "" << unsafe;
}

void tst_KLocalBackupManager::openBackupFile()
{
    QFETCH(QString, fileName);
    QFETCH(QString, path);
    QFETCH(QString, appSwitch);
    QFETCH(QString, log);
    if (!fileName.isEmpty())
        writeCopy(m_backup, fileName);
    const QString fullPath = m_home->filePath(path);

    KLocalBackupManager manager;
    QCOMPARE(manager.openBackupFile(fullPath), !appSwitch.isEmpty());
    QCOMPARE(m_home->logMessages(), log.isEmpty() ? QStringList() : QStringList(log));
    QTRY_COMPARE(m_home->launches().size(), appSwitch.isEmpty() ? 0 : 1);
    if (appSwitch.isEmpty())
        return;
    QCOMPARE(m_home->launches()[0].program, TestSuiteHome::recorderPath());
    QCOMPARE(m_home->launches()[0].arguments, QStringList({appSwitch, fullPath}));
}

void tst_KLocalBackupManager::openBackupGroup()
{
    QStringList paths;
    for (int i = 0; i < 3; ++i)
        paths << writeCopy(m_backup, copyName("a.docx", QString("2024030510000%1").arg(i)), 10 - i);
    KLocalBackupManager manager;
    manager.reloadBackupFiles({m_backup});
    m_home->clearLog();

    QVERIFY(manager.openBackupGroup("a.docx", kDay));
    QTRY_COMPARE(m_home->launches().size(), 3);
    QStringList opened;
    for (const TestSuiteHome::Launch &launch : m_home->launches())
        opened << launch.arguments.last();
    opened.sort();
    QCOMPARE(opened, paths);
    // The answer is that of the last copy.
    QVERIFY(QFile::remove(paths[0]));
    QVERIFY(manager.openBackupGroup("a.docx", kDay));
    QVERIFY(QFile::remove(paths[2]));
    QVERIFY(!manager.openBackupGroup("a.docx", kDay));
    QVERIFY(!manager.openBackupGroup("A.docx", kDay));
    QTRY_COMPARE(m_home->launches().size(), 6);
    const QString missing = "openBackupGroup() BackupFile not exist";
    QCOMPARE(m_home->logMessages(),
             QStringList({missing, missing, missing, "openBackupGroup() BackupGroup not exists"}));
}

void tst_KLocalBackupManager::openBackupFolder()
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("file", &catcher, "open");
    const QString second = m_home->makeDir("second");
    const QString gone = writeCopy(m_backup, copyName("a.docx", "20240305100000"), 5);
    writeCopy(second, copyName("a.docx", "20240305110000"), 1);
    KLocalBackupManager manager;
    manager.reloadBackupFiles({m_backup, second});
    QVERIFY(QFile::remove(gone));
    m_home->clearLog();

    QVERIFY(manager.openBackupFolder("a.docx", kDay));
    QTRY_COMPARE(catcher.urls(), QList<QUrl>({QUrl::fromLocalFile(second)}));
    // Folders gone altogether: tst_diskfaults.
    QVERIFY(!manager.openBackupFolder("a.docx", kDay.addDays(1)));
    QCOMPARE(m_home->logMessages(), QStringList("openBackupFolder() BackupGroup not exists"));
    QCOMPARE(catcher.urls().size(), 1);
}

void tst_KLocalBackupManager::delBackupFile_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("log");
    QTest::newRow("listed") << "listed" << true << "";
    QTest::newRow("already gone") << "gone" << true << "";
    // Paths the catalogue does not list: tst_badinput.
    QTest::newRow("exception") << "throw" << false << "delBackupFile() Catch an exception";
}

void tst_KLocalBackupManager::delBackupFile()
{
    QFETCH(QString, situation);
    QFETCH(bool, result);
    QFETCH(QString, log);
    const QString kept = writeCopy(m_backup, copyName("a.docx", "20240305100000"), 1);
    const QString target = writeCopy(m_backup, copyName("a.docx", "20240305110000"), 2);
    const QString lone = writeCopy(m_backup, copyName("b.docx"), 3);
    FailingManager manager;
    manager.failAt = situation == "throw" ? 1 : 0;
    manager.reloadBackupFiles({m_backup});
    m_home->clearLog();
    if (situation == "gone")
        QVERIFY(QFile::remove(target));

    QCOMPARE(manager.delBackupFile(target), result);
    QCOMPARE(m_home->logMessages(), log.isEmpty() ? QStringList() : QStringList(log));
    QCOMPARE(QFile::exists(target), !result);
    QVERIFY(QFile::exists(kept));
    QCOMPARE(copyPaths(manager.findGroup("a.docx", kDay)), result ? QStringList(kept) : QStringList({target, kept}));
    QCOMPARE(manager.findGroupByFilePath(target) == nullptr, result);

    // The last copy takes its group along.
    QVERIFY(QFile::remove(lone));
    QVERIFY(manager.delBackupFile(lone));
    QVERIFY(!manager.openBackupGroup("b.docx", kDay));
    QCOMPARE(manager.backupGroups().size(), 1);
}

void tst_KLocalBackupManager::delBackupGroup_data()
{
    QTest::addColumn<QString>("second"); // what happens to the second of three copies
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("leftOnDisk");
    QTest::addColumn<QString>("log");
    QTest::newRow("already gone") << "gone" << true << "000" << "";
    // A copy that cannot be removed: tst_diskfaults.
    QTest::newRow("exception, third removed") << "throw" << false << "010" << "delBackupGroup() Catch an exception";
}

void tst_KLocalBackupManager::delBackupGroup()
{
    QFETCH(QString, second);
    QFETCH(bool, result);
    QFETCH(QString, leftOnDisk);
    QFETCH(QString, log);
    QStringList paths;
    for (int i = 0; i < 3; ++i)
        paths << writeCopy(m_backup, copyName("a.docx", QString("2024030510000%1").arg(i)), 10 - i);
    writeCopy(m_backup, copyName("b.docx"));
    FailingManager manager;
    manager.failAt = second == "throw" ? 2 : 0;
    manager.reloadBackupFiles({m_backup});
    QCOMPARE(copyPaths(manager.findGroup("a.docx", kDay)), paths);
    if (second == "gone")
        QVERIFY(QFile::remove(paths[1]));
    m_home->clearLog();

    QCOMPARE(manager.delBackupGroup("a.docx", kDay), result);
    QString onDisk;
    for (const QString &path : paths)
        onDisk += QFile::exists(path) ? '1' : '0';
    QCOMPARE(onDisk, leftOnDisk);
    QCOMPARE(copyPaths(manager.findGroup("a.docx", kDay)), result ? QStringList() : paths);
    QCOMPARE(manager.findGroupByFilePath(paths[0]) == nullptr, result);
    QCOMPARE(manager.backupGroups().size(), result ? 1 : 2);
    QVERIFY(!manager.delBackupGroup("a.docx", kDay.addDays(1)));
    QCOMPARE(m_home->logMessages(), (log.isEmpty() ? QStringList() : QStringList(log))
                                            << "delBackupGroup() BackupGroup not exist");
}

QTEST_MAIN(tst_KLocalBackupManager)
#include "tst_klocalbackupmanager.moc"
