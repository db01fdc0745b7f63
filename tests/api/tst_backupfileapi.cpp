// The backup-file page methods through the script object, against a real
// suite home: what a listing lets the page do afterwards.
#include "pageapifixture.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

class tst_BackupFileApi : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_api.reset(); }
    void deleteNeedsAListingOfThisHandler();
    void listsAnEmptyCatalogue();
    void listingTwiceGivesTheSameText();
    void deletedGroupCannotBeOpened();

private:
    // The listing's text and its groups.
    QJsonArray list(std::string *text = nullptr);
    bool remove()
    {
        return m_api->call(QStringLiteral("delBackupFile"), {{QStringLiteral("backupFile"), m_copy}})["result"]
            .asBool();
    }

    std::unique_ptr<PageApiFixture> m_api;
    QString m_copy;
};

void tst_BackupFileApi::init()
{
    m_api = std::make_unique<PageApiFixture>();
    m_api->home.setSuiteValue(QStringLiteral("backup/path"), m_api->home.makeDir(QStringLiteral("backup")));
    m_copy = m_api->home.writeBackupCopy(QStringLiteral("backup"), QStringLiteral("report.docx"),
                                         QDateTime(QDate(2024, 3, 5), QTime(14, 30, 7)));
}

QJsonArray tst_BackupFileApi::list(std::string *text)
{
    const Json::Value answer = m_api->call(QStringLiteral("getBackupFileList"));
    if (text)
        *text = answer["backupList"].asString();
    const QJsonObject listing
        = QJsonDocument::fromJson(QByteArray::fromBase64(QByteArray::fromStdString(answer["backupList"].asString())))
              .object();
    if (!answer["result"].asBool() || listing.keys() != QStringList{QStringLiteral("backupList")})
        QTest::qFail("not a listing", __FILE__, __LINE__);
    return listing.value(QStringLiteral("backupList")).toArray();
}

void tst_BackupFileApi::deleteNeedsAListingOfThisHandler()
{
    QVERIFY(!remove());
    QCOMPARE(list().size(), 1);
    // A new handler starts from an empty catalogue.
    m_api->reopen();
    QVERIFY(!remove());
    QVERIFY(QFile::exists(m_copy));
    list();
    QVERIFY(remove());
    QVERIFY(!QFile::exists(m_copy));
}

void tst_BackupFileApi::listsAnEmptyCatalogue()
{
    QFile::remove(m_copy);
    QVERIFY(list().isEmpty());
}

void tst_BackupFileApi::listingTwiceGivesTheSameText()
{
    std::string first, second;
    list(&first);
    list(&second);
    QVERIFY(!first.empty());
    QCOMPARE(first, second);
}

void tst_BackupFileApi::deletedGroupCannotBeOpened()
{
    const QJsonArray groups = list();
    QCOMPARE(groups.size(), 1);
    const QVariantMap group{{QStringLiteral("fileName"), groups.first()[QStringLiteral("groupName")].toString()},
                            {QStringLiteral("saveDate"), groups.first()[QStringLiteral("saveDate")].toString()}};
    QCOMPARE(m_api->call(QStringLiteral("delBackupGroup"), group)["result"].asBool(), true);
    QVERIFY(!QFile::exists(m_copy));
    QCOMPARE(m_api->call(QStringLiteral("openBackupGroup"), group)["result"].asBool(), false);
}

QTEST_MAIN(tst_BackupFileApi)
#include "tst_backupfileapi.moc"
