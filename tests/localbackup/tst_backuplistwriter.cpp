#include "localbackup/backuplistwriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QtTest>

#include <deque>

namespace {

// A catalogue whose groups live as long as it does.
struct Catalogue
{
    std::deque<BackupGroupInfo> owned;
    QList<BackupGroupInfo *> groups;

    BackupGroupInfo &add(const QString &name, int type, const QDate &date)
    {
        owned.push_back({name, BackupDocType(type), date, {}, false});
        groups.append(&owned.back());
        return owned.back();
    }
};

void addCopy(BackupGroupInfo &group, const QString &path, qint64 size, const QTime &time,
             const QDateTime &conflictTime = {})
{
    group.backupFiles.append({path, size, time, conflictTime});
    group.isConflict = group.isConflict || conflictTime.isValid();
}

// The list as Qt's own JSON classes would write it.
QByteArray referenceJson(const QList<BackupGroupInfo *> &groups)
{
    QJsonArray list;
    for (const BackupGroupInfo *group : groups) {
        QJsonArray files;
        for (const BackupFileInfo &file : group->backupFiles)
            files.append(
                QJsonObject{{"filePath", file.filePath},
                            {"fileSize", BackupListWriter::sizeText(file.fileSize)},
                            {"saveTime", file.saveTime.toString("HH:mm")},
                            {"conflictTime",
                             file.conflictTime.isValid() ? file.conflictTime.toString("yyyy-MM-dd HH:mm:ss") : ""}});
        list.append(QJsonObject{{"isConflict", group->isConflict},
                                {"groupName", group->groupName},
                                {"groupType", QStringList({"doc", "ppt", "xls", "pdf", "unknown"})[group->groupType]},
                                {"saveDate", group->saveDate.toString("yyyy/MM/dd")},
                                {"backupFiles", files}});
    }
    return QJsonDocument(QJsonObject{{"backupList", list}}).toJson();
}

// The compact table read back into the indented list's objects.
QJsonObject expandCompact(const QByteArray &base64)
{
    QJsonParseError error;
    const QJsonObject table = QJsonDocument::fromJson(QByteArray::fromBase64(base64), &error).object();
    if (error.error != QJsonParseError::NoError)
        return QJsonObject{{"parse error", error.errorString()}};
    const QJsonArray folders = table.value("folders").toArray();
    QJsonArray list;
    for (const QJsonValue &group : table.value("groups").toArray()) {
        const QJsonArray g = group.toArray();
        QJsonArray files;
        for (const QJsonValue &copy : g.at(4).toArray()) {
            const QJsonArray c = copy.toArray();
            const int folder = c.at(0).toInt();
            const QString name = c.at(1).toString();
            files.append(QJsonObject{{"filePath", folder < 0 ? name : folders.at(folder).toString() + '/' + name},
                                     {"fileSize", c.at(2)},
                                     {"saveTime", c.at(3)},
                                     {"conflictTime", c.at(4)}});
        }
        list.append(QJsonObject{{"groupName", g.at(0)},
                                {"groupType", g.at(1)},
                                {"saveDate", g.at(2)},
                                {"isConflict", g.at(3)},
                                {"backupFiles", files}});
    }
    return QJsonObject{{"backupList", list}};
}

} // namespace

using Fill = std::function<void(Catalogue &)>;
Q_DECLARE_METATYPE(Fill)

class tst_BackupListWriter : public QObject
{
    Q_OBJECT

private slots:
    void matchesQtJson_data()
    {
        QTest::addColumn<Fill>("fill");
        const QDate day(2024, 3, 5);
        const QTime time(9, 5, 59);
        QTest::newRow("empty") << Fill([](Catalogue &) {});
        QTest::newRow("group without copies") << Fill([=](Catalogue &c) { c.add("a.docx", 0, day); });
        QTest::newRow("every type, conflicts, early years") << Fill([=](Catalogue &c) {
            for (int type = 0; type <= 4; ++type) {
                BackupGroupInfo &group
                    = c.add(QString("g%1").arg(type), type, QDate(5 + type * 400, 1 + type, 9 + type));
                addCopy(group, type % 2 ? "/b/one" : "one", 0, QTime(0, 0));
                addCopy(group, "/b/two", 1048576 + type, QTime(23, 59, 59),
                        type % 2 ? QDateTime(QDate(2023, 12, 31), QTime(1, 2, 3)) : QDateTime());
            }
        });
        QTest::newRow("awkward names") << Fill([=](Catalogue &c) {
            for (const QString &name :
                 {QString::fromUtf8("Bericht über Ärger 報告.docx"), QString("quote\"d \\back\\slash/.docx"),
                  QString("controls \x01\x08\x09\x0a\x0c\x0d\x1f\x7f end"), QString::fromUtf8("emoji 😀🎉.pptx"),
                  QString("lone ") + QChar(0xd800) + "high " + QChar(0xdc00) + "low" + QChar(0xd83d),
                  QString(QChar(0xfffe)) + QChar(0xffff) + QChar(0x07ff) + QChar(0x0800)})
                addCopy(c.add(name, 0, day), "/b/" + name, 2048, time);
        });
        QTest::newRow("chunk boundaries") << Fill([=](Catalogue &c) {
            // Texts longer than the writer's buffer, and enough groups to fill it many times.
            addCopy(c.add(QString(70000, QChar(0x00e9)), 2, day), QString(50001, 'p') + QString::fromUtf8("😀"), 5,
                    time);
            for (int i = 0; i < 700; ++i) {
                BackupGroupInfo &group = c.add(QString("doc %1.docx").arg(i), i % 5, day.addDays(-i));
                for (int j = 0; j < i % 4; ++j)
                    addCopy(group, QString("/backup/%1/%2").arg(i).arg(j), qint64(i) * 7919 * j, QTime(j, i % 60));
            }
        });
    }

    void matchesQtJson()
    {
        QFETCH(Fill, fill);
        Catalogue catalogue;
        fill(catalogue);
        const QByteArray expected = referenceJson(catalogue.groups);
        QCOMPARE(BackupListWriter::toJson(catalogue.groups), expected);
        QCOMPARE(BackupListWriter::toBase64(catalogue.groups), expected.toBase64());
        QCOMPARE(QJsonDocument(expandCompact(BackupListWriter::toCompactBase64(catalogue.groups))),
                 QJsonDocument::fromJson(expected));
    }

    void sizeText_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("negative") << qint64(-5) << "0 KB";
        QTest::newRow("1023") << qint64(1023) << "0 KB";
        QTest::newRow("1024") << qint64(1024) << "1 KB";
        QTest::newRow("1048575") << qint64(1048575) << "1023 KB";
        QTest::newRow("1048576") << qint64(1048576) << "1.00 MB";
        QTest::newRow("tie 1.125 rounds up") << qint64(1179648) << "1.13 MB";
        QTest::newRow("2 GiB") << qint64(2147483648) << "2048.00 MB";
        // Single precision turns 2^36 + 5000 into 2^36 + 8192.
        QTest::newRow("single precision") << qint64(68719481736) << "65536.01 MB";
    }

    // The MB text is written without QString::arg; it must round exactly as
    // arg(double, 0, 'f', 2) does, halves up, at every magnitude.
    void sizeTextMatchesQtFormatting()
    {
        QVector<qint64> sizes;
        for (int bit = 20; bit < 63; ++bit) {
            const qint64 power = qint64(1) << bit;
            for (const qint64 offset : {-1, 0, 1, 5000, 10485, 10486})
                sizes << power + offset << power / 100 * 57 + offset;
        }
        for (qint64 cents = 100; cents < 3000; ++cents)
            sizes << (cents * 1048576 + 50) / 100 << cents * 10485 + cents * 76 / 100 << cents * 1048576 / 100 + 5242;
        QRandomGenerator random(7);
        for (int i = 0; i < 20000; ++i)
            sizes << qint64(random.bounded(1048576.0 * 1024 * 64));
        for (const qint64 bytes : qAsConst(sizes)) {
            if (bytes < 1048576)
                continue;
            const QString expected
                = QStringLiteral("%1 MB").arg(double(float(bytes)) * (1.0 / 1024) * (1.0 / 1024), 0, 'f', 2);
            QCOMPARE(BackupListWriter::sizeText(bytes), expected);
        }
    }

    void sizeText()
    {
        QFETCH(qint64, bytes);
        QTEST(BackupListWriter::sizeText(bytes), "text");
    }
};

QTEST_GUILESS_MAIN(tst_BackupListWriter)
#include "tst_backuplistwriter.moc"
