#include "localbackup/klocalbackupmanager.h"

#include <pageapifixture.h>

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

class tst_KLocalBackupManager : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestSuiteHome> m_home;
    QString m_backup;

    // A copy of `document` saved on kDay (plus `days`) at `time`;
    // `extension` replaces the document's own at the end of the name.
    QString copy(const QString &document, const QTime &time, const QString &extension = {},
                 const QString &folder = QStringLiteral("backup"), int days = 0) const
    {
        QString path = m_home->writeBackupCopy(folder, document, QDateTime(kDay.addDays(days), time, Qt::UTC));
        if (!extension.isEmpty()) {
            const QString renamed = path.left(path.lastIndexOf('.') + 1) + extension;
            QFile::rename(path, renamed);
            path = renamed;
        }
        return path;
    }
    QStringList threeCopies() const
    {
        return {copy("a.docx", QTime(10, 0, 2)), copy("a.docx", QTime(10, 0, 1)), copy("a.docx", QTime(10, 0))};
    }

private slots:
    void init()
    {
        m_home = std::make_unique<TestSuiteHome>();
        m_home->setSuiteValue("backup/defaultPath", m_home->makeDir("default"));
        m_backup = m_home->makeDir("backup");
    }
    void cleanup() { m_home.reset(); }

    void nameRules_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("group"); // empty: not a backup copy
        QTest::addColumn<int>("type");
        const QString a = copyName("a.docx");
        QTest::newRow("good") << a << "a.docx" << 0;
        QTest::newRow("17-digit stamp") << copyName("a.docx", "20240305143007123") << "a.docx" << 0;
        QTest::newRow("15-digit stamp") << copyName("a.docx", "202403051430071") << "" << 0;
        QTest::newRow("31-char id") << QString(a).replace(kId, kId.left(31)) << "" << 0;
        QTest::newRow("33-char id") << QString(a).replace(kId, kId + 'x') << "" << 0;
        QTest::newRow("hyphen in id") << QString(a).replace(kId, kId.left(31) + '-') << "" << 0;
        QTest::newRow("non-ASCII letters in id") << QString(a).replace(kId, QString(32, QChar(0xe9))) << "a.docx" << 0;
        QTest::newRow("30 February") << copyName("a.docx", "20240230120000") << "" << 0;
        QTest::newRow("hour 24") << copyName("a.docx", "20240305246000") << "" << 0;
        QTest::newRow("two parts") << kId + ".docx"
                                   << "" << 0;
        QTest::newRow("three parts") << kId + ".20240305143007.docx" << kId << 4;
        QTest::newRow("dotted name, upper case") << copyName("my.plan.v2.PPTX") << "my.plan.v2.PPTX" << 1;
        QTest::newRow("csv") << copyName("a.csv") << "a.csv" << 2;
        QTest::newRow("pdf copy of a name without suffix")
            << copyName("notes", "20240305143007", "pdf") << "notes" << 4;
        QTest::newRow("other suffix") << copyName("a.txt", "20240305143007", "docx") << "a.txt" << 4;
    }
    void nameRules()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, group);
        const QString path = m_home->writeFile("backup/" + fileName, QByteArray(3000, 'x'));
        KLocalBackupManager manager;
        manager.reloadBackupFiles({m_backup});
        QCOMPARE(manager.backupGroups().size(), group.isEmpty() ? 0 : 1);
        if (group.isEmpty())
            return;
        const BackupGroupInfo *found = manager.backupGroups().first();
        QCOMPARE(found->groupName, group);
        QTEST(int(found->groupType), "type");
        QCOMPARE(found->saveDate, kDay);
        QCOMPARE(copyPaths(found), QStringList(path));
        QCOMPARE(found->backupFiles[0].saveTime, QTime(14, 30, 7));
        QCOMPARE(found->backupFiles[0].fileSize, qint64(3000));
    }

    // Folders in the order given, each newest first; a group is a name,
    // letter case included, on a day; a second reload lists the same.
    void groupingAndOrder()
    {
        const QString second = m_home->makeDir("second");
        const QString a2 = copy("a.docx", QTime(10, 10), {}, "backup", 1);
        const QString b = copy("b.xlsx", QTime(14, 30));
        const QString a1New = copy("a.docx", QTime(11, 11));
        const QString a1Old = copy("a.docx", QTime(10, 10));
        const QString upperA = copy("A.docx", QTime(9, 0));
        copy("a.docx", QTime(13, 0), "txt");
        m_home->writeFile("backup/readme.docx");
        const QString a1Second = copy("a.docx", QTime(12, 12), {}, "second");
        copy("c.pdf", QTime(8, 0), {}, "second");

        KLocalBackupManager manager;
        for (int round = 0; round < 2; ++round) {
            m_home->clearLog();
            manager.reloadBackupFiles({m_backup, m_home->filePath("missing"), second});
            QCOMPARE(m_home->logMessages(), QStringList({"reloadBackupFiles() BackupPath = " + m_backup,
                                                         "reloadBackupFiles() BackupPath = " + second}));
            QStringList order;
            for (const BackupGroupInfo *group : manager.backupGroups())
                order << group->groupName + ' ' + group->saveDate.toString(Qt::ISODate);
            QCOMPARE(order, QStringList({"a.docx 2024-03-06", "b.xlsx 2024-03-05", "a.docx 2024-03-05",
                                         "A.docx 2024-03-05", "c.pdf 2024-03-05"}));
            QCOMPARE(copyPaths(manager.findGroup("a.docx", kDay)), QStringList({a1New, a1Old, a1Second}));
            QCOMPARE(copyPaths(manager.findGroup("a.docx", kDay.addDays(1))), QStringList({a2}));
            QCOMPARE(manager.findGroupByFilePath(a1Second), manager.findGroup("a.docx", kDay));
            QCOMPARE(manager.findGroupByFilePath(upperA), manager.findGroup("A.docx", kDay));
            QCOMPARE(manager.findGroupByFilePath(b), manager.backupGroups()[1]);
        }
        // The list itself: tst_backuplistwriter.
        m_home->clearLog();
        QVERIFY(!manager.getBackupFilesForJsonBase64().isEmpty());
        QCOMPARE(m_home->logMessages(), QStringList("getBackupFilesForJsonBase64() BackupFileStorageCount = 5"));
    }

    void conflicts_data()
    {
        QTest::addColumn<QString>("document");
        QTest::addColumn<QString>("conflictFile");
        QTest::addColumn<QString>("spelling"); // of the copy's path in the record
        QTest::addColumn<QString>("conflictTime");
        QTest::addColumn<bool>("isConflict");
        const auto row = [](const char *tag, const char *document, const QString &conflictFile, const char *spelling,
                            const char *conflictTime, bool isConflict) {
            QTest::newRow(tag) << QString(document) << conflictFile << QString(spelling) << QString(conflictTime)
                               << isConflict;
        };
        const char *at = "2024-03-05T10:00:01.250Z";
        row("exact", "a.docx", "zentri", "exact", at, true);
        row("case differs", "a.docx", "zentri", "upper", at, true);
        row("backslashes", "a.docx", "zentri", "backslash", at, QDir::separator() == '\\');
        row("empty conflictTime", "a.docx", "zentri", "exact", "", false);
        row("malformed conflictTime", "a.docx", "zentri", "exact", "yesterday", false);
        row("spreadsheet file", "a.xlsx", "zcel", "upper", at, true);
        row("file of another type", "a.pptx", "zcel", "exact", at, false);
        row("unknown type", "notes", QCoreApplication::applicationName(), "exact", at, true);
    }
    void conflicts()
    {
        QFETCH(QString, document);
        QFETCH(QString, conflictFile);
        QFETCH(QString, spelling);
        QFETCH(QString, conflictTime);
        QFETCH(bool, isConflict);
        copy(document, QTime(15, 0), "pdf");
        const QString path = copy(document, QTime(14, 30, 7), "pdf");
        const QString recorded = spelling == "upper"       ? path.toUpper()
                                 : spelling == "backslash" ? QString(path).replace('/', '\\')
                                                           : path;
        m_home->writeFile(QString("default/%1_sync_conflict.ini").arg(conflictFile),
                          QString("<?xml version=\"1.0\"?>\n<conflicts><group><file fileId=\"7\" localPath=\"C:/a\" "
                                  "backup=\"%1\" conflictTime=\"%2\"/></group></conflicts>\n")
                              .arg(recorded.toHtmlEscaped(), conflictTime)
                              .toUtf8());

        KLocalBackupManager manager;
        manager.reloadBackupFiles({m_backup});
        const BackupGroupInfo *group = manager.findGroupByFilePath(path);
        QCOMPARE(copyPaths(group).indexOf(path), 1);
        QCOMPARE(group->backupFiles[1].conflictTime,
                 isConflict ? QDateTime(kDay, QTime(10, 0, 1, 250), Qt::UTC) : QDateTime());
        QVERIFY(!group->backupFiles[0].conflictTime.isValid());
        QCOMPARE(group->isConflict, isConflict);
    }

    void malformedConflictFileIsRetried()
    {
        const QString path = copy("a.docx", QTime(10, 0));
        const QString record = "<file backup=\"%1\" conflictTime=\"2024-03-0%2T08:00:00\"/>";
        const QString file = "default/zentri_sync_conflict.ini";
        m_home->writeFile(file, "<c><file backup=");
        KLocalBackupManager manager;
        manager.reloadBackupFiles({m_backup});
        QVERIFY(!manager.findGroupByFilePath(path)->isConflict);
        // The next miss reads the mended file.
        m_home->writeFile(file, ("<c>" + record.arg(path).arg(2) + "</c>").toUtf8());
        QCOMPARE(manager.conflictTimeFor(DocTypeDoc, path.toLower()), QDateTime(QDate(2024, 3, 2), QTime(8, 0)));
        // A file read without error is not read again.
        m_home->writeFile(file, ("<c>" + record.arg("/elsewhere/too").arg(3) + "</c>").toUtf8());
        QVERIFY(!manager.conflictTimeFor(DocTypeDoc, "/elsewhere/too").isValid());
    }

    void openBackupFile_data()
    {
        QTest::addColumn<QString>("written");   // into the backup folder
        QTest::addColumn<QString>("opened");    // relative to the suite home
        QTest::addColumn<QString>("appSwitch"); // empty: refused
        QTest::addColumn<QString>("log");
        for (const char *row : {"a.docx /zentri", "a.pptx /zdeck", "a.csv /zcel", "a.pdf /pdf", "photo.png /"}) {
            const QStringList parts = QString(row).split(' ');
            QTest::newRow(row) << parts[0] << "backup/" + parts[0] << parts[1] << "";
        }
        // Empty paths, links and worse: tst_badinput.
        QTest::newRow("missing") << QString() << "backup/a.docx" << QString()
                                 << QStringLiteral("openBackupFile() BackupFile not exists");
        QTest::newRow("folder") << QString() << "backup" << QString()
                                << QStringLiteral(
                                       "openBackupFile() `backupFilePath` is not a safe path of local file.");
    }
    void openBackupFile()
    {
        QFETCH(QString, written);
        QFETCH(QString, opened);
        QFETCH(QString, appSwitch);
        QFETCH(QString, log);
        if (!written.isEmpty())
            m_home->writeFile("backup/" + written);
        const QString path = m_home->filePath(opened);
        KLocalBackupManager manager;
        QCOMPARE(manager.openBackupFile(path), !appSwitch.isEmpty());
        QCOMPARE(m_home->logMessages(), log.isEmpty() ? QStringList() : QStringList(log));
        QTRY_COMPARE(m_home->launches().size(), appSwitch.isEmpty() ? 0 : 1);
        if (!appSwitch.isEmpty()) {
            QCOMPARE(m_home->launches()[0].program, TestSuiteHome::recorderPath());
            QCOMPARE(m_home->launches()[0].arguments, QStringList({appSwitch, path}));
        }
    }

    void openBackupGroup()
    {
        const QStringList paths = threeCopies();
        KLocalBackupManager manager;
        manager.reloadBackupFiles({m_backup});
        m_home->clearLog();
        QVERIFY(manager.openBackupGroup("a.docx", kDay));
        QTRY_COMPARE(m_home->launches().size(), 3);
        for (const TestSuiteHome::Launch &launch : m_home->launches())
            QVERIFY(paths.contains(launch.arguments.last()));
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

    // The folder of the first copy still there; folders gone altogether: tst_diskfaults.
    void openBackupFolder()
    {
        UrlCatcher catcher({"file"});
        const QString second = m_home->makeDir("second");
        const QString gone = copy("a.docx", QTime(10, 5));
        copy("a.docx", QTime(10, 1), {}, "second");
        KLocalBackupManager manager;
        manager.reloadBackupFiles({m_backup, second});
        QVERIFY(QFile::remove(gone));
        m_home->clearLog();
        QVERIFY(manager.openBackupFolder("a.docx", kDay));
        QTRY_COMPARE(catcher.urls(), QList<QUrl>({QUrl::fromLocalFile(second)}));
        QVERIFY(!manager.openBackupFolder("a.docx", kDay.addDays(1)));
        QCOMPARE(m_home->logMessages(), QStringList("openBackupFolder() BackupGroup not exists"));
        QCOMPARE(catcher.urls().size(), 1);
    }

    // The middle copy of three, or the group; the middle removal may find its
    // copy gone or throw. Paths the catalogue does not list: tst_badinput;
    // copies that cannot be removed: tst_diskfaults.
    void deletes_data()
    {
        QTest::addColumn<bool>("group");
        QTest::addColumn<QString>("middle");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("leftOnDisk");
        QTest::addColumn<QString>("log");
        const auto row = [](const char *tag, bool group, const char *middle, bool result, const char *leftOnDisk,
                            const char *log = "") {
            QTest::newRow(tag) << group << QString(middle) << result << QString(leftOnDisk) << QString(log);
        };
        row("copy", false, "", true, "101");
        row("copy already gone", false, "gone", true, "101");
        row("copy, exception", false, "throw", false, "111", "delBackupFile() Catch an exception");
        row("group, one already gone", true, "gone", true, "000");
        row("group, exception, third removed", true, "throw", false, "010", "delBackupGroup() Catch an exception");
    }
    void deletes()
    {
        QFETCH(bool, group);
        QFETCH(QString, middle);
        QFETCH(bool, result);
        QFETCH(QString, log);
        const QStringList paths = threeCopies();
        const QString lone = copy("b.docx", QTime(9, 0));
        FailingManager manager;
        manager.failAt = middle == "throw" ? (group ? 2 : 1) : 0;
        manager.reloadBackupFiles({m_backup});
        QCOMPARE(copyPaths(manager.findGroup("a.docx", kDay)), paths);
        if (middle == "gone")
            QVERIFY(QFile::remove(paths[1]));
        m_home->clearLog();

        QCOMPARE(group ? manager.delBackupGroup("a.docx", kDay) : manager.delBackupFile(paths[1]), result);
        QString onDisk;
        for (const QString &path : paths)
            onDisk += QFile::exists(path) ? '1' : '0';
        QTEST(onDisk, "leftOnDisk");
        const QStringList listed = !result ? paths : group ? QStringList() : QStringList({paths[0], paths[2]});
        QCOMPARE(copyPaths(manager.findGroup("a.docx", kDay)), listed);
        QCOMPARE(manager.findGroupByFilePath(paths[1]) == nullptr, result);
        QVERIFY(!manager.delBackupGroup("a.docx", kDay.addDays(1)));
        QCOMPARE(m_home->logMessages(), (log.isEmpty() ? QStringList() : QStringList(log))
                                            << "delBackupGroup() BackupGroup not exist");
        // The last copy takes its group along.
        QVERIFY(QFile::remove(lone));
        QVERIFY(manager.delBackupFile(lone));
        QVERIFY(!manager.findGroup("b.docx", kDay));
        QCOMPARE(manager.backupGroups().size(), group && result ? 0 : 1);
    }
};

QTEST_MAIN(tst_KLocalBackupManager)
#include "tst_klocalbackupmanager.moc"
