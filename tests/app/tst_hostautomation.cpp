// zentri-host with --automation and its screenshot command, run as programs:
// the settings dialog opened by the page method, driven from a script file,
// observed from outside through the suite home.
#include "pageapifixture.h"

#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

class tst_HostAutomation : public QObject
{
    Q_OBJECT

private slots:
    void showBackupSettingsAnswersDriveChanged_data();
    void showBackupSettingsAnswersDriveChanged();
    void runs_data();
    void runs();
};

void tst_HostAutomation::showBackupSettingsAnswersDriveChanged_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("driveChanged");
    QTest::addColumn<QString>("announced");
    QTest::newRow("method changed") << "click localBackupSetting_timedBackupOptBtn\nkey Escape\n"
                                    << false << "BackupModeChanged";
    QTest::newRow("location changed") << "click text:Change location\nchoose-dir %1\n"
                                         "click localBackupSetting_diskStorageConfirmDlgBtn0\nkey Escape\n"
                                      << true << "BackupPathChanged";
}

void tst_HostAutomation::showBackupSettingsAnswersDriveChanged()
{
    QFETCH(QString, script);
    QFETCH(bool, driveChanged);
    QFETCH(QString, announced);
    TestSuiteHome home;
    home.setSuiteValue(QStringLiteral("backup/path"), home.makeDir(QStringLiteral("current/backup")));
    const QString picked = home.makeDir(QStringLiteral("new place"));

    const TestSuiteHome::HostRun result
        = home.runHost({"call", "showBackupSettings"}, script.replace(QLatin1String("%1"), picked));
    QVERIFY2(result.exitCode == 0, qPrintable(result.errors));
    QCOMPARE(result.lines.value(0)["answer"].toObject(),
             (QJsonObject{{"driveChanged", driveChanged}, {"result", true}}));
    const QJsonObject announcement = jsonLines(home.filePath(QStringLiteral("logs/appcenter.jsonl"))).value(0);
    QCOMPARE(announcement.value(QStringLiteral("dwData")).toInt(), 2);
    QCOMPARE(announcement.value(QStringLiteral("hash")).toObject().value(QStringLiteral("action")).toString(),
             announced);
    QVERIFY(QFile(home.filePath(QStringLiteral("usage.jsonl"))).size() > 0);
    if (driveChanged)
        QCOMPARE(home.suiteValue(QStringLiteral("backup/path")).toString(), picked + QStringLiteral("/backup"));
    QVERIFY(home.logMessages().contains(QStringLiteral("showBackupSettings() end")));
}

// Each row: an automation script, the command line, its exit code and a part
// of its error output; screenshots must be pictures.
void tst_HostAutomation::runs_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error");
    const QStringList settings{"call", "showBackupSettings"};
    QTest::newRow("missing target") << "click localBackupSetting_smartBackupOptBtn\nclick text:No such button\n"
                                    << settings << 3 << "automation step 2 (line 2: click text:No such button)";
    // The script never closes the dialog: the method would wait forever.
    QTest::newRow("window left open") << "click localBackupSetting_smartBackupOptBtn\n"
                                      << settings << 3 << "automation ended with a window still open";
    QTest::newRow("bad script") << "press Escape\n"
                                << settings << 2 << "automation line 1 (press Escape): unknown step";
    const QStringList shot{"screenshot", "WHAT", "--out", "OUT"};
    const auto screenshot = [&](const char *name, const char *what, const QStringList &options) {
        QTest::newRow(name) << QString() << QStringList(shot).replaceInStrings("WHAT", what) + options << 0
                            << QString();
    };
    screenshot("settings", "settings", {});
    screenshot("settings, dark, 1.5", "settings", {"--skin", "dark", "--scale", "1.5"});
    screenshot("increment notice", "increment-notice", {"--skin", "dark"});
    screenshot("disable confirmation", "disable-confirm", {});
    screenshot("location confirmation", "location-confirm", {});
    screenshot("location error", "error-cloud-cache", {"--scale", "1.5"});
}

void tst_HostAutomation::runs()
{
    QFETCH(QString, script);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, error);
    TestSuiteHome home;
    const QString out = home.filePath(QStringLiteral("picture.png"));
    const TestSuiteHome::HostRun result = home.runHost(arguments.replaceInStrings(QStringLiteral("OUT"), out), script);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(result.errors.contains(error), qPrintable(result.errors));
    if (exitCode != 0) {
        QCOMPARE(result.output, QString());
    } else {
        const QImage picture(out);
        QVERIFY(picture.width() > 300 && picture.height() > 150);
        // The pictures are taken in a home of their own: this one is untouched.
        QVERIFY(!QFile::exists(home.filePath(QStringLiteral("suite.ini")))
                || home.suiteValue(QStringLiteral("theme/skin")).isNull());
    }
}

QTEST_MAIN(tst_HostAutomation)
#include "tst_hostautomation.moc"
