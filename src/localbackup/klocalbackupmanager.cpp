#include "klocalbackupmanager.h"

#include "backupcopyname.h"
#include "backupfolderscanner.h"
#include "backuplistwriter.h"
#include "core/arkivolog.h"
#include "core/backgroundtasks.h"
#include "core/filepaths.h"
#include "core/platformfiles.h"
#include "syncconflictfile.h"

#include <dirs.h>
#include <kbackupcenterhelper.h>
#include <kprocess.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QUrl>

namespace {

// The document types and the suffixes of their copies, in the order the
// folder filter lists them; a suffix in two lists would keep the first.
struct DocumentSuffixes
{
    BackupDocType type;
    QLatin1String suffixes;
};
const DocumentSuffixes documentSuffixes[] = {
    {DocTypeDoc, QLatin1String("zentri;zntx;doc;dot;docx;dotx;docm;dotm")},
    {DocTypeXls, QLatin1String("zcel;zcelt;xls;xlt;xlsx;xlsm;xltx;xltm;xlsb;csv")},
    {DocTypePpt, QLatin1String("zsho;zshot;ppt;pps;pot;pptx;ppsx;potx")},
    {DocTypePdf, QLatin1String("pdf")},
};

QStringList suffixesOf(const DocumentSuffixes &entry)
{
    return QString(entry.suffixes).split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

} // namespace

KLocalBackupManager::KLocalBackupManager(QObject *parent)
    : QObject(parent)
{}

KLocalBackupManager::~KLocalBackupManager()
{
    qDeleteAll(groups);
}

QString KLocalBackupManager::backupNameFilter()
{
    QStringList patterns;
    for (const DocumentSuffixes &entry : documentSuffixes) {
        for (const QString &suffix : suffixesOf(entry))
            patterns.append(QStringLiteral("*.") + suffix);
    }
    return patterns.join(QLatin1Char(';'));
}

QString KLocalBackupManager::hostApplicationName(BackupDocType type)
{
    switch (type) {
    case DocTypeDoc:
        return QStringLiteral("zentri");
    case DocTypePpt:
        return QStringLiteral("zdeck");
    case DocTypeXls:
        return QStringLiteral("zcel");
    case DocTypePdf:
        return QStringLiteral("pdf");
    case DocTypeUnknown:
        break;
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
    m_conflictFileStamps.clear();
    m_listedFolders.clear();
}

QVector<BackupFolderEntry> KLocalBackupManager::scanFolder(const QString &folder)
{
    static const BackupFolderScanner scanner(
        backupNameFilter().split(QLatin1Char(';'), Qt::KeepEmptyParts, Qt::CaseSensitive));
    return scanner.scan(folder);
}

void KLocalBackupManager::reloadBackupFiles(const QStringList &folders)
{
    reloadBackupFiles(folders, {});
}

void KLocalBackupManager::reloadBackupFiles(const QStringList &folders,
                                            const QVector<QVector<BackupFolderEntry>> &scanned)
{
    clearCatalogue();
    m_reloading = true;
    for (int i = 0; i < folders.size(); ++i) {
        const QString &folder = folders.at(i);
        if (!QDir(folder).exists())
            continue;
        // Where the folder was when it was listed: deletes act there, never
        // through a link that replaced it since.
        m_listedFolders.insert(QDir::cleanPath(folder), FilePaths::resolved(folder));
        Arkivo::logInfo(QStringLiteral("reloadBackupFiles() BackupPath = %1").arg(folder));
        const QVector<BackupFolderEntry> entries = i < scanned.size() ? scanned.at(i) : scanFolder(folder);
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
    Arkivo::logInfo(QStringLiteral("getBackupFilesForJsonBase64() BackupFileStorageCount = %1").arg(groups.size()));
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
    file.conflictTime = conflictTimeFor(group->groupType, path.toLower());
    group->backupFiles.append(file);

    if (file.conflictTime.isValid())
        group->isConflict = true;
    return true;
}

BackupDocType KLocalBackupManager::classifyDocumentType(const QString &fileName)
{
    // Case-folded suffix to type; a suffix in two lists keeps the first.
    static const QHash<QString, BackupDocType> types = [] {
        QHash<QString, BackupDocType> table;
        for (const DocumentSuffixes &entry : documentSuffixes) {
            for (const QString &suffix : suffixesOf(entry)) {
                if (!table.contains(suffix.toCaseFolded()))
                    table.insert(suffix.toCaseFolded(), entry.type);
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

QPair<QStringList, QStringList> KLocalBackupManager::syncFolders(const QStringList &folders,
                                                                 const QVector<BackupFolderEntry> &entries)
{
    QSet<QString> folderKeys;
    for (const QString &folder : folders)
        folderKeys.insert(QDir(folder).absolutePath());
    QHash<QString, qint64> onDisk;
    onDisk.reserve(entries.size());
    for (const BackupFolderEntry &entry : entries)
        onDisk.insert(entry.filePath, entry.size);

    QStringList removed;
    QSet<QString> kept;
    QList<BackupGroupInfo *> emptied;
    for (BackupGroupInfo *group : qAsConst(groups)) {
        QVector<BackupFileInfo> &files = group->backupFiles;
        for (int i = files.size() - 1; i >= 0; --i) {
            const QString &path = files.at(i).filePath;
            if (!folderKeys.contains(path.left(path.lastIndexOf(QLatin1Char('/')))))
                continue;
            const auto found = onDisk.constFind(path);
            if (found != onDisk.constEnd() && *found == files.at(i).fileSize) {
                kept.insert(path);
                continue;
            }
            removed.append(path);
            files.removeAt(i);
        }
        if (files.isEmpty())
            emptied.append(group);
    }
    for (BackupGroupInfo *group : qAsConst(emptied))
        removeGroup(group);

    // A folder that came back since the listing: deletes act where it is now.
    for (const QString &folder : folders) {
        if (!m_listedFolders.contains(QDir::cleanPath(folder)) && QDir(folder).exists())
            m_listedFolders.insert(QDir::cleanPath(folder), FilePaths::resolved(folder));
    }
    QStringList added;
    m_reloading = true;
    for (const BackupFolderEntry &entry : entries) {
        if (!kept.contains(entry.filePath) && addBackupFile(entry.filePath, entry.fileName(), entry.size))
            added.append(entry.filePath);
    }
    m_reloading = false;
    m_unreadableConflictFiles.clear();
    return {added, removed};
}

QPair<QStringList, QStringList> KLocalBackupManager::applyFolderChange(const QVector<BackupFolderEntry> &added,
                                                                       const QSet<quint64> &removed)
{
    QStringList removedPaths;
    if (!removed.isEmpty()) {
        QList<BackupGroupInfo *> emptied;
        for (BackupGroupInfo *group : qAsConst(groups)) {
            QVector<BackupFileInfo> &files = group->backupFiles;
            for (int i = files.size() - 1; i >= 0; --i) {
                if (removed.contains(BackupFolderScanner::pathKey(files.at(i).filePath))) {
                    removedPaths.append(files.at(i).filePath);
                    files.removeAt(i);
                }
            }
            if (files.isEmpty())
                emptied.append(group);
        }
        for (BackupGroupInfo *group : qAsConst(emptied))
            removeGroup(group);
    }
    QStringList addedPaths;
    m_reloading = true;
    for (const BackupFolderEntry &entry : added) {
        if (!findCopy(entry.filePath, nullptr) && addBackupFile(entry.filePath, entry.fileName(), entry.size))
            addedPaths.append(entry.filePath);
    }
    m_reloading = false;
    m_unreadableConflictFiles.clear();
    return {addedPaths, removedPaths};
}

const BackupFileInfo *KLocalBackupManager::findCopy(const QString &path, const BackupGroupInfo **group) const
{
    BackupCopyName name;
    const QStringView fileName = QStringView(path).mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    if (!name.parse(fileName))
        return nullptr;
    const BackupGroupInfo *found = findGroup(fileName.left(name.documentNameLength()).toString(), name.date());
    if (!found)
        return nullptr;
    for (const BackupFileInfo &file : found->backupFiles) {
        if (file.filePath == path) {
            if (group)
                *group = found;
            return &file;
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

QString KLocalBackupManager::originalPathOf(const QString &path) const
{
    return conflictInfos.value(path.toLower()).localPath;
}

QString KLocalBackupManager::syncConflictFilePath(const QString &appName) const
{
    return SyncConflictFile::path(appName);
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
    if (!m_conflictFileStamps.contains(file))
        m_conflictFileStamps.insert(file, PlatformFiles::stampOf(file));
    if (parseSyncConflictFile(file, conflictInfos))
        loadedConflictFiles.insert(file, true);
    else if (m_reloading)
        m_unreadableConflictFiles.insert(file);
}

bool KLocalBackupManager::parseSyncConflictFile(const QString &file, QHash<QString, SyncConflictInfo> &table)
{
    return SyncConflictFile::read(file, table);
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
                Arkivo::logInfo(
                    QStringLiteral("openBackupGroup() `backupFileInfo.filePath` is not a safe path of local file."));
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
    return BackgroundTasks::openUrl(QUrl::fromLocalFile(folder));
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
        if (QFile::exists(listedLocation(path)) && !removeBackupCopy(path))
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
            if (!QFile::exists(listedLocation(file.filePath)))
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
    // One swapped for a link since the listing is refused rather than followed.
    return PlatformFiles::removeFileInFolder(listedLocation(path));
}

QString KLocalBackupManager::listedLocation(const QString &path) const
{
    // A backup folder that was a link when it was listed is taken where it
    // pointed then, not where it may point now.
    const QFileInfo info(path);
    const QString listed = m_listedFolders.value(QDir::cleanPath(info.path()));
    return listed.isEmpty() ? path : listed + QLatin1Char('/') + info.fileName();
}

void KLocalBackupManager::removeGroup(BackupGroupInfo *group)
{
    groups.removeOne(group);
    m_groupsByKey.remove(qMakePair(group->groupName, group->saveDate));
    delete group;
}
