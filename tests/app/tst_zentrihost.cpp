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
    void refusesWhatIsNoPageMethod_data();
    void refusesWhatIsNoPageMethod();

private:
    struct Run
    {
        int exitCode = -1;
        QList<QJsonObject> lines;
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
    const QList<QByteArray> lines = process.readAllStandardOutput().split('\n');
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

void tst_ZentriHost::refusesWhatIsNoPageMethod_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unknown method") << QStringList{QStringLiteral("call"), QStringLiteral("listEverything")};
    QTest::newRow("reply slot") << QStringList{QStringLiteral("call"), QStringLiteral("onGetRoamingMode")};
    QTest::newRow("internal slot") << QStringList{QStringLiteral("call"), QStringLiteral("doOpenSearchPanel")};
    QTest::newRow("QObject's own") << QStringList{QStringLiteral("call"), QStringLiteral("deleteLater")};
    QTest::newRow("arguments not JSON") << QStringList{QStringLiteral("call"), QStringLiteral("openUrl"), QStringLiteral("{url")};
    QTest::newRow("arguments not an object") << QStringList{QStringLiteral("call"), QStringLiteral("openUrl"), QStringLiteral("{}x")};
    QTest::newRow("refused after a good call") << QStringList{QStringLiteral("call"), QStringLiteral("getBackupFileList"), QStringLiteral("destroyed")};
    QTest::newRow("no method") << QStringList{QStringLiteral("call")};
}

void tst_ZentriHost::refusesWhatIsNoPageMethod()
{
    QFETCH(QStringList, arguments);
    TestSuiteHome home;
    const Run result = run(home, arguments);
    QCOMPARE(result.exitCode, 2);
    QVERIFY(result.lines.isEmpty());
    // One line of its own, whatever Qt may have said besides.
    QCOMPARE(result.errors.split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^zentri-host: "))).size(), 1);
}

QTEST_MAIN(tst_ZentriHost)
#include "tst_zentrihost.moc"
