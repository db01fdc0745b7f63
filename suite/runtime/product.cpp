#include "product.h"

#include "suiteconfig.h"

#include <QLocale>

namespace product {

bool isIndependentMode(int kind)
{
    // This suite knows one kind of product mode.
    Q_UNUSED(kind)
    return SuiteConfig::value(QStringLiteral("product/independentMode"), false).toBool();
}

QString uiLanguage()
{
    // suite.ini [ui] language, else the system's; the suite ships English and
    // Simplified Chinese, and shows English for every other language.
    QString language = SuiteConfig::value(QStringLiteral("ui/language")).toString().trimmed();
    if (language.isEmpty())
        language = QLocale::system().name();
    return language == QLatin1String("zh_CN") ? QStringLiteral("zh_CN") : QStringLiteral("en");
}

}
