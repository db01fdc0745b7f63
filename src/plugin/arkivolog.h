#pragma once

#include <kxloggerlite.h>

#include <QString>

namespace Arkivo {
// One info line of the plug-in in the suite's log, module "arkivo".
inline void logInfo(const QString &message)
{
    KxLoggerLite::writeInfo(L"arkivo", message.toStdWString());
}
}
