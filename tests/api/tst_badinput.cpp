// What the page may send to the six backup-file methods, bad or hostile, and
// the answer each gets; and two threads calling them at once.
#include "api/arkivoapi.h"
#include "pagecall.h"
#include "testsuitehome.h"

#include <kcoreapplication.h>
#include <kessjsapi.h>

#include <QDesktopServices>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSemaphore>
#include <QThread>
#include <QtTest>

#include <memory>

namespace {

const QString kId = QStringLiteral("0123456789abcdef0123456789ABCDEF");

QString copyName(const QString &document, const QString &stamp)
{
    return QStringLiteral("%1.%2.%3.%4").arg(document, kId, stamp, QFileInfo(document).suffix());
}

class UrlSink : public QObject
{
    Q_OBJECT
public slots:
    void open(const QUrl &) {}
};

} // namespace

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
    QString path(const QString &relative) const { return m_home->filePath(relative); }

    std::unique_ptr<TestSuiteHome> m_home;
    std::unique_ptr<KCoreApplication> m_hostApp;
    std::unique_ptr<KEssJsApi> m_registry;
    QObject *m_handler = nullptr;
    QStringList m_files; // relative to the home; each must survive unless a row removes it
    QString m_savedCurrent;
    UrlSink m_urls;
};

void tst_BadInput::init()
{
    m_home = std::make_unique<TestSuiteHome>();
    m_home->setSuiteValue(QStringLiteral("backup/path"), m_home->makeDir(QStringLiteral("backup")));
    m_home->setSuiteValue(QStringLiteral("backup/defaultPath"), m_home->makeDir(QStringLiteral("default")));
    m_files = QStringList{QStringLiteral("backup/") + copyName(QStringLiteral("report.docx"), QStringLiteral("20240305143007")),
                          QStringLiteral("backup/") + copyName(QStringLiteral("report.docx"), QStringLiteral("20240305150000")),
                          QStringLiteral("backup/notes.txt"), QStringLiteral("outside/target.docx"),
                          QStringLiteral("backup/123")};
    for (const QString &file : qAsConst(m_files))
        m_home->writeFile(file);
    // A link named like a copy, to a file outside the folder.
    const QString link = QStringLiteral("backup/") + copyName(QStringLiteral("linked.docx"), QStringLiteral("20240305120000"));
    QVERIFY(QFile::link(path(QStringLiteral("outside/target.docx")), path(link)));
    m_files << link;

    m_hostApp = std::make_unique<KCoreApplication>();
    m_registry = std::make_unique<KEssJsApi>();
    arkivoAPI::registerWith(m_registry.get());
    m_handler = m_registry->handles().first().first;
    QCOMPARE(callPage(m_handler, QStringLiteral("getBackupFileList"))["result"].asBool(), true);

    // Listed after the listing: on disk, named like a copy, but not in the catalogue.
    const QString unlisted = QStringLiteral("backup/") + copyName(QStringLiteral("late.docx"), QStringLiteral("20240305160000"));
    m_home->writeFile(unlisted);
    m_files << unlisted;
    // Relative paths would be taken from here.
    m_savedCurrent = QDir::currentPath();
    QDir::setCurrent(path(QStringLiteral("backup")));
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_urls, "open");
    m_home->clearLog();
}

void tst_BadInput::cleanup()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QDir::setCurrent(m_savedCurrent);
    m_registry.reset();
    m_hostApp.reset();
    m_home.reset();
}

void tst_BadInput::answers_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QVariantMap>("arguments"); // "@" stands for the suite home
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("log");        // the catalogue's line between begin and end
    QTest::addColumn<QStringList>("removed"); // of the home's files
    QTest::addColumn<int>("launches");

    const QString copy = QStringLiteral("@/backup/") + copyName(QStringLiteral("report.docx"), QStringLiteral("20240305143007"));
    const QString link = QStringLiteral("backup/") + copyName(QStringLiteral("linked.docx"), QStringLiteral("20240305120000"));
    const QString late = QStringLiteral("@/backup/") + copyName(QStringLiteral("late.docx"), QStringLiteral("20240305160000"));
    const QString fileMissing = QStringLiteral("openBackupFile() BackupFile not exists");
    const QString fileUnsafe = QStringLiteral("openBackupFile() `backupFilePath` is not a safe path of local file.");
    const QString notListed = QStringLiteral("delBackupFile() BackupFile not exist");
    const QString noGroupToOpen = QStringLiteral("openBackupGroup() BackupGroup not exists");
    const QString noGroupToDelete = QStringLiteral("delBackupGroup() BackupGroup not exist");
    const QString megabyte(1 << 20, QLatin1Char('a'));
    const auto group = [](const QVariant &name, const QVariant &date) {
        return QVariantMap{{QStringLiteral("fileName"), name}, {QStringLiteral("saveDate"), date}};
    };
    const auto file = [](const QVariant &path) { return QVariantMap{{QStringLiteral("backupFile"), path}}; };
    const QVariant day = QStringLiteral("2024/03/05");

    QTest::newRow("missing key") << "delBackupFile" << QVariantMap() << false << notListed << QStringList() << 0;
    QTest::newRow("missing keys") << "delBackupGroup" << QVariantMap() << false << noGroupToDelete << QStringList() << 0;
    // A number is not a path: "123" exists in the current folder, but is never looked at.
    QTest::newRow("number as path") << "openBackupFile" << file(123) << false << fileMissing << QStringList() << 0;
    QTest::newRow("number as path, delete") << "delBackupFile" << file(123) << false << notListed << QStringList() << 0;
    QTest::newRow("bool as date") << "openBackupGroup" << group(QStringLiteral("report.docx"), true) << false
                                  << noGroupToOpen << QStringList() << 0;
    QTest::newRow("list as name") << "delBackupGroup" << group(QStringList{QStringLiteral("report.docx")}, day)
                                  << false << noGroupToDelete << QStringList() << 0;
    QTest::newRow("empty path") << "openBackupFile" << file(QString()) << false << fileMissing << QStringList() << 0;
    QTest::newRow("empty name and date") << "delBackupGroup" << group(QString(), QString()) << false
                                         << noGroupToDelete << QStringList() << 0;
    QTest::newRow("1 MB path") << "openBackupFile" << file(megabyte) << false << fileMissing << QStringList() << 0;
    QTest::newRow("1 MB path, delete") << "delBackupFile" << file(megabyte) << false << notListed << QStringList() << 0;
    QTest::newRow("1 MB name") << "openBackupFolder" << group(megabyte, day) << false
                               << "openBackupFolder() BackupGroup not exists" << QStringList() << 0;
    // Deleting needs the path exactly as listed.
    const QString dotted = QString(copy).replace(QStringLiteral("/backup/"), QStringLiteral("/backup/../backup/"));
    QTest::newRow("path with ..") << "delBackupFile" << file(dotted) << false << notListed << QStringList() << 0;
    QTest::newRow("backslashes") << "delBackupFile" << file(QString(copy).replace(QLatin1Char('/'), QLatin1Char('\\')))
                                 << false << notListed << QStringList() << 0;
    QTest::newRow("NUL inside") << "delBackupFile" << file(copy + QChar(0) + QStringLiteral(".exe")) << false
                                << notListed << QStringList() << 0;
    QTest::newRow("NUL inside, open") << "openBackupFile" << file(copy + QChar(0) + QStringLiteral(".exe")) << false
                                      << fileMissing << QStringList() << 0;
    QTest::newRow("line break") << "openBackupFile" << file(copy + QLatin1Char('\n')) << false << fileMissing
                                << QStringList() << 0;
    // Opening is not limited to listed copies: the suite's safety check decides.
    QTest::newRow("open through ..") << "openBackupFile" << file(dotted) << true << QString() << QStringList() << 1;
    QTest::newRow("exists, not listed") << "delBackupFile" << file(late) << false << notListed << QStringList() << 0;
    QTest::newRow("outside the folder") << "delBackupFile" << file(QStringLiteral("@/outside/target.docx")) << false
                                        << notListed << QStringList() << 0;
    // The link is listed like QDir lists it: removing it removes the link, never its target.
    QTest::newRow("link, open") << "openBackupFile" << file(QStringLiteral("@/") + link) << false << fileUnsafe
                                << QStringList() << 0;
    QTest::newRow("link, delete") << "delBackupFile" << file(QStringLiteral("@/") + link) << true << QString()
                                  << QStringList(link) << 0;
    QTest::newRow("link, delete group") << "delBackupGroup" << group(QStringLiteral("linked.docx"), day) << true
                                        << QString() << QStringList(link) << 0;
    QTest::newRow("link, open group") << "openBackupGroup" << group(QStringLiteral("linked.docx"), day) << false
                                      << "openBackupGroup() `backupFileInfo.filePath` is not a safe path of local file."
                                      << QStringList() << 0;
    QTest::newRow("30 February") << "openBackupGroup" << group(QStringLiteral("report.docx"), QStringLiteral("2024/02/30"))
                                 << false << noGroupToOpen << QStringList() << 0;
    QTest::newRow("hyphens") << "delBackupGroup" << group(QStringLiteral("report.docx"), QStringLiteral("2024-03-05"))
                             << false << noGroupToDelete << QStringList() << 0;
    QTest::newRow("good group") << "delBackupGroup" << group(QStringLiteral("report.docx"), day) << true << QString()
                                << QStringList{QStringLiteral("backup/") + copyName(QStringLiteral("report.docx"), QStringLiteral("20240305143007")),
                                               QStringLiteral("backup/") + copyName(QStringLiteral("report.docx"), QStringLiteral("20240305150000"))}
                                << 0;
}

void tst_BadInput::answers()
{
    QFETCH(QString, method);
    QFETCH(QVariantMap, arguments);
    QFETCH(bool, result);
    QFETCH(QString, log);
    QFETCH(QStringList, removed);
    QFETCH(int, launches);
    for (QVariant &value : arguments) {
        if (value.userType() == QMetaType::QString)
            value = value.toString().replace(QLatin1Char('@'), m_home->path());
    }

    if (method == QLatin1String("openBackupFile") && arguments.value(QStringLiteral("backupFile")).toString().contains(QChar(0)))
        QTest::ignoreMessage(QtWarningMsg, "Broken filename passed to function");
    const Json::Value answer = callPage(m_handler, method, arguments);
    QVERIFY(answer["result"].isBool());
    QCOMPARE(answer["result"].asBool(), result);
    QStringList expectedLog{method + QStringLiteral("() begin"), method + QStringLiteral("() end")};
    if (!log.isEmpty())
        expectedLog.insert(1, log);
    QCOMPARE(m_home->logMessages(), expectedLog);
    for (const QString &file : qAsConst(m_files)) {
        const QFileInfo info(path(file));
        QVERIFY2((info.isSymLink() || info.exists()) == !removed.contains(file), qPrintable(file));
    }
    QTRY_COMPARE(m_home->launches().size(), launches);
}

void tst_BadInput::concurrentCallsAreSerialised()
{
    // Enough copies that a listing takes a while, and two documents whose
    // copies each thread deletes one by one.
    QStringList own[2];
    for (int i = 0; i < 200; ++i) {
        const QString stamp = QStringLiteral("20240305%1").arg(100000 + i);
        m_home->writeFile(QStringLiteral("backup/") + copyName(QStringLiteral("bulk.xlsx"), stamp));
        if (i < 10) {
            for (int t = 0; t < 2; ++t)
                own[t] << m_home->writeFile(QStringLiteral("backup/") + copyName(QStringLiteral("t%1.docx").arg(t), stamp));
        }
    }
    QCOMPARE(callPage(m_handler, QStringLiteral("getBackupFileList"))["result"].asBool(), true);
    m_home->clearLog();

    QSemaphore start;
    const auto work = [&](int t) {
        start.acquire();
        const QVariantMap bulk{{QStringLiteral("fileName"), QStringLiteral("bulk.xlsx")},
                               {QStringLiteral("saveDate"), QStringLiteral("2024/03/05")}};
        for (const QString &copy : own[t]) {
            callPage(m_handler, QStringLiteral("getBackupFileList"));
            callPage(m_handler, QStringLiteral("openBackupFile"), {{QStringLiteral("backupFile"), copy + QStringLiteral(".gone")}});
            callPage(m_handler, QStringLiteral("openBackupGroup"), {{QStringLiteral("fileName"), QStringLiteral("none")}});
            callPage(m_handler, QStringLiteral("openBackupFolder"), bulk);
            callPage(m_handler, QStringLiteral("delBackupFile"), {{QStringLiteral("backupFile"), copy}});
            callPage(m_handler, QStringLiteral("delBackupGroup"), {{QStringLiteral("fileName"), QStringLiteral("none")}});
        }
    };
    std::unique_ptr<QThread> threads[2] = {std::unique_ptr<QThread>(QThread::create(work, 0)),
                                           std::unique_ptr<QThread>(QThread::create(work, 1))};
    for (auto &thread : threads)
        thread->start();
    start.release(2);
    for (auto &thread : threads)
        QVERIFY(thread->wait(60000));

    // Every method's lines stand between its begin and its end: no method
    // ever started while another one was running.
    QString running;
    int calls = 0;
    for (const QString &line : m_home->logMessages()) {
        const QString method = line.left(line.indexOf(QLatin1Char('(')));
        if (line.endsWith(QLatin1String("() begin"))) {
            QVERIFY2(running.isEmpty(), qPrintable(line + QStringLiteral(" while ") + running + QStringLiteral(" ran")));
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
    QCOMPARE(QDir(path(QStringLiteral("backup"))).entryList(QDir::Files).filter(QStringLiteral("bulk.xlsx")).size(), 200);
}

QTEST_MAIN(tst_BadInput)
#include "tst_badinput.moc"
