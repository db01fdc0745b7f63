#include "kcmc.h"

#include "suiteconfig.h"

#include <QJsonObject>
#include <QJsonValue>

namespace kcmc {

int intValue(const QString &item, const QString &field, bool *isNull)
{
    QJsonValue value = SuiteConfig::cloudConfig().value(QStringLiteral("items")).toObject().value(item);
    // An item is either the integer itself or an object of fields.
    if (value.isObject())
        value = value.toObject().value(field);
    const bool usable = value.isDouble();
    if (isNull)
        *isNull = !usable;
    return usable ? value.toInt() : 0;
}

bool support(const QString &feature)
{
    return SuiteConfig::cloudConfig().value(QStringLiteral("features")).toObject().value(feature).toBool(true);
}

}
