#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <json/json.h>

class QObject;

// Calls the page methods of the plug-in's script object by name, exactly as
// the suite's page framework does: on the GUI thread, with a call context
// that carries the argument map and receives the JSON answer. Only the page
// methods can be called; reply slots, internal slots and QObject's own
// methods are refused.
namespace PageDispatch {

enum class Status { Ok, UnknownMethod, NotBuilt };

// The page methods, in the order of the script object's method table.
const QStringList &pageMethods();
bool isPageMethod(const QString &method);

// Ok when `handler` has the page method `method`.
Status check(const QObject *handler, const QString &method);
// Invokes a page method; `answer` receives the call's result object.
Status call(QObject *handler, const QString &method, const QVariantMap &arguments, Json::Value *answer);
QString describe(Status status, const QString &method);

}
