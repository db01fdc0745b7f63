// The answer line of zentri-host call: the same bytes as jsoncpp writes,
// whether long strings are spliced in from their own buffers or not.
#include "jsonline.h"

#include <QtTest>

#include <sstream>

Q_DECLARE_METATYPE(Json::Value)

class tst_JsonLine : public QObject
{
    Q_OBJECT

private slots:
    void sameBytesAsJsoncpp_data();
    void sameBytesAsJsoncpp();
};

void tst_JsonLine::sameBytesAsJsoncpp_data()
{
    QTest::addColumn<Json::Value>("value");
    const std::string base64 = QByteArray(30000, '\xfb').toBase64().toStdString();
    const auto answer = [](const Json::Value &list) {
        Json::Value line(Json::objectValue);
        line["method"] = "getBackupFileList";
        line["answer"]["backupList"] = list;
        line["answer"]["result"] = true;
        line["events"] = Json::Value(Json::arrayValue);
        return line;
    };
    QTest::newRow("short strings only") << answer("e30K");
    QTest::newRow("a Base64 list") << answer(base64);
    QTest::newRow("two long strings") << [&] {
        Json::Value line = answer(base64);
        line["events"].append(Json::Value(std::string(5000, 'x') + "/+= ~"));
        return line;
    }();
    QTest::newRow("long, with a quote") << answer(base64 + "\"" + base64);
    QTest::newRow("long, with a control character") << answer(base64 + "\x01");
    QTest::newRow("long, with UTF-8") << answer(base64 + "\xc3\xa4");
    QTest::newRow("long, with DEL") << answer(base64 + "\x7f");
    // Another value holds what the placeholder of the first long string would be.
    QTest::newRow("placeholder text elsewhere") << [&] {
        Json::Value line = answer(base64);
        line["events"].append(Json::Value("\x01zentri-host spliced 0\x01"));
        return line;
    }();
}

void tst_JsonLine::sameBytesAsJsoncpp()
{
    QFETCH(Json::Value, value);
    const Json::Value before = value;
    std::ostringstream out;
    writeJsonLine(out, value);
    QCOMPARE(out.str(), compactJson(before) + "\n");
    QVERIFY(value == before);
}

QTEST_GUILESS_MAIN(tst_JsonLine)
#include "tst_jsonline.moc"
