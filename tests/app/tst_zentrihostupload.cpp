// A manual upload driven from outside: zentri-host answers the file dialog
// from an automation script, the suite home's cloud service copies the files
// and the page's progress calls see it finish.
#include "testsuitehome.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
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
// The files of the cloud drive, hidden ones included, by name.
QStringList driveFiles(const TestSuiteHome &home)
{
    QStringList names;
    QDirIterator it(home.filePath(QStringLiteral("clouddrive")), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (it.fileInfo().size() > 0)
            names << it.fileName();
    }
    names.sort();
    return names;
}
}

void tst_ZentriHostUpload::uploadsTheChosenFiles()
{
    TestSuiteHome home;
    home.setSuiteValue(QStringLiteral("cloud/uploadBytesPerSecond"), 0);
    QByteArray large(3 * 1024 * 1024, Qt::Uninitialized);
    for (int i = 0; i < large.size(); ++i)
        large[i] = char((uint(i) * 7919u) >> 3);
    const QStringList sources{home.writeFile(QStringLiteral("docs/quarterly report.docx"), large),
                              home.writeFile(QStringLiteral("docs/plan.xlsx"), QByteArray("plan"))};
    const QString script = home.writeFile(QStringLiteral("steps.txt"),
                                          (QStringLiteral("choose-files ") + sources.join(QLatin1Char('|')) + '\n').toUtf8());

    // The first poll of the service comes three seconds after the start.
    QProcess process;
    process.start(QStringLiteral(ARKIVO_BIN_DIR "/zentri-host"),
                  {QStringLiteral("--home"), home.path(), QStringLiteral("--automation"), script, QStringLiteral("call"),
                   QStringLiteral("manualBackupFiles"), QStringLiteral("wait:4500"), QStringLiteral("getUploadFilesProgress"),
                   QStringLiteral("getUploadSuccessFilesCount")});
    QVERIFY(process.waitForFinished(60000));
    QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
    QList<QJsonObject> lines;
    for (const QByteArray &line : process.readAllStandardOutput().split('\n')) {
        if (!line.isEmpty())
            lines.append(QJsonDocument::fromJson(line).object().value(QStringLiteral("answer")).toObject());
    }
    QCOMPARE(lines, (QList<QJsonObject>{{{QStringLiteral("uploading"), true}},
                                        {{QStringLiteral("progress"), 100}},
                                        {{QStringLiteral("uploadSuccessFilesCount"), 2}}}));

    // The copies sit in one dated folder of the cloud drive, equal to their sources.
    QStringList copies;
    QDirIterator it(home.filePath(QStringLiteral("clouddrive")), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        copies << it.next();
    QCOMPARE(copies.size(), 2);
    QCOMPARE(QFileInfo(copies.first()).dir().dirName(), QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    for (const QString &source : sources) {
        QFile original(source);
        QFile copy(QFileInfo(copies.first()).dir().filePath(QFileInfo(source).fileName()));
        QVERIFY(original.open(QIODevice::ReadOnly) && copy.open(QIODevice::ReadOnly));
        QVERIFY(original.readAll() == copy.readAll());
    }
}

void tst_ZentriHostUpload::killedUploadLeavesNoDocument()
{
    TestSuiteHome home;
    home.setSuiteValue(QStringLiteral("cloud/uploadBytesPerSecond"), 100000);
    const QString source = home.writeFile(QStringLiteral("docs/large.docx"), QByteArray(1024 * 1024, 'x'));
    const QString script = home.writeFile(QStringLiteral("steps.txt"), (QStringLiteral("choose-files ") + source + '\n').toUtf8());
    QProcess host;
    host.start(QStringLiteral(ARKIVO_BIN_DIR "/zentri-host"),
               {QStringLiteral("--home"), home.path(), QStringLiteral("--automation"), script, QStringLiteral("call"),
                QStringLiteral("manualBackupFiles"), QStringLiteral("wait:60000")});
    QTRY_VERIFY_WITH_TIMEOUT(!driveFiles(home).isEmpty(), 20000);
    host.kill();
    QVERIFY(host.waitForFinished());

    // Cut short, the copy is no document under its own name.
    const QStringList left = driveFiles(home);
    QCOMPARE(left.size(), 1);
    QVERIFY2(left.first().startsWith(QLatin1Char('.')), qPrintable(left.first()));

    // The next host clears the part away, and nothing else.
    home.writeFile(QStringLiteral("clouddrive/.keep"));
    host.start(QStringLiteral(ARKIVO_BIN_DIR "/zentri-host"),
               {QStringLiteral("--home"), home.path(), QStringLiteral("call"), QStringLiteral("getUploadFilesProgress")});
    QVERIFY(host.waitForFinished(60000));
    QCOMPARE(host.exitCode(), 0);
    QCOMPARE(driveFiles(home), QStringList{QStringLiteral(".keep")});
}

QTEST_MAIN(tst_ZentriHostUpload)
#include "tst_zentrihostupload.moc"
