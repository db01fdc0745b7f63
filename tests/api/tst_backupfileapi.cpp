// The six backup-file page methods through the script object, against a
// real suite home.
#include "api/arkivoapi.h"
#include "pagecall.h"
#include "testsuitehome.h"

#include <kcoreapplication.h>
#include <kessjsapi.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QtTest>

#include <memory>

class tst_BackupFileApi : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void logsOneBeginAndEndLine_data();
    void logsOneBeginAndEndLine();
    void deleteNeedsAListingFirst();
    void listsAnEmptyCatalogue();
    void listingTwiceGivesTheSameText();
    void deletedGroupCannotBeOpened();
    void handlerDeletionReleasesTheCatalogue();

private:
    QJsonArray listedGroups();

    std::unique_ptr<TestSuiteHome> m_home;
    std::unique_ptr<KCoreApplication> m_hostApp;
    std::unique_ptr<KEssJsApi> m_registry;
    QPointer<QObject> m_handler;
    QString m_copy;
};

void tst_BackupFileApi::init()
{
    m_home = std::make_unique<TestSuiteHome>();
    const QString folder = m_home->makeDir(QStringLiteral("backup"));
    m_home->setSuiteValue(QStringLiteral("backup/path"), folder);
    m_copy = m_home->writeBackupCopy(QStringLiteral("backup"), QStringLiteral("report.docx"),
                                     QDateTime(QDate(2024, 3, 5), QTime(14, 30, 7)));
    m_hostApp = std::make_unique<KCoreApplication>();
    m_registry = std::make_unique<KEssJsApi>();
    arkivoAPI::registerWith(m_registry.get());
    QCOMPARE(m_registry->handles().size(), 1);
    m_handler = m_registry->handles().first().first;
}

void tst_BackupFileApi::cleanup()
{
    m_registry.reset();
    m_hostApp.reset();
    m_home.reset();
}

QJsonArray tst_BackupFileApi::listedGroups()
{
    const Json::Value answer = callPage(m_handler, QStringLiteral("getBackupFileList"));
    const QByteArray text = QByteArray::fromStdString(answer["backupList"].asString());
    return QJsonDocument::fromJson(QByteArray::fromBase64(text)).object().value(QStringLiteral("backupList")).toArray();
}

void tst_BackupFileApi::logsOneBeginAndEndLine_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QVariantMap>("arguments");
    QTest::addColumn<bool>("result");

    const QVariantMap group{{QStringLiteral("fileName"), QStringLiteral("report.docx")},
                            {QStringLiteral("saveDate"), QStringLiteral("2024/03/05")}};
    const QVariantMap hyphenDate{{QStringLiteral("fileName"), QStringLiteral("report.docx")},
                                 {QStringLiteral("saveDate"), QStringLiteral("2024-03-05")}};
    QTest::newRow("list") << "getBackupFileList" << QVariantMap() << true;
    QTest::newRow("open file without key") << "openBackupFile" << QVariantMap() << false;
    QTest::newRow("open group") << "openBackupGroup" << group << true;
    QTest::newRow("open group, hyphen date") << "openBackupGroup" << hyphenDate << false;
    QTest::newRow("open folder, no such group") << "openBackupFolder" << QVariantMap() << false;
    QTest::newRow("delete file without key") << "delBackupFile" << QVariantMap() << false;
    QTest::newRow("delete group") << "delBackupGroup" << group << true;
}

void tst_BackupFileApi::logsOneBeginAndEndLine()
{
    QFETCH(QString, method);
    QFETCH(QVariantMap, arguments);
    QFETCH(bool, result);

    listedGroups();
    m_home->clearLog();
    const Json::Value answer = callPage(m_handler, method, arguments);
    QCOMPARE(answer["result"].asBool(), result);

    const QStringList lines = m_home->logMessages();
    QVERIFY2(!lines.isEmpty(), "nothing was logged");
    QCOMPARE(lines.first(), method + QLatin1String("() begin"));
    QCOMPARE(lines.last(), method + QLatin1String("() end"));
    QCOMPARE(lines.filter(QStringLiteral("() begin")).size(), 1);
    QCOMPARE(lines.filter(QStringLiteral("() end")).size(), 1);
}

void tst_BackupFileApi::deleteNeedsAListingFirst()
{
    const Json::Value answer = callPage(m_handler, QStringLiteral("delBackupFile"), {{QStringLiteral("backupFile"), m_copy}});
    QCOMPARE(answer["result"].asBool(), false);
    QVERIFY(QFile::exists(m_copy));

    listedGroups();
    QCOMPARE(callPage(m_handler, QStringLiteral("delBackupFile"), {{QStringLiteral("backupFile"), m_copy}})["result"].asBool(), true);
    QVERIFY(!QFile::exists(m_copy));
}

void tst_BackupFileApi::listsAnEmptyCatalogue()
{
    QFile::remove(m_copy);
    const Json::Value answer = callPage(m_handler, QStringLiteral("getBackupFileList"));
    QCOMPARE(answer["result"].asBool(), true);
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray::fromBase64(QByteArray::fromStdString(answer["backupList"].asString())));
    QCOMPARE(document.object().keys(), QStringList{QStringLiteral("backupList")});
    QVERIFY(document.object().value(QStringLiteral("backupList")).toArray().isEmpty());
}

void tst_BackupFileApi::listingTwiceGivesTheSameText()
{
    const Json::Value first = callPage(m_handler, QStringLiteral("getBackupFileList"));
    const Json::Value second = callPage(m_handler, QStringLiteral("getBackupFileList"));
    QVERIFY(!first["backupList"].asString().empty());
    QCOMPARE(first["backupList"].asString(), second["backupList"].asString());
}

void tst_BackupFileApi::deletedGroupCannotBeOpened()
{
    const QJsonArray groups = listedGroups();
    QCOMPARE(groups.size(), 1);
    const QVariantMap group{{QStringLiteral("fileName"), groups.first()[QStringLiteral("groupName")].toString()},
                            {QStringLiteral("saveDate"), groups.first()[QStringLiteral("saveDate")].toString()}};
    QCOMPARE(callPage(m_handler, QStringLiteral("delBackupGroup"), group)["result"].asBool(), true);
    QVERIFY(!QFile::exists(m_copy));
    QCOMPARE(callPage(m_handler, QStringLiteral("openBackupGroup"), group)["result"].asBool(), false);
}

void tst_BackupFileApi::handlerDeletionReleasesTheCatalogue()
{
    QCOMPARE(listedGroups().size(), 1);
    m_registry->tearDown();
    QVERIFY(m_handler.isNull());

    // A new handler starts from an empty catalogue: nothing to delete before a listing.
    arkivoAPI::registerWith(m_registry.get());
    m_handler = m_registry->handles().last().first;
    QCOMPARE(callPage(m_handler, QStringLiteral("delBackupFile"), {{QStringLiteral("backupFile"), m_copy}})["result"].asBool(), false);
}

QTEST_MAIN(tst_BackupFileApi)
#include "tst_backupfileapi.moc"
