#include "localbackup/backuplistwriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

// Owns the groups of one catalogue for the length of a test row.
struct Catalogue
{
    std::vector<std::unique_ptr<BackupGroupInfo>> owned;
    QList<BackupGroupInfo *> groups;

    BackupGroupInfo &add(const QString &name, BackupDocType type, const QDate &date)
    {
        owned.push_back(std::make_unique<BackupGroupInfo>());
        BackupGroupInfo &group = *owned.back();
        group.groupName = name;
        group.groupType = type;
        group.saveDate = date;
        groups.append(&group);
        return group;
    }
};

void addCopy(BackupGroupInfo &group, const QString &path, qint64 size, const QTime &time,
             const QDateTime &conflictTime = {})
{
    group.backupFiles.append({path, size, time, conflictTime});
    if (conflictTime.isValid())
        group.isConflict = true;
}

// What the list must be: the document as Qt's JSON classes build it.
QByteArray referenceJson(const QList<BackupGroupInfo *> &groups)
{
    static const char *const typeNames[] = {"doc", "ppt", "xls", "pdf", "unknown"};
    QJsonArray list;
    for (const BackupGroupInfo *group : groups) {
        QJsonObject groupObject;
        groupObject.insert("isConflict", group->isConflict);
        groupObject.insert("groupName", group->groupName);
        groupObject.insert("groupType", QString::fromLatin1(typeNames[group->groupType]));
        groupObject.insert("saveDate", group->saveDate.toString("yyyy/MM/dd"));
        QJsonArray files;
        for (const BackupFileInfo &file : group->backupFiles) {
            QJsonObject fileObject;
            fileObject.insert("filePath", file.filePath);
            fileObject.insert("fileSize", BackupListWriter::sizeText(file.fileSize));
            fileObject.insert("saveTime", file.saveTime.toString("HH:mm"));
            fileObject.insert("conflictTime", file.conflictTime.isValid()
                                      ? file.conflictTime.toString("yyyy-MM-dd HH:mm:ss") : QString());
            files.append(fileObject);
        }
        groupObject.insert("backupFiles", files);
        list.append(groupObject);
    }
    QJsonObject root;
    root.insert("backupList", list);
    return QJsonDocument(root).toJson();
}

} // namespace

class tst_BackupListWriter : public QObject
{
    Q_OBJECT

private slots:
    void matchesQtJson_data();
    void matchesQtJson();
    void sizeText_data();
    void sizeText();
};

using CatalogueFactory = std::function<void(Catalogue &)>;
Q_DECLARE_METATYPE(CatalogueFactory)

void tst_BackupListWriter::matchesQtJson_data()
{
    QTest::addColumn<CatalogueFactory>("fill");
    const QDate day(2024, 3, 5);
    const QTime time(9, 5, 59);

    QTest::newRow("empty") << CatalogueFactory([](Catalogue &) {});
    QTest::newRow("group without copies") << CatalogueFactory([=](Catalogue &c) {
        c.add("a.docx", DocTypeDoc, day);
    });
    QTest::newRow("one copy") << CatalogueFactory([=](Catalogue &c) {
        addCopy(c.add("a.docx", DocTypeDoc, day), "/b/a.docx.x.20240305090559.docx", 1536, time);
    });
    QTest::newRow("every type, conflict, early year") << CatalogueFactory([=](Catalogue &c) {
        for (int type = DocTypeDoc; type <= DocTypeUnknown; ++type) {
            BackupGroupInfo &group = c.add(QString("g%1").arg(type), BackupDocType(type),
                                           QDate(5 + type * 400, 1 + type, 9 + type));
            addCopy(group, "/b/one", 0, QTime(0, 0));
            addCopy(group, "/b/two", 1048576 + type, QTime(23, 59, 59),
                    type % 2 ? QDateTime(QDate(2023, 12, 31), QTime(1, 2, 3)) : QDateTime());
        }
    });
    QTest::newRow("awkward names") << CatalogueFactory([=](Catalogue &c) {
        const QString names[] = {
            QString::fromUtf8("Bericht über Ärger 報告.docx"),
            "quote\"d \\back\\slash/.docx",
            QString("controls \x01\x08\x09\x0a\x0c\x0d\x1f\x7f end"),
            QString::fromUtf8("emoji 😀🎉.pptx"),
            QString("lone ") + QChar(0xd800) + "high " + QChar(0xdc00) + "low" + QChar(0xd83d),
            QString(QChar(0xfffe)) + QChar(0xffff) + QChar(0x07ff) + QChar(0x0800),
        };
        for (const QString &name : names)
            addCopy(c.add(name, DocTypeDoc, day), "/b/" + name, 2048, time);
    });
    QTest::newRow("chunk boundaries") << CatalogueFactory([=](Catalogue &c) {
        // Strings longer than the writer's buffer, and enough groups to fill it many times.
        BackupGroupInfo &huge = c.add(QString(70000, QChar(0x00e9)), DocTypeXls, day);
        addCopy(huge, QString(50001, 'p') + QString::fromUtf8("😀"), 5, time);
        for (int i = 0; i < 700; ++i) {
            BackupGroupInfo &group = c.add(QString("doc %1.docx").arg(i), BackupDocType(i % 5),
                                           day.addDays(-i));
            for (int j = 0; j < i % 4; ++j)
                addCopy(group, QString("/backup/%1/%2").arg(i).arg(j), qint64(i) * 7919 * j,
                        QTime(j, i % 60));
        }
    });
}

void tst_BackupListWriter::matchesQtJson()
{
    QFETCH(CatalogueFactory, fill);
    Catalogue catalogue;
    fill(catalogue);

    const QByteArray expected = referenceJson(catalogue.groups);
    QCOMPARE(BackupListWriter::toJson(catalogue.groups), expected);
    QCOMPARE(BackupListWriter::toBase64(catalogue.groups), QString::fromLatin1(expected.toBase64()));
}

void tst_BackupListWriter::sizeText_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("negative") << qint64(-5) << "0 KB";
    QTest::newRow("empty") << qint64(0) << "0 KB";
    QTest::newRow("1023") << qint64(1023) << "0 KB";
    QTest::newRow("1024") << qint64(1024) << "1 KB";
    QTest::newRow("1048575") << qint64(1048575) << "1023 KB";
    QTest::newRow("1048576") << qint64(1048576) << "1.00 MB";
    QTest::newRow("1572864") << qint64(1572864) << "1.50 MB";
    QTest::newRow("1.125 MiB, a tie rounded up") << qint64(1179648) << "1.13 MB";
    QTest::newRow("10 MiB") << qint64(10485760) << "10.00 MB";
    QTest::newRow("2 GiB") << qint64(2147483648) << "2048.00 MB";
    // Read in single precision: 2^36 + 5000 becomes 2^36 + 8192.
    QTest::newRow("single precision") << qint64(68719481736) << "65536.01 MB";
}

void tst_BackupListWriter::sizeText()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(BackupListWriter::sizeText(bytes), text);

    // The list writes the same text.
    Catalogue catalogue;
    addCopy(catalogue.add("a", DocTypeDoc, QDate(2024, 1, 1)), "/a", bytes, QTime(1, 1));
    const QJsonDocument list = QJsonDocument::fromJson(BackupListWriter::toJson(catalogue.groups));
    QCOMPARE(list["backupList"][0]["backupFiles"][0]["fileSize"].toString(), text);
}

QTEST_GUILESS_MAIN(tst_BackupListWriter)
#include "tst_backuplistwriter.moc"
