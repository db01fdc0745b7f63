// arkivo-copies-bench: what a person waits for when picking a version.
//
//   arkivo-copies-bench [--runs 7] [--work DIR]
//
// Makes (once) real files in the work folder: a 10 MB docx (a long text and
// nine pictures), a 100-page PDF, two 2,000-paragraph docx versions of one
// document and a 50 MB copy. Then times, in this process, the preview of the
// docx and of the PDF, the comparison of the two versions (both read, then
// diffed, as the page method does) and restoring the 50 MB copy, beside `dd
// conv=fsync` writing the same bytes (the disk's floor). Prints the median
// and the slowest run of each, and whether the targets are met.
#include "benchoptions.h"
#include "localbackup/documentpreview.h"
#include "localbackup/restorecopy.h"
#include "localbackup/textdiff.h"

#include <KZip>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QVector>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

QByteArray randomBytes(qint64 size)
{
    QByteArray bytes(int(size), Qt::Uninitialized);
    QRandomGenerator generator(42);
    generator.fillRange(reinterpret_cast<quint32 *>(bytes.data()), int(size / 4));
    return bytes;
}

// A sentence of office prose, different for each paragraph.
QString paragraph(int index, int version)
{
    static const char *const words[] = {"budget", "approved", "quarter",  "customer", "delivery", "review",
                                        "Müller", "Angebot",  "项目预算", "schedule", "revenue",  "team"};
    QString text = QStringLiteral("Paragraph %1: ").arg(index);
    for (int i = 0; i < 14; ++i)
        text += QLatin1String(words[(index * 7 + i * 3 + version * (index % 50 == 0)) % 12]) + QLatin1Char(' ');
    return text.trimmed() + QLatin1Char('.');
}

QByteArray documentXml(int paragraphs, int version)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                     "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>";
    for (int i = 0; i < paragraphs; ++i)
        xml += "<w:p><w:r><w:t>" + paragraph(i, version).toUtf8() + "</w:t></w:r></w:p>";
    return xml + "</w:body></w:document>";
}

void writeDocx(const QString &path, int paragraphs, int version, int pictures)
{
    KZip zip(path);
    if (!zip.open(QIODevice::WriteOnly))
        Bench::fail(QStringLiteral("cannot write %1").arg(path));
    zip.writeFile(QStringLiteral("[Content_Types].xml"), QByteArray("<Types/>"));
    zip.writeFile(QStringLiteral("docProps/core.xml"),
                  QByteArray("<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/"
                             "metadata/core-properties\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
                             "<dc:title>Quarterly report</dc:title><dc:creator>Zoë</dc:creator>"
                             "</cp:coreProperties>"));
    zip.writeFile(QStringLiteral("word/document.xml"), documentXml(paragraphs, version));
    // Pictures are stored as they are: they do not compress.
    zip.setCompression(KZip::NoCompression);
    for (int i = 0; i < pictures; ++i)
        zip.writeFile(QStringLiteral("word/media/image%1.jpeg").arg(i + 1), randomBytes(1024 * 1024 + i));
    zip.close();
}

void writePdf(const QString &path, int pages)
{
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    QPainter painter(&writer);
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            writer.newPage();
        for (int line = 0; line < 40; ++line)
            painter.drawText(QPointF(200, 300 + line * 300), paragraph(page * 40 + line, 0));
    }
}

struct Figures
{
    double median = 0;
    double max = 0;
};

Figures time(int runs, const std::function<void()> &work)
{
    QVector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        ms.append(timer.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return {ms.at(ms.size() / 2), ms.last()};
}

void report(const char *what, const Figures &figures, double target)
{
    std::printf("  %-38s %9.1f %9.1f   %7.0f    %s\n", what, figures.median, figures.max, target,
                figures.median <= target ? "met" : "NOT MET");
}

}

int main(int argc, char **argv)
{
    // QPdfWriter draws text with the fonts of a GUI application.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const Bench::Options options = Bench::parseOptions(7, QStringLiteral("bench-copies"));
    const int runs = options.runs;
    const QString work = options.work;
    if (!QDir().mkpath(work))
        Bench::fail(QStringLiteral("cannot make %1").arg(work));
    const QDir dir(work);
    const QString bigDocx = dir.filePath(QStringLiteral("report-10MB.docx"));
    const QString pdf = dir.filePath(QStringLiteral("contract-100-pages.pdf"));
    const QString older = dir.filePath(QStringLiteral("minutes-v1.docx"));
    const QString newer = dir.filePath(QStringLiteral("minutes-v2.docx"));
    const QString big = dir.filePath(QStringLiteral("archive-50MB.docx"));
    if (!QFile::exists(bigDocx))
        writeDocx(bigDocx, 6000, 0, 10);
    if (!QFile::exists(pdf))
        writePdf(pdf, 100);
    if (!QFile::exists(older))
        writeDocx(older, 2000, 0, 0);
    if (!QFile::exists(newer))
        writeDocx(newer, 2000, 1, 0);
    if (!QFile::exists(big)) {
        QFile file(big);
        if (!file.open(QIODevice::WriteOnly) || file.write(randomBytes(50 * 1024 * 1024)) != 50 * 1024 * 1024)
            Bench::fail(QStringLiteral("cannot write %1").arg(big));
    }

    const DocumentPreview::Preview docxPreview = DocumentPreview::read(bigDocx);
    const DocumentPreview::Preview pdfPreview = DocumentPreview::read(pdf);
    const TextDiff::Result diff
        = TextDiff::compare(DocumentPreview::read(older).paragraphs, DocumentPreview::read(newer).paragraphs);
    std::printf("Files in %s:\n", qPrintable(work));
    std::printf("  docx %.1f MB, %lld words%s; pdf %d pages; versions: %d paragraphs changed of 2,000\n",
                QFileInfo(bigDocx).size() / 1048576.0, qint64(docxPreview.words()),
                docxPreview.damaged ? " (damaged!)" : "", pdfPreview.count, int(diff.added.size()));

    const QString restored = dir.filePath(QStringLiteral("restored.docx"));
    const QString floorCopy = dir.filePath(QStringLiteral("dd.docx"));
    std::printf("\n  %-38s %9s %9s   %7s\n", "runs of each (ms)", "median", "slowest", "target");
    report("preview of a 10 MB docx", time(runs, [&] { DocumentPreview::read(bigDocx); }), 200);
    report("preview of a 100-page PDF", time(runs, [&] { DocumentPreview::read(pdf); }), 200);
    report("compare of two 2,000-paragraph docx",
           time(runs,
                [&] {
                    TextDiff::compare(DocumentPreview::read(older).paragraphs, DocumentPreview::read(newer).paragraphs);
                }),
           300);
    const Figures floor = time(runs, [&] {
        QProcess::execute(QStringLiteral("dd"),
                          {QStringLiteral("if=") + big, QStringLiteral("of=") + floorCopy, QStringLiteral("bs=1M"),
                           QStringLiteral("conv=fsync"), QStringLiteral("status=none")});
    });
    const Figures restore = time(runs, [&] {
        QFile::remove(restored);
        QString error;
        if (!RestoreCopy::copy(big, restored, &error))
            Bench::fail(error);
    });
    std::printf("  %-38s %9.1f %9.1f\n", "dd conv=fsync of 50 MB (the floor)", floor.median, floor.max);
    report("restore of a 50 MB copy", restore, floor.median * 1.5);
    std::printf("\n  restore/floor %.2f (at disk speed: at most 1.5)\n", restore.median / floor.median);
    QFile::remove(restored);
    QFile::remove(floorCopy);
    return 0;
}
