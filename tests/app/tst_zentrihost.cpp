// zentri-host call: the headless way into the page API, run as a program.
#include "testsuitehome.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

namespace {
using Run = TestSuiteHome::HostRun;

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool resultOf(const QJsonObject &line)
{
    return line[QStringLiteral("answer")][QStringLiteral("result")].toBool();
}
}

class tst_ZentriHost : public QObject
{
    Q_OBJECT

private slots:
    void listsAndLeavesTheSuiteFilesAlone_data();
    void listsAndLeavesTheSuiteFilesAlone();
    void callsShareOneCatalogue();
    void changeMadeDuringAListingSurvives();
    void swappedFolderDoesNotRedirectADelete();
    void commandLines_data();
    void commandLines();
};

void tst_ZentriHost::listsAndLeavesTheSuiteFilesAlone_data()
{
    QTest::addColumn<QString>("homeName");
    QTest::newRow("ASCII home") << QStringLiteral("zentri-home");
    QTest::newRow("non-ASCII home") << QStringLiteral("张伟 Jürgen");
}

void tst_ZentriHost::listsAndLeavesTheSuiteFilesAlone()
{
    QFETCH(QString, homeName);
    TestSuiteHome home(homeName);
    home.setSuiteValue(QStringLiteral("backup/path"), home.makeDir(QStringLiteral("Sicherung")));
    home.setCommonValue(QStringLiteral("Backup/AutoRecoverFilePathHis"),
                        QStringList{home.makeDir(QStringLiteral("früher"))});
    const QDate day(2024, 3, 5);
    const QString newest
        = home.writeBackupCopy("Sicherung", "plan.xlsx", QDateTime(day, QTime(16, 0, 0)), QByteArray(2048, 'x'));
    const QString older = home.writeBackupCopy("Sicherung", "Bericht über.docx", QDateTime(day, QTime(9, 5, 59)),
                                               QByteArray(1536, 'x'));
    const QString earlier
        = home.writeBackupCopy("früher", "plan.xlsx", QDateTime(day, QTime(17, 0, 0)), QByteArray(10, 'x'));
    home.writeFile(QStringLiteral("Sicherung/notes.txt"));
    QFile common(home.filePath(QStringLiteral("common.ini")));
    QVERIFY(common.open(QIODevice::Append));
    common.write("; another program's settings\n[user]\nname=J\xc3\xbcrgen M\xc3\xbcller\n");
    common.close();
    const QByteArray suiteBefore = fileBytes(home.filePath(QStringLiteral("suite.ini")));
    const QByteArray commonBefore = fileBytes(common.fileName());

    const Run result = home.runHost({QStringLiteral("call"), QStringLiteral("getBackupFileList")});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.lines.size(), 1);
    QCOMPARE(result.lines.first()[QStringLiteral("method")].toString(), QStringLiteral("getBackupFileList"));
    QVERIFY(resultOf(result.lines.first()));
    auto copy = [](const QString &path, const char *size, const char *time) {
        return QJsonObject{{"conflictTime", ""}, {"filePath", path}, {"fileSize", size}, {"saveTime", time}};
    };
    auto group = [](const QJsonArray &copies, const char *name, const char *type) {
        return QJsonObject{{"backupFiles", copies},
                           {"groupName", name},
                           {"groupType", type},
                           {"isConflict", false},
                           {"saveDate", "2024/03/05"}};
    };
    // The current folder first, newest copy first; the earlier folder's copy
    // joins the group already made for its document and day.
    const QJsonArray expected{
        group({copy(newest, "2 KB", "16:00"), copy(earlier, "0 KB", "17:00")}, "plan.xlsx", "xls"),
        group({copy(older, "1 KB", "09:05")}, "Bericht über.docx", "doc")};
    const QString list = result.lines.first()[QStringLiteral("answer")][QStringLiteral("backupList")].toString();
    QCOMPARE(QJsonDocument::fromJson(QByteArray::fromBase64(list.toLatin1())).object(),
             QJsonObject({{"backupList", expected}}));
    // A listing writes nothing.
    QCOMPARE(fileBytes(home.filePath(QStringLiteral("suite.ini"))), suiteBefore);
    QCOMPARE(fileBytes(common.fileName()), commonBefore);
}

void tst_ZentriHost::callsShareOneCatalogue()
{
    TestSuiteHome home;
    home.setSuiteValue(QStringLiteral("backup/path"), home.makeDir(QStringLiteral("backup")));
    const QDateTime saved(QDate(2024, 1, 2), QTime(3, 4, 5));
    const QString copy = home.writeBackupCopy(QStringLiteral("backup"), QStringLiteral("a.docx"), saved);
    const QString deck = home.writeBackupCopy(QStringLiteral("backup"), QStringLiteral("deck.pptx"), saved);
    const QString argument = QStringLiteral("{\"backupFile\": \"%1\"}");

    // A copy not yet listed is not deleted; once listed, it is, once.
    const Run result
        = home.runHost({"call", "delBackupFile", argument.arg(copy), "getBackupFileList", "delBackupFile",
                        argument.arg(copy), "delBackupFile", argument.arg(copy), "openBackupFile", argument.arg(deck)});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.lines.size(), 5);
    QCOMPARE((QList<bool>{resultOf(result.lines[0]), resultOf(result.lines[2]), resultOf(result.lines[3]),
                          resultOf(result.lines[4])}),
             (QList<bool>{false, true, false, true}));
    QVERIFY(!QFile::exists(copy));
    // Opened through the suite's launcher.
    QTRY_COMPARE(home.launches().size(), 1);
    QCOMPARE(home.launches().first().arguments, QStringList({QStringLiteral("/zdeck"), deck}));
}

// The suite (or another window) changes the mode while a host lists copies:
// the listing host must not write its own stale values back when it exits.
void tst_ZentriHost::changeMadeDuringAListingSurvives()
{
    TestSuiteHome home;
    home.setSuiteValue(QStringLiteral("backup/mode"), 1);
    home.setSuiteValue(QStringLiteral("backup/interval"), 10);
    const Run result
        = home.runHost({"call", "getBackupFileList", "wait:1500", "getBackupFileList"}, QString(), [&home] {
              home.setSuiteValue(QStringLiteral("backup/mode"), 2);
              home.setSuiteValue(QStringLiteral("backup/interval"), 77);
          });
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(home.suiteValue(QStringLiteral("backup/mode")).toInt(), 2);
    QCOMPARE(home.suiteValue(QStringLiteral("backup/interval")).toInt(), 77);
}

// The backup folder is swapped for a link to a folder holding a copy of the
// same name between the listing and the delete: that copy must stay.
void tst_ZentriHost::swappedFolderDoesNotRedirectADelete()
{
    TestSuiteHome home;
    const QDateTime savedAt(QDate(2024, 3, 5), QTime(10, 0));
    const QString folder = home.makeDir(QStringLiteral("backup"));
    home.setSuiteValue(QStringLiteral("backup/path"), folder);
    const QString listed = home.writeBackupCopy(QStringLiteral("backup"), QStringLiteral("a.docx"), savedAt);
    const QString other = home.writeBackupCopy(QStringLiteral("other"), QStringLiteral("a.docx"), savedAt);
    bool swapped = false;
    const Run result = home.runHost(
        {"call", "getBackupFileList", "wait:1500", "delBackupFile",
         QStringLiteral("{\"backupFile\": \"%1\"}").arg(listed)},
        QString(),
        [&] { swapped = QDir(folder).removeRecursively() && QFile::link(QFileInfo(other).absolutePath(), folder); });
    QVERIFY(swapped);
    QCOMPARE(result.exitCode, 0);
    QVERIFY(!resultOf(result.lines.last()));
    QVERIFY(QFile::exists(other));
}

// Each row: suite.ini values before, the command line, its exit code, and
// suite.ini values after.
void tst_ZentriHost::commandLines_data()
{
    QTest::addColumn<QVariantMap>("before");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QVariantMap>("after");
    const QVariantMap none;
    // The roaming switch exits cleanly.
    QTest::newRow("roaming to manual") << QVariantMap{{"account/signedIn", true}, {"cloud/roamingMode", "auto"}}
                                       << QStringList{"call", "changeRoamingMode", "{\"mode\": false}"} << 0
                                       << QVariantMap{{"cloud/roamingMode", "manual"}};
    QTest::newRow("roaming to automatic") << QVariantMap{{"account/signedIn", true}, {"cloud/roamingMode", "manual"}}
                                          << QStringList{"call", "changeRoamingMode", "{\"mode\": true}"} << 0
                                          << QVariantMap{{"cloud/roamingMode", "auto"}};
    QTest::newRow("help") << none << QStringList{"--help"} << 0 << none;
    QTest::newRow("unknown method") << none << QStringList{"call", "listEverything"} << 2 << none;
    QTest::newRow("not a page method") << none << QStringList{"call", "deleteLater"} << 2 << none;
    QTest::newRow("arguments not JSON") << none << QStringList{"call", "openUrl", "{url"} << 2 << none;
    QTest::newRow("arguments not an object") << none << QStringList{"call", "openUrl", "{}x"} << 2 << none;
    QTest::newRow("refused after a good call")
        << none << QStringList{"call", "getBackupFileList", "destroyed"} << 2 << none;
    QTest::newRow("no method") << none << QStringList{"call"} << 2 << none;
    // The suite would silently draw at the screen's scale.
    QTest::newRow("bad option value") << none
                                      << QStringList{"screenshot", "settings", "--out", "/dev/null", "--scale", "0"}
                                      << 2 << none;
}

void tst_ZentriHost::commandLines()
{
    QFETCH(QVariantMap, before);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QVariantMap, after);
    TestSuiteHome home;
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        home.setSuiteValue(it.key(), it.value());
    const Run result = home.runHost(arguments);
    QCOMPARE(result.exitCode, exitCode);
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        QCOMPARE(home.suiteValue(it.key()), it.value());
    if (arguments == QStringList{QStringLiteral("--help")}) {
        for (const char *command : {"call METHOD", "serve [--port N]", "screenshot WHAT"})
            QVERIFY2(result.output.contains(QStringLiteral("zentri-host ") + command), qPrintable(result.output));
    } else if (exitCode != 0) {
        QVERIFY(result.output.isEmpty());
        // One line of its own, whatever Qt may have said besides.
        QCOMPARE(
            result.errors.split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^zentri-host: "))).size(),
            1);
    }
}

QTEST_MAIN(tst_ZentriHost)
#include "tst_zentrihost.moc"
