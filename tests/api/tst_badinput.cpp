// What the page may send to the six backup-file methods, bad or hostile, and
// the answer each gets; and two threads calling them at once.
#include "pageapifixture.h"

#include <QSemaphore>
#include <QThread>
#include <QtTest>

namespace {
QString copyName(const QString &document, const QString &stamp)
{
    return QStringLiteral("%1.0123456789abcdef0123456789ABCDEF.%2.%3")
        .arg(document, stamp, QFileInfo(document).suffix());
}
}

class tst_BadInput : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void answers_data();
    void answers();
    void concurrentCallsAreSerialised();

private:
    QString path(const QString &relative) const { return m_api->home.filePath(relative); }

    std::unique_ptr<PageApiFixture> m_api;
    std::unique_ptr<UrlCatcher> m_urls;
    QStringList m_files; // relative to the home; each must survive unless a row removes it
    QString m_savedCurrent;
};

void tst_BadInput::init()
{
    m_api = std::make_unique<PageApiFixture>();
    TestSuiteHome &home = m_api->home;
    home.setSuiteValue(QStringLiteral("backup/path"), home.makeDir(QStringLiteral("backup")));
    home.setSuiteValue(QStringLiteral("backup/defaultPath"), home.makeDir(QStringLiteral("default")));
    m_files = QStringList{
        QStringLiteral("backup/") + copyName(QStringLiteral("report.docx"), QStringLiteral("20240305143007")),
        QStringLiteral("backup/") + copyName(QStringLiteral("report.docx"), QStringLiteral("20240305150000")),
        QStringLiteral("backup/notes.txt"), QStringLiteral("outside/target.docx"), QStringLiteral("backup/123")};
    for (const QString &file : qAsConst(m_files))
        home.writeFile(file);
    // A link named like a copy, to a file outside the folder.
    const QString link
        = QStringLiteral("backup/") + copyName(QStringLiteral("linked.docx"), QStringLiteral("20240305120000"));
    QVERIFY(QFile::link(path(QStringLiteral("outside/target.docx")), path(link)));
    m_files << link;
    QCOMPARE(m_api->call(QStringLiteral("getBackupFileList"))["result"].asBool(), true);

    // Listed after the listing: on disk, named like a copy, but not in the catalogue.
    const QString unlisted
        = QStringLiteral("backup/") + copyName(QStringLiteral("late.docx"), QStringLiteral("20240305160000"));
    home.writeFile(unlisted);
    m_files << unlisted;
    // Relative paths would be taken from here.
    m_savedCurrent = QDir::currentPath();
    QDir::setCurrent(path(QStringLiteral("backup")));
    m_urls = std::make_unique<UrlCatcher>(QStringList{QStringLiteral("file")});
    home.clearLog();
}

void tst_BadInput::cleanup()
{
    m_urls.reset();
    QDir::setCurrent(m_savedCurrent);
    m_api.reset();
}

void tst_BadInput::answers_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QVariantMap>("arguments"); // "@" stands for the suite home
    QTest::addColumn<bool>("result");
    QTest::addColumn<QStringList>("removed"); // of the home's files
    QTest::addColumn<int>("launches");
    QTest::addColumn<QString>(
        "log"); // the lines between begin and end, "|" between; by default the failure's "not found"
    const auto row = [](const char *name, const char *method, const QVariantMap &arguments, bool result,
                        const QStringList &removed = {}, int launches = 0, const QString &log = {}) {
        QTest::newRow(name) << QString::fromLatin1(method) << arguments << result << removed << launches << log;
    };
    const auto group = [](const QVariant &name, const QVariant &date) {
        return QVariantMap{{QStringLiteral("fileName"), name}, {QStringLiteral("saveDate"), date}};
    };
    const auto file = [](const QVariant &path) { return QVariantMap{{QStringLiteral("backupFile"), path}}; };
    const QString report = QStringLiteral("report.docx");
    const QString copy = QStringLiteral("@/backup/") + copyName(report, QStringLiteral("20240305143007"));
    const QString link
        = QStringLiteral("backup/") + copyName(QStringLiteral("linked.docx"), QStringLiteral("20240305120000"));
    const QString megabyte(1 << 20, QLatin1Char('a'));
    const QString day = QStringLiteral("2024/03/05");

    row("missing key", "delBackupFile", {}, false);
    row("missing keys", "delBackupGroup", {}, false);
    // A number is not a path: "123" exists in the current folder, but is never looked at.
    row("number as path", "openBackupFile", file(123), false);
    row("number as path, delete", "delBackupFile", file(123), false);
    row("bool as date", "openBackupGroup", group(report, true), false);
    row("list as name", "delBackupGroup", group(QStringList{report}, day), false);
    row("empty path", "openBackupFile", file(QString()), false);
    row("empty name and date", "delBackupGroup", group(QString(), QString()), false);
    row("1 MB path", "openBackupFile", file(megabyte), false);
    row("1 MB path, delete", "delBackupFile", file(megabyte), false);
    row("1 MB name", "openBackupFolder", group(megabyte, day), false);
    // Deleting needs the path exactly as listed.
    const QString dotted = QString(copy).replace(QStringLiteral("/backup/"), QStringLiteral("/backup/../backup/"));
    row("path with ..", "delBackupFile", file(dotted), false);
    row("backslashes", "delBackupFile", file(QString(copy).replace(QLatin1Char('/'), QLatin1Char('\\'))), false);
    row("NUL inside", "delBackupFile", file(copy + QChar(0) + QStringLiteral(".exe")), false);
    row("NUL inside, open", "openBackupFile", file(copy + QChar(0) + QStringLiteral(".exe")), false);
    row("line break", "openBackupFile", file(copy + QLatin1Char('\n')), false);
    // Opening is not limited to listed copies: the suite's safety check decides.
    row("open through ..", "openBackupFile", file(dotted), true, {}, 1);
    row("exists, not listed", "delBackupFile",
        file(QStringLiteral("@/backup/") + copyName(QStringLiteral("late.docx"), QStringLiteral("20240305160000"))),
        false);
    row("outside the folder", "delBackupFile", file(QStringLiteral("@/outside/target.docx")), false);
    // The link is listed like QDir lists it: removing it removes the link, never its target.
    row("link, open", "openBackupFile", file(QStringLiteral("@/") + link), false, {}, 0,
        QStringLiteral("openBackupFile() `backupFilePath` is not a safe path of local file."));
    row("link, delete", "delBackupFile", file(QStringLiteral("@/") + link), true, {link});
    row("link, delete group", "delBackupGroup", group(QStringLiteral("linked.docx"), day), true, {link});
    row("link, open group", "openBackupGroup", group(QStringLiteral("linked.docx"), day), false, {}, 0,
        QStringLiteral("openBackupGroup() `backupFileInfo.filePath` is not a safe path of local file."));
    row("30 February", "openBackupGroup", group(report, QStringLiteral("2024/02/30")), false);
    row("hyphens", "delBackupGroup", group(report, QStringLiteral("2024-03-05")), false);
    row("list", "getBackupFileList", {}, true, {}, 0,
        QStringLiteral(
            "reloadBackupFiles() BackupPath = @/backup|getBackupFilesForJsonBase64() BackupFileStorageCount = 3"));
    row("open good group", "openBackupGroup", group(report, day), true, {}, 2);
    row("good group", "delBackupGroup", group(report, day), true,
        {QStringLiteral("backup/") + copyName(report, QStringLiteral("20240305143007")),
         QStringLiteral("backup/") + copyName(report, QStringLiteral("20240305150000"))});
}

void tst_BadInput::answers()
{
    QFETCH(QString, method);
    QFETCH(QVariantMap, arguments);
    QFETCH(bool, result);
    QFETCH(QStringList, removed);
    QFETCH(int, launches);
    QFETCH(QString, log);
    static const QMap<QString, QString> notFound{{"openBackupFile", "BackupFile not exists"},
                                                 {"delBackupFile", "BackupFile not exist"},
                                                 {"openBackupGroup", "BackupGroup not exists"},
                                                 {"openBackupFolder", "BackupGroup not exists"},
                                                 {"delBackupGroup", "BackupGroup not exist"}};
    if (!result && log.isEmpty())
        log = method + QStringLiteral("() ") + notFound.value(method);
    for (QVariant &value : arguments) {
        if (value.userType() == QMetaType::QString)
            value = value.toString().replace(QLatin1Char('@'), m_api->home.path());
    }

    if (method == QLatin1String("openBackupFile")
        && arguments.value(QStringLiteral("backupFile")).toString().contains(QChar(0)))
        QTest::ignoreMessage(QtWarningMsg, "Broken filename passed to function");
    const Json::Value answer = m_api->call(method, arguments);
    QVERIFY(answer["result"].isBool());
    QCOMPARE(answer["result"].asBool(), result);
    QStringList expectedLog{method + QStringLiteral("() begin")};
    if (!log.isEmpty())
        expectedLog << log.replace(QLatin1Char('@'), m_api->home.path()).split(QLatin1Char('|'));
    QCOMPARE(m_api->home.logMessages(), expectedLog << method + QStringLiteral("() end"));
    for (const QString &file : qAsConst(m_files)) {
        const QFileInfo info(path(file));
        QVERIFY2((info.isSymLink() || info.exists()) == !removed.contains(file), qPrintable(file));
    }
    QTRY_COMPARE(m_api->home.launches().size(), launches);
}

void tst_BadInput::concurrentCallsAreSerialised()
{
    // Enough copies that a listing takes a while, and two documents whose
    // copies each thread deletes one by one.
    QStringList own[2];
    for (int i = 0; i < 200; ++i) {
        const QString stamp = QStringLiteral("20240305%1").arg(100000 + i);
        m_api->home.writeFile(QStringLiteral("backup/") + copyName(QStringLiteral("bulk.xlsx"), stamp));
        if (i < 10) {
            for (int t = 0; t < 2; ++t)
                own[t] << m_api->home.writeFile(QStringLiteral("backup/")
                                                + copyName(QStringLiteral("t%1.docx").arg(t), stamp));
        }
    }
    QCOMPARE(m_api->call(QStringLiteral("getBackupFileList"))["result"].asBool(), true);
    m_api->home.clearLog();

    QSemaphore start;
    const auto work = [&](int t) {
        start.acquire();
        const QVariantMap bulk{{QStringLiteral("fileName"), QStringLiteral("bulk.xlsx")},
                               {QStringLiteral("saveDate"), QStringLiteral("2024/03/05")}};
        for (const QString &copy : own[t]) {
            m_api->call(QStringLiteral("getBackupFileList"));
            m_api->call(QStringLiteral("openBackupFile"),
                        {{QStringLiteral("backupFile"), copy + QStringLiteral(".gone")}});
            m_api->call(QStringLiteral("openBackupGroup"), {{QStringLiteral("fileName"), QStringLiteral("none")}});
            m_api->call(QStringLiteral("openBackupFolder"), bulk);
            m_api->call(QStringLiteral("delBackupFile"), {{QStringLiteral("backupFile"), copy}});
            m_api->call(QStringLiteral("delBackupGroup"), {{QStringLiteral("fileName"), QStringLiteral("none")}});
        }
    };
    std::unique_ptr<QThread> threads[2]
        = {std::unique_ptr<QThread>(QThread::create(work, 0)), std::unique_ptr<QThread>(QThread::create(work, 1))};
    for (auto &thread : threads)
        thread->start();
    start.release(2);
    for (auto &thread : threads)
        QVERIFY(thread->wait(60000));

    // Every method's lines stand between its begin and its end: no method
    // ever started while another one was running.
    QString running;
    int calls = 0;
    for (const QString &line : m_api->home.logMessages()) {
        const QString method = line.left(line.indexOf(QLatin1Char('(')));
        if (line.endsWith(QLatin1String("() begin"))) {
            QVERIFY2(running.isEmpty(),
                     qPrintable(line + QStringLiteral(" while ") + running + QStringLiteral(" ran")));
            running = method;
            ++calls;
        } else if (line.endsWith(QLatin1String("() end"))) {
            QCOMPARE(method, running);
            running.clear();
        } else {
            QVERIFY2(!running.isEmpty(), qPrintable(line));
        }
    }
    QCOMPARE(calls, 2 * 10 * 6);
    for (const QStringList &copies : own) {
        for (const QString &copy : copies)
            QVERIFY(!QFile::exists(copy));
    }
    QCOMPARE(QDir(path(QStringLiteral("backup"))).entryList(QDir::Files).filter(QStringLiteral("bulk.xlsx")).size(),
             200);
}

QTEST_MAIN(tst_BadInput)
#include "tst_badinput.moc"
