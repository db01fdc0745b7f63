#pragma once

#include "core/arkivolog.h"

#include <QLatin1String>
#include <QString>
#include <QVariantMap>

#include <string>

namespace Arkivo {

// Writes "<method>() begin" now and "<method>() end" when it goes out of
// scope, after the method's result keys and before its lock is released.
class MethodLog
{
public:
    explicit MethodLog(const char *method)
        : m_method(QLatin1String(method))
    {
        logInfo(m_method + QLatin1String("() begin"));
    }
    ~MethodLog() { logInfo(m_method + QLatin1String("() end")); }
    MethodLog(const MethodLog &) = delete;
    MethodLog &operator=(const MethodLog &) = delete;

private:
    QString m_method;
};

// Texts reach the page as UTF-8 JSON strings.
inline std::string utf8(const QString &text)
{
    return text.toUtf8().toStdString();
}

// The page passes texts. Anything else (a number, a bool, a list) is taken
// as missing rather than converted: 123 must not become the path "123".
inline QString textOf(const QVariantMap &args, const QString &key)
{
    const QVariant value = args.value(key);
    if (value.userType() == QMetaType::QString)
        return value.toString();
    if (value.isValid())
        qCDebug(lcApi) << "argument" << key << "is not text; taken as missing";
    return QString();
}

}
