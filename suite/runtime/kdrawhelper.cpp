#include "kdrawhelper.h"

#include "suitehome.h"

#include <QSettings>

bool KDrawHelper::isDarkSkin()
{
    const QSettings suite(SuiteHome::suiteIni(), QSettings::IniFormat);
    return suite.value(QStringLiteral("theme/skin")).toString() == QLatin1String("dark");
}
