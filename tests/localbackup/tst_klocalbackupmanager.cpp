#include "localbackup/klocalbackupmanager.h"

#include <testsuitehome.h>

#include <QDesktopServices>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QtTest>

namespace {

const QString kId = QStringLiteral("0123456789abcdef0123456789ABCDEF");
const QDateTime kBase(QDate(2024, 3, 5), QTime(12, 0), Qt::UTC);

QString copyName(const QString &document, const QString &stamp = QStringLiteral("20240305143007"),
                 const QString &extension = QString())
{
    const QString ext = extension.isEmpty() ? QFileInfo(document).suffix() : extension;
    return QStringLiteral("%1.%2.%3.%4").arg(document, kId, stamp, ext);
}

// Writes a file of `size` bytes (sparse) modified `minutes` after kBase.
QString writeCopy(const QString &folder, const QString &name, int minutes = 0, qint64 size = 1)
{
    QDir().mkpath(folder);
    QFile file(folder + QLatin1Char('/') + name);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(size)
        || !file.setFileTime(kBase.addSecs(minutes * 60), QFileDevice::FileModificationTime))
        qWarning() << "cannot write" << file.fileName();
    return QFileInfo(file).absoluteFilePath();
}

QJsonObject decodeList(const QString &base64)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromBase64(base64.toLatin1()), &error);
    if (error.error != QJsonParseError::NoError)
        qWarning() << error.errorString();
    return document.object();
}

QStringList copyPaths(const BackupGroupInfo *group)
{
    QStringList paths;
    for (const BackupFileInfo &file : group->backupFiles)
        paths << file.filePath;
    return paths;
}

// Fails the second removal it is asked for by throwing.
class ThrowingManager : public KLocalBackupManager
{
public:
    int removals = 0;

protected:
    bool removeBackupCopy(const QString &path) override
    {
        if (++removals == 2)
            throw std::runtime_error("disk went away");
        return KLocalBackupManager::removeBackupCopy(path);
    }
};

} // namespace

// Receives the addresses QDesktopServices would open (on a pool thread).
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
    void documentType_data();
    void documentType();
    void groupingAndOrder();
    void conflicts_data();
    void conflicts();
    void malformedConflictFileIsRetried();
    void listFormat();
    void emptyList();

    void openBackupFile_data();
    void openBackupFile();
    void openBackupFileRefused_data();
    void openBackupFileRefused();
    void openBackupGroup();
    void openBackupFolder();
    void delBackupFile_data();
    void delBackupFile();
    void delBackupGroup();
    void delBackupGroupStopsAtFailedRemoval();
    void delBackupGroupKeepsGroupAfterException();

private:
    std::unique_ptr<TestSuiteHome> m_home;
    QString m_backup;
    UrlCatcher m_urls;
};

void tst_KLocalBackupManager::init()
{
    m_home = std::make_unique<TestSuiteHome>();
    QVERIFY(m_home->isValid());
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
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QTime>("time");
    const QDate day(2024, 3, 5);
    const QTime time(14, 30, 7);

    QTest::newRow("good") << copyName("a.docx") << "a.docx" << day << time;
    QTest::newRow("17-digit stamp") << copyName("a.docx", "20240305143007123") << "a.docx" << day << time;
    QTest::newRow("15-digit stamp") << copyName("a.docx", "202403051430071") << "" << QDate() << QTime();
    QTest::newRow("31-char id") << QString("a.docx.%1.20240305143007.docx").arg(kId.left(31)) << "" << QDate() << QTime();
    QTest::newRow("33-char id") << QString("a.docx.%1x.20240305143007.docx").arg(kId) << "" << QDate() << QTime();
    QTest::newRow("hyphen in id") << QString("a.docx.%1-.20240305143007.docx").arg(kId.left(31)) << "" << QDate() << QTime();
    QTest::newRow("30 February") << copyName("a.docx", "20240230120000") << "" << QDate() << QTime();
    QTest::newRow("hour 24") << copyName("a.docx", "20240305246000") << "" << QDate() << QTime();
    QTest::newRow("two parts") << QString("%1.docx").arg(kId) << "" << QDate() << QTime();
    QTest::newRow("three parts") << QString("%1.20240305143007.docx").arg(kId) << kId << day << time;
    QTest::newRow("dotted document") << copyName("my.report.v2.docx") << "my.report.v2.docx" << day << time;
    QTest::newRow("non-ASCII id") << copyName("a.docx").replace(kId, QString(32, QChar(0x00e9)))
                                  << "a.docx" << day << time;
}

void tst_KLocalBackupManager::nameRules()
{
    QFETCH(QString, fileName);
    QFETCH(QString, group);
    QFETCH(QDate, date);
    QFETCH(QTime, time);
    const QString path = writeCopy(m_backup, fileName, 0, 3000);

    KLocalBackupManager manager;
    manager.reloadBackupFiles({m_backup});
    if (group.isEmpty()) {
        QVERIFY(manager.backupGroups().isEmpty());
        return;
    }
    QCOMPARE(manager.backupGroups().size(), 1);
    const BackupGroupInfo *found = manager.backupGroups().first();
    QCOMPARE(found->groupName, group);
    QCOMPARE(found->saveDate, date);
    QCOMPARE(found->backupFiles.size(), 1);
    QCOMPARE(found->backupFiles[0].filePath, path);
    QCOMPARE(found->backupFiles[0].saveTime, time);
    QCOMPARE(found->backupFiles[0].fileSize, qint64(3000));
    QVERIFY(!found->backupFiles[0].conflictTime.isValid());
}

void tst_KLocalBackupManager::documentType_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<int>("type");
    QTest::newRow("docx") << "a.docx" << "docx" << int(DocTypeDoc);
    QTest::newRow("zentri, upper case") << "a.ZENTRI" << "zentri" << int(DocTypeDoc);
    QTest::newRow("pptx") << "a.pptx" << "pptx" << int(DocTypePpt);
    QTest::newRow("zsho") << "a.zsho" << "zsho" << int(DocTypePpt);
    QTest::newRow("csv") << "a.csv" << "csv" << int(DocTypeXls);
    QTest::newRow("xlsb") << "a.Xlsb" << "xlsb" << int(DocTypeXls);
    QTest::newRow("pdf") << "a.pdf" << "pdf" << int(DocTypePdf);
    QTest::newRow("document without extension") << "notes" << "pdf" << int(DocTypeUnknown);
    QTest::newRow("other suffix") << "a.txt" << "docx" << int(DocTypeUnknown);
}

void tst_KLocalBackupManager::documentType()
{
    QFETCH(QString, document);
    QFETCH(QString, extension);
    QFETCH(int, type);
    writeCopy(m_backup, copyName(document, "20240305143007", extension));
    KLocalBackupManager manager;
    manager.reloadBackupFiles({m_backup});
    QCOMPARE(manager.backupGroups().size(), 1);
    QCOMPARE(int(manager.backupGroups().first()->groupType), type);
}

void tst_KLocalBackupManager::groupingAndOrder()
{
    const QString second = m_home->makeDir("second");
    const QString day1 = "20240305101010", day2 = "20240306101010";
    const QString a1Old = writeCopy(m_backup, copyName("a.docx", day1), 100);
    const QString b = writeCopy(m_backup, copyName("b.xlsx", day1), 300);
    const QString a1New = writeCopy(m_backup, copyName("a.docx", "20240305111111"), 200);
    const QString a2 = writeCopy(m_backup, copyName("a.docx", day2), 150);
    const QString upperA = writeCopy(m_backup, copyName("A.docx", day1), 50);
    writeCopy(m_backup, copyName("a.docx", day1, "txt"), 500);
    writeCopy(m_backup, "readme.docx", 500);
    const QString a1Second = writeCopy(second, copyName("a.docx", "20240305121212"), 400);
    const QString c = writeCopy(second, copyName("c.pdf", day1), 10);

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
        QCOMPARE(copyPaths(manager.findGroup("a.docx", QDate(2024, 3, 5))),
                 QStringList({a1New, a1Old, a1Second}));
        QCOMPARE(copyPaths(manager.findGroup("a.docx", QDate(2024, 3, 6))), QStringList({a2}));
        QCOMPARE(manager.findGroupByFilePath(a1Second), manager.findGroup("a.docx", QDate(2024, 3, 5)));
        QCOMPARE(manager.findGroupByFilePath(upperA), manager.findGroup("A.docx", QDate(2024, 3, 5)));
        QCOMPARE(manager.findGroupByFilePath(c)->groupType, DocTypePdf);
        QCOMPARE(manager.findGroupByFilePath(b)->groupType, DocTypeXls);
    }
}

void tst_KLocalBackupManager::conflicts_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("conflictFile");
    QTest::addColumn<QString>("spelling"); // how the record writes the copy's path
    QTest::addColumn<QString>("conflictTime");
    QTest::addColumn<QDateTime>("expected");
    const QDateTime at(QDate(2024, 3, 5), QTime(10, 0, 1, 250), Qt::UTC);
    const bool backslashIsSeparator = QDir::separator() == QLatin1Char('\\');

    QTest::newRow("exact") << "a.docx" << "zentri" << "exact" << "2024-03-05T10:00:01.250Z" << at;
    QTest::newRow("case differs") << "a.docx" << "zentri" << "upper" << "2024-03-05T10:00:01.250Z" << at;
    QTest::newRow("backslashes") << "a.docx" << "zentri" << "backslash" << "2024-03-05T10:00:01.250Z"
                                 << (backslashIsSeparator ? at : QDateTime());
    QTest::newRow("empty conflictTime") << "a.docx" << "zentri" << "exact" << "" << QDateTime();
    QTest::newRow("malformed conflictTime") << "a.docx" << "zentri" << "exact" << "yesterday" << QDateTime();
    QTest::newRow("spreadsheet file") << "a.xlsx" << "zcel" << "upper" << "2024-03-05T10:00:01.250Z" << at;
    QTest::newRow("file of another type") << "a.pptx" << "zcel" << "exact" << "2024-03-05T10:00:01.250Z" << QDateTime();
    QTest::newRow("unknown type") << "notes" << QCoreApplication::applicationName() << "exact"
                                  << "2024-03-05T10:00:01.250Z" << at;
}

void tst_KLocalBackupManager::conflicts()
{
    QFETCH(QString, document);
    QFETCH(QString, conflictFile);
    QFETCH(QString, spelling);
    QFETCH(QString, conflictTime);
    QFETCH(QDateTime, expected);
    const QString path = writeCopy(m_backup, copyName(document, "20240305143007", "pdf"));
    writeCopy(m_backup, copyName(document, "20240305150000", "pdf"));
    QString recorded = path;
    if (spelling == "upper")
        recorded = path.toUpper();
    else if (spelling == "backslash")
        recorded = QString(path).replace('/', '\\');
    m_home->writeFile(QString("default/%1_sync_conflict.ini").arg(conflictFile),
                      QString("<?xml version=\"1.0\"?>\n<conflicts><group>"
                              "<file fileId=\"7\" localPath=\"C:/d/a\" backup=\"%1\" conflictTime=\"%2\"/>"
                              "</group></conflicts>\n").arg(recorded.toHtmlEscaped(), conflictTime).toUtf8());

    KLocalBackupManager manager;
    manager.reloadBackupFiles({m_backup});
    const BackupGroupInfo *group = manager.findGroupByFilePath(path);
    QVERIFY(group);
    QCOMPARE(group->backupFiles.size(), 2);
    const BackupFileInfo &copy = group->backupFiles[group->backupFiles[0].filePath == path ? 0 : 1];
    QCOMPARE(copy.conflictTime, expected);
    QCOMPARE(group->isConflict, expected.isValid());
    const QJsonObject list = decodeList(manager.getBackupFilesForJsonBase64());
    QCOMPARE(list["backupList"][0]["isConflict"].toBool(), expected.isValid());
    QCOMPARE(list["backupList"][0]["backupFiles"][group->backupFiles[0].filePath == path ? 0 : 1]["conflictTime"].toString(),
             expected.isValid() ? QString("2024-03-05 10:00:01") : QString());
}

void tst_KLocalBackupManager::malformedConflictFileIsRetried()
{
    const QString first = writeCopy(m_backup, copyName("a.docx", "20240305100000"), 1);
    const QString second = writeCopy(m_backup, copyName("a.docx", "20240305110000"), 2);
    const QString record = "<file backup=\"%1\" conflictTime=\"2024-03-0%2T08:00:00\"/>";
    const QString file = "default/zentri_sync_conflict.ini";
    m_home->writeFile(file, ("<conflicts>" + record.arg(first).arg(1) + "<file backup=").toUtf8());

    KLocalBackupManager manager;
    manager.reloadBackupFiles({m_backup});
    const BackupGroupInfo *group = manager.findGroup("a.docx", QDate(2024, 3, 5));
    QCOMPARE(copyPaths(group), QStringList({second, first}));
    // The record before the error counts.
    QCOMPARE(group->backupFiles[1].conflictTime, QDateTime(QDate(2024, 3, 1), QTime(8, 0)));
    QVERIFY(!group->backupFiles[0].conflictTime.isValid());

    // The next miss reads the mended file again; its records replace the defaults.
    m_home->writeFile(file, ("<c>" + record.arg(second).arg(2) + "</c>").toUtf8());
    QVERIFY(!manager.conflictTimeFor(DocTypeDoc, "/elsewhere").isValid());
    QCOMPARE(manager.conflictTimeFor(DocTypeDoc, second.toLower()), QDateTime(QDate(2024, 3, 2), QTime(8, 0)));
    // A file read without error is not read again.
    m_home->writeFile(file, ("<c>" + record.arg("/elsewhere/too").arg(3) + "</c>").toUtf8());
    QVERIFY(!manager.conflictTimeFor(DocTypeDoc, "/elsewhere/too").isValid());
}

void tst_KLocalBackupManager::listFormat()
{
    const QList<QPair<qint64, QString>> sizes = {
        {0, "0 KB"}, {1023, "0 KB"}, {1024, "1 KB"}, {1048575, "1023 KB"},
        {1048576, "1.00 MB"}, {1572864, "1.50 MB"}, {Q_INT64_C(2147483648), "2048.00 MB"}};
    QStringList paths;
    for (int i = 0; i < sizes.size(); ++i)
        paths << writeCopy(m_backup, copyName(QString::fromUtf8("Bericht \"ü\" 😀.pdf"),
                                              QString("2024030509%1").arg(i * 100 + 59, 4, 10, QChar('0'))),
                           -i, sizes[i].first);
    writeCopy(m_backup, copyName("notes", "20231231235959", "docx"), -100);

    KLocalBackupManager manager;
    manager.reloadBackupFiles({m_backup});
    m_home->clearLog();
    const QJsonObject root = decodeList(manager.getBackupFilesForJsonBase64());
    QCOMPARE(m_home->logMessages(), QStringList("getBackupFilesForJsonBase64() BackupFileStorageCount = 2"));

    QCOMPARE(root.keys(), QStringList("backupList"));
    const QJsonArray groups = root["backupList"].toArray();
    QCOMPARE(groups.size(), 2);
    const QJsonObject pdf = groups[0].toObject();
    QCOMPARE(pdf.keys(), QStringList({"backupFiles", "groupName", "groupType", "isConflict", "saveDate"}));
    QCOMPARE(pdf["groupName"].toString(), QString::fromUtf8("Bericht \"ü\" 😀.pdf"));
    QCOMPARE(pdf["groupType"].toString(), "pdf");
    QCOMPARE(pdf["isConflict"], QJsonValue(false));
    QCOMPARE(pdf["saveDate"].toString(), "2024/03/05");
    const QJsonArray files = pdf["backupFiles"].toArray();
    QCOMPARE(files.size(), sizes.size());
    for (int i = 0; i < sizes.size(); ++i) {
        const QJsonObject file = files[i].toObject();
        QCOMPARE(file.keys(), QStringList({"conflictTime", "filePath", "fileSize", "saveTime"}));
        QCOMPARE(file["filePath"].toString(), paths[i]);
        QCOMPARE(file["fileSize"].toString(), sizes[i].second);
        QCOMPARE(file["saveTime"].toString(), QString("09:%1").arg(i, 2, 10, QChar('0')));
        QCOMPARE(file["conflictTime"].toString(), QString());
    }
    QCOMPARE(groups[1]["groupType"].toString(), "unknown");
    QCOMPARE(groups[1]["saveDate"].toString(), "2023/12/31");
    QCOMPARE(groups[1]["backupFiles"][0]["saveTime"].toString(), "23:59");
}

void tst_KLocalBackupManager::emptyList()
{
    KLocalBackupManager manager;
    manager.reloadBackupFiles({});
    const QJsonObject root = decodeList(manager.getBackupFilesForJsonBase64());
    QCOMPARE(root, QJsonObject({{"backupList", QJsonArray()}}));
    QCOMPARE(m_home->logMessages(), QStringList("getBackupFilesForJsonBase64() BackupFileStorageCount = 0"));
}

void tst_KLocalBackupManager::openBackupFile_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("appSwitch");
    QTest::newRow("word processor") << copyName("a.docx") << "/zentri";
    QTest::newRow("presentation") << copyName("a.pptx") << "/zdeck";
    QTest::newRow("spreadsheet") << copyName("a.csv") << "/zcel";
    QTest::newRow("pdf") << copyName("a.pdf") << "/pdf";
    QTest::newRow("unknown, never listed") << "photo.png" << "/";
}

void tst_KLocalBackupManager::openBackupFile()
{
    QFETCH(QString, fileName);
    QFETCH(QString, appSwitch);
    const QString path = writeCopy(m_backup, fileName);
    KLocalBackupManager manager;
    QVERIFY(manager.openBackupFile(path));
    QTRY_COMPARE(m_home->launches().size(), 1);
    QCOMPARE(m_home->launches()[0].program, TestSuiteHome::recorderPath());
    QCOMPARE(m_home->launches()[0].arguments, QStringList({appSwitch, path}));
    QCOMPARE(m_home->logMessages(), QStringList());
}

void tst_KLocalBackupManager::openBackupFileRefused_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing") << "backup/" + copyName("gone.docx") << "openBackupFile() BackupFile not exists";
    QTest::newRow("empty") << QString() << "openBackupFile() BackupFile not exists";
    QTest::newRow("symbolic link") << "link.docx"
                                   << "openBackupFile() `backupFilePath` is not a safe path of local file.";
    QTest::newRow("folder") << "backup" << "openBackupFile() `backupFilePath` is not a safe path of local file.";
}

void tst_KLocalBackupManager::openBackupFileRefused()
{
    QFETCH(QString, path);
    QFETCH(QString, message);
    QFile::link(writeCopy(m_backup, copyName("a.docx")), m_home->filePath("link.docx"));
    KLocalBackupManager manager;
    QVERIFY(!manager.openBackupFile(path.isEmpty() ? path : m_home->filePath(path)));
    QCOMPARE(m_home->logMessages(), QStringList(message));
    QCOMPARE(m_home->launches().size(), 0);
}

void tst_KLocalBackupManager::openBackupGroup()
{
    QStringList paths;
    for (int i = 0; i < 3; ++i)
        paths << writeCopy(m_backup, copyName("a.docx", QString("2024030510000%1").arg(i)), 10 - i);
    KLocalBackupManager manager;
    manager.reloadBackupFiles({m_backup});
    m_home->clearLog();

    QVERIFY(manager.openBackupGroup("a.docx", QDate(2024, 3, 5)));
    QTRY_COMPARE(m_home->launches().size(), 3);
    QStringList opened;
    for (const TestSuiteHome::Launch &launch : m_home->launches())
        opened << launch.arguments.last();
    opened.sort();
    QCOMPARE(opened, paths);

    // Only the last copy decides the answer.
    QVERIFY(QFile::remove(paths[0]));
    QVERIFY(manager.openBackupGroup("a.docx", QDate(2024, 3, 5)));
    QTRY_COMPARE(m_home->launches().size(), 5);
    QVERIFY(QFile::remove(paths[2]));
    QVERIFY(!manager.openBackupGroup("a.docx", QDate(2024, 3, 5)));
    QVERIFY(!manager.openBackupGroup("a.docx", QDate(2024, 3, 6)));
    QVERIFY(!manager.openBackupGroup("A.docx", QDate(2024, 3, 5)));
    QCOMPARE(m_home->logMessages(), QStringList({"openBackupGroup() BackupFile not exist",
                                                 "openBackupGroup() BackupFile not exist",
                                                 "openBackupGroup() BackupFile not exist",
                                                 "openBackupGroup() BackupGroup not exists",
                                                 "openBackupGroup() BackupGroup not exists"}));
    QTRY_COMPARE(m_home->launches().size(), 6);
}

void tst_KLocalBackupManager::openBackupFolder()
{
    QDesktopServices::setUrlHandler("file", &m_urls, "open");
    const QString second = m_home->makeDir("second");
    const QString missing = writeCopy(m_backup, copyName("a.docx", "20240305100000"), 5);
    writeCopy(second, copyName("a.docx", "20240305110000"), 1);
    KLocalBackupManager manager;
    manager.reloadBackupFiles({m_backup, second});
    QVERIFY(QFile::remove(missing));
    m_home->clearLog();

    QVERIFY(manager.openBackupFolder("a.docx", QDate(2024, 3, 5)));
    QTRY_COMPARE(m_urls.urls(), QList<QUrl>({QUrl::fromLocalFile(second)}));

    QVERIFY(QDir(second).removeRecursively());
    QVERIFY(!manager.openBackupFolder("a.docx", QDate(2024, 3, 5)));
    QVERIFY(!manager.openBackupFolder("b.docx", QDate(2024, 3, 5)));
    QCOMPARE(m_home->logMessages(), QStringList({"openBackupFolder() no valid folder path to open",
                                                 "openBackupFolder() BackupGroup not exists"}));
    QCOMPARE(m_urls.urls().size(), 1);
}

void tst_KLocalBackupManager::delBackupFile_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QStringList>("log");
    QTest::newRow("listed") << "listed" << true << QStringList();
    QTest::newRow("already gone") << "gone" << true << QStringList();
    QTest::newRow("backslash path") << "backslash" << false << QStringList("delBackupFile() BackupFile not exist");
    QTest::newRow("not listed") << "unlisted" << false << QStringList("delBackupFile() BackupFile not exist");
}

void tst_KLocalBackupManager::delBackupFile()
{
    QFETCH(QString, situation);
    QFETCH(bool, result);
    QFETCH(QStringList, log);
    const QString kept = writeCopy(m_backup, copyName("a.docx", "20240305100000"), 1);
    const QString target = writeCopy(m_backup, copyName("a.docx", "20240305110000"), 2);
    const QString lone = writeCopy(m_backup, copyName("b.docx", "20240305110000"), 3);
    KLocalBackupManager manager;
    manager.reloadBackupFiles({m_backup});
    const QString unlisted = writeCopy(m_backup, copyName("c.docx"));
    m_home->clearLog();

    QString path = situation == "unlisted" ? unlisted : target;
    if (situation == "backslash")
        path.replace('/', '\\');
    if (situation == "gone")
        QVERIFY(QFile::remove(target));
    QCOMPARE(manager.delBackupFile(path), result);
    QCOMPARE(m_home->logMessages(), log);
    QCOMPARE(QFile::exists(target), !result);
    QVERIFY(QFile::exists(unlisted) && QFile::exists(kept));
    QCOMPARE(copyPaths(manager.findGroup("a.docx", QDate(2024, 3, 5))),
             result ? QStringList(kept) : QStringList({target, kept}));
    QCOMPARE(manager.findGroupByFilePath(target) == nullptr, result);

    // Deleting the last copy drops the group.
    QVERIFY(QFile::remove(lone));
    QVERIFY(manager.delBackupFile(lone));
    QVERIFY(!manager.findGroup("b.docx", QDate(2024, 3, 5)));
    QVERIFY(!manager.openBackupGroup("b.docx", QDate(2024, 3, 5)));
    QCOMPARE(manager.backupGroups().size(), 1);
}

void tst_KLocalBackupManager::delBackupGroup()
{
    QStringList paths;
    for (int i = 0; i < 3; ++i)
        paths << writeCopy(m_backup, copyName("a.docx", QString("2024030510000%1").arg(i)), 10 - i);
    writeCopy(m_backup, copyName("b.docx"));
    KLocalBackupManager manager;
    manager.reloadBackupFiles({m_backup});
    QVERIFY(QFile::remove(paths[1]));
    m_home->clearLog();

    QVERIFY(manager.delBackupGroup("a.docx", QDate(2024, 3, 5)));
    QVERIFY(!QFile::exists(paths[0]) && !QFile::exists(paths[2]));
    QVERIFY(!manager.findGroup("a.docx", QDate(2024, 3, 5)));
    QVERIFY(!manager.findGroupByFilePath(paths[0]));
    QCOMPARE(manager.backupGroups().size(), 1);
    QVERIFY(!manager.delBackupGroup("a.docx", QDate(2024, 3, 5)));
    QCOMPARE(m_home->logMessages(), QStringList("delBackupGroup() BackupGroup not exist"));
}

void tst_KLocalBackupManager::delBackupGroupStopsAtFailedRemoval()
{
    QStringList paths;
    for (int i = 0; i < 3; ++i)
        paths << writeCopy(m_backup, copyName("a.docx", QString("2024030510000%1").arg(i)), 10 - i);
    KLocalBackupManager manager;
    manager.reloadBackupFiles({m_backup});
    QCOMPARE(copyPaths(manager.backupGroups().first()), paths);
    // A non-empty folder in place of the copy cannot be removed, not even by root.
    QVERIFY(QFile::remove(paths[1]));
    QVERIFY(QDir().mkpath(paths[1] + "/inside"));
    m_home->clearLog();

    QVERIFY(!manager.delBackupGroup("a.docx", QDate(2024, 3, 5)));
    QVERIFY(!QFile::exists(paths[0]));
    QVERIFY(QFile::exists(paths[2]));
    QCOMPARE(copyPaths(manager.findGroup("a.docx", QDate(2024, 3, 5))), paths);
    QCOMPARE(m_home->logMessages(), QStringList());
}

void tst_KLocalBackupManager::delBackupGroupKeepsGroupAfterException()
{
    QStringList paths;
    for (int i = 0; i < 3; ++i)
        paths << writeCopy(m_backup, copyName("a.docx", QString("2024030510000%1").arg(i)), 10 - i);
    ThrowingManager manager;
    manager.reloadBackupFiles({m_backup});
    m_home->clearLog();

    // The third removal succeeds, yet the second copy is still on disk.
    QVERIFY(!manager.delBackupGroup("a.docx", QDate(2024, 3, 5)));
    QCOMPARE(manager.removals, 3);
    QVERIFY(!QFile::exists(paths[0]) && QFile::exists(paths[1]) && !QFile::exists(paths[2]));
    QCOMPARE(copyPaths(manager.findGroup("a.docx", QDate(2024, 3, 5))), paths);
    QCOMPARE(m_home->logMessages(), QStringList("delBackupGroup() Catch an exception"));

    // delBackupFile answers an exception the same way.
    manager.removals = 1;
    QVERIFY(!manager.delBackupFile(paths[1]));
    QVERIFY(manager.findGroupByFilePath(paths[1]));
    QCOMPARE(m_home->logMessages().last(), "delBackupFile() Catch an exception");
}

QTEST_MAIN(tst_KLocalBackupManager)
#include "tst_klocalbackupmanager.moc"
