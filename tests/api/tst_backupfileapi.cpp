// The backup-file page methods through the script object, against a real
// suite home: what a listing lets the page do afterwards.
#include "pageapifixture.h"

#include "core/platformfiles.h"

#include <automation.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

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
    void restoresOnlyWhereThePersonChooses_data();
    void restoresOnlyWhereThePersonChooses();
    void followsTheBackupFolders_data();
    void followsTheBackupFolders();
    void readsTheFoldersWhileThePageLoads();
    void compactListingIsReadAgainWhenSomethingChanged_data();
    void compactListingIsReadAgainWhenSomethingChanged();

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
    QTest::newRow("details of a listed copy, against the day before")
        << "getBackupFileDetails" << QVariantMap{{"backupFiles", QVariantList{"@new", "@new.csv", 7}}}
        << "{\"files\":[{\"bytes\":23,\"filePath\":\"@new\",\"previousBytes\":21,\"saveDate\":\"2024/03/05\","
           "\"saveTime\":\"09:00:00\"}],\"result\":true}"
        << false;
}

void tst_BackupFileApi::looksOnlyIntoListedCopies()
{
    QFETCH(QString, method);
    QFETCH(QVariantMap, arguments);
    const QString old = m_api->home.writeBackupCopy("backup", "people.csv", QDateTime(QDate(2024, 3, 4), QTime(9, 0)),
                                                    "Nom;Ville\nZoe;Geneva\n");
    const QString newer = m_api->home.writeBackupCopy("backup", "people.csv", QDateTime(QDate(2024, 3, 5), QTime(9, 0)),
                                                      "Nom;Ville\nZo\xc3\xab;Gen\xc3\xa8ve\n");
    const auto fill = [&](QString text) { return text.replace("@old", old).replace("@new", newer); };
    for (QVariant &value : arguments) {
        if (value.userType() == QMetaType::QVariantList) {
            QVariantList values = value.toList();
            for (QVariant &inner : values)
                inner = inner.userType() == QMetaType::QString ? fill(inner.toString()) : inner;
            value = values;
        } else {
            value = fill(value.toString());
        }
    }
    list();
    QFETCH(bool, swapped);
    if (swapped) {
        QVERIFY(QFile::remove(newer));
        QVERIFY(QFile::link(m_api->home.writeFile("elsewhere/secret.txt", "secret"), newer));
    }
    QFETCH(QString, answer);
    QCOMPARE(PageApiFixture::text(m_api->call(method, arguments)), fill(answer));
}

void tst_BackupFileApi::restoresOnlyWhereThePersonChooses_data()
{
    QTest::addColumn<QString>("copy"); // "@copy", the listed copy, or another path
    QTest::addColumn<QString>("step"); // "@target": the chosen file
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("errormsg"); // empty: restored
    QTest::addColumn<int>("trashed");

    const auto row = [](const char *tag, const char *copy, const char *step, const char *target, const char *errormsg,
                        int trashed = 0) {
        QTest::newRow(tag) << QString(copy) << QString(step) << QString(target) << QString(errormsg) << trashed;
    };
    const char *saveAs = "save-as @target";
    row("new file", "@copy", saveAs, "restored/report.docx", "");
    row("replacing puts the old file in the trash", "@copy", saveAs, "restored/existing.docx", "", 1);
    row("cancelled", "@copy", "key Escape", "restored/report.docx", "cancelled");
    row("into the backup folder", "@copy", saveAs, "backup/report.docx", "outside the backup folder");
    row("folder that is a file", "@copy", saveAs, "plain/report.docx", "Nothing can be written");
    row("the disk fills up", "@copy", saveAs, "restored/big.docx", "could not be written");
    row("unlisted file", "@home/plain", "", "", "not a listed backup copy");
}

void tst_BackupFileApi::restoresOnlyWhereThePersonChooses()
{
    QFETCH(QString, copy);
    QFETCH(QString, step);
    QFETCH(QString, target);
    QFETCH(QString, errormsg);
    QFETCH(int, trashed);
    const TestSuiteHome &home = m_api->home;
    qputenv("XDG_DATA_HOME", home.makeDir("data").toUtf8());
    const QByteArray content(256 * 1024, 'c');
    const QString listed
        = home.writeBackupCopy("backup", "big.docx", QDateTime(QDate(2024, 3, 6), QTime(8, 0)), content);
    home.writeFile("plain", "a file where a folder is expected");
    home.makeDir("restored");
    const QString existing = home.writeFile("restored/existing.docx", "older work");
    list();
    const QString chosen = target.isEmpty() ? QString() : home.path() + '/' + target;

    QVector<Automation::Step> steps;
    QVERIFY(Automation::parse(QString(step).replace("@target", chosen), &steps, nullptr));
    Automation automation(steps);
    automation.start();
    // A file-size limit stands in for a full disk: writes past it fail.
    const bool fillDisk = QTest::currentDataTag() == QByteArray("the disk fills up");
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    if (fillDisk) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 64 * 1024;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    const Json::Value answer = m_api->call(
        "restoreBackupFile", {{"backupFile", QString(copy).replace("@copy", listed).replace("@home", home.path())}});
    setrlimit(RLIMIT_FSIZE, &saved);
    QVERIFY(steps.isEmpty() || automation.waitForDone());

    QCOMPARE(answer["result"].asBool(), errormsg.isEmpty());
    const std::string why = answer["errormsg"].asString();
    QVERIFY2(QString::fromStdString(why).contains(errormsg), why.c_str());
    QCOMPARE(QDir(home.path() + "/data/Trash/files").entryList(QDir::Files).size(), trashed);
    QFile restored(chosen);
    if (errormsg.isEmpty()) {
        QCOMPARE(QString::fromStdString(answer["restoredPath"].asString()), chosen);
        QVERIFY(restored.open(QIODevice::ReadOnly));
        QCOMPARE(restored.readAll(), content);
    } else {
        // Nothing half written is left beside what was there.
        QCOMPARE(QDir(home.path() + "/restored").entryList(QDir::Files | QDir::Hidden), QStringList{"existing.docx"});
    }
    QVERIFY(QFile::exists(existing) || trashed);
    QCOMPARE(QFileInfo(listed).size(), qint64(content.size()));
}

void tst_BackupFileApi::followsTheBackupFolders_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("added_");
    QTest::addColumn<int>("removed_");
    QTest::addColumn<bool>("known"); // after a first change: the watcher works from what it knew

    for (const bool known : {false, true}) {
        const char *when = known ? ", later" : "";
        QTest::addRow("copy written%s", when) << "write" << 1 << 0 << known;
        QTest::addRow("copy renamed in%s", when) << "rename" << 1 << 0 << known;
        QTest::addRow("copy removed%s", when) << "remove" << 0 << 1 << known;
        QTest::addRow("folder removed%s", when) << "folder" << 0 << 2 + known << known;
    }
    QTest::newRow("1,000 copies at once") << "many" << 1000 << 0 << false;
}

void tst_BackupFileApi::followsTheBackupFolders()
{
    QFETCH(QString, change);
    const TestSuiteHome &home = m_api->home;
    const QDateTime later(QDate(2024, 3, 6), QTime(9, 0));
    const QString second = home.writeBackupCopy("backup", "budget.xlsx", later);
    list();
    QSignalSpy events(m_api->registry.get(), &KEssJsApi::eventBroadcast);
    QStringList added, removed;
    const auto collect = [&] {
        for (; !events.isEmpty(); events.removeFirst()) {
            if (events.first().at(0).toString() != "event.arkivo.backupListChanged")
                continue;
            const QJsonObject payload = eventObject(events.first());
            for (const QJsonValue copy : payload["added"].toArray()) {
                QVERIFY(!copy["groupName"].toString().isEmpty() && !copy["saveDate"].toString().isEmpty());
                added.append(copy["filePath"].toString());
            }
            for (const QJsonValue path : payload["removed"].toArray())
                removed.append(path.toString());
        }
    };

    QFETCH(bool, known);
    if (known) {
        const QString first = home.writeBackupCopy("backup", "first.docx", later);
        QTRY_VERIFY((collect(), added.contains(first)));
        added.clear();
    }
    QString newCopy;
    if (change == "write") {
        newCopy = home.writeBackupCopy("backup", "report.docx", later);
    } else if (change == "rename") {
        const QString outside = home.writeBackupCopy("elsewhere", "report.docx", later);
        newCopy = home.path() + "/backup/" + QFileInfo(outside).fileName();
        QVERIFY(QFile::rename(outside, newCopy));
    } else if (change == "remove") {
        QVERIFY(QFile::remove(m_copy));
    } else if (change == "folder") {
        QVERIFY(QDir(home.path() + "/backup").removeRecursively());
    } else {
        for (int i = 0; i < 1000; ++i)
            home.writeBackupCopy("backup", QStringLiteral("note %1.docx").arg(i), later);
    }
    QFETCH(int, added_);
    QFETCH(int, removed_);
    QTRY_COMPARE_WITH_TIMEOUT((collect(), added.size() + removed.size()), added_ + removed_, 10000);
    QCOMPARE(added.size(), added_);
    QCOMPARE(removed.size(), removed_);
    if (!newCopy.isEmpty())
        QCOMPARE(added, QStringList{newCopy});
    // Deletes act on the catalogue as it is now.
    if (!newCopy.isEmpty())
        QVERIFY(m_api->call("delBackupFile", {{"backupFile", newCopy}})["result"].asBool());
    if (change == "remove")
        QVERIFY(!remove());
    QCOMPARE(list().size(), 2 + known + added_ - removed_ - (newCopy.isEmpty() ? 0 : 1));
    Q_UNUSED(second)
}

void tst_BackupFileApi::compactListingIsReadAgainWhenSomethingChanged_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("copies"); // in the next answer; -1: the last answer again
    QTest::newRow("nothing") << "" << -1;
    QTest::newRow("a person asks to read again") << "fresh" << 1;
    QTest::newRow("copy written") << "write" << 2;
    QTest::newRow("copy removed") << "remove" << 0;
    QTest::newRow("conflict record written") << "conflict" << 1;
}

void tst_BackupFileApi::compactListingIsReadAgainWhenSomethingChanged()
{
    // Changes a few milliseconds apart can be told apart here.
    PlatformFiles::setStampSettleNs(20 * 1000 * 1000);
    TestSuiteHome &home = m_api->home;
    // The suite keeps its conflict records outside the backup folder.
    home.setSuiteValue("backup/defaultPath", home.makeDir("default"));
    home.writeFile("default/zentri_sync_conflict.ini", "<conflicts/>");
    const QString reused = "getBackupFileListCompact() the folders are as last listed";
    const auto listing = [this](bool fresh = false) {
        const Json::Value answer
            = m_api->call("getBackupFileListCompact", fresh ? QVariantMap{{"fresh", true}} : QVariantMap());
        return QByteArray::fromStdString(answer["backupTable"].asString());
    };
    const auto copiesIn = [](const QByteArray &table) {
        int copies = 0;
        for (const QJsonValue group : QJsonDocument::fromJson(QByteArray::fromBase64(table))["groups"].toArray())
            copies += group[4].toArray().size();
        return copies;
    };
    // Listed until a listing comes a moment after the folder last changed.
    QTRY_VERIFY((listing(), listing(), home.logMessages().contains(reused)));
    const QByteArray before = listing();
    const int reusedBefore = home.logMessages().count(reused);

    QFETCH(QString, change);
    if (change == "write")
        home.writeBackupCopy("backup", "budget.xlsx", QDateTime(QDate(2024, 3, 6), QTime(9, 0)));
    else if (change == "remove")
        QVERIFY(QFile::remove(m_copy));
    else if (change == "conflict")
        home.writeFile("default/zentri_sync_conflict.ini",
                       QString("<conflicts><file backup=\"%1\" conflictTime=\"2024-03-05T14:31:00\"/></conflicts>")
                           .arg(m_copy)
                           .toUtf8());
    const QByteArray after = listing(change == "fresh");

    QFETCH(int, copies);
    QCOMPARE(home.logMessages().count(reused), reusedBefore + (copies < 0 ? 1 : 0));
    if (copies < 0)
        QCOMPARE(after, before);
    else
        QCOMPARE(copiesIn(after), copies);
    if (change == "conflict")
        QVERIFY(QByteArray::fromBase64(after).contains("2024-03-05 14:31:00"));
}

void tst_BackupFileApi::readsTheFoldersWhileThePageLoads()
{
    PlatformFiles::setStampSettleNs(20 * 1000 * 1000);
    const TestSuiteHome &home = m_api->home;
    const QString early = "getBackupFileListCompact() the folders were read while the page loaded";
    const auto copies = [this] {
        const Json::Value answer = m_api->call("getBackupFileListCompact");
        const QByteArray table = QByteArray::fromBase64(QByteArray::fromStdString(answer["backupTable"].asString()));
        return QJsonDocument::fromJson(table)["groups"].toArray().size();
    };
    // A script object made a moment after the folder last changed lists from what it read.
    QTRY_VERIFY((m_api->reopen(), copies(), home.logMessages().contains(early)));
    const int readEarly = home.logMessages().count(early);
    // A copy written after that reading is not missed.
    m_api->reopen();
    home.writeBackupCopy("backup", "budget.xlsx", QDateTime(QDate(2024, 3, 6), QTime(9, 0)));
    QCOMPARE(copies(), 2);
    QCOMPARE(home.logMessages().count(early), readEarly);
}

QTEST_MAIN(tst_BackupFileApi)
#include "tst_backupfileapi.moc"
