#pragma once

#include "zentrihost_global.h"

#include <QJsonObject>
#include <QString>

namespace JsonHelper {
// The compact JSON text of an object.
ZENTRIHOST_EXPORT QString convertQJsonToString(const QJsonObject &object);
}
