// The page methods that look into listed backup copies. Like the other
// backup-file methods they hold apiMutex: the catalogue has no lock of its own.
#include "arkivoapi.h"

#include "api/apiconventions_p.h"
#include "localbackup/documentpreview.h"
#include "localbackup/klocalbackupmanager.h"
#include "localbackup/textdiff.h"
#include "plugin/arkivoapplication.h"

#include <QFileInfo>
#include <QMutexLocker>

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
