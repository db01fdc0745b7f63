#include "jsonhelper.h"

#include <QJsonDocument>

namespace JsonHelper {

QString convertQJsonToString(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

}
