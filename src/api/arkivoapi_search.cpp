// Full-text search in the listed backup copies. The index is brought up to
// date on the plug-in's thread pool after each listing; a search reads it on
// the GUI thread without apiMutex, so that it never waits for a listing or a
// pass.
#include "arkivoapi.h"

#include "api/apiconventions_p.h"
#include "localbackup/klocalbackupmanager.h"
#include "localbackup/textindex.h"
#include "plugin/arkivoapplication.h"

#include <jsonhelper.h>
#include <kcachepathmaker.h>

#include <QDir>
#include <QJsonObject>
#include <QMutexLocker>
#include <QTimer>

using Arkivo::textOf;
using Arkivo::utf8;

void arkivoAPI::requestTextIndexPass(const KLocalBackupManager *catalogue)
{
    if (!m_textIndex) {
        const QString folder = KCachePathMaker::getInstance()->getAppCachePath(QStringLiteral("arkivo"));
        m_textIndex = new TextIndex(QDir(folder).filePath(QStringLiteral("textindex.sqlite")));
        connect(m_textIndex, &TextIndex::progress, this, [this](int indexed, int total) {
            const QJsonObject payload{{QStringLiteral("indexed"), indexed}, {QStringLiteral("total"), total}};
            broadcastEvent(QStringLiteral("event.arkivo.textIndexProgress"), JsonHelper::convertQJsonToString(payload));
        });
    }
    if (catalogue)
        m_textIndex->requestPass(TextIndex::snapshotOf(catalogue->backupGroups()));
}

void arkivoAPI::scheduleTextIndexPass()
{
    constexpr int settleMs = 1500;
    if (!m_textIndexDelay) {
        m_textIndexDelay = new QTimer(this);
        m_textIndexDelay->setSingleShot(true);
        m_textIndexDelay->setInterval(settleMs);
        connect(m_textIndexDelay, &QTimer::timeout, this, [this] {
            QMutexLocker locker(apiMutex);
            requestTextIndexPass(arkivoApplication::instance().localBackupManager());
        });
    }
    m_textIndexDelay->start();
}

void arkivoAPI::searchBackupText(KxWebViewJSContext &context)
{
    const Arkivo::MethodLog log("searchBackupText");
    const QVariantMap args = parseContextArgs(context, true);
    const QVariant limitValue = args.value(QStringLiteral("limit"));
    // A limit that is not a number is taken as missing, as texts are.
    const bool isNumber = limitValue.userType() == QMetaType::Int || limitValue.userType() == QMetaType::LongLong
                          || limitValue.userType() == QMetaType::Double || limitValue.userType() == QMetaType::UInt
                          || limitValue.userType() == QMetaType::ULongLong;
    const int limit
        = isNumber ? int(qBound(1.0, limitValue.toDouble(), double(TextIndex::maxLimit))) : TextIndex::defaultLimit;
    Json::Value &result = context.result();
    // Before the first listing nothing is listed, so nothing is found.
    requestTextIndexPass(nullptr);
    const TextIndex::Answer answer = m_textIndex->search(textOf(args, QStringLiteral("query")), limit);
    result["result"] = answer.ok;
    if (!answer.ok) {
        result["errormsg"] = utf8(answer.errormsg);
        return;
    }
    Json::Value &hits = result["hits"] = Json::Value(Json::arrayValue);
    for (const TextIndex::Hit &hit : qAsConst(answer.hits)) {
        Json::Value entry;
        entry["filePath"] = utf8(hit.filePath);
        entry["groupName"] = utf8(hit.groupName);
        entry["saveDate"] = utf8(hit.saveDate.toString(QStringLiteral("yyyy/MM/dd")));
        entry["saveTime"] = utf8(hit.saveTime.toString(QStringLiteral("HH:mm:ss")));
        entry["snippet"] = utf8(hit.snippet);
        hits.append(entry);
    }
    result["indexed"] = m_textIndex->indexedCount();
    result["total"] = m_textIndex->totalCount();
}
