#include "arkivoapi.h"

#include "localbackup/backupfolderwatcher.h"
#include "localbackup/textindex.h"
#include "plugin/arkivoapplication.h"

#include <kappcontainer.h>
#include <kcoreapplication.h>

#include <QMutex>

arkivoAPI::arkivoAPI(KEssJsApi *api)
    : KEssJsApiHandler(api)
    , apiMutex(new QMutex)
    , m_verifier(new CopyVerifier(this))
{
    connect(m_verifier, &CopyVerifier::verified, this, &arkivoAPI::reportVerified);
}

arkivoAPI::~arkivoAPI()
{
    // Their work on the thread pool stops before the catalogue goes.
    delete m_folderWatcher;
    delete m_verifier;
    delete m_textIndex;
    arkivoApplication::instance().releaseManagers();
    delete apiMutex;
}

void arkivoAPI::registerWith(KEssJsApi *api)
{
    const KEssJsApiProfile profile(QStringLiteral("1_0"), QStringLiteral("thisapplication"));
    auto *handler = new arkivoAPI(api);

    arkivoApplication &application = arkivoApplication::instance();
    if (IKAppContainer *container = application.container())
        container->subscribeEvent(QStringLiteral("SkinChanged"), &application, QStringLiteral("onSkinChanged"));
    connect(&application, &arkivoApplication::sigSkinChanged, handler, &arkivoAPI::onSkinChanged);
    if (KCloudSvrProxy *proxy = KCoreApplication::cloudSvrProxy())
        connect(proxy, SIGNAL(userInfoChange(int)), handler, SLOT(onUserInfoChanged(int)));

    api->addAppHandle(qMakePair(static_cast<KEssJsApiHandler *>(handler), profile));
    handler->prefetchListing();
}
