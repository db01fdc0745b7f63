// The catalogue when the disk misbehaves: copies that cannot be removed,
// folders that vanish after the listing, sync-conflict files that cannot be
// read, names that cannot be decoded. Every case answers, nothing hangs, and
// no file leaves the disk that the catalogue did not list.
#include "localbackup/klocalbackupmanager.h"

#include <testsuitehome.h>

#include <QDesktopServices>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QDate kDay(2024, 3, 5);

QString copyName(const QString &document, int second)
{
    return QStringLiteral("%1.0123456789abcdef0123456789ABCDEF.202403051000%2.%3")
            .arg(document).arg(second, 2, 10, QLatin1Char('0')).arg(QFileInfo(document).suffix());
}

// A copy whose modification time follows `second`, so that listings are newest first.
QString writeCopy(const QString &folder, const QString &name, int second)
{
    QDir().mkpath(folder);
    QFile file(folder + QLatin1Char('/') + name);
    if (!file.open(QIODevice::WriteOnly) || file.write("copy") != 4 || !file.flush()
        || !file.setFileTime(QDateTime(kDay, QTime(10, 0, second), Qt::UTC), QFileDevice::FileModificationTime))
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

QJsonArray listedGroups(const KLocalBackupManager &manager)
{
    const QByteArray json = QByteArray::fromBase64(manager.getBackupFilesForJsonBase64().toLatin1());
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        qWarning() << "the list does not parse:" << error.errorString();
    return document.object().value(QStringLiteral("backupList")).toArray();
}

class UrlSink : public QObject
{
    Q_OBJECT
public slots:
    void open(const QUrl &) {}
};

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
    std::unique_ptr<TestSuiteHome> m_home;
    QString m_backup;
    UrlSink m_urls;
};

void tst_DiskFaults::init()
{
    m_home = std::make_unique<TestSuiteHome>();
    m_home->setSuiteValue(QStringLiteral("backup/defaultPath"), m_home->makeDir(QStringLiteral("default")));
    m_backup = m_home->makeDir(QStringLiteral("backup"));
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_urls, "open");
}

void tst_DiskFaults::cleanup()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    m_home.reset();
}

void tst_DiskFaults::copyThatCannotBeRemovedStopsAGroupDelete()
{
    QStringList paths;
    for (int i = 0; i < 3; ++i)
        paths << writeCopy(m_backup, copyName(QStringLiteral("a.docx"), i), 10 - i);
    KLocalBackupManager manager;
    manager.reloadBackupFiles({m_backup});
    QCOMPARE(copyPaths(manager.findGroup(QStringLiteral("a.docx"), kDay)), paths);

    // The middle copy cannot be removed. Tests run as root on CI, and root
    // removes read-only files; a non-empty folder in its place fails
    // QFile::remove for everyone, on every file system, and leaves nothing
    // behind when the test dies.
    QVERIFY(QFile::remove(paths[1]));
    QVERIFY(QDir().mkpath(paths[1] + QStringLiteral("/inside")));

    QVERIFY(!manager.delBackupGroup(QStringLiteral("a.docx"), kDay));
    QVERIFY(!QFile::exists(paths[0]));
    QVERIFY(QFileInfo(paths[1]).isDir());
    QVERIFY(QFile::exists(paths[2]));
    // The group stays whole: the page may try again.
    QCOMPARE(copyPaths(manager.findGroup(QStringLiteral("a.docx"), kDay)), paths);
    QVERIFY(!manager.delBackupFile(paths[1]));
    QVERIFY(QFileInfo(paths[1]).isDir());

    manager.reloadBackupFiles({m_backup});
    QCOMPARE(copyPaths(manager.findGroup(QStringLiteral("a.docx"), kDay)), QStringList(paths[2]));
}

void tst_DiskFaults::folderGoneAfterListing_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("replacement"); // "file", "link" to a folder with the same names, else removed
    QTest::addColumn<bool>("result");
    QTest::addColumn<QStringList>("log");
    const QString missingCopy = QStringLiteral("openBackupGroup() BackupFile not exist");
    const QStringList missingCopies{missingCopy, missingCopy};
    // A delete never follows a folder swapped for a link: the linked folder's
    // same-named files stay.
    QTest::newRow("delete copy (a link now)") << "delBackupFile" << "link" << false << QStringList();
    QTest::newRow("delete group (a link now)") << "delBackupGroup" << "link" << false << QStringList();
    for (const char *replaced : {"removed", "file"}) {
        const QByteArray how = qstrcmp(replaced, "file") == 0 ? " (a file now)" : " (removed)";
        // A copy already gone counts as removed.
        QTest::newRow("delete copy" + how) << "delBackupFile" << replaced << true << QStringList();
        QTest::newRow("delete group" + how) << "delBackupGroup" << replaced << true << QStringList();
        QTest::newRow("open copy" + how) << "openBackupFile" << replaced << false
                                         << QStringList(QStringLiteral("openBackupFile() BackupFile not exists"));
        QTest::newRow("open group" + how) << "openBackupGroup" << replaced << false << missingCopies;
        QTest::newRow("open folder" + how) << "openBackupFolder" << replaced << false
                                           << QStringList(QStringLiteral("openBackupFolder() no valid folder path to open"));
    }
}

void tst_DiskFaults::folderGoneAfterListing()
{
    QFETCH(QString, operation);
    QFETCH(QString, replacement);
    QFETCH(bool, result);
    QFETCH(QStringList, log);
    const QString folder = m_home->makeDir(QStringLiteral("gone"));
    const QString first = writeCopy(folder, copyName(QStringLiteral("a.docx"), 1), 2);
    writeCopy(folder, copyName(QStringLiteral("a.docx"), 0), 1);
    const QString kept = writeCopy(m_backup, copyName(QStringLiteral("b.docx"), 0), 0);
    const QString other = m_home->makeDir(QStringLiteral("other"));
    const QStringList others{writeCopy(other, copyName(QStringLiteral("a.docx"), 1), 2),
                             writeCopy(other, copyName(QStringLiteral("a.docx"), 0), 1)};
    KLocalBackupManager manager;
    manager.reloadBackupFiles({folder, m_backup});
    QVERIFY(QDir(folder).removeRecursively());
    if (replacement == QLatin1String("file"))
        m_home->writeFile(QStringLiteral("gone"));
    else if (replacement == QLatin1String("link"))
        QVERIFY(QFile::link(other, folder));
    m_home->clearLog();

    bool answer = false;
    if (operation == QLatin1String("delBackupFile"))
        answer = manager.delBackupFile(first);
    else if (operation == QLatin1String("delBackupGroup"))
        answer = manager.delBackupGroup(QStringLiteral("a.docx"), kDay);
    else if (operation == QLatin1String("openBackupFile"))
        answer = manager.openBackupFile(first);
    else if (operation == QLatin1String("openBackupGroup"))
        answer = manager.openBackupGroup(QStringLiteral("a.docx"), kDay);
    else
        answer = manager.openBackupFolder(QStringLiteral("a.docx"), kDay);
    QCOMPARE(answer, result);
    QCOMPARE(m_home->logMessages(), log);
    QCOMPARE(QFileInfo(folder).isFile(), replacement == QLatin1String("file"));
    QVERIFY(QFile::exists(kept));
    for (const QString &path : others)
        QVERIFY(QFile::exists(path));
    QVERIFY(m_home->launches().isEmpty());
}

// A backup folder that was a link when it was listed is followed to where it
// pointed then, even if the link was turned elsewhere since.
void tst_DiskFaults::linkedBackupFolderStillDeletes()
{
    const QString real = m_home->makeDir(QStringLiteral("real"));
    const QString other = m_home->makeDir(QStringLiteral("other"));
    const QString linked = m_home->filePath(QStringLiteral("linked"));
    QVERIFY(QFile::link(real, linked));
    writeCopy(real, copyName(QStringLiteral("a.docx"), 0), 0);
    writeCopy(real, copyName(QStringLiteral("a.docx"), 1), 1);
    const QString elsewhere = writeCopy(other, copyName(QStringLiteral("a.docx"), 1), 1);
    KLocalBackupManager manager;
    manager.reloadBackupFiles({linked});
    const QStringList listed = copyPaths(manager.findGroup(QStringLiteral("a.docx"), kDay));
    QCOMPARE(listed.size(), 2);

    QVERIFY(manager.delBackupFile(listed.at(0)));
    QVERIFY(QFile::remove(linked));
    QVERIFY(QFile::link(other, linked));
    QVERIFY(manager.delBackupGroup(QStringLiteral("a.docx"), kDay));
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
    const QString copy = writeCopy(m_backup, copyName(QStringLiteral("a.docx"), 0), 0);
    const QString file = m_home->filePath(QStringLiteral("default/zentri_sync_conflict.ini"));
    const QByteArray record = "<c><file backup=\"" + copy.toUtf8() + "\" conflictTime=\"2024-03-05T09:00:00\"/>";
    if (kind == QLatin1String("xml"))
        m_home->writeFile(QStringLiteral("default/zentri_sync_conflict.ini"), record + "</c>");
    else if (kind == QLatin1String("truncated"))
        m_home->writeFile(QStringLiteral("default/zentri_sync_conflict.ini"), record + "<file backup=\"/x");
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(file + QStringLiteral("/inside")));
    else if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    else if (kind == QLatin1String("device"))
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), file));
    else if (kind == QLatin1String("binary"))
        m_home->writeFile(QStringLiteral("default/zentri_sync_conflict.ini"), QByteArray("\x00\xff\xfe<c>\x01", 7));

    KLocalBackupManager manager;
    manager.reloadBackupFiles({m_backup});
    const QJsonArray groups = listedGroups(manager);
    QCOMPARE(groups.size(), 1);
    QCOMPARE(groups[0][QStringLiteral("isConflict")].toBool(), isConflict);
    QCOMPARE(groups[0][QStringLiteral("backupFiles")][0][QStringLiteral("conflictTime")].toString(),
             isConflict ? QStringLiteral("2024-03-05 09:00:00") : QString());
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
    // QTemporaryDir cannot name it either.
    const auto removeUndecodable = qScopeGuard([&] { ::unlink(undecodable.constData()); });
    for (const QByteArray &path : {undecodable, lookalike, utf8}) {
        // QFile cannot name the first one either: written by its bytes.
        FILE *raw = std::fopen(path.constData(), "w");
        QVERIFY(raw && std::fclose(raw) == 0);
    }

    KLocalBackupManager manager;
    manager.reloadBackupFiles({m_backup});
    const QJsonArray groups = listedGroups(manager);
    QStringList offered;
    for (const QJsonValue &group : groups) {
        for (const QJsonValue &copy : group[QStringLiteral("backupFiles")].toArray())
            offered << copy[QStringLiteral("filePath")].toString();
    }
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
