// zentri-host call: the headless way into the page API, run as a program.
#include "testsuitehome.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

class tst_ZentriHost : public QObject
{
    Q_OBJECT

private slots:
    void listsTheBackupCopies();
    void callsShareOneCatalogue();
    void opensThroughTheSuiteLauncher();
    void listingLeavesTheSuiteFilesAlone_data();
    void listingLeavesTheSuiteFilesAlone();
    void changeMadeDuringAListingSurvives();
    void changesRoamingModeAndExits_data();
    void changesRoamingModeAndExits();
    void usageErrorsAndHelp_data();
    void usageErrorsAndHelp();

private:
    struct Run
    {
        int exitCode = -1;
        QList<QJsonObject> lines;
        QString output;
        QString errors;
    };
    static Run run(const TestSuiteHome &home, const QStringList &arguments);
};

tst_ZentriHost::Run tst_ZentriHost::run(const TestSuiteHome &home, const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(ARKIVO_BIN_DIR "/zentri-host"),
                  QStringList{QStringLiteral("--home"), home.path()} + arguments);
    Run result;
    if (!process.waitForFinished(60000))
        return result;
    result.exitCode = process.exitCode();
    result.errors = QString::fromUtf8(process.readAllStandardError());
    const QByteArray output = process.readAllStandardOutput();
    result.output = QString::fromUtf8(output);
    const QList<QByteArray> lines = output.split('\n');
    for (const QByteArray &line : lines) {
        if (!line.isEmpty())
            result.lines.append(QJsonDocument::fromJson(line).object());
    }
    return result;
}

static QJsonObject decodedList(const QJsonObject &line)
{
    const QString text = line[QStringLiteral("answer")][QStringLiteral("backupList")].toString();
    return QJsonDocument::fromJson(QByteArray::fromBase64(text.toLatin1())).object();
}

void tst_ZentriHost::listsTheBackupCopies()
{
    TestSuiteHome home;
    home.setSuiteValue(QStringLiteral("backup/path"), home.makeDir(QStringLiteral("current")));
    home.setCommonValue(QStringLiteral("Backup/AutoRecoverFilePathHis"), QStringList{home.makeDir(QStringLiteral("earlier"))});
    const QDate day(2024, 3, 5);
    const QString newest = home.writeBackupCopy(QStringLiteral("current"), QStringLiteral("plan.xlsx"),
                                                QDateTime(day, QTime(16, 0, 0)), QByteArray(2048, 'x'));
    const QString older = home.writeBackupCopy(QStringLiteral("current"), QStringLiteral("Bericht über.docx"),
                                               QDateTime(day, QTime(9, 5, 59)), QByteArray(1536, 'x'));
    const QString earlier = home.writeBackupCopy(QStringLiteral("earlier"), QStringLiteral("plan.xlsx"),
                                                 QDateTime(day, QTime(17, 0, 0)), QByteArray(10, 'x'));
    home.writeFile(QStringLiteral("current/notes.txt"));

    const Run result = run(home, {QStringLiteral("call"), QStringLiteral("getBackupFileList")});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.lines.size(), 1);
    QCOMPARE(result.lines.first()[QStringLiteral("method")].toString(), QStringLiteral("getBackupFileList"));
    QCOMPARE(result.lines.first()[QStringLiteral("answer")][QStringLiteral("result")].toBool(), true);

    auto copy = [](const QString &path, const char *size, const char *time) {
        return QJsonObject{{QStringLiteral("conflictTime"), QString()}, {QStringLiteral("filePath"), path},
                           {QStringLiteral("fileSize"), QLatin1String(size)}, {QStringLiteral("saveTime"), QLatin1String(time)}};
    };
    // The current folder first, newest copy first; the earlier folder's copy
    // joins the group already made for its document and day.
    const QJsonArray expected{
        QJsonObject{{QStringLiteral("backupFiles"), QJsonArray{copy(newest, "2 KB", "16:00"), copy(earlier, "0 KB", "17:00")}},
                    {QStringLiteral("groupName"), QStringLiteral("plan.xlsx")}, {QStringLiteral("groupType"), QStringLiteral("xls")},
                    {QStringLiteral("isConflict"), false}, {QStringLiteral("saveDate"), QStringLiteral("2024/03/05")}},
        QJsonObject{{QStringLiteral("backupFiles"), QJsonArray{copy(older, "1 KB", "09:05")}},
                    {QStringLiteral("groupName"), QStringLiteral("Bericht über.docx")}, {QStringLiteral("groupType"), QStringLiteral("doc")},
                    {QStringLiteral("isConflict"), false}, {QStringLiteral("saveDate"), QStringLiteral("2024/03/05")}},
    };
    QCOMPARE(decodedList(result.lines.first()), QJsonObject({{QStringLiteral("backupList"), expected}}));
}

void tst_ZentriHost::callsShareOneCatalogue()
{
    TestSuiteHome home;
    home.setSuiteValue(QStringLiteral("backup/path"), home.makeDir(QStringLiteral("backup")));
    const QString copy = home.writeBackupCopy(QStringLiteral("backup"), QStringLiteral("a.docx"),
                                              QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5)));
    const QString argument = QStringLiteral("{\"backupFile\": \"%1\"}").arg(copy);

    const Run result = run(home, {QStringLiteral("call"), QStringLiteral("delBackupFile"), argument,
                                  QStringLiteral("getBackupFileList"), QStringLiteral("delBackupFile"), argument,
                                  QStringLiteral("delBackupFile"), argument});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.lines.size(), 4);
    QCOMPARE(result.lines.at(0)[QStringLiteral("answer")][QStringLiteral("result")].toBool(), false);
    QCOMPARE(result.lines.at(2)[QStringLiteral("answer")][QStringLiteral("result")].toBool(), true);
    QCOMPARE(result.lines.at(3)[QStringLiteral("answer")][QStringLiteral("result")].toBool(), false);
    QVERIFY(!QFile::exists(copy));
}

void tst_ZentriHost::opensThroughTheSuiteLauncher()
{
    TestSuiteHome home;
    const QString copy = home.writeBackupCopy(QStringLiteral("backup"), QStringLiteral("deck.pptx"),
                                              QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5)));
    const Run result = run(home, {QStringLiteral("call"), QStringLiteral("openBackupFile"),
                                  QStringLiteral("{\"backupFile\": \"%1\"}").arg(copy)});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.lines.first()[QStringLiteral("answer")][QStringLiteral("result")].toBool(), true);
    QTRY_COMPARE(home.launches().size(), 1);
    QCOMPARE(home.launches().first().arguments, QStringList({QStringLiteral("/zdeck"), copy}));
}

static QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void tst_ZentriHost::listingLeavesTheSuiteFilesAlone_data()
{
    QTest::addColumn<QString>("homeName");
    QTest::newRow("ASCII home") << QStringLiteral("zentri-home");
    QTest::newRow("non-ASCII home") << QStringLiteral("张伟 Jürgen");
}

void tst_ZentriHost::listingLeavesTheSuiteFilesAlone()
{
    QFETCH(QString, homeName);
    TestSuiteHome home(homeName);
    home.setSuiteValue(QStringLiteral("backup/path"), home.makeDir(QStringLiteral("Sicherung")));
    home.setCommonValue(QStringLiteral("Backup/AutoRecoverFilePathHis"), QStringList{home.makeDir(QStringLiteral("früher"))});
    home.writeBackupCopy(QStringLiteral("Sicherung"), QStringLiteral("plan.xlsx"), QDateTime(QDate(2024, 3, 5), QTime(16, 0)));
    home.writeBackupCopy(QStringLiteral("früher"), QStringLiteral("Müller.docx"), QDateTime(QDate(2024, 3, 4), QTime(9, 0)));
    QFile common(home.filePath(QStringLiteral("common.ini")));
    QVERIFY(common.open(QIODevice::Append));
    common.write("; another program's settings\n[user]\nname=J\xc3\xbcrgen M\xc3\xbcller\n");
    common.close();
    const QByteArray suiteBefore = fileBytes(home.filePath(QStringLiteral("suite.ini")));
    const QByteArray commonBefore = fileBytes(common.fileName());

    const Run result = run(home, {QStringLiteral("call"), QStringLiteral("getBackupFileList")});
    QCOMPARE(result.exitCode, 0);
    const QJsonArray groups = decodedList(result.lines.value(0))[QStringLiteral("backupList")].toArray();
    QCOMPARE(groups.size(), 2);
    QCOMPARE(fileBytes(home.filePath(QStringLiteral("suite.ini"))), suiteBefore);
    QCOMPARE(fileBytes(common.fileName()), commonBefore);
}

// The suite (or another window) changes the mode while a host lists copies:
// the listing host must not write its own stale values back when it exits.
void tst_ZentriHost::changeMadeDuringAListingSurvives()
{
    TestSuiteHome home;
    home.setSuiteValue(QStringLiteral("backup/mode"), 1);
    home.setSuiteValue(QStringLiteral("backup/interval"), 10);
    QProcess process;
    process.start(QStringLiteral(ARKIVO_BIN_DIR "/zentri-host"),
                  {QStringLiteral("--home"), home.path(), QStringLiteral("call"), QStringLiteral("getBackupFileList"),
                   QStringLiteral("wait:1500"), QStringLiteral("getBackupFileList")});
    QVERIFY(process.waitForReadyRead(60000));
    home.setSuiteValue(QStringLiteral("backup/mode"), 2);
    home.setSuiteValue(QStringLiteral("backup/interval"), 77);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(home.suiteValue(QStringLiteral("backup/mode")).toInt(), 2);
    QCOMPARE(home.suiteValue(QStringLiteral("backup/interval")).toInt(), 77);
}

void tst_ZentriHost::changesRoamingModeAndExits_data()
{
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<QString>("stored");
    QTest::newRow("to manual") << false << QStringLiteral("manual");
    QTest::newRow("to automatic") << true << QStringLiteral("auto");
}

void tst_ZentriHost::changesRoamingModeAndExits()
{
    QFETCH(bool, automatic);
    QFETCH(QString, stored);
    TestSuiteHome home;
    home.setSuiteValue(QStringLiteral("account/signedIn"), true);
    home.setSuiteValue(QStringLiteral("cloud/roamingMode"), automatic ? QStringLiteral("manual") : QStringLiteral("auto"));
    const Run result = run(home, {QStringLiteral("call"), QStringLiteral("changeRoamingMode"),
                                  QStringLiteral("{\"mode\": %1}").arg(automatic ? "true" : "false")});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(home.suiteValue(QStringLiteral("cloud/roamingMode")).toString(), stored);
}

void tst_ZentriHost::usageErrorsAndHelp_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("unknown method") << QStringList{QStringLiteral("call"), QStringLiteral("listEverything")} << 2;
    QTest::newRow("reply slot") << QStringList{QStringLiteral("call"), QStringLiteral("onGetRoamingMode")} << 2;
    QTest::newRow("internal slot") << QStringList{QStringLiteral("call"), QStringLiteral("doOpenSearchPanel")} << 2;
    QTest::newRow("QObject's own") << QStringList{QStringLiteral("call"), QStringLiteral("deleteLater")} << 2;
    QTest::newRow("arguments not JSON") << QStringList{QStringLiteral("call"), QStringLiteral("openUrl"), QStringLiteral("{url")} << 2;
    QTest::newRow("arguments not an object") << QStringList{QStringLiteral("call"), QStringLiteral("openUrl"), QStringLiteral("{}x")} << 2;
    QTest::newRow("refused after a good call") << QStringList{QStringLiteral("call"), QStringLiteral("getBackupFileList"), QStringLiteral("destroyed")} << 2;
    QTest::newRow("no method") << QStringList{QStringLiteral("call")} << 2;
    // The suite would silently draw at the screen's scale.
    QTest::newRow("bad option value") << QStringList{QStringLiteral("screenshot"), QStringLiteral("settings"), QStringLiteral("--out"),
                                                     QStringLiteral("/dev/null"), QStringLiteral("--scale"), QStringLiteral("0")} << 2;
    QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0;
}

void tst_ZentriHost::usageErrorsAndHelp()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    TestSuiteHome home;
    const Run result = run(home, arguments);
    QCOMPARE(result.exitCode, exitCode);
    if (exitCode == 0) {
        for (const QString &command : {QStringLiteral("call METHOD"), QStringLiteral("serve [--port N]"), QStringLiteral("screenshot WHAT")})
            QVERIFY2(result.output.contains(QStringLiteral("zentri-host ") + command), qPrintable(result.output));
        return;
    }
    QVERIFY(result.output.isEmpty());
    // One line of its own, whatever Qt may have said besides.
    QCOMPARE(result.errors.split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^zentri-host: "))).size(), 1);
}

QTEST_MAIN(tst_ZentriHost)
#include "tst_zentrihost.moc"
