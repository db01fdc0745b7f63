// The four entry points through which the suite's app framework drives the plug-in.
#include "api/arkivoapi.h"
#include "plugin/arkivoapplication.h"

#include <kappcontainer.h>

#define ARKIVO_EXPORT extern "C" Q_DECL_EXPORT

ARKIVO_EXPORT bool Initialize(IKAppContainer *container)
{
    arkivoApplication &application = arkivoApplication::instance();
    application.setContainer(container);
    application.installTranslator();
    if (container) {
        if (auto *mainWindow = dynamic_cast<KAppMainWindow *>(container->mainContainer()))
            mainWindow->setModal(false);
    }
    return true;
}

ARKIVO_EXPORT QWidget *CreateClientWidget()
{
    return nullptr;
}

ARKIVO_EXPORT bool Destroy()
{
    arkivoApplication &application = arkivoApplication::instance();
    application.setContainer(nullptr);
    // The host may unload the library next: no background task and no
    // translator reading the plug-in's catalogue may outlive it.
    application.waitForBackgroundTasks();
    application.removeTranslator();
    return true;
}

ARKIVO_EXPORT void apifactory_creater(KEssJsApi *api)
{
    arkivoAPI::registerWith(api);
}
