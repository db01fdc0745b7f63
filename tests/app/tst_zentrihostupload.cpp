// A manual upload driven from outside: zentri-host answers the file dialog
// from an automation script, the suite home's cloud service copies the files
// and the page's progress calls see it finish.
#include "testsuitehome.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

class tst_ZentriHostUpload : public QObject
{
    Q_OBJECT

private slots:
    void uploadsTheChosenFiles();
    void killedUploadLeavesNoDocument();
};

namespace {
// The files of the cloud drive that hold something, hidden ones included, by
// name; with `inFolder`, every file, after the name of its folder.
QStringList driveFiles(const TestSuiteHome &home, bool inFolder = false)
{
    QStringList names;
    QDirIterator it(home.filePath(QStringLiteral("clouddrive")), QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (inFolder || it.fileInfo().size() > 0)
            names << (inFolder ? it.fileInfo().dir().dirName() + QLatin1Char('/') : QString()) + it.fileName();
    }
    names.sort();
    return names;
}
}

void tst_ZentriHostUpload::uploadsTheChosenFiles()
{
    TestSuiteHome home;
    home.setSuiteValue(QStringLiteral("cloud/uploadBytesPerSecond"), 0);
    const QStringList sources{home.writeFile("docs/quarterly report.docx"), home.writeFile("docs/plan.xlsx")};
    // The first poll of the service comes three seconds after the start.
    const TestSuiteHome::HostRun run = home.runHost({"call", "manualBackupFiles", "wait:4500", "getUploadFilesProgress",
                                                     "getUploadSuccessFilesCount", "getUploadFilesState"},
                                                    "choose-files " + sources.join(QLatin1Char('|')) + '\n');
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
    QList<QJsonObject> lines;
    for (const QJsonObject &line : run.lines)
        lines.append(line.value(QStringLiteral("answer")).toObject());
    const auto done = [](const QString &path) {
        return QJsonObject{
            {"filePath", path}, {"fileName", QFileInfo(path).fileName()}, {"state", "done"}, {"percent", 100}};
    };
    const QJsonObject state{{"result", true},    {"files", QJsonArray{done(sources[0]), done(sources[1])}},
                            {"total", 2},        {"done", 2},
                            {"failed", 0},       {"progress", 100},
                            {"cancelled", false}};
    QCOMPARE(lines,
             (QList<QJsonObject>{{{"uploading", true}}, {{"progress", 100}}, {{"uploadSuccessFilesCount", 2}}, state}));
    // In today's folder of the cloud drive.
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    QCOMPARE(driveFiles(home, true), (QStringList{today + "/plan.xlsx", today + "/quarterly report.docx"}));
}

void tst_ZentriHostUpload::killedUploadLeavesNoDocument()
{
    TestSuiteHome home;
    home.setSuiteValue(QStringLiteral("cloud/uploadBytesPerSecond"), 100000);
    const QString source = home.writeFile(QStringLiteral("docs/large.docx"), QByteArray(1024 * 1024, 'x'));
    const QString script = home.writeFile(QStringLiteral("steps.txt"), "choose-files " + source.toUtf8() + '\n');
    QProcess host;
    host.start(QStringLiteral(ARKIVO_BIN_DIR "/zentri-host"),
               {"--home", home.path(), "--automation", script, "call", "manualBackupFiles", "wait:60000"});
    QTRY_VERIFY_WITH_TIMEOUT(!driveFiles(home).isEmpty(), 20000);
    host.kill(); // SIGKILL: the host cannot clean up
    QVERIFY(host.waitForFinished());

    // Cut short, the copy is no document under its own name.
    const QStringList left = driveFiles(home);
    QCOMPARE(left.size(), 1);
    QVERIFY2(left.first().startsWith(QLatin1Char('.')), qPrintable(left.first()));

    // The next host clears the part away, and nothing else.
    home.writeFile(QStringLiteral("clouddrive/.keep"));
    host.start(QStringLiteral(ARKIVO_BIN_DIR "/zentri-host"),
               {"--home", home.path(), "call", "getUploadFilesProgress"});
    QVERIFY(host.waitForFinished(60000));
    QCOMPARE(host.exitCode(), 0);
    QCOMPARE(driveFiles(home), QStringList{QStringLiteral(".keep")});
}

QTEST_MAIN(tst_ZentriHostUpload)
#include "tst_zentrihostupload.moc"
