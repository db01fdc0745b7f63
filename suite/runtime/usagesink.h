#pragma once

#include <QJsonObject>
#include <QMap>
#include <QString>

// The suite's data collection: one compact JSON line per event in usage.jsonl.
namespace UsageSink {
void record(const QString &event, const QMap<QString, QString> &params, const QString &channel,
            const QJsonObject &extra = QJsonObject());
}
