#include "kdcinfoc.h"

#include "usagesink.h"

KDcInfoC::KDcInfoC(QObject *parent)
    : QObject(parent)
{}

KDcInfoC::~KDcInfoC() = default;

void KDcInfoC::postGeneralEvent(const QString &name, const QMap<QString, QString> &params, uint reserved1,
                                uint reserved2, int probability)
{
    QJsonObject extra;
    extra.insert(QStringLiteral("reserved1"), qint64(reserved1));
    extra.insert(QStringLiteral("reserved2"), qint64(reserved2));
    extra.insert(QStringLiteral("probability"), probability);
    UsageSink::record(name, params, QStringLiteral("dcinfo"), extra);
}
