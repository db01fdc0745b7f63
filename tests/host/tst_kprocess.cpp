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
    void safe_data();
    void safe();
    void launches_data();
    void launches();

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

constexpr int File = 0, Url = 1, Program = 2;

// What the host may hand to the desktop: a file to open, an address, a program.
void tst_KProcess::safe_data()
{
    QTest::addColumn<int>("check");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("safe");

    const QString good = m_home->writeFile(QStringLiteral("files/report.docx"));
    QTest::newRow("file, regular docx") << File << good << true;
    QTest::newRow("file, regular pdf, non-ASCII name")
        << File << m_home->writeFile(QStringLiteral("files/Bericht ü.pdf")) << true;
    QTest::newRow("file, relative") << File << QStringLiteral("files/report.docx") << false;
    QTest::newRow("file, missing") << File << m_home->filePath(QStringLiteral("files/none.docx")) << false;
    QTest::newRow("file, directory") << File << m_home->makeDir(QStringLiteral("files/folder.docx")) << false;
    const QString link = m_home->filePath(QStringLiteral("files/link.docx"));
    QFile::link(good, link);
    QTest::newRow("file, symlink to a good file") << File << link << false;
    // The file before the NUL exists: a check that stopped at NUL would pass it.
    QTest::newRow("file, NUL after the name") << File << good + QChar(0) + QStringLiteral(".exe") << false;
    QTest::newRow("file, newline in an existing name")
        << File << m_home->writeFile(QStringLiteral("files/a\nb.docx")) << false;
    QTest::newRow("file, tab in an existing name")
        << File << m_home->writeFile(QStringLiteral("files/a\tb.docx")) << false;
    QTest::newRow("file, network share") << File << QStringLiteral("//server/share/x.docx") << false;
    QTest::newRow("file, UNC share") << File << QStringLiteral("\\\\server\\share\\x.docx") << false;
    QTest::newRow("file, smb address") << File << QStringLiteral("smb://server/share/x.docx") << false;
    QTest::newRow("file, exe") << File << m_home->writeFile(QStringLiteral("files/setup.exe")) << false;
    QTest::newRow("file, EXE upper case") << File << m_home->writeFile(QStringLiteral("files/SETUP.EXE")) << false;
    QTest::newRow("file, exe with trailing dot")
        << File << m_home->writeFile(QStringLiteral("files/setup.exe.")) << false;
    QTest::newRow("file, shell script") << File << m_home->writeFile(QStringLiteral("files/run.sh")) << false;
    QTest::newRow("file, desktop entry") << File << m_home->writeFile(QStringLiteral("files/app.desktop")) << false;
    // NTFS, exFAT and CIFS drives show every file as executable: a document
    // type still opens, anything else with an execute bit is a program.
    QTest::newRow("file, execute bit, document") << File << executable(QStringLiteral("files/plain.docx")) << true;
    QTest::newRow("file, execute bit, no suffix") << File << executable(QStringLiteral("files/tool")) << false;
    QTest::newRow("file, empty") << File << QString() << false;

    QTest::newRow("address, http") << Url << QStringLiteral("http://example.com/a?b=c") << true;
    QTest::newRow("address, https") << Url << QStringLiteral("https://example.com") << true;
    QTest::newRow("address, scheme upper case") << Url << QStringLiteral("HTTPS://example.com/x") << true;
    QTest::newRow("address, file") << Url
                                   << QUrl::fromLocalFile(m_home->writeFile(QStringLiteral("files/x.pdf"))).toString()
                                   << true;
    // A file address opens only what opening a copy would.
    QTest::newRow("address, file missing") << Url << QStringLiteral("file:///tmp/none-such.pdf") << false;
    QTest::newRow("address, file, a program") << Url << QStringLiteral("file:///bin/sh") << false;
    QTest::newRow("address, file, a script")
        << Url << QUrl::fromLocalFile(executable(QStringLiteral("files/run"))).toString() << false;
    QTest::newRow("address, file, a script by type")
        << Url << QUrl::fromLocalFile(m_home->writeFile(QStringLiteral("files/go.sh"))).toString() << false;
    QTest::newRow("address, file, escaped parent") << Url << QStringLiteral("file:///%2e%2e/etc") << false;
    QTest::newRow("address, file, parent to a document")
        << Url
        << QUrl::fromLocalFile(m_home->makeDir(QStringLiteral("files/sub")) + QStringLiteral("/../x.pdf")).toString()
        << false;
    QTest::newRow("address, file, link to a document")
        << Url << QUrl::fromLocalFile(m_home->filePath(QStringLiteral("files/link.docx"))).toString() << false;
    QTest::newRow("address, ftp") << Url << QStringLiteral("ftp://example.com/x") << false;
    QTest::newRow("address, javascript") << Url << QStringLiteral("javascript:alert(1)") << false;
    QTest::newRow("address, http without host") << Url << QStringLiteral("http://") << false;
    QTest::newRow("address, relative") << Url << QStringLiteral("folder/page.html") << false;
    QTest::newRow("address, newline") << Url << QStringLiteral("https://example.com/\nx") << false;
    QTest::newRow("address, escaped NUL in file path") << Url << QStringLiteral("file:///tmp/a%00.pdf") << false;
    QTest::newRow("address, file on a server") << Url << QStringLiteral("file://server/share/x.pdf") << false;
    QTest::newRow("address, empty") << Url << QString() << false;

    QTest::newRow("program, recorder") << Program << TestSuiteHome::recorderPath() << true;
    QTest::newRow("program, not executable") << Program << m_home->writeFile(QStringLiteral("files/tool.bin")) << false;
    QTest::newRow("program, folder") << Program << QFileInfo(TestSuiteHome::recorderPath()).absolutePath() << false;
    QTest::newRow("program, relative") << Program << QStringLiteral("zentri-recorder") << false;
    QTest::newRow("program, newline") << Program << TestSuiteHome::recorderPath() + QStringLiteral("\n") << false;
}

void tst_KProcess::safe()
{
    QFETCH(int, check);
    QFETCH(QString, path);
    QFETCH(bool, safe);
    const bool answer = check == File  ? KProcess::checkLocalFileSafe(path)
                        : check == Url ? KProcess::checkUrl(path)
                                       : KProcess::checkApplicationSafe(path);
    QCOMPARE(answer, safe);
}

void tst_KProcess::launches_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("arguments"); // startProcess's text; StartDetach's list when it holds '|'
    QTest::addColumn<QStringList>("recorded");

    const QString recorder = TestSuiteHome::recorderPath();
    QTest::newRow("detached") << recorder << "-open|/tmp/a b.docx" << QStringList{"-open", "/tmp/a b.docx"};
    QTest::newRow("quoted text split") << '"' + recorder + '"' << "/switch \"a b\"" << QStringList{"/switch", "a b"};
    QTest::newRow("missing program") << m_home->filePath(QStringLiteral("no-such-program")) << "|" << QStringList();
}

void tst_KProcess::launches()
{
    QFETCH(QString, program);
    QFETCH(QString, arguments);
    QFETCH(QStringList, recorded);
    if (arguments.contains(QLatin1Char('|'))) {
        qint64 pid = 0;
        if (recorded.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot start")));
        QCOMPARE(KProcess::StartDetach(program, arguments.split(QLatin1Char('|'), Qt::SkipEmptyParts), QString(), &pid),
                 !recorded.isEmpty());
        QCOMPARE(pid > 0, !recorded.isEmpty());
    } else {
        QVERIFY(startProcess(program, arguments));
    }
    if (!recorded.isEmpty())
        QTRY_COMPARE(m_home->launches().size(), 1);
    QCOMPARE(m_home->launches().value(0).arguments, recorded);
}

QTEST_GUILESS_MAIN(tst_KProcess)
#include "tst_kprocess.moc"
