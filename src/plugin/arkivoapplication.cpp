#include "arkivoapplication.h"

#include "cloud/kcloudbackupmanager.h"
#include "cloud/krepairtoolsmanager.h"
#include "core/arkivolog.h"
#include "core/backgroundtasks.h"
#include "localbackup/klocalbackupmanager.h"
#include "resources/arkivoresources.h"
#include "settings/kbackupoptionmgr.h"
#include "settings/klocalbackupsettingsdlg.h"
#include "usage/kbackupcenterinfoc.h"

#include <dirs.h>
#include <kcoreapplication.h>
#include <product.h>

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>
#include <QTranslator>

#include <memory>

struct arkivoApplicationPrivate
{
    KLocalBackupManager *localBackupManager = nullptr;
    KBackupOptionMgr *backupOptionMgr = nullptr;
    KRepairToolsManager *repairToolsManager = nullptr;
    KCloudBackupManager *cloudBackupManager = nullptr;
    KBackupCenterInfoC *backupCenterInfo = nullptr;
    IKAppContainer *container = nullptr;
    QTranslator *translator = nullptr;
};

namespace {
const char extendApiLoadedProperty[] = "__ara_isextendapiloaded__";

// The suite's frameworks folder may hold an extension library; when it loads,
// the host application is told through a property. The library stays loaded
// for the life of the process.
void loadExtensionLibrary(QObject *owner)
{
    const QString path
        = QDir(dirs::frameworks(QString(), nullptr)).absoluteFilePath(QStringLiteral("zentridriver_app"));
    QLibrary library(path, owner);
    if (!library.load()) {
        qCDebug(lcPlugin) << "no extension library:" << library.errorString();
        return;
    }
    KCoreApplication *hostApp = KCoreApplication::instance();
    if (hostApp && !hostApp->property(extendApiLoadedProperty).toBool())
        hostApp->setProperty(extendApiLoadedProperty, QVariant(true));
}
}

arkivoApplication::arkivoApplication()
    : QObject(nullptr)
    , d(new arkivoApplicationPrivate)
{
    loadExtensionLibrary(this);
}

arkivoApplication::~arkivoApplication()
{
    removeTranslator();
    BackgroundTasks::shutdown();
    delete d;
}

arkivoApplication &arkivoApplication::instance()
{
    static arkivoApplication application;
    return application;
}

void arkivoApplication::setContainer(IKAppContainer *container)
{
    d->container = container;
}

IKAppContainer *arkivoApplication::container() const
{
    return d->container;
}

KAppMainWindow *arkivoApplication::mainWindow() const
{
    if (!d->container)
        return nullptr;
    // A checked conversion: a main container that is not the suite's main
    // window gives no parent rather than a wrong one.
    return dynamic_cast<KAppMainWindow *>(d->container->mainContainer());
}

KAppInfo arkivoApplication::appInfo() const
{
    return d->container ? d->container->appInfo() : KAppInfo();
}

KLocalBackupManager *arkivoApplication::localBackupManager()
{
    if (!d->localBackupManager)
        d->localBackupManager = new KLocalBackupManager(this);
    return d->localBackupManager;
}

KBackupOptionMgr *arkivoApplication::backupOptionMgr()
{
    if (!d->backupOptionMgr)
        d->backupOptionMgr = new KBackupOptionMgr(this);
    return d->backupOptionMgr;
}

KRepairToolsManager *arkivoApplication::repairToolsManager()
{
    if (!d->repairToolsManager)
        d->repairToolsManager = new KRepairToolsManager(this);
    return d->repairToolsManager;
}

KCloudBackupManager *arkivoApplication::cloudBackupManager()
{
    if (!d->cloudBackupManager)
        d->cloudBackupManager = new KCloudBackupManager(this);
    return d->cloudBackupManager;
}

KBackupCenterInfoC *arkivoApplication::backupCenterInfo()
{
    if (!d->backupCenterInfo)
        d->backupCenterInfo = new KBackupCenterInfoC(this);
    return d->backupCenterInfo;
}

int arkivoApplication::showSettingsDialog()
{
    // The dialog deletes itself when it closes.
    auto *dialog = new KLocalBackupSettingsDlg(mainWindow());
    return dialog->exec();
}

void arkivoApplication::releaseManagers()
{
    delete d->localBackupManager;
    d->localBackupManager = nullptr;
    delete d->backupOptionMgr;
    d->backupOptionMgr = nullptr;
    delete d->repairToolsManager;
    d->repairToolsManager = nullptr;
    delete d->cloudBackupManager;
    d->cloudBackupManager = nullptr;
    delete d->backupCenterInfo;
    d->backupCenterInfo = nullptr;
}

void arkivoApplication::installTranslator()
{
    removeTranslator();
    if (!QCoreApplication::instance())
        return;
    Arkivo::ensureResources();
    const QString language = product::uiLanguage();
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral(":/translations/arkivo_%1.qm").arg(language))) {
        qCWarning(lcPlugin) << "no catalogue for the language" << language;
        return;
    }
    QCoreApplication::installTranslator(translator.get());
    d->translator = translator.release();
}

void arkivoApplication::removeTranslator()
{
    if (!d->translator)
        return;
    if (QCoreApplication::instance())
        QCoreApplication::removeTranslator(d->translator);
    delete d->translator;
    d->translator = nullptr;
}

void arkivoApplication::waitForBackgroundTasks()
{
    BackgroundTasks::waitForDone();
}

void arkivoApplication::onSkinChanged(QVariantMap)
{
    emit sigSkinChanged();
}
