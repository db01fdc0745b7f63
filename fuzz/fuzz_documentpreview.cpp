// The preview readers fed any file: they must end within their budget, never
// crash, write nothing beside the file, and answer a preview that holds
// together (no more text than a preview shows, an error only when damaged).
//
// Input: the first byte chooses the file's suffix; the rest is the file.
#include "localbackup/documentpreview.h"
#include "localbackup/textdiff.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const char *const suffixes[] = {"docx", "xlsx", "pptx", "pdf", "csv"};
    if (size == 0)
        return 0;
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("copy.") + QLatin1String(suffixes[data[0] % 5]));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(reinterpret_cast<const char *>(data) + 1, qint64(size) - 1);
    file.close();

    const DocumentPreview::Preview preview = DocumentPreview::read(path);
    if (preview.text().size() > DocumentPreview::previewLength
        || preview.paragraphs.size() > DocumentPreview::paragraphBudget
        || preview.errormsg.isEmpty() == preview.damaged) {
        std::fprintf(stderr, "preview out of shape: %d paragraphs, damaged %d\n", int(preview.paragraphs.size()),
                     int(preview.damaged));
        std::abort();
    }
    const TextDiff::Result diff = TextDiff::compare(preview.paragraphs, preview.paragraphs);
    if (!diff.added.isEmpty() || !diff.removed.isEmpty() || diff.unchanged != preview.paragraphs.size()) {
        std::fprintf(stderr, "a preview differs from itself\n");
        std::abort();
    }
    QFile::remove(path);
    if (!QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty()) {
        std::fprintf(stderr, "the reader left a file behind\n");
        std::abort();
    }
    return 0;
}
