// The upload page methods' own part: the file dialog over the web view and
// the answers given when nothing goes up. The upload itself is tested with
// the upload manager, the local cloud service and zentri-host.
#include "pageapifixture.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>
#include <QtTest>

class tst_UploadApi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void answers_data();
    void answers();
};

void tst_UploadApi::answers_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("caption"); // of the file dialog; empty: none opens
    QTest::newRow("nothing chosen") << QStringLiteral("manualBackupFiles")
                                    << QStringLiteral("{\"errormsg\":\"selectedFiles is empty\"}")
                                    << QStringLiteral("Select one or more files to upload");
    QTest::newRow("cancel without an upload")
        << QStringLiteral("cancelUploadFilesToCloud") << QStringLiteral("{\"cancelUpload\":true}") << QString();
}

void tst_UploadApi::answers()
{
    QFETCH(QString, method);
    QFETCH(QString, answer);
    QFETCH(QString, caption);
    QWidget webView;
    PageApiFixture api(&webView);
    // Closes the file dialog as a person would who chooses nothing.
    QString shownCaption;
    QPointer<QWidget> parent;
    QTimer closer;
    connect(&closer, &QTimer::timeout, [&] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            closer.stop();
            shownCaption = dialog->windowTitle();
            parent = dialog->parentWidget();
            dialog->reject();
        }
    });
    closer.start(10);

    QCOMPARE(PageApiFixture::text(api.call(method)), answer);
    QCOMPARE(shownCaption, caption);
    QCOMPARE(parent.data(), caption.isEmpty() ? nullptr : &webView);
    QCOMPARE(api.call(QStringLiteral("getUploadFilesProgress"))["progress"].asInt(), 0);
    QCOMPARE(api.call(QStringLiteral("getUploadSuccessFilesCount"))["uploadSuccessFilesCount"].asInt(), 0);
    QVERIFY(!QDir(api.home.filePath(QStringLiteral("clouddrive"))).exists());
    QCOMPARE(QApplication::topLevelWidgets(), QWidgetList{&webView});
}

QTEST_MAIN(tst_UploadApi)
#include "tst_uploadapi.moc"
