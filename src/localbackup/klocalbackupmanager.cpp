#include "klocalbackupmanager.h"

#include "api/openurl.h"
#include "backupcopyname.h"
#include "backupfolderscanner.h"
#include "backuplistwriter.h"
#include "core/platformfiles.h"
#include "plugin/arkivolog.h"

#include <dirs.h>
#include <kbackupcenterhelper.h>
#include <kprocess.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QUrl>
#include <QXmlStreamReader>

Q_LOGGING_CATEGORY(lcCatalogue, "arkivo.catalogue", QtInfoMsg)

namespace {

// QString::toLower() of `text` into `out`, reusing out's storage: ASCII is
// lowered here, anything else by Qt.
void lowerInto(const QString &text, QString &out)
{
    const int size = text.size();
    out.resize(size);
    const ushort *src = text.utf16();
    ushort *dst = reinterpret_cast<ushort *>(out.data());
    for (int i = 0; i < size; ++i) {
        const ushort u = src[i];
        if (u >= 0x80) {
            out = text.toLower();
            return;
        }
        dst[i] = ushort(u - 'A') < 26 ? ushort(u + ('a' - 'A')) : u;
    }
}

QDateTime isoDateTime(const QXmlStreamAttributes &attributes, QLatin1String name)
{
    return QDateTime::fromString(attributes.value(name).toString(), Qt::ISODateWithMs);
}

} // namespace

KLocalBackupManager::KLocalBackupManager(QObject *parent)
    : QObject(parent)
{
}

KLocalBackupManager::~KLocalBackupManager()
{
    qDeleteAll(groups);
}

QString KLocalBackupManager::backupNameFilter()
{
    return QStringLiteral(
            "*.zentri;*.zntx;*.doc;*.dot;*.docx;*.dotx;*.docm;*.dotm;*.zcel;*.zcelt;*.xls;*.xlt;"
            "*.xlsx;*.xlsm;*.xltx;*.xltm;*.xlsb;*.csv;*.zsho;*.zshot;*.ppt;*.pps;*.pot;*.pptx;"
            "*.ppsx;*.potx;*.pdf");
}

QString KLocalBackupManager::hostApplicationName(BackupDocType type)
{
    switch (type) {
    case DocTypeDoc: return QStringLiteral("zentri");
    case DocTypePpt: return QStringLiteral("zdeck");
    case DocTypeXls: return QStringLiteral("zcel");
    case DocTypePdf: return QStringLiteral("pdf");
    case DocTypeUnknown: break;
    }
    return QString();
}

void KLocalBackupManager::clearCatalogue()
{
    qDeleteAll(groups);
    groups.clear();
    m_groupsByKey.clear();
    conflictInfos.clear();
    loadedConflictFiles.clear();
    m_conflictFilePaths.clear();
}

void KLocalBackupManager::reloadBackupFiles(const QStringList &folders)
{
    clearCatalogue();
    m_reloading = true;
    static const BackupFolderScanner scanner(
            backupNameFilter().split(QLatin1Char(';'), Qt::KeepEmptyParts, Qt::CaseSensitive));
    for (const QString &folder : folders) {
        if (!QDir(folder).exists())
            continue;
        Arkivo::logInfo(QStringLiteral("reloadBackupFiles() BackupPath = %1").arg(folder));
        const QVector<BackupFolderEntry> entries = scanner.scan(folder);
        for (const BackupFolderEntry &entry : entries)
            addBackupFile(entry.filePath, entry.fileName(), entry.size);
        qCDebug(lcCatalogue) << folder << entries.size() << "candidates," << groups.size() << "groups";
    }
    m_reloading = false;
    m_unreadableConflictFiles.clear();
}

QString KLocalBackupManager::getBackupFilesForJsonBase64() const
{
    return QString::fromLatin1(getBackupFilesForJsonBase64Utf8());
}

QByteArray KLocalBackupManager::getBackupFilesForJsonBase64Utf8() const
{
    Arkivo::logInfo(QStringLiteral("getBackupFilesForJsonBase64() BackupFileStorageCount = %1")
                            .arg(groups.size()));
    return BackupListWriter::toBase64(groups);
}

bool KLocalBackupManager::addBackupFile(const QString &path)
{
    const QFileInfo info(path);
    const QString fileName = info.fileName();
    return addBackupFile(path, fileName, info.size());
}

bool KLocalBackupManager::addBackupFile(const QString &path, QStringView fileName, qint64 size)
{
    BackupCopyName name;
    if (!name.parse(fileName))
        return false;

    // Looked up in place; only a new group copies the name.
    const QString documentName = QString::fromRawData(fileName.data(), name.documentNameLength());
    BackupGroupInfo *group = findGroup(documentName, name.date());
    if (!group) {
        group = new BackupGroupInfo;
        group->groupName = QString(documentName.constData(), documentName.size());
        group->groupType = classifyDocumentType(group->groupName);
        group->saveDate = name.date();
        groups.append(group);
        m_groupsByKey.insert(qMakePair(group->groupName, group->saveDate), group);
    }

    BackupFileInfo file;
    file.filePath = path;
    file.fileSize = size;
    file.saveTime = name.time();
    lowerInto(path, m_lowercasePath);
    file.conflictTime = conflictTimeFor(group->groupType, m_lowercasePath);
    group->backupFiles.append(file);

    if (file.conflictTime.isValid())
        group->isConflict = true;
    return true;
}

BackupDocType KLocalBackupManager::classifyDocumentType(const QString &fileName)
{
    // Case-folded suffix to type; a suffix in two lists keeps the first.
    static const QHash<QString, BackupDocType> types = [] {
        const QPair<BackupDocType, QLatin1String> lists[] = {
            {DocTypeDoc, QLatin1String("zentri;zntx;doc;dot;docx;dotx;docm;dotm")},
            {DocTypeXls, QLatin1String("zcel;zcelt;xls;xlt;xlsx;xlsm;xltx;xltm;xlsb;csv")},
            {DocTypePpt, QLatin1String("zsho;zshot;ppt;pps;pot;pptx;ppsx;potx")},
            {DocTypePdf, QLatin1String("pdf")},
        };
        QHash<QString, BackupDocType> table;
        for (const auto &list : lists) {
            const QStringList suffixes = QString(list.second).split(QLatin1Char(';'), Qt::SkipEmptyParts);
            for (const QString &suffix : suffixes) {
                if (!table.contains(suffix.toCaseFolded()))
                    table.insert(suffix.toCaseFolded(), list.first);
            }
        }
        return table;
    }();
    // QFileInfo::suffix() without a QFileInfo: the text after the last dot of
    // the last part of the path.
    int nameStart = fileName.lastIndexOf(QLatin1Char('/')) + 1;
#ifdef Q_OS_WIN
    nameStart = qMax(nameStart, fileName.lastIndexOf(QLatin1Char('\\')) + 1);
#endif
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < nameStart)
        return DocTypeUnknown;
    return types.value(fileName.mid(dot + 1).toLower().toCaseFolded(), DocTypeUnknown);
}

BackupGroupInfo *KLocalBackupManager::findGroup(const QString &name, const QDate &date) const
{
    return m_groupsByKey.value(qMakePair(name, date), nullptr);
}

BackupGroupInfo *KLocalBackupManager::findGroupByFilePath(const QString &path) const
{
    // Only a delete asks, once per click: a pass over the catalogue is cheaper
    // than an index built on every reload.
    for (BackupGroupInfo *group : groups) {
        for (const BackupFileInfo &file : qAsConst(group->backupFiles)) {
            if (file.filePath == path)
                return group;
        }
    }
    return nullptr;
}

QDateTime KLocalBackupManager::conflictTimeFor(BackupDocType type, const QString &lowercasePath)
{
    const auto known = conflictInfos.constFind(lowercasePath);
    if (known != conflictInfos.constEnd())
        return known->conflictTime;

    auto file = m_conflictFilePaths.find(type);
    if (file == m_conflictFilePaths.end())
        file = m_conflictFilePaths.insert(type, syncConflictFilePath(hostApplicationName(type)));
    loadSyncConflictFile(*file);
    // A miss is not remembered as an empty record: a reload looks each path
    // up once, and a hundred thousand remembered misses cost tens of megabytes.
    return conflictInfos.value(lowercasePath).conflictTime;
}

QString KLocalBackupManager::syncConflictFilePath(const QString &appName) const
{
    const QString application = appName.isEmpty() ? QCoreApplication::applicationName() : appName;
    return KBackupCenterHelper::defaultBackupPath() + QDir::separator()
            + QStringLiteral("%1_sync_conflict.ini").arg(application);
}

void KLocalBackupManager::loadSyncConflictFile(const QString &file)
{
    if (loadedConflictFiles.value(file))
        return;
    // A file that could not be read is tried again at the next miss, but not
    // for every copy of one reload: without a conflict file that would be one
    // failed open per copy, and a damaged one would be parsed once per copy.
    if (m_reloading && m_unreadableConflictFiles.contains(file))
        return;
    if (parseSyncConflictFile(file, conflictInfos))
        loadedConflictFiles.insert(file, true);
    else if (m_reloading)
        m_unreadableConflictFiles.insert(file);
}

bool KLocalBackupManager::parseSyncConflictFile(const QString &file,
                                                QHash<QString, SyncConflictInfo> &table)
{
    // Only a regular file: opening a named pipe waits for a writer, and a
    // device such as /dev/zero never ends.
    if (!QFileInfo(file).isFile())
        return false;
    QFile device(file);
    if (!device.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    const bool parsed = parseSyncConflictXml(&device, table);
    if (!parsed)
        qCDebug(lcCatalogue) << "sync-conflict file" << file << "is not well-formed";
    return parsed;
}

bool KLocalBackupManager::parseSyncConflictXml(QIODevice *device, QHash<QString, SyncConflictInfo> &table)
{
    QXmlStreamReader reader(device);
    while (!reader.atEnd() && !reader.hasError()) {
        if (reader.readNext() != QXmlStreamReader::StartElement
            || reader.name() != QLatin1String("file"))
            continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        SyncConflictInfo info;
        info.lastAccessTime = isoDateTime(attributes, QLatin1String("lastAccessTime"));
        info.conflictTime = isoDateTime(attributes, QLatin1String("conflictTime"));
        info.backupTime = isoDateTime(attributes, QLatin1String("backupTime"));
        info.fileId = attributes.value(QLatin1String("fileId")).toString();
        info.localPath = attributes.value(QLatin1String("localPath")).toString();
        info.backup = attributes.value(QLatin1String("backup")).toString().toLower();
        table.insert(QDir::fromNativeSeparators(info.backup), info);
    }
    if (reader.hasError())
        qCDebug(lcCatalogue) << reader.errorString() << "at line" << reader.lineNumber();
    return !reader.hasError();
}

bool KLocalBackupManager::openBackupFile(const QString &path)
{
    if (!QFile::exists(path)) {
        Arkivo::logInfo(QStringLiteral("openBackupFile() BackupFile not exists"));
        return false;
    }
    if (!KProcess::checkLocalFileSafe(path)) {
        Arkivo::logInfo(QStringLiteral("openBackupFile() `backupFilePath` is not a safe path of local file."));
        return false;
    }
    const QString launcher = dirs::compactLaunchExePath();
    const QString appSwitch = QLatin1Char('/') + hostApplicationName(classifyDocumentType(path));
    return KProcess::StartDetach(launcher, {appSwitch, path}, QString(), nullptr);
}

bool KLocalBackupManager::openBackupGroup(const QString &name, const QDate &date)
{
    const BackupGroupInfo *group = findGroup(name, date);
    if (!group) {
        Arkivo::logInfo(QStringLiteral("openBackupGroup() BackupGroup not exists"));
        return false;
    }
    // Every copy gets its own launcher; the answer is that of the last one.
    bool result = true;
    for (const BackupFileInfo &backupFileInfo : group->backupFiles) {
        try {
            if (!QFile::exists(backupFileInfo.filePath)) {
                Arkivo::logInfo(QStringLiteral("openBackupGroup() BackupFile not exist"));
                result = false;
            } else if (!KProcess::checkLocalFileSafe(backupFileInfo.filePath)) {
                Arkivo::logInfo(QStringLiteral(
                        "openBackupGroup() `backupFileInfo.filePath` is not a safe path of local file."));
                result = false;
            } else {
                result = openBackupFile(backupFileInfo.filePath);
            }
        } catch (...) {
            Arkivo::logInfo(QStringLiteral("openBackupGroup() Catch an exception"));
        }
    }
    return result;
}

bool KLocalBackupManager::openBackupFolder(const QString &name, const QDate &date)
{
    const BackupGroupInfo *group = findGroup(name, date);
    if (!group) {
        Arkivo::logInfo(QStringLiteral("openBackupFolder() BackupGroup not exists"));
        return false;
    }
    QString folder;
    for (const BackupFileInfo &file : group->backupFiles) {
        if (!QFile::exists(file.filePath))
            continue;
        if (!KProcess::checkLocalFileSafe(file.filePath)) {
            Arkivo::logInfo(QStringLiteral("openBackupFolder() path is not a safe path of local file."));
            continue;
        }
        const QString candidate = QFileInfo(file.filePath).absolutePath();
        if (QDir(candidate).exists()) {
            folder = candidate;
            break;
        }
    }
    if (folder.isEmpty()) {
        Arkivo::logInfo(QStringLiteral("openBackupFolder() no valid folder path to open"));
        return false;
    }
    return openUrlInBackground(QUrl::fromLocalFile(folder));
}

bool KLocalBackupManager::delBackupFile(const QString &path)
{
    BackupGroupInfo *group = findGroupByFilePath(path);
    if (!group) {
        Arkivo::logInfo(QStringLiteral("delBackupFile() BackupFile not exist"));
        return false;
    }
    try {
        // A copy someone else already removed counts as removed.
        if (QFile::exists(path) && !removeBackupCopy(path))
            return false;
        const QString nativePath = QDir::toNativeSeparators(path);
        for (int i = 0; i < group->backupFiles.size(); ++i) {
            const QString copyPath = group->backupFiles.at(i).filePath;
            if (QDir::toNativeSeparators(copyPath) == nativePath) {
                group->backupFiles.removeAt(i);
                break;
            }
        }
        if (group->backupFiles.isEmpty())
            removeGroup(group);
        return true;
    } catch (...) {
        Arkivo::logInfo(QStringLiteral("delBackupFile() Catch an exception"));
        return false;
    }
}

bool KLocalBackupManager::delBackupGroup(const QString &name, const QDate &date)
{
    BackupGroupInfo *group = findGroup(name, date);
    if (!group) {
        Arkivo::logInfo(QStringLiteral("delBackupGroup() BackupGroup not exist"));
        return false;
    }
    bool result = true;
    // Once a copy failed the group must stay listed, whatever later copies do:
    // its file may still be on disk.
    bool anyFailed = false;
    for (const BackupFileInfo &file : qAsConst(group->backupFiles)) {
        try {
            if (!QFile::exists(file.filePath))
                continue;
            result = removeBackupCopy(file.filePath);
            if (!result)
                break;
        } catch (...) {
            Arkivo::logInfo(QStringLiteral("delBackupGroup() Catch an exception"));
            result = false;
            anyFailed = true;
        }
    }
    if (!result || anyFailed)
        return false;
    removeGroup(group);
    return true;
}

bool KLocalBackupManager::removeBackupCopy(const QString &path)
{
    // Through the listed folder itself: a folder swapped for a link since the
    // listing is refused rather than followed.
    return PlatformFiles::removeFileInFolder(path);
}

void KLocalBackupManager::removeGroup(BackupGroupInfo *group)
{
    groups.removeOne(group);
    m_groupsByKey.remove(qMakePair(group->groupName, group->saveDate));
    delete group;
}
