#include "product.h"

#include "suiteconfig.h"

namespace product {

bool isIndependentMode(int kind)
{
    // This suite knows one kind of product mode.
    Q_UNUSED(kind)
    return SuiteConfig::value(QStringLiteral("product/independentMode"), false).toBool();
}

}
