// The preview readers, the verification and the paragraph diff, on files
// made here: real packages, a PDF, text, and damaged or hostile ones.
#include "localbackup/copyverifier.h"
#include "localbackup/documentpreview.h"
#include "localbackup/textdiff.h"

#include <KZip>

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Parts = QList<QPair<QString, QByteArray>>;

QByteArray zipOf(const Parts &parts, KZip::Compression compression = KZip::DeflateCompression)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    KZip zip(&buffer);
    zip.open(QIODevice::WriteOnly);
    zip.setCompression(compression);
    for (const auto &part : parts)
        zip.writeFile(part.first, part.second);
    zip.close();
    return bytes;
}

const QByteArray core = "<cp:coreProperties xmlns:cp='c' xmlns:dc='d' xmlns:dcterms='t'><dc:title>Plan</dc:title>"
                        "<dc:creator>Ann</dc:creator><cp:lastModifiedBy>Bo</cp:lastModifiedBy>"
                        "<dcterms:modified>2024-03-05T14:30:07Z</dcterms:modified></cp:coreProperties>";

QByteArray wordXml(const QByteArray &body)
{
    return "<w:document xmlns:w='w'><w:body>" + body + "</w:body></w:document>";
}

QByteArray docx(const QByteArray &body, KZip::Compression compression = KZip::DeflateCompression)
{
    return zipOf({{"docProps/core.xml", core}, {"word/document.xml", wordXml(body)}}, compression);
}

const QByteArray hello = "<w:p><w:r><w:t>Hello world</w:t></w:r></w:p><w:p><w:t>Grüße</w:t></w:p>";

// 200 MB of spaces that deflate to a few hundred kilobytes.
QByteArray zipBomb()
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    KZip zip(&buffer);
    zip.open(QIODevice::WriteOnly);
    const QByteArray start = "<w:document xmlns:w='w'><w:body><w:p><w:t>start</w:t></w:p>";
    const QByteArray spaces(1 << 20, ' ');
    const qint64 size = start.size() + 200 * qint64(spaces.size());
    zip.prepareWriting(QStringLiteral("word/document.xml"), QString(), QString(), size);
    zip.writeData(start.constData(), start.size());
    for (int i = 0; i < 200; ++i)
        zip.writeData(spaces.constData(), spaces.size());
    zip.finishWriting(size);
    zip.close();
    return bytes;
}

// Five objects; the reader rebuilds the cross-reference table it lacks.
QByteArray pdf(const QByteArray &text)
{
    const QByteArray stream = "BT /F1 24 Tf 72 700 Td (" + text + ") Tj ET";
    return "%PDF-1.4\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n"
           "2 0 obj<</Type/Pages/Kids[3 0 R]/Count 1>>endobj\n"
           "3 0 obj<</Type/Page/Parent 2 0 R/MediaBox[0 0 612 792]/Contents 4 0 R"
           "/Resources<</Font<</F1 5 0 R>>>>>>endobj\n"
           "4 0 obj<</Length "
           + QByteArray::number(stream.size()) + ">>stream\n" + stream
           + "\nendstream endobj\n"
             "5 0 obj<</Type/Font/Subtype/Type1/BaseFont/Helvetica>>endobj\n"
             "trailer<</Root 1 0 R/Info<</Title(Memo)/Author(Cy)>>>>\n%%EOF\n";
}

}

class tst_DocumentPreview : public QObject
{
    Q_OBJECT

private slots:
    void reads_data();
    void reads();
    void diff_data();
    void diff();
    void verifiesEachCopyOnceAndStopsWithItsOwner();
};

void tst_DocumentPreview::reads_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("author");
    QTest::addColumn<bool>("damaged");
    QTest::addColumn<bool>("partial");
    QTest::addColumn<QString>("verified");

    const auto row = [](const char *tag, const char *suffix, const QByteArray &bytes, const char *kind,
                        const char *text, const char *author, bool damaged, bool partial, const char *verified) {
        QTest::newRow(tag) << QString(suffix) << bytes << QString(kind) << QString::fromUtf8(text) << QString(author)
                           << damaged << partial << QString(verified);
    };
    const char *document = "document";
    row("docx", "docx", docx(hello), document, "Hello world\nGrüße", "Bo", false, false, "ok");
    row("empty docx", "docx", docx(""), document, "", "Bo", false, false, "ok");
    // Sheets in the workbook's order, not their parts' names.
    const QByteArray sheet1 = "<worksheet><sheetData><row><c t='s'><v>1</v></c><c><v>42</v></c>"
                              "<c t='inlineStr'><is><t>Oslo</t></is></c></row></sheetData></worksheet>";
    const QByteArray sheet2 = "<worksheet><sheetData><row><c t='s'><v>0</v></c></row></sheetData></worksheet>";
    row("xlsx", "xlsx",
        zipOf({{"xl/workbook.xml",
                "<workbook xmlns:r='r'><sheets><sheet r:id='b'/><sheet r:id='a'/></sheets></workbook>"},
               {"xl/_rels/workbook.xml.rels",
                "<Relationships><Relationship Id='a' Target='worksheets/sheet1.xml'/>"
                "<Relationship Id='b' Target='/xl/worksheets/sheet2.xml'/></Relationships>"},
               {"xl/sharedStrings.xml", "<sst><si><t>Totals</t></si><si><r><t>Ci</t></r><r><t>ty</t></r></si></sst>"},
               {"xl/worksheets/sheet1.xml", sheet1},
               {"xl/worksheets/sheet2.xml", sheet2}}),
        "spreadsheet", "Totals\nCity\tOslo", "", false, false, "ok");
    // Slides in numeric order: 2 before 10.
    row("pptx", "pptx",
        zipOf(
            {{"ppt/slides/slide10.xml", "<p:sld xmlns:p='p' xmlns:a='a'><a:p><a:r><a:t>Last</a:t></a:r></a:p></p:sld>"},
             {"ppt/slides/slide2.xml",
              "<p:sld xmlns:p='p' xmlns:a='a'><a:p><a:t>Fir</a:t><a:t>st</a:t></a:p></p:sld>"}}),
        "presentation", "First\nLast", "", false, false, "ok");
    row("pdf", "pdf", pdf("Hello PDF"), "pdf", "Hello PDF", "Cy", false, false, "ok");
    row("broken pdf", "pdf", "%PDF-1.4\n1 0 obj<<", "pdf", "", "", true, false, "damaged");
    row("csv", "csv", "név;város\r\n\r\nÁrvíztűrő;Győr\n", "text", "név;város\nÁrvíztűrő;Győr", "", false, false, "ok");
    row("legacy doc", "doc", "\xD0\xCF\x11\xE0", "none", "", "", false, false, "damaged");
    row("truncated zip", "docx", docx(hello).left(120), document, "", "", true, false, "damaged");
    QByteArray flipped = docx(hello, KZip::NoCompression);
    flipped.replace("Hello world", "Jello world");
    row("crc mismatch", "docx", flipped, document, "Jello world\nGrüße", "Bo", true, false, "damaged");
    row("zip bomb", "docx", zipBomb(), document, "start", "", false, true, "unknown");
    row("entry climbing out", "docx", zipOf({{"../../x", "x"}, {"word/document.xml", wordXml(hello)}}), document,
        "Hello world\nGrüße", "", false, false, "ok");
    const QByteArray deep
        = QByteArray("<w:p>").repeated(100000) + "<w:t>deep</w:t>" + QByteArray("</w:p>").repeated(100000);
    row("deep xml", "docx", zipOf({{"word/document.xml", wordXml(deep)}}), document, "deep", "", false, false, "ok");
    Parts slides{{"ppt/slides/slide1.xml", "<sld><p><t>first</t></p></sld>"}};
    for (int i = 2; i <= 3000; ++i)
        slides.append({QStringLiteral("ppt/slides/slide%1.xml").arg(i), "<sld/>"});
    row("thousands of slides", "pptx", zipOf(slides), "presentation", "first", "", false, true, "ok");
}

void tst_DocumentPreview::reads()
{
    QFETCH(QString, suffix);
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("nested/copy.") + suffix);
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("nested"))));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();

    const DocumentPreview::Preview preview = DocumentPreview::read(path);
    QTEST(preview.kind, "kind");
    QTEST(preview.text(), "text");
    QTEST(preview.author, "author");
    QTEST(preview.damaged, "damaged");
    QTEST(preview.partial, "partial");
    QCOMPARE(preview.errormsg.isEmpty(), !preview.damaged);
    QTEST(CopyVerifier::stateName(CopyVerifier::check(path)), "verified");
    // Nothing is extracted, wherever an entry points.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"nested"});
}

void tst_DocumentPreview::diff_data()
{
    QTest::addColumn<QStringList>("older");
    QTest::addColumn<QStringList>("newer");
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QStringList>("removed");
    QTest::addColumn<int>("unchanged");
    QTest::addColumn<int>("changedWords");

    const QStringList abc{"a", "b", "c"};
    QTest::newRow("insertion") << abc << QStringList{"a", "new one", "b", "c"} << QStringList{"new one"}
                               << QStringList() << 3 << 2;
    QTest::newRow("deletion") << abc << QStringList{"a", "c"} << QStringList() << QStringList{"b"} << 2 << 1;
    QTest::newRow("move") << abc << QStringList{"b", "c", "a"} << QStringList{"a"} << QStringList{"a"} << 2 << 2;
    QTest::newRow("middle") << QStringList{"p", "a", "b", "q", "c"} << QStringList{"p", "x", "a", "c", "y z"}
                            << QStringList{"x", "y z"} << QStringList{"b", "q"} << 3 << 5;
    QTest::newRow("identical") << abc << abc << QStringList() << QStringList() << 3 << 0;
    QTest::newRow("empty") << QStringList() << QStringList() << QStringList() << QStringList() << 0 << 0;
    QTest::newRow("from empty") << QStringList() << abc << abc << QStringList() << 0 << 3;
}

void tst_DocumentPreview::diff()
{
    QFETCH(QStringList, older);
    QFETCH(QStringList, newer);
    const TextDiff::Result result = TextDiff::compare(older, newer);
    QTEST(result.added, "added");
    QTEST(result.removed, "removed");
    QTEST(result.unchanged, "unchanged");
    QTEST(result.changedWords, "changedWords");
}

void tst_DocumentPreview::verifiesEachCopyOnceAndStopsWithItsOwner()
{
    using State = CopyVerifier::State;
    QTemporaryDir dir;
    const auto write = [&dir](const QString &name, const QByteArray &bytes) {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? file.fileName() : QString();
    };
    const QString sound = write("sound.docx", docx(hello));
    const QString broken = write("broken.docx", docx(hello).left(120));
    CopyVerifier verifier;
    QVector<CopyVerifier::Result> results;
    connect(&verifier, &CopyVerifier::verified,
            [&results](const QVector<CopyVerifier::Result> &more) { results += more; });
    QCOMPARE(verifier.request({sound, broken}), (QVector<State>{State::Pending, State::Pending}));
    QTRY_COMPARE(results.size(), 2);
    QCOMPARE(verifier.request({sound, broken}), (QVector<State>{State::Ok, State::Damaged}));
    // A copy that changed on disk is read again.
    QFile::remove(sound);
    write("sound.docx", "now something else");
    QCOMPARE(verifier.request({sound}), QVector<State>{State::Pending});
    QTRY_COMPARE(results.size(), 3);
    QCOMPARE(results.last(), CopyVerifier::Result(sound, State::Damaged));

    QStringList many;
    for (int i = 0; i < 2000; ++i)
        many.append(write(QStringLiteral("copy%1.docx").arg(i), docx(hello)));
    auto *owner = new CopyVerifier;
    owner->request(many);
    delete owner;
    const int read = int(std::count_if(
        many.cbegin(), many.cend(), [](const QString &path) { return CopyVerifier::known(path) != State::Pending; }));
    QVERIFY2(read < many.size(), "the verifier read on after its owner went");
}

QTEST_MAIN(tst_DocumentPreview)
#include "tst_documentpreview.moc"
