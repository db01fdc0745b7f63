#include "kcommonsettings.h"

#include "settingsfile.h"
#include "suitehome.h"

// Only the user's store exists in this suite; both scopes open it.
KCommonSettings::KCommonSettings(QSettings::Scope scope, QObject *parent)
    : QSettings(SettingsFile::usablePath(SuiteHome::commonIni()), QSettings::IniFormat, parent)
{
    Q_UNUSED(scope)
    SettingsFile::prepare(*this);
}

KCommonSettings::~KCommonSettings() = default;
