// The page methods that look into listed backup copies and put one back as a
// new file. Like the other backup-file methods they hold apiMutex while they
// use the catalogue, which has no lock of its own; a restore lets it go while
// its save dialog is open.
#include "arkivoapi.h"

#include "api/apiconventions_p.h"
#include "localbackup/documentpreview.h"
#include "core/filepaths.h"
#include "localbackup/klocalbackupmanager.h"
#include "localbackup/restorecopy.h"
#include "localbackup/textdiff.h"
#include "plugin/arkivoapplication.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHash>
#include <QMutexLocker>
#include <QPointer>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>

using Arkivo::textOf;
using Arkivo::utf8;

namespace {

// Only copies the page was shown may be read: the path must be a listed one,
// and, as for opening, not a link that could lead anywhere.
bool isListedCopy(const QString &path)
{
    KLocalBackupManager *catalogue = arkivoApplication::instance().localBackupManager();
    return catalogue && !path.isEmpty() && catalogue->findGroupByFilePath(path) && !QFileInfo(path).isSymLink();
}

void refuse(Json::Value &result)
{
    result["result"] = false;
    result["errormsg"] = "not a listed backup copy";
}

// The texts of a list argument; other values in it are skipped.
QStringList textsOf(const QVariantMap &args, const QString &key)
{
    QStringList texts;
    const QVariantList values = args.value(key).toList();
    for (const QVariant &value : values) {
        if (value.userType() == QMetaType::QString)
            texts.append(value.toString());
    }
    return texts;
}

// Where the save dialog of a restore starts: the original's folder where the
// sync-conflict record names it, else the person's documents.
QString restoreFolderFor(const QString &originalPath)
{
    if (!originalPath.isEmpty()) {
        const QFileInfo original(QDir::fromNativeSeparators(originalPath));
        if (original.dir().exists())
            return original.absolutePath();
    }
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

Json::Value textList(const QStringList &paragraphs)
{
    Json::Value list(Json::arrayValue);
    for (const QString &paragraph : paragraphs)
        list.append(utf8(paragraph));
    return list;
}

}

void arkivoAPI::getBackupFilePreview(KxWebViewJSContext &context)
{
    QMutexLocker locker(apiMutex);
    const Arkivo::MethodLog log("getBackupFilePreview");
    const QString path = textOf(parseContextArgs(context, true), QStringLiteral("backupFile"));
    Json::Value &result = context.result();
    if (!isListedCopy(path)) {
        refuse(result);
        return;
    }
    const DocumentPreview::Preview preview = DocumentPreview::read(path);
    result["result"] = true;
    result["kind"] = utf8(preview.kind);
    result["text"] = utf8(preview.text());
    result["title"] = utf8(preview.title);
    result["author"] = utf8(preview.author);
    result["modified"] = utf8(preview.modified);
    const QString countKey = preview.countKey();
    if (!countKey.isEmpty() && preview.count >= 0)
        result[utf8(countKey)] = preview.count;
    result["words"] = preview.words();
    result["damaged"] = preview.damaged;
    if (!preview.errormsg.isEmpty())
        result["errormsg"] = utf8(preview.errormsg);
    if (preview.partial)
        result["partial"] = true;
}

void arkivoAPI::compareBackupFiles(KxWebViewJSContext &context)
{
    QMutexLocker locker(apiMutex);
    const Arkivo::MethodLog log("compareBackupFiles");
    const QVariantMap args = parseContextArgs(context, true);
    const QString older = textOf(args, QStringLiteral("older"));
    const QString newer = textOf(args, QStringLiteral("newer"));
    Json::Value &result = context.result();
    if (!isListedCopy(older) || !isListedCopy(newer)) {
        refuse(result);
        return;
    }
    const TextDiff::Result diff
        = TextDiff::compare(DocumentPreview::read(older).paragraphs, DocumentPreview::read(newer).paragraphs);
    result["result"] = true;
    result["added"] = textList(diff.added);
    result["removed"] = textList(diff.removed);
    result["unchanged"] = diff.unchanged;
    result["changedWords"] = diff.changedWords;
}

void arkivoAPI::getBackupFileDetails(KxWebViewJSContext &context)
{
    QMutexLocker locker(apiMutex);
    const Arkivo::MethodLog log("getBackupFileDetails");
    // A page asks for the rows it draws; a bound keeps one call short.
    constexpr int maxPaths = 1000;
    const QStringList paths = textsOf(parseContextArgs(context, true), QStringLiteral("backupFiles")).mid(0, maxPaths);
    Json::Value &result = context.result();
    result["result"] = true;
    Json::Value &files = result["files"] = Json::Value(Json::arrayValue);
    KLocalBackupManager *catalogue = arkivoApplication::instance().localBackupManager();
    if (!catalogue || paths.isEmpty())
        return;

    struct Copy
    {
        const BackupGroupInfo *group;
        const BackupFileInfo *file;
        qint64 previousBytes;
    };
    QHash<QString, Copy> wanted;
    for (const QString &path : paths)
        wanted.insert(path, Copy{nullptr, nullptr, -1});
    QSet<QString> names;
    const QList<BackupGroupInfo *> &groups = catalogue->backupGroups();
    for (const BackupGroupInfo *group : groups) {
        for (const BackupFileInfo &file : group->backupFiles) {
            const auto found = wanted.find(file.filePath);
            if (found != wanted.end() && !found->file) {
                *found = Copy{group, &file, -1};
                names.insert(group->groupName);
            }
        }
    }

    // The size change is against the copy of the same document saved just
    // before, on whatever day and in whatever folder.
    QHash<QString, QVector<const BackupFileInfo *>> timelines;
    QHash<const BackupFileInfo *, QDateTime> saved;
    for (const BackupGroupInfo *group : groups) {
        if (!names.contains(group->groupName))
            continue;
        QVector<const BackupFileInfo *> &timeline = timelines[group->groupName];
        for (const BackupFileInfo &file : group->backupFiles) {
            timeline.append(&file);
            saved.insert(&file, QDateTime(group->saveDate, file.saveTime));
        }
    }
    for (QVector<const BackupFileInfo *> &timeline : timelines) {
        std::stable_sort(timeline.begin(), timeline.end(),
                         [&saved](const BackupFileInfo *a, const BackupFileInfo *b) { return saved[a] < saved[b]; });
        for (int i = 1; i < timeline.size(); ++i) {
            const auto found = wanted.find(timeline.at(i)->filePath);
            if (found != wanted.end() && found->file == timeline.at(i))
                found->previousBytes = timeline.at(i - 1)->fileSize;
        }
    }

    for (const QString &path : paths) {
        const Copy copy = wanted.value(path);
        if (!copy.file)
            continue;
        wanted.remove(path);
        Json::Value entry;
        entry["filePath"] = utf8(path);
        entry["saveDate"] = utf8(copy.group->saveDate.toString(QStringLiteral("yyyy/MM/dd")));
        entry["saveTime"] = utf8(copy.file->saveTime.toString(QStringLiteral("HH:mm:ss")));
        entry["bytes"] = Json::Int64(copy.file->fileSize);
        if (copy.previousBytes >= 0)
            entry["previousBytes"] = Json::Int64(copy.previousBytes);
        const QString original = catalogue->originalPathOf(path);
        if (!original.isEmpty())
            entry["originalPath"] = utf8(original);
        files.append(entry);
    }
}

void arkivoAPI::restoreBackupFile(KxWebViewJSContext &context)
{
    const Arkivo::MethodLog log("restoreBackupFile");
    const QString source = textOf(parseContextArgs(context, true), QStringLiteral("backupFile"));
    Json::Value &result = context.result();
    QString proposed;
    {
        QMutexLocker locker(apiMutex);
        if (!isListedCopy(source)) {
            refuse(result);
            return;
        }
        KLocalBackupManager *catalogue = arkivoApplication::instance().localBackupManager();
        const BackupGroupInfo *group = catalogue->findGroupByFilePath(source);
        const auto file = std::find_if(group->backupFiles.cbegin(), group->backupFiles.cend(),
                                       [&source](const BackupFileInfo &info) { return info.filePath == source; });
        const QString name = RestoreCopy::proposedName(group->groupName, QDateTime(group->saveDate, file->saveTime));
        proposed = QDir(restoreFolderFor(catalogue->originalPathOf(source))).filePath(name);
    }

    // Only the person chooses where the copy goes. The dialog runs a nested
    // event loop in which the host may tear the page down.
    QPointer<arkivoAPI> self(this);
    QFileDialog dialog(arkivoApplication::instance().mainWindow(), tr("Restore a copy"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDirectory(QFileInfo(proposed).absolutePath());
    dialog.selectFile(QFileInfo(proposed).fileName());
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (!self)
        return;
    const QStringList chosen = dialog.selectedFiles();
    if (!accepted || chosen.isEmpty()) {
        result["result"] = false;
        result["errormsg"] = "cancelled";
        return;
    }
    const QString target = chosen.first();
    QString error;
    // The backup folder is no place for it: copies there go when the
    // retention period ends.
    if (FilePaths::same(QFileInfo(target).absolutePath(), QFileInfo(source).absolutePath()))
        error = tr("Choose a folder outside the backup folder: copies there are deleted when they expire.");
    else if (RestoreCopy::copy(source, target, &error))
        Arkivo::logInfo(QStringLiteral("restored a backup copy to %1").arg(target));
    result["result"] = error.isEmpty();
    if (error.isEmpty())
        result["restoredPath"] = utf8(QDir::toNativeSeparators(target));
    else
        result["errormsg"] = utf8(error);
}
