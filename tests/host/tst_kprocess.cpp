#include "testsuitehome.h"

#include <kprocess.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QtTest>

#include <memory>

class tst_KProcess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void checkLocalFileSafe_data();
    void checkLocalFileSafe();
    void checkUrl_data();
    void checkUrl();
    void checkApplicationSafe_data();
    void checkApplicationSafe();
    void startDetachRecordsArguments();
    void startDetachOfMissingProgramFails();
    void startProcessSplitsQuotedText();

private:
    QString executable(const QString &relative) const
    {
        const QString path = m_home->writeFile(relative);
        QFile::setPermissions(path, QFile(path).permissions() | QFile::ExeOwner | QFile::ExeUser);
        return path;
    }

    std::unique_ptr<TestSuiteHome> m_home;
};

void tst_KProcess::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    m_home = std::make_unique<TestSuiteHome>();
    QVERIFY(m_home->isValid());
}

void tst_KProcess::init()
{
    QFile::remove(m_home->filePath(QStringLiteral("launches.jsonl")));
}

void tst_KProcess::checkLocalFileSafe_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("safe");

    const QString good = m_home->writeFile(QStringLiteral("files/report.docx"));
    QTest::newRow("regular docx") << good << true;
    QTest::newRow("regular pdf, non-ASCII name") << m_home->writeFile(QStringLiteral("files/Bericht ü.pdf")) << true;
    QTest::newRow("relative") << QStringLiteral("files/report.docx") << false;
    QTest::newRow("missing") << m_home->filePath(QStringLiteral("files/none.docx")) << false;
    QTest::newRow("directory") << m_home->makeDir(QStringLiteral("files/folder.docx")) << false;
    const QString link = m_home->filePath(QStringLiteral("files/link.docx"));
    QFile::link(good, link);
    QTest::newRow("symlink to a good file") << link << false;
    // The file before the NUL exists: a check that stopped at NUL would pass it.
    QTest::newRow("NUL after the name") << good + QChar(0) + QStringLiteral(".exe") << false;
    QTest::newRow("newline in an existing name") << m_home->writeFile(QStringLiteral("files/a\nb.docx")) << false;
    QTest::newRow("tab in an existing name") << m_home->writeFile(QStringLiteral("files/a\tb.docx")) << false;
    QTest::newRow("network share") << QStringLiteral("//server/share/x.docx") << false;
    QTest::newRow("UNC share") << QStringLiteral("\\\\server\\share\\x.docx") << false;
    QTest::newRow("smb address") << QStringLiteral("smb://server/share/x.docx") << false;
    QTest::newRow("exe") << m_home->writeFile(QStringLiteral("files/setup.exe")) << false;
    QTest::newRow("EXE upper case") << m_home->writeFile(QStringLiteral("files/SETUP.EXE")) << false;
    QTest::newRow("exe with trailing dot") << m_home->writeFile(QStringLiteral("files/setup.exe.")) << false;
    QTest::newRow("shell script") << m_home->writeFile(QStringLiteral("files/run.sh")) << false;
    QTest::newRow("desktop entry") << m_home->writeFile(QStringLiteral("files/app.desktop")) << false;
    // NTFS, exFAT and CIFS drives show every file as executable: a document
    // type still opens, anything else with an execute bit is a program.
    QTest::newRow("execute bit, document") << executable(QStringLiteral("files/plain.docx")) << true;
    QTest::newRow("execute bit, no suffix") << executable(QStringLiteral("files/tool")) << false;
    QTest::newRow("empty") << QString() << false;
}

void tst_KProcess::checkLocalFileSafe()
{
    QFETCH(QString, path);
    QFETCH(bool, safe);
    QCOMPARE(KProcess::checkLocalFileSafe(path), safe);
}

void tst_KProcess::checkUrl_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("safe");

    QTest::newRow("http") << QStringLiteral("http://example.com/a?b=c") << true;
    QTest::newRow("https") << QStringLiteral("https://example.com") << true;
    QTest::newRow("scheme upper case") << QStringLiteral("HTTPS://example.com/x") << true;
    QTest::newRow("file") << QUrl::fromLocalFile(m_home->writeFile(QStringLiteral("files/x.pdf"))).toString() << true;
    // A file address opens only what opening a copy would.
    QTest::newRow("file missing") << QStringLiteral("file:///tmp/none-such.pdf") << false;
    QTest::newRow("file, a program") << QStringLiteral("file:///bin/sh") << false;
    QTest::newRow("file, a script") << QUrl::fromLocalFile(executable(QStringLiteral("files/run"))).toString() << false;
    QTest::newRow("file, a script by type") << QUrl::fromLocalFile(m_home->writeFile(QStringLiteral("files/go.sh"))).toString() << false;
    QTest::newRow("file, escaped parent") << QStringLiteral("file:///%2e%2e/etc") << false;
    QTest::newRow("file, parent to a document") << QUrl::fromLocalFile(m_home->makeDir(QStringLiteral("files/sub")) + QStringLiteral("/../x.pdf")).toString() << false;
    QTest::newRow("file, link to a document") << QUrl::fromLocalFile(m_home->filePath(QStringLiteral("files/link.docx"))).toString() << false;
    QTest::newRow("ftp") << QStringLiteral("ftp://example.com/x") << false;
    QTest::newRow("javascript") << QStringLiteral("javascript:alert(1)") << false;
    QTest::newRow("http without host") << QStringLiteral("http://") << false;
    QTest::newRow("relative") << QStringLiteral("folder/page.html") << false;
    QTest::newRow("newline") << QStringLiteral("https://example.com/\nx") << false;
    QTest::newRow("escaped NUL in file path") << QStringLiteral("file:///tmp/a%00.pdf") << false;
    QTest::newRow("file on a server") << QStringLiteral("file://server/share/x.pdf") << false;
    QTest::newRow("empty") << QString() << false;
}

void tst_KProcess::checkUrl()
{
    QFETCH(QString, url);
    QFETCH(bool, safe);
    QCOMPARE(KProcess::checkUrl(url), safe);
}

void tst_KProcess::checkApplicationSafe_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("safe");

    QTest::newRow("recorder") << TestSuiteHome::recorderPath() << true;
    QTest::newRow("not executable") << m_home->writeFile(QStringLiteral("files/tool.bin")) << false;
    QTest::newRow("folder") << QFileInfo(TestSuiteHome::recorderPath()).absolutePath() << false;
    QTest::newRow("relative") << QStringLiteral("zentri-recorder") << false;
    QTest::newRow("newline") << TestSuiteHome::recorderPath() + QStringLiteral("\n") << false;
}

void tst_KProcess::checkApplicationSafe()
{
    QFETCH(QString, path);
    QFETCH(bool, safe);
    QCOMPARE(KProcess::checkApplicationSafe(path), safe);
}

void tst_KProcess::startDetachRecordsArguments()
{
    qint64 pid = 0;
    const QStringList arguments{QStringLiteral("-open"), QStringLiteral("/tmp/a b.docx")};
    QVERIFY(KProcess::StartDetach(TestSuiteHome::recorderPath(), arguments, QString(), &pid));
    QVERIFY(pid > 0);
    QTRY_COMPARE(m_home->launches().size(), 1);
    QCOMPARE(m_home->launches().first().arguments, arguments);
}

void tst_KProcess::startDetachOfMissingProgramFails()
{
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot start")));
    QVERIFY(!KProcess::StartDetach(m_home->filePath(QStringLiteral("no-such-program")), {}));
}

void tst_KProcess::startProcessSplitsQuotedText()
{
    const QString program = QLatin1Char('"') + TestSuiteHome::recorderPath() + QLatin1Char('"');
    QVERIFY(startProcess(program, QStringLiteral("/switch \"a b\"")));
    QTRY_COMPARE(m_home->launches().size(), 1);
    QCOMPARE(m_home->launches().first().arguments, (QStringList{QStringLiteral("/switch"), QStringLiteral("a b")}));
}

QTEST_GUILESS_MAIN(tst_KProcess)
#include "tst_kprocess.moc"
