#include "textindex.h"

#include "core/arkivolog.h"
#include "core/backgroundtasks.h"
#include "documentpreview.h"
#include "textsearchterms.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QWaitCondition>

#include <algorithm>
#include <atomic>
#include <numeric>

namespace {

// The schema's version; a file of another version is moved aside and rebuilt.
constexpr int schemaVersion = 3;
// Hits are ranked among the newest this many matches at most: ranking all of
// a word that every copy holds would cost a tenth of a second per 100,000.
constexpr int rankWindow = 2000;
// A batch is committed after this many copies or this long, whichever comes
// first: a kill loses no more than that.
constexpr int batchCopies = 50;
constexpr qint64 batchMsecs = 1000;
constexpr qint64 progressMsecs = 500;

const QString dateFormat = QStringLiteral("yyyy/MM/dd");
const QString timeFormat = QStringLiteral("HH:mm:ss");

std::atomic<quint64> s_connections{0};

QString connectionName(const char *role)
{
    return QStringLiteral("arkivo-textindex-%1-%2").arg(QLatin1String(role)).arg(++s_connections);
}

// Paragraph ids of a copy, in order, as variable-length differences: the
// paragraphs of a copy mostly stand in runs of one chunk.
QByteArray encodeIds(const QVector<qint64> &ids)
{
    // Empty, not null: a copy without text (a legacy type, an empty document)
    // is a row like any other.
    QByteArray bytes("", 0);
    qint64 previous = 0;
    for (qint64 id : ids) {
        const qint64 delta = id - previous;
        quint64 zigzag = (quint64(delta) << 1) ^ quint64(delta >> 63);
        previous = id;
        do {
            bytes.append(char((zigzag & 0x7f) | (zigzag > 0x7f ? 0x80 : 0)));
            zigzag >>= 7;
        } while (zigzag);
    }
    return bytes;
}

QVector<qint64> decodeIds(const QByteArray &bytes)
{
    QVector<qint64> ids;
    quint64 zigzag = 0;
    int shift = 0;
    qint64 previous = 0;
    for (char byte : bytes) {
        zigzag |= quint64(uchar(byte) & 0x7f) << shift;
        shift += 7;
        if (!(uchar(byte) & 0x80) || shift > 63) {
            // Unsigned: a damaged row must not overflow.
            previous = qint64(quint64(previous) + ((zigzag >> 1) ^ (0 - (zigzag & 1))));
            ids.append(previous);
            zigzag = 0;
            shift = 0;
        }
    }
    return ids;
}

// A paragraph's id is its chunk's and its place there.
constexpr int chunkSlots = 4096;

qint64 hashOf(const QByteArray &utf8)
{
    const QByteArray digest = QCryptographicHash::hash(utf8, QCryptographicHash::Md5);
    qint64 hash = 0;
    for (int i = 0; i < 8; ++i)
        hash = (hash << 8) | uchar(digest.at(i));
    return hash;
}

// Row ids follow the save time, so that the newest matches come first
// straight from the index; the low bits keep copies of one second apart.
qint64 baseIdFor(const TextIndex::Copy &copy)
{
    const qint64 seconds = QDateTime(copy.saveDate, copy.saveTime, Qt::UTC).toSecsSinceEpoch();
    const qint64 spread = hashOf(copy.path.toUtf8()) & 0xfff;
    return std::max<qint64>(seconds, 0) * 0x1000 + spread;
}

QStringList bounded(const QStringList &paragraphs)
{
    QStringList kept;
    int left = TextIndex::textBudget;
    for (const QString &paragraph : paragraphs) {
        const QByteArray utf8 = paragraph.toUtf8();
        if (utf8.size() + 1 <= left) {
            // NUL separates the paragraphs of a chunk.
            kept.append(QString(paragraph).replace(QChar(0), QLatin1Char(' ')));
            left -= utf8.size() + 1;
            continue;
        }
        QString cut = QString::fromUtf8(utf8.left(left)).replace(QChar(0), QLatin1Char(' '));
        if (cut.endsWith(QChar(QChar::ReplacementCharacter)))
            cut.chop(1);
        if (!cut.isEmpty())
            kept.append(cut);
        break;
    }
    return kept;
}

// Binds `values` in order to a prepared statement and runs it.
bool run(QSqlQuery &query, const char *what, std::initializer_list<QVariant> values = {})
{
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (query.exec())
        return true;
    qCWarning(lcCatalogue) << "text index:" << what << query.lastError().text();
    return false;
}

bool runText(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery query(db);
    if (query.exec(sql))
        return true;
    qCWarning(lcCatalogue) << "text index:" << sql << query.lastError().text();
    return false;
}

QSqlQuery prepared(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        qCWarning(lcCatalogue) << "text index:" << sql << query.lastError().text();
    return query;
}

// The paragraphs of copies, read from their compressed chunks, each chunk once.
class ChunkReader
{
public:
    explicit ChunkReader(const QSqlDatabase &db)
        : m_query(prepared(db, QStringLiteral("SELECT body FROM chunks WHERE id = ?")))
    {}

    QStringList paragraphs(const QByteArray &ids)
    {
        QStringList texts;
        for (qint64 id : decodeIds(ids)) {
            const qint64 chunk = id / chunkSlots;
            auto found = m_chunks.find(chunk);
            if (found == m_chunks.end()) {
                m_query.addBindValue(chunk);
                QStringList parts;
                if (m_query.exec() && m_query.next()) {
                    // With its length: QString::fromUtf8(QByteArray) would stop at the first NUL.
                    const QByteArray utf8 = qUncompress(m_query.value(0).toByteArray());
                    parts = QString::fromUtf8(utf8.constData(), utf8.size()).split(QChar(0));
                }
                m_query.finish();
                found = m_chunks.insert(chunk, parts);
            }
            texts.append(found->value(int(id % chunkSlots)));
        }
        return texts;
    }

private:
    QSqlQuery m_query;
    QHash<qint64, QStringList> m_chunks;
};

}

struct TextIndex::Shared
{
    QString path;
    QMutex mutex;
    QWaitCondition idle;
    bool running = false;
    bool hasPending = false;
    Snapshot pending;
    QSet<QString> listed;
    std::atomic<bool> stop{false};
    std::atomic<bool> restart{false};
    std::atomic<bool> ready{false};
    std::atomic<bool> progressPosted{false};
    std::atomic<bool> finishPosted{false};
    std::atomic<int> lastRead{0};
    std::atomic<int> indexed{0};
    std::atomic<int> total{0};
};

namespace {

// The writing side, on a pool thread, with a connection of its own.
class Writer
{
public:
    Writer(const QSqlDatabase &db, TextIndex::Shared &shared, TextIndex *owner)
        : m_db(db)
        , m_shared(shared)
        , m_owner(owner)
    {}

    bool open();
    void pass(const TextIndex::Snapshot &snapshot);

private:
    struct Row
    {
        qint64 id;
        qint64 size;
        qint64 mtime;
    };

    bool openChecked();
    bool createSchema();
    void prepareStatements();
    bool insertCopy(const TextIndex::Copy &copy, qint64 size, qint64 mtime, const QStringList &paragraphs);
    bool removeCopy(qint64 id);
    void postProgress();

    QSqlDatabase m_db;
    TextIndex::Shared &m_shared;
    TextIndex *m_owner;
    QSqlQuery m_findParagraph, m_insertParagraph, m_addRef, m_dropRef, m_dropUnused;
    QSqlQuery m_insertChunk, m_chunkLoses, m_dropChunk;
    QSqlQuery m_idTaken, m_insertCopy, m_copyParagraphs, m_deleteCopy;
    QSqlQuery m_insertWords, m_deleteWords, m_insertCjk, m_deleteCjk;
};

bool Writer::open()
{
    const QString path = m_shared.path;
    QDir().mkpath(QFileInfo(path).absolutePath());
    m_db.setDatabaseName(path);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!openChecked()) {
        m_db.close();
        // Whatever it was, it is rebuilt; the old file stays beside it for a look.
        Arkivo::logInfo(QStringLiteral("text index: %1 is damaged, moved aside and rebuilt").arg(path));
        for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
            const QString aside = path + QStringLiteral(".damaged") + suffix;
            QFile::remove(aside);
            if (QFileInfo::exists(path + suffix) && !QFile::rename(path + suffix, aside))
                QFile::remove(path + suffix);
        }
        if (!openChecked()) {
            m_db.close();
            Arkivo::logInfo(QStringLiteral("text index: cannot open %1").arg(path));
            return false;
        }
    }
    prepareStatements();
    m_shared.ready = true;
    return true;
}

bool Writer::openChecked()
{
    if (!m_db.open())
        return false;
    int version = -1;
    {
        QSqlQuery query(m_db);
        if (!query.exec(QStringLiteral("PRAGMA integrity_check")) || !query.next()
            || query.value(0).toString() != QLatin1String("ok"))
            return false;
        if (query.exec(QStringLiteral("PRAGMA user_version")) && query.next())
            version = query.value(0).toInt();
    }
    if (version == 0 && !createSchema())
        return false;
    if (version != 0 && version != schemaVersion)
        return false;
    QSqlQuery wal(m_db);
    return wal.exec(QStringLiteral("PRAGMA journal_mode=WAL")) && wal.next()
           && wal.value(0).toString() == QLatin1String("wal")
           && runText(m_db, QStringLiteral("PRAGMA synchronous=NORMAL"));
}

// The text of a copy is kept once per distinct paragraph (the versions of a
// document share most of theirs), compressed in chunks: the paragraphs that
// one copy brought, together. A paragraph is known by the hash of its text. The word index keeps no text and no
// positions (snippets come from the paragraphs); the trigram index holds only
// the CJK runs.
bool Writer::createSchema()
{
    const QStringList statements = {
        // Pages that merging and deleting free are given back at each commit.
        QStringLiteral("PRAGMA auto_vacuum=FULL"),
        QStringLiteral("BEGIN"),
        QStringLiteral("CREATE TABLE copies(id INTEGER PRIMARY KEY, path TEXT NOT NULL, size INTEGER NOT NULL,"
                       " mtime INTEGER NOT NULL, name TEXT NOT NULL, saveDate TEXT NOT NULL, saveTime TEXT NOT NULL,"
                       " paragraphs BLOB NOT NULL)"),
        QStringLiteral("CREATE TABLE chunks(id INTEGER PRIMARY KEY AUTOINCREMENT, live INTEGER NOT NULL,"
                       " body BLOB NOT NULL)"),
        QStringLiteral("CREATE TABLE paragraphs(id INTEGER PRIMARY KEY, hash INTEGER NOT NULL, refs INTEGER NOT NULL)"),
        QStringLiteral("CREATE INDEX paragraphs_hash ON paragraphs(hash)"),
        QStringLiteral("CREATE VIRTUAL TABLE words USING fts5(body, content='', detail=column,"
                       " tokenize='unicode61 remove_diacritics 2')"),
        QStringLiteral("CREATE VIRTUAL TABLE cjk USING fts5(body, content='', detail=none, tokenize='trigram')"),
        QStringLiteral("PRAGMA user_version=%1").arg(schemaVersion),
        QStringLiteral("COMMIT"),
    };
    for (const QString &statement : statements) {
        if (!runText(m_db, statement))
            return false;
    }
    return true;
}

void Writer::prepareStatements()
{
    m_findParagraph = prepared(m_db, QStringLiteral("SELECT id FROM paragraphs WHERE hash = ?"));
    m_insertParagraph = prepared(m_db, QStringLiteral("INSERT INTO paragraphs(id, hash, refs) VALUES(?, ?, ?)"));
    m_insertChunk = prepared(m_db, QStringLiteral("INSERT INTO chunks(live, body) VALUES(?, ?)"));
    m_chunkLoses = prepared(m_db, QStringLiteral("UPDATE chunks SET live = live - 1 WHERE id = ?"));
    m_dropChunk = prepared(m_db, QStringLiteral("DELETE FROM chunks WHERE id = ? AND live <= 0"));
    m_addRef = prepared(m_db, QStringLiteral("UPDATE paragraphs SET refs = refs + 1 WHERE id = ?"));
    m_dropRef = prepared(m_db, QStringLiteral("UPDATE paragraphs SET refs = refs - 1 WHERE id = ?"));
    m_dropUnused = prepared(m_db, QStringLiteral("DELETE FROM paragraphs WHERE id = ? AND refs <= 0"));
    m_idTaken = prepared(m_db, QStringLiteral("SELECT 1 FROM copies WHERE id = ?"));
    m_insertCopy = prepared(m_db, QStringLiteral("INSERT INTO copies(id, path, size, mtime, name, saveDate, saveTime,"
                                                 " paragraphs) VALUES(?, ?, ?, ?, ?, ?, ?, ?)"));
    m_copyParagraphs = prepared(m_db, QStringLiteral("SELECT paragraphs FROM copies WHERE id = ?"));
    m_deleteCopy = prepared(m_db, QStringLiteral("DELETE FROM copies WHERE id = ?"));
    m_insertWords = prepared(m_db, QStringLiteral("INSERT INTO words(rowid, body) VALUES(?, ?)"));
    m_deleteWords = prepared(m_db, QStringLiteral("INSERT INTO words(words, rowid, body) VALUES('delete', ?, ?)"));
    m_insertCjk = prepared(m_db, QStringLiteral("INSERT INTO cjk(rowid, body) VALUES(?, ?)"));
    m_deleteCjk = prepared(m_db, QStringLiteral("INSERT INTO cjk(cjk, rowid, body) VALUES('delete', ?, ?)"));
}

bool Writer::insertCopy(const TextIndex::Copy &copy, qint64 size, qint64 mtime, const QStringList &paragraphs)
{
    QVector<qint64> ids(paragraphs.size(), -1);
    // The paragraphs new to the index, once each, and how often this copy has them.
    QStringList fresh;
    QVector<qint64> freshHashes;
    QVector<int> freshCounts;
    QHash<qint64, int> freshSlots;
    QVector<int> slotOf(paragraphs.size(), -1);
    for (int i = 0; i < paragraphs.size(); ++i) {
        const qint64 hash = hashOf(paragraphs.at(i).toUtf8());
        const auto known = freshSlots.constFind(hash);
        if (known != freshSlots.cend()) {
            slotOf[i] = *known;
            ++freshCounts[*known];
            continue;
        }
        if (!run(m_findParagraph, "find paragraph", {hash}))
            return false;
        if (m_findParagraph.next())
            ids[i] = m_findParagraph.value(0).toLongLong();
        m_findParagraph.finish();
        if (ids[i] >= 0) {
            if (!run(m_addRef, "add paragraph reference", {ids[i]}))
                return false;
            continue;
        }
        slotOf[i] = fresh.size();
        freshSlots.insert(hash, fresh.size());
        fresh.append(paragraphs.at(i));
        freshHashes.append(hash);
        freshCounts.append(1);
    }
    QVector<qint64> chunks;
    for (int start = 0; start < fresh.size(); start += chunkSlots) {
        const QStringList part = fresh.mid(start, chunkSlots);
        if (!run(m_insertChunk, "insert chunk", {part.size(), qCompress(part.join(QChar(0)).toUtf8(), 9)}))
            return false;
        chunks.append(m_insertChunk.lastInsertId().toLongLong());
        for (int slot = start; slot < start + part.size(); ++slot) {
            if (!run(m_insertParagraph, "insert paragraph",
                     {chunks.last() * chunkSlots + slot - start, freshHashes.at(slot), freshCounts.at(slot)}))
                return false;
        }
    }
    for (int i = 0; i < paragraphs.size(); ++i) {
        if (slotOf[i] >= 0)
            ids[i] = chunks.at(slotOf[i] / chunkSlots) * chunkSlots + slotOf[i] % chunkSlots;
    }

    qint64 id = baseIdFor(copy);
    for (;; ++id) {
        if (!run(m_idTaken, "find row id", {id}))
            return false;
        const bool taken = m_idTaken.next();
        m_idTaken.finish();
        if (!taken)
            break;
    }
    if (!run(m_insertCopy, "insert copy",
             {id, copy.path, size, mtime, copy.groupName, copy.saveDate.toString(dateFormat),
              copy.saveTime.toString(timeFormat), encodeIds(ids)}))
        return false;

    const QString text = paragraphs.join(QLatin1Char('\n'));
    if (!run(m_insertWords, "index words", {id, TextSearch::wordText(text)}))
        return false;
    const QString runs = TextSearch::cjkText(text);
    if (runs.isEmpty())
        return true;
    return run(m_insertCjk, "index runs", {id, runs});
}

// A row of the contentless indexes goes with the very text it was made from,
// rebuilt here from the paragraphs.
bool Writer::removeCopy(qint64 id)
{
    if (!run(m_copyParagraphs, "read copy", {id}) || !m_copyParagraphs.next())
        return false;
    const QByteArray encoded = m_copyParagraphs.value(0).toByteArray();
    m_copyParagraphs.finish();
    const QVector<qint64> ids = decodeIds(encoded);
    const QString text = ChunkReader(m_db).paragraphs(encoded).join(QLatin1Char('\n'));

    if (!run(m_deleteWords, "remove words", {id, TextSearch::wordText(text)}))
        return false;
    const QString runs = TextSearch::cjkText(text);
    if (!runs.isEmpty() && !run(m_deleteCjk, "remove runs", {id, runs}))
        return false;
    for (qint64 paragraph : ids) {
        if (!run(m_dropRef, "drop paragraph reference", {paragraph})
            || !run(m_dropUnused, "drop paragraph", {paragraph}))
            return false;
        if (m_dropUnused.numRowsAffected() > 0) {
            const qint64 chunk = paragraph / chunkSlots;
            if (!run(m_chunkLoses, "count chunk", {chunk}) || !run(m_dropChunk, "drop chunk", {chunk}))
                return false;
        }
    }
    return run(m_deleteCopy, "remove copy", {id});
}

void Writer::postProgress()
{
    if (!m_shared.progressPosted.exchange(true)) {
        QMetaObject::invokeMethod(m_owner, "onWorkerProgress", Qt::QueuedConnection);
    }
}

void Writer::pass(const TextIndex::Snapshot &snapshot)
{
    QElapsedTimer clock;
    clock.start();
    QSet<QString> listed;
    listed.reserve(snapshot.size());
    for (const TextIndex::Copy &copy : snapshot)
        listed.insert(copy.path);
    {
        QMutexLocker locker(&m_shared.mutex);
        m_shared.listed = listed;
    }

    QHash<QString, Row> rows;
    {
        QSqlQuery query(m_db);
        query.setForwardOnly(true);
        if (!query.exec(QStringLiteral("SELECT path, id, size, mtime FROM copies"))) {
            qCWarning(lcCatalogue) << "text index: cannot read the copies" << query.lastError().text();
            return;
        }
        while (query.next())
            rows.insert(query.value(0).toString(),
                        Row{query.value(1).toLongLong(), query.value(2).toLongLong(), query.value(3).toLongLong()});
    }

    QVector<int> order(snapshot.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&snapshot](int a, int b) {
        const TextIndex::Copy &x = snapshot.at(a);
        const TextIndex::Copy &y = snapshot.at(b);
        return x.saveDate != y.saveDate ? x.saveDate > y.saveDate : x.saveTime > y.saveTime;
    });
    QVector<qint64> sizes(snapshot.size(), -1);
    QVector<qint64> mtimes(snapshot.size(), -1);
    QVector<bool> current(snapshot.size(), false);
    int indexed = 0;
    for (int i = 0; i < snapshot.size(); ++i) {
        const QFileInfo info(snapshot.at(i).path);
        if (!info.exists())
            continue;
        sizes[i] = info.size();
        mtimes[i] = info.lastModified().toMSecsSinceEpoch();
        const auto row = rows.constFind(snapshot.at(i).path);
        current[i] = row != rows.cend() && row->size == sizes[i] && row->mtime == mtimes[i];
        indexed += current[i];
    }
    m_shared.indexed = indexed;
    m_shared.total = snapshot.size();
    postProgress();

    int read = 0;
    int changed = 0;
    bool interrupted = false;
    bool failed = !m_db.transaction();
    QElapsedTimer batch;
    batch.start();
    int inBatch = 0;
    for (int i : order) {
        if (failed || m_shared.stop || m_shared.restart) {
            interrupted = true;
            break;
        }
        if (current[i] || sizes[i] < 0)
            continue;
        const TextIndex::Copy &copy = snapshot.at(i);
        const auto row = rows.constFind(copy.path);
        if (row != rows.cend() && !removeCopy(row->id)) {
            failed = true;
            continue;
        }
        rows.remove(copy.path);
        const QStringList paragraphs = bounded(DocumentPreview::read(copy.path).paragraphs);
        ++read;
        if (!insertCopy(copy, sizes[i], mtimes[i], paragraphs)) {
            failed = true;
            continue;
        }
        ++changed;
        ++indexed;
        // Counted once committed, where a search sees them.
        if (++inBatch >= batchCopies || batch.elapsed() >= batchMsecs) {
            failed = !m_db.commit() || !m_db.transaction();
            m_shared.indexed = indexed;
            postProgress();
            inBatch = 0;
            batch.restart();
        }
    }
    // Copies that are no longer listed leave the index, once a pass has seen
    // the whole listing.
    if (!interrupted && !failed) {
        for (auto row = rows.cbegin(); row != rows.cend() && !failed; ++row) {
            if (!listed.contains(row.key())) {
                failed = !removeCopy(row->id);
                ++changed;
            }
        }
    }
    if (failed) {
        m_db.rollback();
        Arkivo::logInfo(QStringLiteral("text index: a pass failed: %1").arg(m_db.lastError().text()));
    } else {
        m_db.commit();
        m_shared.indexed = indexed;
        postProgress();
    }
    if (!interrupted && !failed && changed > 0 && !m_shared.stop) {
        // Few large segments keep the index small and its queries quick. They
        // are merged in small steps, so that a stop is not kept waiting.
        QSqlQuery changes(m_db);
        const auto totalChanges = [&changes] {
            const qint64 count = changes.exec(QStringLiteral("SELECT total_changes()")) && changes.next()
                                     ? changes.value(0).toLongLong()
                                     : -1;
            changes.finish();
            return count;
        };
        for (const QString &table : {QStringLiteral("words"), QStringLiteral("cjk")}) {
            const QString merge = QStringLiteral("INSERT INTO %1(%1, rank) VALUES('merge', -500)").arg(table);
            qint64 before = totalChanges();
            while (!m_shared.stop && runText(m_db, merge)) {
                const qint64 after = totalChanges();
                if (after - before < 2)
                    break;
                before = after;
            }
        }
        runText(m_db, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    qCDebug(lcCatalogue) << "text index: pass of" << snapshot.size() << "copies," << read << "read," << changed
                         << "changed," << clock.elapsed() << "ms" << (interrupted ? "(interrupted)" : "");
    // Posted once until taken: an owner whose thread runs no event loop for
    // a while does not collect one event per pass.
    if (!interrupted) {
        m_shared.lastRead = read;
        if (!m_shared.finishPosted.exchange(true))
            QMetaObject::invokeMethod(m_owner, "onWorkerFinished", Qt::QueuedConnection);
    }
}

void runTask(const std::shared_ptr<TextIndex::Shared> &shared, TextIndex *owner)
{
    for (bool more = true; more;) {
        const QString name = connectionName("writer");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            Writer writer(db, *shared, owner);
            bool opened = writer.open();
            if (!opened) {
                // Tried once per request: a later listing tries again.
                QMutexLocker locker(&shared->mutex);
                shared->hasPending = false;
            }
            while (opened) {
                TextIndex::Snapshot snapshot;
                {
                    QMutexLocker locker(&shared->mutex);
                    opened = shared->hasPending && !shared->stop;
                    snapshot.swap(shared->pending);
                    shared->hasPending = false;
                    shared->restart = false;
                }
                if (opened)
                    writer.pass(snapshot);
            }
        }
        QSqlDatabase::removeDatabase(name);
        // The owner waits for this: once it is told, nothing here touches it.
        QMutexLocker locker(&shared->mutex);
        more = shared->hasPending && !shared->stop;
        if (!more) {
            shared->running = false;
            shared->idle.wakeAll();
        }
    }
}

}

TextIndex::TextIndex(const QString &databasePath, QObject *parent)
    : QObject(parent)
    , m_shared(std::make_shared<Shared>())
    , m_readerName(connectionName("reader"))
{
    m_shared->path = databasePath;
    m_progressTimer.setSingleShot(true);
    connect(&m_progressTimer, &QTimer::timeout, this, &TextIndex::emitProgress);
}

TextIndex::~TextIndex()
{
    m_shared->stop = true;
    {
        QMutexLocker locker(&m_shared->mutex);
        while (m_shared->running)
            m_shared->idle.wait(&m_shared->mutex);
    }
    if (QSqlDatabase::contains(m_readerName))
        QSqlDatabase::removeDatabase(m_readerName);
}

TextIndex::Snapshot TextIndex::snapshotOf(const QList<BackupGroupInfo *> &groups)
{
    Snapshot snapshot;
    for (const BackupGroupInfo *group : groups) {
        for (const BackupFileInfo &file : group->backupFiles)
            snapshot.append(Copy{file.filePath, file.fileSize, group->groupName, group->saveDate, file.saveTime});
    }
    return snapshot;
}

void TextIndex::requestPass(const Snapshot &snapshot)
{
    QMutexLocker locker(&m_shared->mutex);
    if (m_shared->stop)
        return;
    m_shared->pending = snapshot;
    m_shared->hasPending = true;
    m_shared->restart = true;
    m_shared->total = snapshot.size();
    if (m_shared->running)
        return;
    m_shared->running = true;
    std::shared_ptr<Shared> shared = m_shared;
    BackgroundTasks::runIdle([shared, this] { runTask(shared, this); });
}

int TextIndex::indexedCount() const
{
    return m_shared->indexed;
}

int TextIndex::totalCount() const
{
    return m_shared->total;
}

bool TextIndex::isPassRunning() const
{
    QMutexLocker locker(&m_shared->mutex);
    return m_shared->running;
}

QString TextIndex::databasePath() const
{
    return m_shared->path;
}

void TextIndex::onWorkerProgress()
{
    m_shared->progressPosted = false;
    const qint64 since = m_lastProgress ? QDateTime::currentMSecsSinceEpoch() - m_lastProgress : progressMsecs;
    if (since >= progressMsecs)
        emitProgress();
    else if (!m_progressTimer.isActive())
        m_progressTimer.start(int(progressMsecs - since));
}

void TextIndex::onWorkerFinished()
{
    m_shared->finishPosted = false;
    emit passFinished(m_shared->indexed, m_shared->total, m_shared->lastRead);
}

void TextIndex::emitProgress()
{
    m_progressTimer.stop();
    m_lastProgress = QDateTime::currentMSecsSinceEpoch();
    emit progress(m_shared->indexed, m_shared->total);
}

TextIndex::Answer TextIndex::search(const QString &query, int limit)
{
    Answer answer;
    const TextSearch::Terms terms = TextSearch::parse(query);
    if (terms.isEmpty()) {
        answer.errormsg = QStringLiteral("nothing to search for");
        return answer;
    }
    limit = std::clamp(limit, 1, maxLimit);
    answer.ok = true;
    // Until the pass has checked the file, nothing is read from it.
    if (!m_shared->ready)
        return answer;
    QSet<QString> listed;
    {
        QMutexLocker locker(&m_shared->mutex);
        listed = m_shared->listed;
    }
    if (listed.isEmpty())
        return answer;

    if (!QSqlDatabase::contains(m_readerName)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_readerName);
        db.setDatabaseName(m_shared->path);
        // A read never waits for long on the writer.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=50"));
    }
    QSqlDatabase db = QSqlDatabase::database(m_readerName);
    if (!db.isOpen()) {
        answer = Answer();
        answer.errormsg = QStringLiteral("the text index cannot be read");
        return answer;
    }

    QSqlQuery copyRow = prepared(db, QStringLiteral("SELECT path, name, saveDate, saveTime, paragraphs FROM copies"
                                                    " WHERE id = ?"));
    ChunkReader chunks(db);
    // Takes a candidate when it is listed, still there and holds every run.
    const auto consider = [&](const QString &path, const QString &name, const QString &date, const QString &time,
                              const QByteArray &ids) {
        if (!listed.contains(path) || !QFileInfo::exists(path))
            return;
        const TextSearch::Match match = TextSearch::match(terms, chunks.paragraphs(ids));
        if (!match.complete)
            return;
        answer.hits.append(
            Hit{path, name, QDate::fromString(date, dateFormat), QTime::fromString(time, timeFormat), match.snippet});
    };

    const QString wordsMatch = terms.wordsMatch();
    const QString runsMatch = terms.runsMatch();
    if (wordsMatch.isEmpty() && runsMatch.isEmpty()) {
        // Runs of one or two letters are below the trigrams: the stored text
        // is read, newest copy first.
        QSqlQuery scan(db);
        scan.setForwardOnly(true);
        if (!scan.exec(QStringLiteral("SELECT path, name, saveDate, saveTime, paragraphs FROM copies"
                                      " ORDER BY id DESC"))) {
            answer = Answer();
            answer.errormsg = scan.lastError().text();
            return answer;
        }
        while (answer.hits.size() < limit && scan.next())
            consider(scan.value(0).toString(), scan.value(1).toString(), scan.value(2).toString(),
                     scan.value(3).toString(), scan.value(4).toByteArray());
        return answer;
    }

    const bool byWords = !wordsMatch.isEmpty();
    const QString table = byWords ? QStringLiteral("words") : QStringLiteral("cjk");
    QString where = table + QStringLiteral(" MATCH :match");
    if (byWords && !runsMatch.isEmpty())
        where += QStringLiteral(" AND rowid IN (SELECT rowid FROM cjk WHERE cjk MATCH :runs)");
    const auto bind = [&](QSqlQuery &sql) {
        sql.bindValue(QStringLiteral(":match"), byWords ? wordsMatch : runsMatch);
        if (byWords && !runsMatch.isEmpty())
            sql.bindValue(QStringLiteral(":runs"), runsMatch);
    };
    QSqlQuery floor = prepared(db, QStringLiteral("SELECT rowid FROM %1 WHERE %2 ORDER BY rowid DESC LIMIT 1 OFFSET %3")
                                       .arg(table, where)
                                       .arg(rankWindow - 1));
    bind(floor);
    if (!floor.exec()) {
        answer = Answer();
        answer.errormsg = floor.lastError().text();
        return answer;
    }
    if (floor.next())
        where += QStringLiteral(" AND rowid >= %1").arg(floor.value(0).toLongLong());
    floor.finish();
    QSqlQuery ranked
        = prepared(db, QStringLiteral("SELECT rowid FROM %1 WHERE %2 ORDER BY rank, rowid DESC").arg(table, where));
    bind(ranked);
    if (!ranked.exec()) {
        answer = Answer();
        answer.errormsg = ranked.lastError().text();
        return answer;
    }
    while (answer.hits.size() < limit && ranked.next()) {
        copyRow.addBindValue(ranked.value(0).toLongLong());
        if (copyRow.exec() && copyRow.next())
            consider(copyRow.value(0).toString(), copyRow.value(1).toString(), copyRow.value(2).toString(),
                     copyRow.value(3).toString(), copyRow.value(4).toByteArray());
        copyRow.finish();
    }
    return answer;
}
