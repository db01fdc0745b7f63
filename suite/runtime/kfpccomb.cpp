#include "kfpccomb.h"

#include "suiteconfig.h"

#include <QJsonObject>
#include <QJsonValue>

KFpccomb::KFpccomb(QObject *parent)
    : QObject(parent)
{
}

KFpccomb *KFpccomb::getInstance()
{
    if (!SuiteConfig::serviceEnabled(QStringLiteral("fpc")))
        return nullptr;
    static KFpccomb comb;
    return &comb;
}

KFpcData KFpccomb::getData(qint64 id1, qint64 id2) const
{
    const QJsonObject fpc = SuiteConfig::cloudConfig().value(QStringLiteral("fpc")).toObject();
    const QJsonValue entry = fpc.value(QStringLiteral("%1/%2").arg(id1).arg(id2));
    if (!entry.isObject())
        return KFpcData();

    KFpcRecord record;
    const QJsonObject items = entry.toObject();
    for (auto it = items.constBegin(); it != items.constEnd(); ++it) {
        KFpcItem item;
        if (it.value().isDouble()) {
            item.type = KFpcItem::Number;
            item.number = it.value().toDouble();
        } else if (it.value().isBool()) {
            item.type = KFpcItem::Number;
            item.number = it.value().toBool() ? 1.0 : 0.0;
        } else if (it.value().isString()) {
            item.type = KFpcItem::String;
            item.text = it.value().toString();
        } else {
            continue;
        }
        record.items.insert(it.key(), item);
    }
    return KFpcData(new QList<KFpcRecord>{record});
}
