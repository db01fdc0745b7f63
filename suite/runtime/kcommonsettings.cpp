#include "kcommonsettings.h"

#include "suitehome.h"

// Only the user's store exists in this suite; both scopes open it.
KCommonSettings::KCommonSettings(QSettings::Scope scope, QObject *parent)
    : QSettings(SuiteHome::commonIni(), QSettings::IniFormat, parent)
{
    Q_UNUSED(scope)
}

KCommonSettings::~KCommonSettings() = default;
