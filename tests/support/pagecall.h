#pragma once

#include <QVariantMap>

#include <json/json.h>

class QObject;

// Calls a page method of a script object the way the suite's framework
// does, and answers the call's result object.
Json::Value callPage(QObject *handler, const QString &method, const QVariantMap &arguments = {});
