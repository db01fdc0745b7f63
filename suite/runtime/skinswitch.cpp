#include "skinswitch.h"

#include "suiteconfig.h"
#include "themenotifier.h"
#include "themestore.h"
#include "zentriappcontainer.h"

namespace SkinSwitch {

int apply(ZentriAppContainer *container, const QString &skin)
{
    if (!ThemeStore::hasSkin(skin))
        return -1;
    SuiteConfig::setValue(QStringLiteral("theme/skin"), skin);
    emit ThemeNotifier::instance()->skinChanged(skin);
    if (!container)
        return 0;
    return container->raiseEvent(QStringLiteral("SkinChanged"), {{QStringLiteral("skin"), skin}});
}

}
