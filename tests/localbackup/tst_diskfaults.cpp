// The catalogue when the disk misbehaves: copies that cannot be removed,
// folders that vanish after the listing, sync-conflict files that cannot be
// read, names that cannot be decoded. Every case answers, nothing hangs, and
// no file leaves the disk that the catalogue did not list.
#include "localbackup/klocalbackupmanager.h"

#include <pageapifixture.h>

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QDate kDay(2024, 3, 5);

QStringList copyPaths(const BackupGroupInfo *group)
{
    QStringList paths;
    for (const BackupFileInfo &file : group ? group->backupFiles : QVector<BackupFileInfo>())
        paths << file.filePath;
    return paths;
}

} // namespace

class tst_DiskFaults : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void copyThatCannotBeRemovedStopsAGroupDelete();
    void folderGoneAfterListing_data();
    void folderGoneAfterListing();
    void linkedBackupFolderStillDeletes();
    void unreadableConflictFile_data();
    void unreadableConflictFile();
    void namesThatCannotBeDecodedAreNotOffered();

private:
    // A copy of `document` saved on kDay at 10:00:`second`, so that listings are newest first.
    QString copy(const QString &folder, const QString &document, int second) const
    {
        return m_home->writeBackupCopy(folder, document, QDateTime(kDay, QTime(10, 0, second), Qt::UTC));
    }

    std::unique_ptr<TestSuiteHome> m_home;
    QString m_backup;
    // Nothing reaches the desktop's opener.
    UrlCatcher m_urls{{QStringLiteral("file")}};
};

void tst_DiskFaults::init()
{
    m_home = std::make_unique<TestSuiteHome>();
    m_home->setSuiteValue("backup/defaultPath", m_home->makeDir("default"));
    m_backup = m_home->makeDir("backup");
}

void tst_DiskFaults::cleanup()
{
    m_home.reset();
}

void tst_DiskFaults::copyThatCannotBeRemovedStopsAGroupDelete()
{
    const QStringList paths{copy("backup", "a.docx", 2), copy("backup", "a.docx", 1), copy("backup", "a.docx", 0)};
    KLocalBackupManager manager;
    manager.reloadBackupFiles({m_backup});
    QCOMPARE(copyPaths(manager.findGroup("a.docx", kDay)), paths);

    // The middle copy cannot be removed. Tests run as root on CI, and root
    // removes read-only files; a non-empty folder in its place fails
    // QFile::remove for everyone, on every file system, and leaves nothing
    // behind when the test dies.
    QVERIFY(QFile::remove(paths[1]));
    QVERIFY(QDir().mkpath(paths[1] + "/inside"));

    QVERIFY(!manager.delBackupGroup("a.docx", kDay));
    QVERIFY(!QFile::exists(paths[0]));
    QVERIFY(QFileInfo(paths[1]).isDir());
    QVERIFY(QFile::exists(paths[2]));
    // The group stays whole: the page may try again.
    QCOMPARE(copyPaths(manager.findGroup("a.docx", kDay)), paths);
    QVERIFY(!manager.delBackupFile(paths[1]));
    QVERIFY(QFileInfo(paths[1]).isDir());

    manager.reloadBackupFiles({m_backup});
    QCOMPARE(copyPaths(manager.findGroup("a.docx", kDay)), QStringList(paths[2]));
}

void tst_DiskFaults::folderGoneAfterListing_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("replacement"); // "file", "link" to a folder with the same names, else removed
    QTest::addColumn<bool>("result");
    QTest::addColumn<QStringList>("log");
    const QString missingCopy = "openBackupGroup() BackupFile not exist";
    // A delete never follows a folder swapped for a link: the linked folder's
    // same-named files stay.
    QTest::newRow("delete copy (a link now)") << "delBackupFile"
                                              << "link" << false << QStringList();
    QTest::newRow("delete group (a link now)") << "delBackupGroup"
                                               << "link" << false << QStringList();
    for (const char *replaced : {"removed", "file"}) {
        const QByteArray how = qstrcmp(replaced, "file") == 0 ? " (a file now)" : " (removed)";
        // A copy already gone counts as removed.
        QTest::newRow("delete copy" + how) << "delBackupFile" << replaced << true << QStringList();
        QTest::newRow("delete group" + how) << "delBackupGroup" << replaced << true << QStringList();
        QTest::newRow("open copy" + how) << "openBackupFile" << replaced << false
                                         << QStringList("openBackupFile() BackupFile not exists");
        QTest::newRow("open group" + how)
            << "openBackupGroup" << replaced << false << QStringList({missingCopy, missingCopy});
        QTest::newRow("open folder" + how) << "openBackupFolder" << replaced << false
                                           << QStringList("openBackupFolder() no valid folder path to open");
    }
}

void tst_DiskFaults::folderGoneAfterListing()
{
    QFETCH(QString, operation);
    QFETCH(QString, replacement);
    const QString folder = m_home->makeDir("gone");
    const QString first = copy("gone", "a.docx", 1);
    copy("gone", "a.docx", 0);
    const QStringList kept{copy("backup", "b.docx", 0), copy("other", "a.docx", 1), copy("other", "a.docx", 0)};
    KLocalBackupManager manager;
    manager.reloadBackupFiles({folder, m_backup});
    QVERIFY(QDir(folder).removeRecursively());
    if (replacement == "file")
        m_home->writeFile("gone");
    else if (replacement == "link")
        QVERIFY(QFile::link(m_home->filePath("other"), folder));
    m_home->clearLog();

    bool answer = false;
    if (operation == "delBackupFile")
        answer = manager.delBackupFile(first);
    else if (operation == "delBackupGroup")
        answer = manager.delBackupGroup("a.docx", kDay);
    else if (operation == "openBackupFile")
        answer = manager.openBackupFile(first);
    else if (operation == "openBackupGroup")
        answer = manager.openBackupGroup("a.docx", kDay);
    else
        answer = manager.openBackupFolder("a.docx", kDay);
    QTEST(answer, "result");
    QTEST(m_home->logMessages(), "log");
    QCOMPARE(QFileInfo(folder).isFile(), replacement == "file");
    for (const QString &path : kept)
        QVERIFY(QFile::exists(path));
    QVERIFY(m_home->launches().isEmpty());
}

// A backup folder that was a link when it was listed is followed to where it
// pointed then, even if the link was turned elsewhere since.
void tst_DiskFaults::linkedBackupFolderStillDeletes()
{
    const QString real = m_home->makeDir("real");
    const QString linked = m_home->filePath("linked");
    QVERIFY(QFile::link(real, linked));
    copy("real", "a.docx", 0);
    copy("real", "a.docx", 1);
    const QString elsewhere = copy("other", "a.docx", 1);
    KLocalBackupManager manager;
    manager.reloadBackupFiles({linked});
    const QStringList listed = copyPaths(manager.findGroup("a.docx", kDay));
    QCOMPARE(listed.size(), 2);

    QVERIFY(manager.delBackupFile(listed.at(0)));
    QVERIFY(QFile::remove(linked));
    QVERIFY(QFile::link(m_home->filePath("other"), linked));
    QVERIFY(manager.delBackupGroup("a.docx", kDay));
    QVERIFY(QDir(real).isEmpty());
    QVERIFY(QFile::exists(elsewhere));
}

void tst_DiskFaults::unreadableConflictFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("isConflict");
    QTest::newRow("readable") << "xml" << true;
    QTest::newRow("missing") << "missing" << false;
    QTest::newRow("a folder by that name") << "folder" << false;
    // Opening a pipe for reading waits for a writer: it must not be opened.
    QTest::newRow("a named pipe") << "fifo" << false;
    QTest::newRow("a link to a device that never ends") << "device" << false;
    QTest::newRow("binary") << "binary" << false;
    QTest::newRow("cut short after the record") << "truncated" << true;
}

void tst_DiskFaults::unreadableConflictFile()
{
    QFETCH(QString, kind);
    QFETCH(bool, isConflict);
    const QString path = copy("backup", "a.docx", 0);
    const QString name = "default/zentri_sync_conflict.ini";
    const QString file = m_home->filePath(name);
    const QByteArray record = "<c><file backup=\"" + path.toUtf8() + "\" conflictTime=\"2024-03-05T09:00:00\"/>";
    if (kind == "xml")
        m_home->writeFile(name, record + "</c>");
    else if (kind == "truncated")
        m_home->writeFile(name, record + "<file backup=\"/x");
    else if (kind == "folder")
        QVERIFY(QDir().mkpath(file + "/inside"));
    else if (kind == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    else if (kind == "device")
        QVERIFY(QFile::link("/dev/zero", file));
    else if (kind == "binary")
        m_home->writeFile(name, QByteArray("\x00\xff\xfe<c>\x01", 7));

    KLocalBackupManager manager;
    manager.reloadBackupFiles({m_backup});
    QCOMPARE(manager.backupGroups().size(), 1);
    QCOMPARE(manager.backupGroups()[0]->isConflict, isConflict);
    QCOMPARE(manager.backupGroups()[0]->backupFiles[0].conflictTime,
             isConflict ? QDateTime(kDay, QTime(9, 0)) : QDateTime());
}

void tst_DiskFaults::namesThatCannotBeDecodedAreNotOffered()
{
    const QByteArray folder = QFile::encodeName(m_backup);
    const QByteArray rest = ".docx.0123456789abcdef0123456789ABCDEF.20240305100000.docx";
    // Latin-1 bytes, not UTF-8: decoding turns \xe4 into U+FFFD, which
    // encodes as \xef\xbf\xbd, another name. That other name exists too.
    const QByteArray undecodable = folder + "/M\xe4rz" + rest;
    const QByteArray lookalike = folder + "/M\xef\xbf\xbdrz" + rest;
    const QByteArray utf8 = folder + "/M\xc3\xa4rz" + rest;
    // QTemporaryDir cannot remove it either.
    const auto removeUndecodable = qScopeGuard([&] { ::unlink(undecodable.constData()); });
    for (const QByteArray &path : {undecodable, lookalike, utf8}) {
        // QFile cannot name the first one: written by its bytes.
        FILE *raw = std::fopen(path.constData(), "w");
        QVERIFY(raw && std::fclose(raw) == 0);
    }

    KLocalBackupManager manager;
    manager.reloadBackupFiles({m_backup});
    QStringList offered;
    for (const BackupGroupInfo *group : manager.backupGroups())
        offered << copyPaths(group);
    offered.sort();
    QCOMPARE(offered, QStringList({QFile::decodeName(utf8), QFile::decodeName(lookalike)}));

    // Deleting what is offered under the look-alike name removes that file only.
    QVERIFY(manager.delBackupFile(QFile::decodeName(lookalike)));
    struct stat st;
    QCOMPARE(::lstat(lookalike.constData(), &st), -1);
    QCOMPARE(::lstat(undecodable.constData(), &st), 0);
    QCOMPARE(::lstat(utf8.constData(), &st), 0);
}

QTEST_MAIN(tst_DiskFaults)
#include "tst_diskfaults.moc"
