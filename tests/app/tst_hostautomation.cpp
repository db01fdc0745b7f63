// zentri-host with --automation and its screenshot command, run as programs:
// the settings dialog opened by the page method, driven from a script file,
// observed from outside through the suite home.
#include "testsuitehome.h"

#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

class tst_HostAutomation : public QObject
{
    Q_OBJECT

private slots:
    void showBackupSettingsAnswersDriveChanged_data();
    void showBackupSettingsAnswersDriveChanged();
    void missingTargetEndsWithCode3();
    void windowLeftOpenEndsWithCode3();
    void badScriptIsAUsageError();
    void screenshots_data();
    void screenshots();

private:
    struct Run
    {
        int exitCode = -1;
        QByteArray output;
        QString errors;
    };
    static Run run(const TestSuiteHome &home, const QStringList &arguments);
    static QString writeScript(const TestSuiteHome &home, const QString &script);
};

tst_HostAutomation::Run tst_HostAutomation::run(const TestSuiteHome &home, const QStringList &arguments)
{
    QProcess process;
    // Qt's file pickers remember their folders in the user's configuration.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(ARKIVO_BIN_DIR "/zentri-host"), QStringList{QStringLiteral("--home"), home.path()} + arguments);
    Run result;
    if (!process.waitForFinished(60000))
        return result;
    result.exitCode = process.exitCode();
    result.output = process.readAllStandardOutput();
    result.errors = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString tst_HostAutomation::writeScript(const TestSuiteHome &home, const QString &script)
{
    return home.writeFile(QStringLiteral("steps.txt"), script.toUtf8());
}

void tst_HostAutomation::showBackupSettingsAnswersDriveChanged_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("driveChanged");
    QTest::addColumn<QString>("announced");

    QTest::newRow("method changed") << "click localBackupSetting_timedBackupOptBtn\nkey Escape\n" << false
                                    << "BackupModeChanged";
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

    const Run result = run(home, {QStringLiteral("--automation"), writeScript(home, script.replace(QLatin1String("%1"), picked)),
                                  QStringLiteral("call"), QStringLiteral("showBackupSettings")});
    QVERIFY2(result.exitCode == 0, qPrintable(result.errors));
    const QJsonObject line = QJsonDocument::fromJson(result.output).object();
    QCOMPARE(line.value(QStringLiteral("answer")).toObject(),
             (QJsonObject{{QStringLiteral("driveChanged"), driveChanged}, {QStringLiteral("result"), true}}));

    QFile log(home.filePath(QStringLiteral("logs/appcenter.jsonl")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QJsonObject announcement = QJsonDocument::fromJson(log.readLine()).object();
    QCOMPARE(announcement.value(QStringLiteral("dwData")).toInt(), 2);
    QCOMPARE(announcement.value(QStringLiteral("hash")).toObject().value(QStringLiteral("action")).toString(), announced);
    QVERIFY(QFile(home.filePath(QStringLiteral("usage.jsonl"))).size() > 0);
    if (driveChanged)
        QCOMPARE(home.suiteValue(QStringLiteral("backup/path")).toString(), picked + QStringLiteral("/backup"));
    QVERIFY(home.logMessages().contains(QStringLiteral("showBackupSettings() end")));
}

void tst_HostAutomation::missingTargetEndsWithCode3()
{
    TestSuiteHome home;
    const Run result = run(home, {QStringLiteral("--automation"),
                                  writeScript(home, QStringLiteral("click localBackupSetting_smartBackupOptBtn\nclick text:No such button\n")),
                                  QStringLiteral("call"), QStringLiteral("showBackupSettings")});
    QCOMPARE(result.exitCode, 3);
    QVERIFY2(result.errors.contains(QStringLiteral("automation step 2 (line 2: click text:No such button)")),
             qPrintable(result.errors));
    QCOMPARE(result.output, QByteArray());
}

void tst_HostAutomation::windowLeftOpenEndsWithCode3()
{
    TestSuiteHome home;
    // The script never closes the dialog: the method would wait forever.
    const Run result = run(home, {QStringLiteral("--automation"),
                                  writeScript(home, QStringLiteral("click localBackupSetting_smartBackupOptBtn\n")),
                                  QStringLiteral("call"), QStringLiteral("showBackupSettings")});
    QCOMPARE(result.exitCode, 3);
    QVERIFY2(result.errors.contains(QStringLiteral("automation ended with a window still open")), qPrintable(result.errors));
}

void tst_HostAutomation::badScriptIsAUsageError()
{
    TestSuiteHome home;
    const Run result = run(home, {QStringLiteral("--automation"), writeScript(home, QStringLiteral("press Escape\n")),
                                  QStringLiteral("call"), QStringLiteral("showBackupSettings")});
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.errors.contains(QStringLiteral("automation line 1 (press Escape): unknown step")), qPrintable(result.errors));
}

void tst_HostAutomation::screenshots_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<QStringList>("options");
    QTest::newRow("settings") << "settings" << QStringList();
    QTest::newRow("settings, dark, 1.5") << "settings" << QStringList{"--skin", "dark", "--scale", "1.5"};
    QTest::newRow("increment notice") << "increment-notice" << QStringList{"--skin", "dark"};
    QTest::newRow("disable confirmation") << "disable-confirm" << QStringList();
    QTest::newRow("location confirmation") << "location-confirm" << QStringList();
    QTest::newRow("location error") << "error-cloud-cache" << QStringList{"--scale", "1.5"};
}

void tst_HostAutomation::screenshots()
{
    QFETCH(QString, what);
    QFETCH(QStringList, options);
    TestSuiteHome home;
    const QString out = home.filePath(QStringLiteral("picture.png"));
    const Run result = run(home, QStringList{QStringLiteral("screenshot"), what, QStringLiteral("--out"), out} + options);
    QCOMPARE(result.exitCode, 0);
    const QImage picture(out);
    QVERIFY(!picture.isNull());
    QVERIFY(picture.width() > 300 && picture.height() > 150);
    // The pictures are taken in a home of their own: this one is untouched.
    QVERIFY(!QFile::exists(home.filePath(QStringLiteral("suite.ini"))) || home.suiteValue(QStringLiteral("theme/skin")).isNull());
}

QTEST_MAIN(tst_HostAutomation)
#include "tst_hostautomation.moc"
