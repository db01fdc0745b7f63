// zentri-samplefile: writes a real document for sample homes and benchmarks.
//
//   zentri-samplefile [--pad BYTES] OUT PARAGRAPH...
//
// The type follows OUT's suffix: docx, xlsx and pptx packages (one paragraph,
// row or slide per PARAGRAPH), a PDF of a page per ten paragraphs, csv or txt
// lines, and a legacy doc, xls or ppt as a compound-file header and filler.
// --pad adds a stored picture of about that many bytes to a package, so that
// copies have the sizes of real ones.
#include <KZip>

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QRandomGenerator>
#include <QStringList>

#include <cstdio>

namespace {

QByteArray escaped(const QString &text)
{
    return text.toHtmlEscaped().toUtf8();
}

const QByteArray xmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

QByteArray contentTypes(const QByteArray &overrides)
{
    return xmlHead
           + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
             "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
             "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
             "<Default Extension=\"jpeg\" ContentType=\"image/jpeg\"/>"
           + overrides + "</Types>";
}

QByteArray coreProperties(const QString &title)
{
    return xmlHead
           + "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
             "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\">"
             "<dc:title>"
           + escaped(title)
           + "</dc:title><dc:creator>Zoë Martin</dc:creator><cp:lastModifiedBy>Jürgen Weiß"
             "</cp:lastModifiedBy></cp:coreProperties>";
}

using Parts = QList<QPair<QString, QByteArray>>;

Parts docxParts(const QStringList &paragraphs)
{
    QByteArray body;
    for (const QString &paragraph : paragraphs)
        body += "<w:p><w:r><w:t xml:space=\"preserve\">" + escaped(paragraph) + "</w:t></w:r></w:p>";
    return {{"[Content_Types].xml",
             contentTypes("<Override PartName=\"/word/document.xml\" ContentType=\"application/"
                          "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>")},
            {"word/document.xml",
             xmlHead + "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>"
                 + body + "</w:body></w:document>"}};
}

Parts xlsxParts(const QStringList &rows)
{
    QByteArray strings;
    QByteArray sheet;
    for (int i = 0; i < rows.size(); ++i) {
        strings += "<si><t>" + escaped(rows.at(i)) + "</t></si>";
        sheet += "<row r=\"" + QByteArray::number(i + 1) + "\"><c r=\"A" + QByteArray::number(i + 1) + "\" t=\"s\"><v>"
                 + QByteArray::number(i) + "</v></c><c r=\"B" + QByteArray::number(i + 1) + "\"><v>"
                 + QByteArray::number((i + 1) * 125) + "</v></c></row>";
    }
    const QByteArray ns = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"";
    return {{"[Content_Types].xml", contentTypes(QByteArray())},
            {"xl/workbook.xml",
             xmlHead + "<workbook " + ns
                 + " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
                   "<sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
            {"xl/_rels/workbook.xml.rels",
             xmlHead
                 + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                   "<Relationship Id=\"rId1\" Target=\"worksheets/sheet1.xml\"/></Relationships>"},
            {"xl/sharedStrings.xml", xmlHead + "<sst " + ns + ">" + strings + "</sst>"},
            {"xl/worksheets/sheet1.xml",
             xmlHead + "<worksheet " + ns + "><sheetData>" + sheet + "</sheetData></worksheet>"}};
}

Parts pptxParts(const QStringList &slides)
{
    Parts parts{{"[Content_Types].xml", contentTypes(QByteArray())}};
    for (int i = 0; i < slides.size(); ++i) {
        parts.append({QStringLiteral("ppt/slides/slide%1.xml").arg(i + 1),
                      xmlHead
                          + "<p:sld xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\" "
                            "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"><p:cSld><p:spTree>"
                            "<p:sp><p:txBody><a:p><a:r><a:t>"
                          + escaped(slides.at(i))
                          + "</a:t></a:r></a:p></p:txBody></p:sp></p:spTree></p:cSld></p:sld>"});
    }
    return parts;
}

QByteArray filler(qint64 bytes)
{
    QByteArray data(int(qMax<qint64>(bytes, 0)), Qt::Uninitialized);
    QRandomGenerator generator{quint32(bytes)};
    generator.fillRange(reinterpret_cast<quint32 *>(data.data()), data.size() / 4);
    return data;
}

bool writePackage(const QString &out, Parts parts, const QString &title, qint64 pad)
{
    parts.append({"docProps/core.xml", coreProperties(title)});
    KZip zip(out);
    if (!zip.open(QIODevice::WriteOnly))
        return false;
    for (const auto &part : qAsConst(parts))
        zip.writeFile(part.first, part.second);
    if (pad > 0) {
        // Pictures do not compress: stored as they are.
        zip.setCompression(KZip::NoCompression);
        zip.writeFile(QStringLiteral("media/image1.jpeg"), filler(pad));
    }
    return zip.close();
}

bool writePdf(const QString &out, const QStringList &paragraphs)
{
    QPdfWriter writer(out);
    writer.setTitle(paragraphs.value(0));
    writer.setCreator(QStringLiteral("Zoë Martin"));
    QPainter painter(&writer);
    if (!painter.isActive())
        return false;
    for (int i = 0; i < paragraphs.size(); ++i) {
        if (i > 0 && i % 10 == 0)
            writer.newPage();
        painter.drawText(QPointF(400, 600 + (i % 10) * 600), paragraphs.at(i));
    }
    return painter.end();
}

bool writeBytes(const QString &out, const QByteArray &bytes)
{
    QFile file(out);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}

int main(int argc, char *argv[])
{
    // QPdfWriter lays text out with the fonts of a GUI application.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList words = QCoreApplication::arguments().mid(1);
    qint64 pad = 0;
    if (words.size() >= 2 && words.first() == QLatin1String("--pad")) {
        pad = words.at(1).toLongLong();
        words = words.mid(2);
    }
    if (words.isEmpty()) {
        std::fprintf(stderr, "usage: zentri-samplefile [--pad BYTES] OUT PARAGRAPH...\n");
        return 2;
    }
    const QString out = words.takeFirst();
    const QString suffix = QFileInfo(out).suffix().toLower();
    // The first paragraph is the document's title, as people write them.
    const QString title = words.value(0);
    bool written = false;
    if (suffix.startsWith(QLatin1String("doc")) && suffix.size() == 4)
        written = writePackage(out, docxParts(words), title, pad);
    else if (suffix.startsWith(QLatin1String("xls")) && suffix.size() == 4)
        written = writePackage(out, xlsxParts(words), title, pad);
    else if (suffix.startsWith(QLatin1String("ppt")) && suffix.size() == 4)
        written = writePackage(out, pptxParts(words), title, pad);
    else if (suffix == QLatin1String("pdf"))
        written = writePdf(out, words);
    else if (suffix == QLatin1String("doc") || suffix == QLatin1String("xls") || suffix == QLatin1String("ppt"))
        written = writeBytes(out, QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + filler(qMax<qint64>(pad, 4096)));
    else
        written = writeBytes(out, words.join(QLatin1Char('\n')).toUtf8() + '\n');
    if (!written) {
        std::fprintf(stderr, "zentri-samplefile: cannot write %s\n", qPrintable(out));
        return 1;
    }
    return 0;
}
