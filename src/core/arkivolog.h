#pragma once

#include <kxloggerlite.h>

#include <QLoggingCategory>
#include <QString>

// The plug-in's own lines in the suite's log, and its developer diagnostics:
// one logging category per component, all at one default level (info and
// above; QT_LOGGING_RULES="arkivo.*.debug=true" shows the rest).
Q_DECLARE_LOGGING_CATEGORY(lcApi)
Q_DECLARE_LOGGING_CATEGORY(lcCatalogue)
Q_DECLARE_LOGGING_CATEGORY(lcCloud)
Q_DECLARE_LOGGING_CATEGORY(lcPlugin)
Q_DECLARE_LOGGING_CATEGORY(lcSettings)
Q_DECLARE_LOGGING_CATEGORY(lcUsage)
Q_DECLARE_LOGGING_CATEGORY(lcWidgets)

namespace Arkivo {
// One info line of the plug-in in the suite's log, module "arkivo".
inline void logInfo(const QString &message)
{
    KxLoggerLite::writeInfo(L"arkivo", message.toStdWString());
}
}
