// The manual upload through the page: the user chooses files in the modal
// file dialog, the page polls the progress of the real local cloud service.
#include "api/arkivoapi.h"
#include "cloud/kcloudbackupmanager.h"
#include "pagecall.h"
#include "plugin/arkivoapplication.h"
#include "testsuitehome.h"

#include <kcoreapplication.h>
#include <kessjsapi.h>
#include <localcloudservice.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QStandardPaths>
#include <QtTest>

#include <memory>

// Answers the next modal file dialog as a person would: chooses the files
// (all of one folder), or closes the dialog when there are none.
class FileDialogAnswer : public QObject
{
    Q_OBJECT
public:
    explicit FileDialogAnswer(const QStringList &files)
        : m_files(files)
    {
        connect(&m_timer, &QTimer::timeout, this, &FileDialogAnswer::answer);
        m_timer.start(10);
    }

    QString caption;
    QPointer<QWidget> parent;
    bool answered = false;

private:
    void answer()
    {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        m_timer.stop();
        answered = true;
        caption = dialog->windowTitle();
        parent = dialog->parentWidget();
        if (m_files.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->setDirectory(QFileInfo(m_files.first()).absolutePath());
        QStringList names;
        for (const QString &file : qAsConst(m_files))
            names << QLatin1Char('"') + QFileInfo(file).fileName() + QLatin1Char('"');
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(names.join(QLatin1Char(' ')));
        static_cast<QDialog *>(dialog)->accept();
    }

    QStringList m_files;
    QTimer m_timer;
};

class tst_UploadApi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void nothingChosen();
    void uploadsTheChosenFiles();
    void cancelAnswersAtOnce();

private:
    Json::Value call(const QString &method) { return callPage(m_handler, method); }

    std::unique_ptr<TestSuiteHome> m_home;
    std::unique_ptr<KCoreApplication> m_hostApp;
    std::unique_ptr<KEssJsApi> m_registry;
    QPointer<QObject> m_handler;
    QWidget m_webView;
};

void tst_UploadApi::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_UploadApi::init()
{
    m_home = std::make_unique<TestSuiteHome>();
    m_home->setSuiteValue(QStringLiteral("cloud/uploadBytesPerSecond"), 0);
    m_hostApp = std::make_unique<KCoreApplication>();
    m_registry = std::make_unique<KEssJsApi>();
    m_registry->jsObject()->webViewContainer()->setHostWidget(&m_webView);
    arkivoAPI::registerWith(m_registry.get());
    m_handler = m_registry->handles().first().first;
}

void tst_UploadApi::cleanup()
{
    m_registry.reset();
    m_hostApp.reset();
    m_home.reset();
    QVERIFY(QApplication::topLevelWidgets().size() <= 1);
}

void tst_UploadApi::nothingChosen()
{
    FileDialogAnswer answer({});
    const Json::Value result = call(QStringLiteral("manualBackupFiles"));
    QVERIFY(answer.answered);
    QCOMPARE(answer.caption, QStringLiteral("Select one or more files to upload"));
    QCOMPARE(answer.parent.data(), &m_webView);
    QCOMPARE(result.getMemberNames(), std::vector<std::string>{"errormsg"});
    QCOMPARE(result["errormsg"].asString(), std::string("selectedFiles is empty"));
    QCOMPARE(call(QStringLiteral("getUploadFilesProgress"))["progress"].asInt(), 0);
    QVERIFY(!QDir(m_home->filePath(QStringLiteral("clouddrive"))).exists());
}

void tst_UploadApi::uploadsTheChosenFiles()
{
    const QStringList files{m_home->writeFile(QStringLiteral("docs/plan.xlsx"), QByteArray(3000, 'p')),
                            m_home->writeFile(QStringLiteral("docs/Bericht über.docx"), QByteArray(70000, 'b'))};
    FileDialogAnswer answer(files);
    const Json::Value result = call(QStringLiteral("manualBackupFiles"));
    QVERIFY(answer.answered);
    QCOMPARE(result.getMemberNames(), std::vector<std::string>{"uploading"});
    QCOMPARE(result["uploading"].asBool(), true);

    QTRY_COMPARE_WITH_TIMEOUT(call(QStringLiteral("getUploadFilesProgress"))["progress"].asInt(), 100, 10000);
    QCOMPARE(call(QStringLiteral("getUploadSuccessFilesCount"))["uploadSuccessFilesCount"].asInt(), 2);
    const QDir drive(LocalCloudService::localFolder(KCloudBackupManager::cloudFolder(QDate::currentDate())));
    QCOMPARE(drive.entryList(QDir::Files, QDir::Name), QStringList({QStringLiteral("Bericht über.docx"), QStringLiteral("plan.xlsx")}));
    QCOMPARE(QFileInfo(drive.filePath(QStringLiteral("Bericht über.docx"))).size(), 70000);
}

void tst_UploadApi::cancelAnswersAtOnce()
{
    const Json::Value result = call(QStringLiteral("cancelUploadFilesToCloud"));
    QCOMPARE(result.getMemberNames(), std::vector<std::string>{"cancelUpload"});
    QCOMPARE(result["cancelUpload"].asBool(), true);
    QCOMPARE(call(QStringLiteral("getUploadSuccessFilesCount"))["uploadSuccessFilesCount"].asInt(), 0);
}

QTEST_MAIN(tst_UploadApi)
#include "tst_uploadapi.moc"
