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
    void looksOnlyIntoListedCopies_data();
    void looksOnlyIntoListedCopies();

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

void tst_BackupFileApi::looksOnlyIntoListedCopies_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QVariantMap>("arguments"); // "@old", "@new": the listed copies
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("swapped"); // the newer copy replaced by a link after the listing

    const QString refused = "{\"errormsg\":\"not a listed backup copy\",\"result\":false}";
    QTest::newRow("preview of a listed copy")
        << "getBackupFilePreview" << QVariantMap{{"backupFile", "@new"}}
        << "{\"author\":\"\",\"damaged\":false,\"kind\":\"text\",\"modified\":\"\",\"result\":true,"
           "\"text\":\"Nom;Ville\\nZoë;Genève\",\"title\":\"\",\"words\":2}"
        << false;
    QTest::newRow("preview of an unlisted file")
        << "getBackupFilePreview" << QVariantMap{{"backupFile", "@new.csv"}} << refused << false;
    QTest::newRow("preview of a copy replaced by a link")
        << "getBackupFilePreview" << QVariantMap{{"backupFile", "@new"}} << refused << true;
    QTest::newRow("comparison of listed copies")
        << "compareBackupFiles" << QVariantMap{{"older", "@old"}, {"newer", "@new"}}
        << "{\"added\":[\"Zoë;Genève\"],\"changedWords\":2,\"removed\":[\"Zoe;Geneva\"],\"result\":true,"
           "\"unchanged\":1}"
        << false;
    QTest::newRow("comparison with an unlisted file")
        << "compareBackupFiles" << QVariantMap{{"older", "@old"}, {"newer", "@new.csv"}} << refused << false;
}

void tst_BackupFileApi::looksOnlyIntoListedCopies()
{
    QFETCH(QString, method);
    QFETCH(QVariantMap, arguments);
    const QString old = m_api->home.writeBackupCopy("backup", "people.csv", QDateTime(QDate(2024, 3, 4), QTime(9, 0)),
                                                    "Nom;Ville\nZoe;Geneva\n");
    const QString newer = m_api->home.writeBackupCopy("backup", "people.csv", QDateTime(QDate(2024, 3, 5), QTime(9, 0)),
                                                      "Nom;Ville\nZo\xc3\xab;Gen\xc3\xa8ve\n");
    for (QVariant &value : arguments)
        value = value.toString().replace("@old", old).replace("@new", newer);
    list();
    QFETCH(bool, swapped);
    if (swapped) {
        QVERIFY(QFile::remove(newer));
        QVERIFY(QFile::link(m_api->home.writeFile("elsewhere/secret.txt", "secret"), newer));
    }
    QTEST(PageApiFixture::text(m_api->call(method, arguments)), "answer");
}

QTEST_MAIN(tst_BackupFileApi)
#include "tst_backupfileapi.moc"
