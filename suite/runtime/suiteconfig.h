#pragma once

#include "kappcontainer.h"

#include <QJsonObject>
#include <QString>
#include <QVariant>

// Reads and writes of the suite home's settings files, shared by the host
// classes. Every call opens the file afresh, so changes made by another
// process (or a test) are seen at once.
namespace SuiteConfig {
QVariant value(const QString &key, const QVariant &fallback = QVariant());
void setValue(const QString &key, const QVariant &value);
// Group "services": a service is offered unless switched off.
bool serviceEnabled(const QString &name);
// cloudconfig.json; an empty object when missing or malformed.
QJsonObject cloudConfig();
// The application description of group "app".
KAppInfo appInfo();
}
