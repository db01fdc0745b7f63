#include "documentpreview.h"

#include "core/arkivolog.h"

#include <KZip>
#include <kzipfileentry.h>
#include <poppler-qt5.h>
#include <zlib.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextCodec>
#include <QXmlStreamReader>

#include <algorithm>
#include <memory>

#ifdef Q_OS_UNIX
#include <dlfcn.h>
#endif

namespace DocumentPreview {

namespace {

// KArchive, once loaded, watches the application for language changes with
// an event filter that it never removes. Unloaded with the plug-in, it would
// leave the application calling into unmapped code: it stays loaded.
#ifdef Q_OS_UNIX
const bool archiveKeptLoaded = dlopen("libKF5Archive.so.5", RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE) != nullptr;
#endif

// Parts of one kind (slides, sheets) read from one package at most.
constexpr int partBudget = 1000;
// PDF pages whose text is read at most.
constexpr int pdfPageBudget = 25;

QString kindOf(const QString &suffix)
{
    static const QStringList documents
        = {QStringLiteral("docx"), QStringLiteral("docm"), QStringLiteral("dotx"), QStringLiteral("dotm")};
    static const QStringList spreadsheets
        = {QStringLiteral("xlsx"), QStringLiteral("xlsm"), QStringLiteral("xltx"), QStringLiteral("xltm")};
    static const QStringList presentations = {QStringLiteral("pptx"), QStringLiteral("ppsx"), QStringLiteral("potx")};
    if (documents.contains(suffix))
        return QStringLiteral("document");
    if (spreadsheets.contains(suffix))
        return QStringLiteral("spreadsheet");
    if (presentations.contains(suffix))
        return QStringLiteral("presentation");
    if (suffix == QLatin1String("pdf"))
        return QStringLiteral("pdf");
    if (suffix == QLatin1String("csv") || suffix == QLatin1String("txt"))
        return QStringLiteral("text");
    return QStringLiteral("none");
}

void markDamaged(Preview &preview, const QString &why)
{
    if (!preview.damaged) {
        preview.damaged = true;
        preview.errormsg = why;
    }
}

void addParagraph(Preview &preview, const QString &paragraph)
{
    const QString trimmed = paragraph.trimmed();
    if (trimmed.isEmpty())
        return;
    if (preview.paragraphs.size() >= paragraphBudget) {
        preview.partial = true;
        return;
    }
    preview.paragraphs.append(trimmed);
}

// An OOXML package read within the preview's byte budget, each entry's CRC
// checked against the bytes actually read (KArchive does not check them).
class Package
{
public:
    Package(const QString &path, Preview &preview)
        : m_zip(path)
        , m_preview(preview)
    {
        if (!m_zip.open(QIODevice::ReadOnly))
            markDamaged(preview, QStringLiteral("not a readable zip package"));
    }
    bool isOpen() const { return m_zip.isOpen(); }

    const KArchiveDirectory *directory(const QString &name) const
    {
        const KArchiveEntry *entry = m_zip.directory()->entry(name);
        return entry && entry->isDirectory() ? static_cast<const KArchiveDirectory *>(entry) : nullptr;
    }

    // The entry's bytes; empty when missing. Stops at the budget (partial).
    QByteArray read(const QString &name)
    {
        const KArchiveEntry *entry = m_zip.directory()->entry(name);
        if (!entry || !entry->isFile())
            return QByteArray();
        const auto *file = static_cast<const KZipFileEntry *>(entry);
        std::unique_ptr<QIODevice> device(file->createDevice());
        if (!device) {
            markDamaged(m_preview, QStringLiteral("unreadable part %1").arg(name));
            return QByteArray();
        }
        QByteArray bytes;
        uLong crc = ::crc32(0L, Z_NULL, 0);
        char chunk[64 * 1024];
        for (;;) {
            const qint64 room = byteBudget - m_read;
            if (room <= 0) {
                m_preview.partial = true;
                return bytes;
            }
            const qint64 got = device->read(chunk, std::min<qint64>(sizeof chunk, room));
            if (got < 0) {
                markDamaged(m_preview, QStringLiteral("unreadable part %1").arg(name));
                return bytes;
            }
            if (got == 0)
                break;
            m_read += got;
            crc = ::crc32(crc, reinterpret_cast<const Bytef *>(chunk), uInt(got));
            bytes.append(chunk, int(got));
        }
        if (bytes.size() != file->size())
            markDamaged(m_preview, QStringLiteral("part %1 is cut short").arg(name));
        else if (crc != file->crc32())
            markDamaged(m_preview, QStringLiteral("part %1 fails its checksum").arg(name));
        return bytes;
    }

private:
    KZip m_zip;
    Preview &m_preview;
    qint64 m_read = 0;
};

// A parse error in a part cut at the budget is the cut, not damage.
void checkXml(const QXmlStreamReader &xml, Preview &preview, const QString &part)
{
    if (xml.hasError() && !(preview.partial && xml.error() == QXmlStreamReader::PrematureEndOfDocumentError))
        markDamaged(preview, QStringLiteral("part %1: %2").arg(part, xml.errorString()));
}

// Paragraphs of WordprocessingML or DrawingML: text runs ("t") inside "p".
void readParagraphs(const QByteArray &xmlText, const QString &part, Preview &preview)
{
    QXmlStreamReader xml(xmlText);
    QString paragraph;
    while (!xml.atEnd()) {
        xml.readNext();
        const QStringRef name = xml.name();
        if (xml.isStartElement()) {
            if (name == QLatin1String("t"))
                paragraph += xml.readElementText(QXmlStreamReader::IncludeChildElements);
            else if (name == QLatin1String("tab"))
                paragraph += QLatin1Char('\t');
            else if (name == QLatin1String("br"))
                paragraph += QLatin1Char(' ');
        } else if (xml.isEndElement() && name == QLatin1String("p")) {
            addParagraph(preview, paragraph);
            paragraph.clear();
        }
    }
    addParagraph(preview, paragraph);
    checkXml(xml, preview, part);
}

void readCoreProperties(Package &package, Preview &preview)
{
    QXmlStreamReader xml(package.read(QStringLiteral("docProps/core.xml")));
    QString creator, lastModifiedBy;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringRef name = xml.name();
        if (name == QLatin1String("title"))
            preview.title = xml.readElementText().trimmed();
        else if (name == QLatin1String("creator"))
            creator = xml.readElementText().trimmed();
        else if (name == QLatin1String("lastModifiedBy"))
            lastModifiedBy = xml.readElementText().trimmed();
        else if (name == QLatin1String("modified"))
            preview.modified = xml.readElementText().trimmed();
    }
    preview.author = lastModifiedBy.isEmpty() ? creator : lastModifiedBy;
}

int pagesOf(Package &package)
{
    QXmlStreamReader xml(package.read(QStringLiteral("docProps/app.xml")));
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("Pages")) {
            bool ok = false;
            const int pages = xml.readElementText().toInt(&ok);
            return ok ? pages : -1;
        }
    }
    return -1;
}

// Names of a directory's entries "<stem>N.xml", in N's order.
QStringList numberedParts(const KArchiveDirectory *directory, const QString &stem, Preview &preview)
{
    QList<QPair<int, QString>> numbered;
    if (directory) {
        const QRegularExpression pattern(QStringLiteral("^%1(\\d{1,6})\\.xml$").arg(stem));
        const QStringList names = directory->entries();
        for (const QString &name : names) {
            const QRegularExpressionMatch match = pattern.match(name);
            if (match.hasMatch())
                numbered.append({match.captured(1).toInt(), name});
        }
    }
    std::sort(numbered.begin(), numbered.end());
    if (numbered.size() > partBudget) {
        numbered.erase(numbered.begin() + partBudget, numbered.end());
        preview.partial = true;
    }
    QStringList parts;
    for (const auto &part : qAsConst(numbered))
        parts.append(part.second);
    return parts;
}

// The workbook's sheets in its own order, by their relationship targets;
// the numbered worksheet parts when the workbook does not say.
QStringList sheetParts(Package &package, Preview &preview)
{
    QHash<QString, QString> targets;
    QXmlStreamReader rels(package.read(QStringLiteral("xl/_rels/workbook.xml.rels")));
    while (!rels.atEnd()) {
        if (rels.readNext() == QXmlStreamReader::StartElement && rels.name() == QLatin1String("Relationship")) {
            QString target = rels.attributes().value(QLatin1String("Target")).toString();
            target = target.startsWith(QLatin1Char('/')) ? target.mid(1) : QStringLiteral("xl/") + target;
            targets.insert(rels.attributes().value(QLatin1String("Id")).toString(), target);
        }
    }
    QStringList parts;
    QXmlStreamReader workbook(package.read(QStringLiteral("xl/workbook.xml")));
    while (!workbook.atEnd()) {
        if (workbook.readNext() != QXmlStreamReader::StartElement || workbook.name() != QLatin1String("sheet"))
            continue;
        for (const QXmlStreamAttribute &attribute : workbook.attributes()) {
            if (attribute.name() == QLatin1String("id") && targets.contains(attribute.value().toString()))
                parts.append(targets.value(attribute.value().toString()));
        }
        if (parts.size() >= partBudget) {
            preview.partial = true;
            break;
        }
    }
    if (!parts.isEmpty())
        return parts;
    const QStringList numbered
        = numberedParts(package.directory(QStringLiteral("xl/worksheets")), QStringLiteral("sheet"), preview);
    for (const QString &name : numbered)
        parts.append(QStringLiteral("xl/worksheets/") + name);
    return parts;
}

QStringList sharedStrings(Package &package, Preview &preview)
{
    QStringList strings;
    QXmlStreamReader xml(package.read(QStringLiteral("xl/sharedStrings.xml")));
    QString item;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("t"))
            item += xml.readElementText(QXmlStreamReader::IncludeChildElements);
        else if (xml.isEndElement() && xml.name() == QLatin1String("si")) {
            if (strings.size() >= paragraphBudget) {
                preview.partial = true;
                break;
            }
            strings.append(item);
            item.clear();
        }
    }
    checkXml(xml, preview, QStringLiteral("xl/sharedStrings.xml"));
    return strings;
}

// One paragraph per row: its text cells, tab-separated. Numbers are not text.
void readSheet(const QByteArray &xmlText, const QString &part, const QStringList &strings, Preview &preview)
{
    QXmlStreamReader xml(xmlText);
    QStringList row;
    QString cellType;
    while (!xml.atEnd()) {
        xml.readNext();
        const QStringRef name = xml.name();
        if (xml.isStartElement()) {
            if (name == QLatin1String("c")) {
                cellType = xml.attributes().value(QLatin1String("t")).toString();
            } else if (name == QLatin1String("v") && cellType == QLatin1String("s")) {
                bool ok = false;
                const int index = xml.readElementText().toInt(&ok);
                if (ok && index >= 0 && index < strings.size())
                    row.append(strings.at(index));
            } else if (name == QLatin1String("t") && cellType == QLatin1String("inlineStr")) {
                row.append(xml.readElementText(QXmlStreamReader::IncludeChildElements));
            }
        } else if (xml.isEndElement() && name == QLatin1String("row")) {
            addParagraph(preview, row.join(QLatin1Char('\t')));
            row.clear();
        }
    }
    addParagraph(preview, row.join(QLatin1Char('\t')));
    checkXml(xml, preview, part);
}

void readPackage(const QString &path, Preview &preview)
{
    Package package(path, preview);
    if (!package.isOpen())
        return;
    readCoreProperties(package, preview);
    if (preview.kind == QLatin1String("document")) {
        const QString part = QStringLiteral("word/document.xml");
        const QByteArray body = package.read(part);
        if (body.isEmpty())
            markDamaged(preview, QStringLiteral("no part %1").arg(part));
        readParagraphs(body, part, preview);
        preview.count = pagesOf(package);
    } else if (preview.kind == QLatin1String("presentation")) {
        const QStringList slides
            = numberedParts(package.directory(QStringLiteral("ppt/slides")), QStringLiteral("slide"), preview);
        for (const QString &slide : slides) {
            const QString part = QStringLiteral("ppt/slides/") + slide;
            readParagraphs(package.read(part), part, preview);
        }
        preview.count = slides.size();
    } else {
        const QStringList strings = sharedStrings(package, preview);
        const QStringList sheets = sheetParts(package, preview);
        for (const QString &part : sheets)
            readSheet(package.read(part), part, strings, preview);
        preview.count = sheets.size();
    }
}

// Poppler's complaints about a broken file go to the catalogue's debug log,
// not to the host's console: the preview reports the damage itself.
void logPopplerMessage(const QString &message, const QVariant &)
{
    qCDebug(lcCatalogue) << "pdf:" << message;
}

void readPdf(const QString &path, Preview &preview)
{
    Poppler::setDebugErrorFunction(logPopplerMessage, QVariant());
    std::unique_ptr<Poppler::Document> document(Poppler::Document::load(path));
    if (!document) {
        markDamaged(preview, QStringLiteral("not a readable PDF"));
        return;
    }
    if (document->isLocked()) {
        preview.errormsg = QStringLiteral("the PDF is locked");
        preview.partial = true;
        return;
    }
    preview.count = document->numPages();
    preview.title = document->info(QStringLiteral("Title")).trimmed();
    preview.author = document->info(QStringLiteral("Author")).trimmed();
    const QDateTime modified = document->date(QStringLiteral("ModDate"));
    if (modified.isValid())
        preview.modified = modified.toString(Qt::ISODate);
    const int pages = std::min(preview.count, pdfPageBudget);
    preview.partial = preview.count > pages;
    for (int i = 0; i < pages; ++i) {
        std::unique_ptr<Poppler::Page> page(document->page(i));
        if (!page) {
            markDamaged(preview, QStringLiteral("page %1 cannot be read").arg(i + 1));
            continue;
        }
        const QStringList lines = page->text(QRectF()).split(QLatin1Char('\n'));
        for (const QString &line : lines)
            addParagraph(preview, line);
    }
}

void readText(const QString &path, Preview &preview)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        markDamaged(preview, QStringLiteral("the file cannot be read"));
        return;
    }
    const QByteArray bytes = file.read(byteBudget);
    preview.partial = !file.atEnd();
    QTextCodec::ConverterState state;
    QString text = QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    // A cut in the middle of a character is the budget's, not another encoding.
    if (state.invalidChars > 0 || (state.remainingChars > 0 && !preview.partial))
        text = QString::fromLocal8Bit(bytes);
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &line : lines)
        addParagraph(preview, line);
}

}

QString Preview::text() const
{
    QString text;
    for (const QString &paragraph : paragraphs) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += paragraph;
        if (text.size() >= previewLength)
            break;
    }
    text.truncate(previewLength);
    return text;
}

int Preview::words() const
{
    int words = 0;
    for (const QString &paragraph : paragraphs)
        words += paragraph.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts).size();
    return words;
}

QString Preview::countKey() const
{
    if (kind == QLatin1String("document") || kind == QLatin1String("pdf"))
        return QStringLiteral("pages");
    if (kind == QLatin1String("presentation"))
        return QStringLiteral("slides");
    if (kind == QLatin1String("spreadsheet"))
        return QStringLiteral("sheets");
    return QString();
}

Preview read(const QString &path)
{
    Preview preview;
    preview.kind = kindOf(QFileInfo(path).suffix().toLower());
    if (preview.kind == QLatin1String("none"))
        return preview;
    if (!QFileInfo(path).isFile()) {
        markDamaged(preview, QStringLiteral("the file is missing"));
        return preview;
    }
    if (preview.kind == QLatin1String("pdf"))
        readPdf(path, preview);
    else if (preview.kind == QLatin1String("text"))
        readText(path, preview);
    else
        readPackage(path, preview);
    return preview;
}

}
