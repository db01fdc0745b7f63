#include "localcloudservice.h"

#include "kprocess.h"
#include "platform.h"
#include "suiteconfig.h"
#include "suitehome.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>

Q_LOGGING_CATEGORY(lcLocalCloud, "zentri.host.localcloud", QtWarningMsg)

namespace {
constexpr qint64 defaultBytesPerSecond = 1024 * 1024;
// Without a rate limit one turn of the event loop still copies no more than
// this, so the host stays responsive while large files go up.
constexpr qint64 maxBytesPerTurn = 4 * 1024 * 1024;
constexpr int throttledPumpMs = 20;

// A file is written under a hidden part name, ".arkivo-part-<pid>-<16 hex
// digits>", and renamed into place once complete: a killed host leaves no
// truncated document under a document's name, and the next one knows whose
// parts it finds.
const QString partPrefix = QStringLiteral(".arkivo-part-");

const QRegularExpression &partPattern()
{
    static const QRegularExpression pattern(QStringLiteral("^\\.arkivo-part-([1-9][0-9]{0,17})-[0-9a-f]{16}$"));
    return pattern;
}

QString newPartName()
{
    return partPrefix + QString::number(QCoreApplication::applicationPid()) + QLatin1Char('-')
           + QStringLiteral("%1").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
}

// Parts left behind by hosts that no longer run; a running host's are its own.
void removeAbandonedParts()
{
    QDirIterator it(SuiteHome::filePath(QStringLiteral("clouddrive")), {partPrefix + QLatin1Char('*')},
                    QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QRegularExpressionMatch match = partPattern().match(it.fileName());
        if (!match.hasMatch())
            continue;
        const qint64 pid = match.captured(1).toLongLong();
        if (pid != QCoreApplication::applicationPid() && !Platform::processExists(pid) && !QFile::remove(path))
            qCWarning(lcLocalCloud) << "cannot remove the abandoned part" << path;
    }
}

const QString roamingModeKey = QStringLiteral("cloud/roamingMode");
const QString roamingStrategyKey = QStringLiteral("cloud/roamingStrategy");

QStringList splitFileList(const QString &joined)
{
    return joined.split(QLatin1Char('|'), Qt::SkipEmptyParts);
}

bool isPlainName(const QString &part)
{
    if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
        return false;
    for (const QChar c : part) {
        if (c.unicode() < 0x20 || c == QLatin1Char('\\') || c == QLatin1Char(':') || c == QLatin1Char('/'))
            return false;
    }
    return true;
}

QString shortHash(const QString &text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
}

// A free name in `folder`: "name.ext", else "name (1).ext", "name (2).ext"...
// A document is never given a part's name.
QString freeFileName(const QDir &folder, const QString &name)
{
    auto taken = [&folder](const QString &candidate) {
        const QFileInfo info(folder.filePath(candidate));
        return info.exists() || info.isSymLink() || partPattern().match(candidate).hasMatch();
    };
    if (!taken(name))
        return folder.filePath(name);
    const QFileInfo info(name);
    const QString base = info.completeBaseName();
    const QString suffix = info.suffix();
    for (int n = 1;; ++n) {
        const QString candidate = suffix.isEmpty() ? QStringLiteral("%1 (%2)").arg(base, QString::number(n))
                                                   : QStringLiteral("%1 (%2).%3").arg(base, QString::number(n), suffix);
        if (!taken(candidate))
            return folder.filePath(candidate);
    }
}

qint64 configuredRate()
{
    bool ok = false;
    const qint64 rate
        = SuiteConfig::value(QStringLiteral("cloud/uploadBytesPerSecond"), defaultBytesPerSecond).toLongLong(&ok);
    return ok && rate >= 0 ? rate : defaultBytesPerSecond;
}
}

struct LocalCloudService::Upload
{
    enum State { Queued, Uploading, Done, Failed, Cancelled };

    QString source;
    QString drivePath;
    State state = Queued;
    QString failure;
    qint64 size = 0;
    qint64 copied = 0;
    std::unique_ptr<QFile> in;
    std::unique_ptr<QFile> out;

    bool isActive() const { return state == Queued || state == Uploading; }

    void closeFiles(bool removeCopy)
    {
        in.reset();
        if (out) {
            out->close();
            if (removeCopy)
                out->remove();
            out.reset();
        }
    }

    QString statusText() const
    {
        switch (state) {
        case Queued:
            return QStringLiteral("queue/");
        case Uploading:
            return QStringLiteral("uploading/%1").arg(size > 0 ? qMin<qint64>(100, copied * 100 / size) : 0);
        case Done:
            return QStringLiteral("ok");
        case Failed:
            return failure;
        case Cancelled:
            return QStringLiteral("cancelled");
        }
        return QString();
    }
};

LocalCloudService::LocalCloudService(QObject *parent)
    : QObject(parent)
{
    removeAbandonedParts();
    connect(&m_pumpTimer, &QTimer::timeout, this, &LocalCloudService::pump);
}

LocalCloudService::~LocalCloudService()
{
    // Copies cut short by the end of the service are not left behind as if complete.
    for (const auto &upload : m_uploads) {
        if (upload->isActive())
            upload->closeFiles(true);
    }
}

void LocalCloudService::respond(const QString &method, const QStringList &args, const KCloudSvrProxy::Reply &reply)
{
    bool ok = true;
    QString text;
    KRpcResponse response;
    if (method == QLatin1String("batchUploadFileListToPath")) {
        response = queueUploads(args, &ok);
    } else if (method == QLatin1String("getBatchUploadFileListState")) {
        response = uploadStates(args);
    } else if (method == QLatin1String("cancelBatchUploadFileToPath")) {
        cancelUploads(args);
    } else if (method == QLatin1String("getRoamingMode")) {
        response = roamingMode();
    } else if (method == QLatin1String("changeRoamingMode")) {
        response = changeRoamingMode(args, &ok, &text);
    } else if (method == QLatin1String("getPrivateGroupInfoFromDrivePath")) {
        response = privateGroupInfo(args, &ok);
    } else if (method == QLatin1String("openVipAutoLoginUrl")) {
        ok = openAddress(args);
    } else {
        ok = false;
        text = QStringLiteral("unknown request");
    }
    if (!ok && text.isEmpty())
        text = QStringLiteral("invalid arguments");
    reply(ok, text, response);
}

QString LocalCloudService::localFolder(const QString &drivePath)
{
    const QStringList parts = drivePath.split(QLatin1Char('/'));
    for (const QString &part : parts) {
        if (!isPlainName(part))
            return QString();
    }
    QString folder
        = SuiteHome::filePath(QStringLiteral("clouddrive/group/%1/%2").arg(groupId(), fileId(parts.first())));
    for (int i = 1; i < parts.size(); ++i)
        folder += QLatin1Char('/') + parts.at(i);
    return folder;
}

QString LocalCloudService::groupId()
{
    return shortHash(QStringLiteral("group:") + SuiteConfig::value(QStringLiteral("account/userId")).toString());
}

QString LocalCloudService::fileId(const QString &topFolder)
{
    return shortHash(QStringLiteral("folder:") + topFolder);
}

int LocalCloudService::activeUploads() const
{
    int count = 0;
    for (const auto &upload : m_uploads)
        count += upload->isActive() ? 1 : 0;
    return count;
}

KRpcResponse LocalCloudService::queueUploads(const QStringList &args, bool *ok)
{
    if (args.size() < 2 || localFolder(args.at(1)).isEmpty()) {
        *ok = false;
        return {};
    }
    for (const QString &source : splitFileList(args.at(0))) {
        // Only the newest upload of a file is asked about; finished older ones go.
        m_uploads.erase(std::remove_if(m_uploads.begin(), m_uploads.end(),
                                       [&source](const std::unique_ptr<Upload> &upload) {
                                           return upload->source == source && !upload->isActive();
                                       }),
                        m_uploads.end());
        auto upload = std::make_unique<Upload>();
        upload->source = source;
        upload->drivePath = args.at(1);
        m_uploads.push_back(std::move(upload));
    }
    schedulePump();
    return {};
}

KRpcResponse LocalCloudService::uploadStates(const QStringList &args) const
{
    KRpcResponse states;
    if (args.isEmpty())
        return states;
    for (const QString &source : splitFileList(args.at(0))) {
        for (auto it = m_uploads.rbegin(); it != m_uploads.rend(); ++it) {
            if ((*it)->source == source) {
                states.insert(source, (*it)->statusText());
                break;
            }
        }
    }
    return states;
}

void LocalCloudService::cancelUploads(const QStringList &args)
{
    if (args.isEmpty())
        return;
    for (const QString &source : splitFileList(args.at(0))) {
        for (const auto &upload : m_uploads) {
            if (upload->source == source && upload->isActive()) {
                upload->closeFiles(true);
                upload->state = Upload::Cancelled;
            }
        }
    }
}

KRpcResponse LocalCloudService::roamingMode() const
{
    KRpcResponse response;
    response.insert(QStringLiteral("roamingmode"),
                    SuiteConfig::value(roamingModeKey, QStringLiteral("auto")).toString());
    const QString strategy = SuiteConfig::value(roamingStrategyKey).toString();
    if (!strategy.isEmpty())
        response.insert(QStringLiteral("roamingstrategy"), strategy);
    return response;
}

KRpcResponse LocalCloudService::changeRoamingMode(const QStringList &args, bool *ok, QString *text)
{
    const QString mode = args.value(0);
    if (mode != QLatin1String("auto") && mode != QLatin1String("manual")) {
        *ok = false;
        *text = QStringLiteral("unknown roaming mode");
        return {};
    }
    // An administrator's strategy wins over the user's choice.
    const QString strategy = SuiteConfig::value(roamingStrategyKey).toString();
    if ((strategy == QLatin1String("force_upload") && mode == QLatin1String("manual"))
        || (strategy == QLatin1String("forbid_upload") && mode == QLatin1String("auto"))) {
        *ok = false;
        *text = QStringLiteral("roaming mode is set by the administrator");
        return {};
    }
    SuiteConfig::setValue(roamingModeKey, mode);
    return {{QStringLiteral("roamingmode"), mode}};
}

KRpcResponse LocalCloudService::privateGroupInfo(const QStringList &args, bool *ok)
{
    const QString name = args.value(0);
    const QString folder = isPlainName(name) ? localFolder(name) : QString();
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        *ok = false;
        return {};
    }
    return {{QStringLiteral("groupid"), groupId()}, {QStringLiteral("fileid"), fileId(name)}};
}

bool LocalCloudService::openAddress(const QStringList &args)
{
    const QString address = args.value(0);
    if (!KProcess::checkUrl(address))
        return false;
    return QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
}

void LocalCloudService::schedulePump()
{
    if (m_pumpTimer.isActive())
        return;
    m_allowance = 0.0;
    m_sinceLastPump.start();
    m_pumpTimer.start(configuredRate() == 0 ? 0 : throttledPumpMs);
}

void LocalCloudService::pump()
{
    // The rate is read on every turn, so a demo can speed up or slow down a running upload.
    const qint64 rate = configuredRate();
    qint64 budget = maxBytesPerTurn;
    if (rate > 0) {
        // At most a second's worth is saved up while the loop was busy elsewhere.
        m_allowance = qMin(m_allowance + double(rate) * double(m_sinceLastPump.restart()) / 1000.0, double(rate));
        budget = qint64(m_allowance);
    }
    const int interval = rate == 0 ? 0 : throttledPumpMs;
    if (m_pumpTimer.interval() != interval)
        m_pumpTimer.setInterval(interval);

    for (;;) {
        auto next = std::find_if(m_uploads.begin(), m_uploads.end(),
                                 [](const std::unique_ptr<Upload> &upload) { return upload->isActive(); });
        if (next == m_uploads.end()) {
            m_pumpTimer.stop();
            emit uploadsIdle();
            return;
        }
        Upload &upload = **next;
        if (upload.state == Upload::Queued) {
            start(upload);
            continue;
        }
        if (budget <= 0)
            return;
        const qint64 copied = copyChunk(upload, budget);
        budget -= copied;
        if (rate > 0)
            m_allowance -= double(copied);
    }
}

void LocalCloudService::start(Upload &upload)
{
    const QFileInfo info(upload.source);
    if (!info.exists()) {
        fail(upload, QStringLiteral("error/file not found"));
        return;
    }
    if (!info.isFile()) {
        fail(upload, QStringLiteral("error/not a file"));
        return;
    }
    upload.in = std::make_unique<QFile>(upload.source);
    if (!upload.in->open(QIODevice::ReadOnly)) {
        fail(upload, QStringLiteral("error/file not readable"));
        return;
    }
    const QString folder = localFolder(upload.drivePath);
    if (!QDir().mkpath(folder)) {
        fail(upload, QStringLiteral("error/cloud drive not writable"));
        return;
    }
    upload.out = std::make_unique<QFile>(QDir(folder).filePath(newPartName()));
    if (!upload.out->open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        upload.out.reset();
        fail(upload, QStringLiteral("error/cloud drive not writable"));
        return;
    }
    upload.size = info.size();
    upload.state = Upload::Uploading;
    qCDebug(lcLocalCloud) << "uploading" << upload.source << "to" << upload.out->fileName();
}

qint64 LocalCloudService::copyChunk(Upload &upload, qint64 budget)
{
    const QByteArray data = upload.in->read(qMin(budget, maxBytesPerTurn));
    if (data.isEmpty() && upload.in->error() != QFileDevice::NoError) {
        fail(upload, QStringLiteral("error/file not readable"));
        return 0;
    }
    if (!data.isEmpty() && upload.out->write(data) != data.size()) {
        fail(upload, QStringLiteral("error/cloud drive not writable"));
        return 0;
    }
    upload.copied += data.size();
    if (upload.in->atEnd() || data.isEmpty())
        finish(upload);
    return data.size();
}

void LocalCloudService::finish(Upload &upload)
{
    upload.in.reset();
    upload.out->close();
    if (upload.out->error() != QFileDevice::NoError) {
        fail(upload, QStringLiteral("error/cloud drive not writable"));
        return;
    }
    // The free name is taken as the copy lands; one that another writer took
    // meanwhile is passed over, never replaced.
    const QString part = upload.out->fileName();
    const QDir folder = QFileInfo(part).dir();
    const QString name = QFileInfo(upload.source).fileName();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString target = freeFileName(folder, name);
        if (Platform::renameNoReplace(part, target)) {
            upload.out.reset();
            upload.state = Upload::Done;
            qCDebug(lcLocalCloud) << "uploaded" << upload.source << "as" << target;
            return;
        }
        const QFileInfo taken(target);
        if (!taken.exists() && !taken.isSymLink())
            break;
    }
    fail(upload, QStringLiteral("error/cloud drive not writable"));
}

void LocalCloudService::fail(Upload &upload, const QString &reason)
{
    qCDebug(lcLocalCloud) << "upload of" << upload.source << "failed:" << reason;
    upload.closeFiles(true);
    upload.state = Upload::Failed;
    upload.failure = reason;
}
