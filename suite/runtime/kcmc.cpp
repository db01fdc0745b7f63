#include "kcmc.h"

#include "suiteconfig.h"

#include <QJsonObject>
#include <QJsonValue>

#include <cmath>
#include <limits>

namespace kcmc {

int intValue(const QString &item, const QString &field, bool *isNull)
{
    QJsonValue value = SuiteConfig::cloudConfig().value(QStringLiteral("items")).toObject().value(item);
    // An item is either the integer itself or an object of fields.
    if (value.isObject())
        value = value.toObject().value(field);
    // Only a whole number in int's range is an integer item.
    const double number = value.toDouble();
    const bool usable = value.isDouble() && std::floor(number) == number && number >= std::numeric_limits<int>::min()
                        && number <= std::numeric_limits<int>::max();
    if (isNull)
        *isNull = !usable;
    return usable ? int(number) : 0;
}

bool support(const QString &feature)
{
    return SuiteConfig::cloudConfig().value(QStringLiteral("features")).toObject().value(feature).toBool(true);
}

}
