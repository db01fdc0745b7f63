// The rules of backup-copy names, fuzzed against themselves written the slow,
// literal way: BackupCopyName::parse against splitting at every dot and
// QString::toInt; the folder scanner's name filter against the wildcard
// expressions QDir's listing uses; the document type against QFileInfo.
//
// Input: the first byte chooses how the rest becomes a name: even, UTF-8;
// odd, raw UTF-16 code units (lone surrogates and all).
#include "localbackup/backupcopyname.h"
#include "localbackup/backupfolderscanner.h"
#include "localbackup/klocalbackupmanager.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <QVector>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Parsed
{
    bool accepted = false;
    QString documentName;
    QDate date;
    QTime time;
};

Parsed literalParse(const QString &fileName)
{
    const QStringList p = fileName.split(QLatin1Char('.'), Qt::KeepEmptyParts, Qt::CaseSensitive);
    const int n = p.size();
    if (n < 3)
        return {};
    QString document = p[0];
    for (int i = 1; i <= n - 4; ++i)
        document += QLatin1Char('.') + p[i];
    const QString &identifier = p[n - 3];
    if (identifier.size() != 32)
        return {};
    for (const QChar c : identifier) {
        if (!c.isLetter() && !c.isDigit())
            return {};
    }
    const QString &stamp = p[n - 2];
    if (stamp.size() != 14 && stamp.size() != 17)
        return {};
    for (const QChar c : stamp) {
        if (!c.isDigit())
            return {};
    }
    const QDate date(stamp.mid(0, 4).toInt(), stamp.mid(4, 2).toInt(), stamp.mid(6, 2).toInt());
    if (!date.isValid())
        return {};
    const QTime time(stamp.mid(8, 2).toInt(), stamp.mid(10, 2).toInt(), stamp.mid(12, 2).toInt(), 0);
    if (!time.isValid())
        return {};
    return {true, document, date, time};
}

BackupDocType literalType(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    const QPair<BackupDocType, QString> lists[] = {
        {DocTypeDoc, QStringLiteral("zentri;zntx;doc;dot;docx;dotx;docm;dotm")},
        {DocTypeXls, QStringLiteral("zcel;zcelt;xls;xlt;xlsx;xlsm;xltx;xltm;xlsb;csv")},
        {DocTypePpt, QStringLiteral("zsho;zshot;ppt;pps;pot;pptx;ppsx;potx")},
        {DocTypePdf, QStringLiteral("pdf")},
    };
    for (const auto &list : lists) {
        if (list.second.split(QLatin1Char(';'), Qt::SkipEmptyParts).contains(suffix, Qt::CaseInsensitive))
            return list.first;
    }
    return DocTypeUnknown;
}

void check(bool condition, const char *what, const QString &fileName)
{
    if (condition)
        return;
    std::fprintf(stderr, "mismatch (%s) for %s\n", what, fileName.toUtf8().toHex().constData());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    QString fileName;
    if (data[0] % 2 == 0)
        fileName = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), int(size - 1));
    else {
        // Copied first: the code units after the mode byte are not aligned.
        QVector<char16_t> units(int((size - 1) / 2));
        std::memcpy(units.data(), data + 1, size_t(units.size()) * sizeof(char16_t));
        fileName = QString::fromUtf16(units.constData(), units.size());
    }

    BackupCopyName name;
    const bool accepted = name.parse(fileName);
    const Parsed expected = literalParse(fileName);
    check(accepted == expected.accepted, "accepted", fileName);
    if (accepted) {
        check(name.documentNameLength() >= 0 && name.documentNameLength() <= fileName.size(), "length", fileName);
        check(fileName.left(name.documentNameLength()) == expected.documentName, "document", fileName);
        check(name.date() == expected.date, "date", fileName);
        check(name.time() == expected.time, "time", fileName);
    }

    check(KLocalBackupManager::classifyDocumentType(fileName) == literalType(fileName), "type", fileName);

    static const QStringList filters = KLocalBackupManager::backupNameFilter().split(QLatin1Char(';'));
    static const BackupFolderScanner scanner(filters);
    static const QVector<QRegularExpression> patterns = [] {
        QVector<QRegularExpression> expressions;
        for (const QString &filter : filters)
            expressions.append(QRegularExpression(QRegularExpression::wildcardToRegularExpression(filter),
                                                  QRegularExpression::CaseInsensitiveOption));
        return expressions;
    }();
    // Only names a folder listing can give: no separator or NUL, and valid
    // UTF-16 (the expressions refuse other text; decoded names always are).
    if (!fileName.contains(QLatin1Char('/')) && !fileName.contains(QChar(0))
        && QFile::decodeName(QFile::encodeName(fileName)) == fileName) {
        bool matches = false;
        for (const QRegularExpression &pattern : patterns)
            matches = matches || pattern.match(fileName).hasMatch();
        check(scanner.matchesName(fileName) == matches, "name filter", fileName);
    }
    return 0;
}
