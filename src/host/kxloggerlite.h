#pragma once

#include "zentrihost_global.h"

#include <string>

// The suite's logger: one info line per call in the module's log file.
class ZENTRIHOST_EXPORT KxLoggerLite
{
public:
    static void writeInfo(const std::wstring &module, const std::wstring &message);
};
