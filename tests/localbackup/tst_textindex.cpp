// The text index of the listed copies: searches through the page method on
// real copies, incremental passes, a damaged file and an owner that goes.
#include "localbackup/textindex.h"
#include "pageapifixture.h"

#include <KZip>

#include <QBuffer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

namespace {

QByteArray docx(const QByteArray &paragraphs)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    KZip zip(&buffer);
    zip.open(QIODevice::WriteOnly);
    zip.writeFile(QStringLiteral("word/document.xml"),
                  "<w:document xmlns:w='w'><w:body>" + paragraphs + "</w:body></w:document>");
    zip.close();
    return bytes;
}

int rowsIn(const QString &database)
{
    int rows = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("count"));
        db.setDatabaseName(database);
        QSqlQuery query(db);
        if (db.open() && query.exec(QStringLiteral("SELECT count(*) FROM copies")) && query.next())
            rows = query.value(0).toInt();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("count"));
    return rows;
}

}

class tst_TextIndex : public QObject
{
    Q_OBJECT
private slots:
    void queries_data();
    void queries();
    void passes_data();
    void passes();
    void stopsWhenOwnerGoes();
};

void tst_TextIndex::queries_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("hits");      // "name date" of each hit, "|"-separated; "!" for result false
    QTest::addColumn<QString>("snippet");   // in the first hit's snippet
    QTest::addColumn<bool>("deleteNewest"); // the newest copy is deleted before the search
    const auto row = [](const char *tag, const char *query, int limit, const char *hits, const char *snippet,
                        bool deleteNewest = false) {
        QTest::newRow(tag) << QString::fromUtf8(query) << limit << QString::fromUtf8(hits) << QString::fromUtf8(snippet)
                           << deleteNewest;
    };
    row("word", "bericht", 50, "report.docx 2026/12/01", "\u0001Bericht\u0002");
    row("case and diacritics", "MULLER", 50, "report.docx 2026/12/01", "Herr \u0001Müller\u0002");
    row("cjk substring", "字符测", 50, "notes.csv 2026/12/02", "中文\u0001字符测\u0002试");
    row("cjk run not in text", "字符测验", 50, "", "");
    row("cjk one letter", "語", 50, "notes.csv 2026/12/02", "日本\u0001語\u0002の");
    row("cjk two letters, and a word", "文字 herr", 50, "notes.csv 2026/12/02", "\u0001文字\u0002");
    row("fts syntax as text", "\"it's OR (done)\" -- NEAR*", 50, "quotes.csv 2026/12/03", "\u0001OR\u0002");
    row("sql quote", "'; DROP TABLE copies; --", 50, "", "");
    row("newest first", "plan", 50, "plan.csv 2026/12/05|plan.csv 2026/12/04", "\u0001plan\u0002");
    row("limit", "plan", 1, "plan.csv 2026/12/05", "");
    row("copy deleted since the listing", "plan", 50, "plan.csv 2026/12/04", "", true);
    row("nothing to search", " -- ! ", 50, "!", "");
}

void tst_TextIndex::queries()
{
    QFETCH(QString, query);
    QFETCH(int, limit);
    QFETCH(QString, hits);
    QFETCH(QString, snippet);
    QFETCH(bool, deleteNewest);
    PageApiFixture api;
    api.home.setSuiteValue(QStringLiteral("backup/path"), api.home.makeDir(QStringLiteral("backup")));
    const auto copy = [&](const char *name, int day, const QByteArray &content) {
        return api.home.writeBackupCopy(QStringLiteral("backup"), QString::fromUtf8(name),
                                        QDateTime(QDate(2026, 12, day), QTime(10, 0)), content);
    };
    copy("report.docx", 1, docx("<w:p><w:t>Herr Müller schickt den Bericht.</w:t></w:p><w:p><w:t>Zahlen</w:t></w:p>"));
    copy("notes.csv", 2, "herr;中文字符测试文本\n日本語のテキスト\n");
    copy("quotes.csv", 3, "He said \"it's OR (done)\" -- NEAR the end\n");
    copy("plan.csv", 4, "plan A\n");
    // A copy without text to index is a row like any other.
    copy("minutes.doc", 4, QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
    const QString newest = copy("plan.csv", 5, "the plan B\n");
    QSignalSpy events(api.registry.get(), &KEssJsApi::eventBroadcast);
    QVERIFY(api.call(QStringLiteral("getBackupFileList"))["result"].asBool());
    QTRY_VERIFY(std::any_of(events.cbegin(), events.cend(), [](const QList<QVariant> &event) {
        return eventObject(event) == QJsonObject({{"indexed", 6}, {"total", 6}});
    }));

    if (deleteNewest)
        QVERIFY(api.call(QStringLiteral("delBackupFile"), {{"backupFile", newest}})["result"].asBool());
    const Json::Value answer = api.call(QStringLiteral("searchBackupText"), {{"query", query}, {"limit", limit}});
    QStringList found;
    for (const Json::Value &hit : answer["hits"])
        found << QString::fromStdString(hit["groupName"].asString() + " " + hit["saveDate"].asString());
    QCOMPARE(answer["result"].asBool() ? found.join(QLatin1Char('|')) : QStringLiteral("!"), hits);
    QCOMPARE(answer["errormsg"].empty(), answer["result"].asBool());
    const QString first = QString::fromStdString(answer["hits"][0]["snippet"].asString());
    QVERIFY2(first.contains(snippet), qPrintable(first));
}

void tst_TextIndex::passes_data()
{
    QTest::addColumn<QString>("change"); // before the second pass
    QTest::addColumn<int>("read");       // copies read by the second pass
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("found"); // the words a search then finds
    QTest::newRow("nothing changed") << "" << 0 << 2 << "alpha beta";
    QTest::newRow("copy rewritten") << "rewrite" << 1 << 2 << "alpha gamma";
    QTest::newRow("copy vanished") << "remove" << 0 << 1 << "alpha";
    QTest::newRow("damaged database") << "damage" << 2 << 2 << "alpha beta";
}

void tst_TextIndex::passes()
{
    QFETCH(QString, change);
    QFETCH(int, read);
    QFETCH(int, rows);
    QFETCH(QString, found);
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("cache/textindex.sqlite"));
    TextIndex::Snapshot snapshot;
    for (const char *word : {"alpha", "beta"}) {
        const QString path = dir.filePath(QStringLiteral("%1.csv").arg(QLatin1String(word)));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(word) > 0);
        snapshot.append({path, file.size(), QString::fromLatin1(word), QDate(2026, 12, 1), QTime(9, 0)});
    }
    QStringList words;
    const auto pass = [&] {
        TextIndex index(database);
        QSignalSpy finished(&index, &TextIndex::passFinished);
        index.requestPass(snapshot);
        if (!finished.wait(10000))
            return -1;
        words.clear();
        for (const QString &word : {QStringLiteral("alpha"), QStringLiteral("beta"), QStringLiteral("gamma")})
            words << (index.search(word).hits.isEmpty() ? QString() : word);
        return finished.first().at(2).toInt();
    };
    QCOMPARE(pass(), 2);
    QFile second(snapshot.at(1).path);
    if (change == QLatin1String("rewrite"))
        QVERIFY(second.open(QIODevice::WriteOnly) && second.write("gamma delta") > 0);
    if (change == QLatin1String("remove"))
        QVERIFY(second.remove() && !snapshot.takeLast().path.isEmpty());
    QFile damaged(database);
    if (change == QLatin1String("damage"))
        QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write(QByteArray(8192, 'x')) > 0);
    second.close();
    damaged.close();
    QCOMPARE(pass(), read);
    QCOMPARE(rowsIn(database), rows);
    QCOMPARE(QFileInfo::exists(database + QStringLiteral(".damaged")), change == QLatin1String("damage"));
    QCOMPARE(words.join(QLatin1Char(' ')).simplified(), found);
}

void tst_TextIndex::stopsWhenOwnerGoes()
{
    PageApiFixture api;
    api.home.setSuiteValue(QStringLiteral("backup/path"), api.home.makeDir(QStringLiteral("backup")));
    for (int i = 0; i < 400; ++i)
        api.home.writeBackupCopy(QStringLiteral("backup"), QStringLiteral("doc%1.docx").arg(i),
                                 QDateTime(QDate(2026, 12, 1), QTime(0, 0).addSecs(i)),
                                 docx("<w:p><w:t>" + QByteArray(2000, 'w') + " tail</w:t></w:p>"));
    QSignalSpy events(api.registry.get(), &KEssJsApi::eventBroadcast);
    QVERIFY(api.call(QStringLiteral("getBackupFileList"))["result"].asBool());
    QVERIFY(events.wait()); // the pass has begun
    // The handler goes as the framework deletes it: its pass ends with it.
    api.reopen();
    const int indexed = rowsIn(api.home.filePath(QStringLiteral("cache/arkivo/textindex.sqlite")));
    QVERIFY2(indexed < 400, qPrintable(QString::number(indexed)));
}

QTEST_MAIN(tst_TextIndex)
#include "tst_textindex.moc"
