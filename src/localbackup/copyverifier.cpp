#include "copyverifier.h"

#include "core/backgroundtasks.h"

#include <KZip>
#include <kzipfileentry.h>
#include <poppler-qt5.h>
#include <zlib.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutexLocker>
#include <QThread>
#include <QtConcurrent>

#include <memory>

namespace {

// What was found for one file as it was then.
struct Known
{
    qint64 size = -1;
    qint64 modified = 0;
    CopyVerifier::State state = CopyVerifier::State::Pending;
};

QBasicMutex s_knownMutex;
QHash<QString, Known> &knownResults()
{
    static QHash<QString, Known> results;
    return results;
}

Known stamp(const QString &path)
{
    const QFileInfo info(path);
    Known known;
    if (info.isFile()) {
        known.size = info.size();
        known.modified = info.lastModified().toMSecsSinceEpoch();
    }
    return known;
}

// A package that expands to more than this is not read through: "unknown"
// rather than minutes spent on what may be a zip bomb.
constexpr qint64 expandedBudget = qint64(128) << 20;

bool readsWithItsCrc(const KZipFileEntry *file)
{
    std::unique_ptr<QIODevice> device(file->createDevice());
    if (!device)
        return false;
    uLong crc = ::crc32(0L, Z_NULL, 0);
    qint64 total = 0;
    char chunk[64 * 1024];
    for (;;) {
        const qint64 got = device->read(chunk, sizeof chunk);
        if (got < 0)
            return false;
        if (got == 0)
            break;
        crc = ::crc32(crc, reinterpret_cast<const Bytef *>(chunk), uInt(got));
        total += got;
    }
    return total == file->size() && crc == file->crc32();
}

CopyVerifier::State checkPackage(const QString &path)
{
    KZip zip(path);
    if (!zip.open(QIODevice::ReadOnly))
        return CopyVerifier::State::Damaged;
    QVector<const KZipFileEntry *> files;
    qint64 expanded = 0;
    QVector<const KArchiveDirectory *> folders{zip.directory()};
    while (!folders.isEmpty()) {
        const KArchiveDirectory *folder = folders.takeLast();
        const QStringList names = folder->entries();
        for (const QString &name : names) {
            const KArchiveEntry *entry = folder->entry(name);
            if (entry->isDirectory()) {
                folders.append(static_cast<const KArchiveDirectory *>(entry));
            } else {
                files.append(static_cast<const KZipFileEntry *>(entry));
                expanded += files.last()->size();
            }
        }
    }
    if (files.isEmpty())
        return CopyVerifier::State::Damaged;
    if (expanded > expandedBudget)
        return CopyVerifier::State::Unknown;
    for (const KZipFileEntry *file : qAsConst(files)) {
        if (!readsWithItsCrc(file))
            return CopyVerifier::State::Damaged;
    }
    return CopyVerifier::State::Ok;
}

void quietPoppler(const QString &, const QVariant &) {}

CopyVerifier::State checkPdf(const QString &path)
{
    Poppler::setDebugErrorFunction(quietPoppler, QVariant());
    const std::unique_ptr<Poppler::Document> document(Poppler::Document::load(path));
    if (!document)
        return CopyVerifier::State::Damaged;
    if (document->isLocked())
        return CopyVerifier::State::Unknown;
    return document->numPages() > 0 ? CopyVerifier::State::Ok : CopyVerifier::State::Damaged;
}

CopyVerifier::State checkCompoundFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return CopyVerifier::State::Damaged;
    static const QByteArray signature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    return file.read(8) == signature && file.size() >= 512 ? CopyVerifier::State::Ok : CopyVerifier::State::Damaged;
}

CopyVerifier::State checkReadable(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return CopyVerifier::State::Damaged;
    char chunk[64 * 1024];
    qint64 got = 0;
    while ((got = file.read(chunk, sizeof chunk)) > 0) {
    }
    return got == 0 ? CopyVerifier::State::Ok : CopyVerifier::State::Damaged;
}

}

CopyVerifier::CopyVerifier(QObject *parent)
    : QObject(parent)
{
    m_flush.setSingleShot(true);
    m_flush.setInterval(100);
    connect(&m_flush, &QTimer::timeout, this, [this] {
        emit verified(m_results);
        m_results.clear();
    });
}

CopyVerifier::~CopyVerifier()
{
    m_stopping = true;
    m_worker.waitForFinished();
}

QString CopyVerifier::stateName(State state)
{
    switch (state) {
    case State::Ok:
        return QStringLiteral("ok");
    case State::Damaged:
        return QStringLiteral("damaged");
    case State::Unknown:
        return QStringLiteral("unknown");
    case State::Pending:
        break;
    }
    return QStringLiteral("pending");
}

CopyVerifier::State CopyVerifier::check(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return State::Damaged;
    static const QStringList packages
        = {QStringLiteral("docx"), QStringLiteral("docm"), QStringLiteral("dotx"), QStringLiteral("dotm"),
           QStringLiteral("xlsx"), QStringLiteral("xlsm"), QStringLiteral("xltx"), QStringLiteral("xltm"),
           QStringLiteral("pptx"), QStringLiteral("pptm"), QStringLiteral("ppsx"), QStringLiteral("potx")};
    static const QStringList compoundFiles
        = {QStringLiteral("doc"), QStringLiteral("dot"), QStringLiteral("xls"), QStringLiteral("xlt"),
           QStringLiteral("ppt"), QStringLiteral("pps"), QStringLiteral("pot"), QStringLiteral("et"),
           QStringLiteral("wps"), QStringLiteral("dps")};
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (packages.contains(suffix))
        return checkPackage(path);
    if (suffix == QLatin1String("pdf"))
        return checkPdf(path);
    if (compoundFiles.contains(suffix))
        return checkCompoundFile(path);
    return checkReadable(path);
}

CopyVerifier::State CopyVerifier::known(const QString &path)
{
    const Known now = stamp(path);
    QMutexLocker locker(&s_knownMutex);
    const auto found = knownResults().constFind(path);
    if (found == knownResults().constEnd() || found->size != now.size || found->modified != now.modified)
        return State::Pending;
    return found->state;
}

QStringList CopyVerifier::damagedPaths()
{
    QStringList paths;
    QMutexLocker locker(&s_knownMutex);
    for (auto it = knownResults().cbegin(); it != knownResults().cend(); ++it) {
        if (it->state == State::Damaged)
            paths.append(it.key());
    }
    return paths;
}

QVector<CopyVerifier::State> CopyVerifier::request(const QStringList &paths)
{
    QVector<State> states;
    states.reserve(paths.size());
    QMutexLocker locker(&m_mutex);
    for (const QString &path : paths) {
        const State state = known(path);
        states.append(state);
        if (state == State::Pending && !m_queue.contains(path))
            m_queue.append(path);
    }
    if (!m_queue.isEmpty() && !m_working)
        startWorker();
    return states;
}

void CopyVerifier::startWorker()
{
    m_working = true;
    m_worker = QtConcurrent::run(BackgroundTasks::idlePool(), [this] { work(); });
}

void CopyVerifier::work()
{
    BackgroundTasks::runAtIdlePriority();
    while (!m_stopping) {
        QString path;
        {
            QMutexLocker locker(&m_mutex);
            if (m_queue.isEmpty()) {
                m_working = false;
                break;
            }
            path = m_queue.takeFirst();
        }
        Known found = stamp(path);
        found.state = check(path);
        {
            QMutexLocker locker(&s_knownMutex);
            knownResults().insert(path, found);
        }
        // The verifier outlives this task (its destructor waits), so the
        // result can be queued to it; it is handled on its own thread.
        QMetaObject::invokeMethod(
            this, [this, result = Result(path, found.state)] { deliver(result); }, Qt::QueuedConnection);
    }
}

void CopyVerifier::deliver(const Result &result)
{
    m_results.append(result);
    if (!m_flush.isActive())
        m_flush.start();
}
