#include "benchfolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QStringList>
#include <QTextStream>
#include <QVector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Bump when the layout changes, so that old homes are made anew.
const char layoutVersion[] = "3";

struct DocumentKind
{
    const char *extension;
    const char *conflictApp; // the suite application whose conflict file records it
    int weight;
};

const DocumentKind kinds[] = {
    {"docx", "zentri", 34}, {"xlsx", "zcel", 24}, {"pptx", "zdeck", 12},   {"pdf", "pdf", 8},
    {"doc", "zentri", 5},   {"xls", "zcel", 4},   {"zentri", "zentri", 4}, {"csv", "zcel", 3},
    {"ppt", "zdeck", 2},    {"zcel", "zcel", 2},  {"zsho", "zdeck", 2},
};

const char *const stems[] = {"Quarterly report",
                             "Budget",
                             "Minutes",
                             "Offer",
                             "Invoice",
                             "Plan",
                             "Thesis chapter",
                             "Project notes",
                             "Sales figures",
                             "Roadmap",
                             "Bericht über Änderungen",
                             "Lebenslauf",
                             "報告書",
                             "Présentation client",
                             "notes.v2",
                             "Final FINAL"};

struct Document
{
    QString name;
    const DocumentKind *kind;
};

QVector<Document> makeDocuments(QRandomGenerator &random, int count)
{
    int totalWeight = 0;
    for (const DocumentKind &kind : kinds)
        totalWeight += kind.weight;
    QVector<Document> documents;
    for (int i = 0; i < count; ++i) {
        int pick = int(random.bounded(totalWeight));
        const DocumentKind *kind = kinds;
        while (pick >= kind->weight)
            pick -= (kind++)->weight;
        const QString stem = QString::fromUtf8(stems[random.bounded(int(sizeof stems / sizeof *stems))]);
        documents.append({QStringLiteral("%1 %2.%3").arg(stem).arg(i).arg(QLatin1String(kind->extension)), kind});
    }
    return documents;
}

QString identifier(QRandomGenerator &random)
{
    static const char digits[] = "0123456789ABCDEF";
    QString id(32, Qt::Uninitialized);
    for (QChar &c : id)
        c = QLatin1Char(digits[random.bounded(16)]);
    return id;
}

// A sparse file of `size` bytes modified at `modified` (seconds since the epoch).
bool writeFile(const QString &path, qint64 size, qint64 modified)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    bool ok = ::ftruncate(fd, off_t(size)) == 0;
    const timespec times[2] = {{time_t(modified), 0}, {time_t(modified), 0}};
    ok = ::futimens(fd, times) == 0 && ok;
    return ::close(fd) == 0 && ok;
}

} // namespace

BenchFolder::BenchFolder(const QString &workDir, int copies)
    : m_home(QDir(workDir).absoluteFilePath(QStringLiteral("home-%1").arg(copies)))
    , m_copies(copies)
{}

QString BenchFolder::backupPath() const
{
    return m_home + QStringLiteral("/backup");
}

bool BenchFolder::prepare(QString *error)
{
    QFile marker(m_home + QStringLiteral("/complete"));
    if (marker.open(QIODevice::ReadOnly) && marker.readAll() == layoutVersion)
        return true;
    marker.close();
    QDir(m_home).removeRecursively();
    if (!generate(error))
        return false;
    if (!marker.open(QIODevice::WriteOnly) || marker.write(layoutVersion) < 0) {
        *error = QStringLiteral("cannot write %1").arg(marker.fileName());
        return false;
    }
    return true;
}

bool BenchFolder::generate(QString *error) const
{
    const QString backup = backupPath();
    const QString conflicts = m_home + QStringLiteral("/default");
    if (!QDir().mkpath(backup) || !QDir().mkpath(conflicts)) {
        *error = QStringLiteral("cannot make %1").arg(backup);
        return false;
    }
    {
        QSettings suite(m_home + QStringLiteral("/suite.ini"), QSettings::IniFormat);
        suite.setValue(QStringLiteral("backup/path"), backup);
        suite.setValue(QStringLiteral("backup/defaultPath"), conflicts);
    }

    QRandomGenerator random{quint32(m_copies)};
    // About fifty copies per document, spread over half a year: a document is
    // worked on in sessions of a few copies on one day.
    const QVector<Document> documents = makeDocuments(random, qMax(1, m_copies / 50));
    const QDateTime start(QDate(2024, 1, 8), QTime(8, 0), Qt::UTC);
    QMap<QString, QStringList> records; // conflict application -> <file/> lines
    int written = 0;
    while (written < m_copies) {
        const Document &document = documents.at(int(random.bounded(documents.size())));
        QDateTime at = start.addDays(random.bounded(182)).addSecs(random.bounded(10 * 3600));
        const int session = 1 + int(random.bounded(6));
        for (int i = 0; i < session && written < m_copies; ++i, ++written) {
            at = at.addSecs(60 + random.bounded(600));
            const bool withMilliseconds = random.bounded(8) == 0;
            const QString stamp = at.toString(withMilliseconds ? QStringLiteral("yyyyMMddHHmmsszzz")
                                                               : QStringLiteral("yyyyMMddHHmmss"));
            const QString path
                = QStringLiteral("%1/%2.%3.%4.%5")
                      .arg(backup, document.name, identifier(random), stamp, QLatin1String(document.kind->extension));
            // Between 4 KB and 16 MB, most of them small.
            const qint64 size = qint64(4096) << random.bounded(13) | random.bounded(4096);
            if (!writeFile(path, size, at.toSecsSinceEpoch() + 2)) {
                *error = QStringLiteral("cannot write %1").arg(path);
                return false;
            }
            if (random.bounded(20) == 0) {
                // Recorded as the suite records it: another case, native separators.
                QString recorded = random.bounded(2) ? path.toUpper() : path;
                records[QLatin1String(document.kind->conflictApp)].append(
                    QStringLiteral("    <file fileId=\"%1\" localPath=\"C:/Users/me/Documents/%2\" "
                                   "backup=\"%3\" lastAccessTime=\"%4\" conflictTime=\"%4\" "
                                   "backupTime=\"%5\"/>")
                        .arg(written)
                        .arg(document.name.toHtmlEscaped(), recorded.toHtmlEscaped(),
                             at.addSecs(30).toString(Qt::ISODateWithMs), at.toString(Qt::ISODateWithMs)));
            }
        }
    }

    // Files that are no backup copies: lock and temporary files of the
    // editors, and names that miss the scheme by a little.
    for (int i = 0; i < m_copies / 10; ++i) {
        const Document &document = documents.at(int(random.bounded(documents.size())));
        const QString id = identifier(random);
        const QString names[] = {
            QStringLiteral("~$%1").arg(document.name),
            QStringLiteral("%1.tmp").arg(document.name),
            QStringLiteral("%1.%2.2024030514300.%3").arg(document.name, id, QLatin1String(document.kind->extension)),
            QStringLiteral("%1.%2.20240305143007.%3")
                .arg(document.name, id.left(31), QLatin1String(document.kind->extension)),
            QStringLiteral("thumbnail-%1.png").arg(i),
        };
        const QString path = backup + QLatin1Char('/') + names[i % 5];
        if (!writeFile(path, 1024, start.toSecsSinceEpoch() + i)) {
            *error = QStringLiteral("cannot write %1").arg(path);
            return false;
        }
    }

    for (auto it = records.cbegin(); it != records.cend(); ++it) {
        QFile file(QStringLiteral("%1/%2_sync_conflict.ini").arg(conflicts, it.key()));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
            *error = QStringLiteral("cannot write %1").arg(file.fileName());
            return false;
        }
        QTextStream out(&file);
        out.setCodec("UTF-8");
        out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<syncConflicts>\n"
            << it.value().join(QLatin1Char('\n')) << "\n</syncConflicts>\n";
    }
    return true;
}
