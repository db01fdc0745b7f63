#pragma once

#include <kappcontainer.h>

#include <QObject>
#include <QVariantMap>

class KBackupCenterInfoC;
class KBackupOptionMgr;
class KCloudBackupManager;
class KLocalBackupManager;
class KRepairToolsManager;
struct arkivoApplicationPrivate;

// The plug-in's process-wide application object: it holds the host's
// container and creates the service objects on first use.
class arkivoApplication : public QObject
{
    Q_OBJECT
public:
    static arkivoApplication &instance();

    void setContainer(IKAppContainer *container);
    IKAppContainer *container() const;
    KAppMainWindow *mainWindow() const;
    KAppInfo appInfo() const;

    KLocalBackupManager *localBackupManager();
    KBackupOptionMgr *backupOptionMgr();
    KRepairToolsManager *repairToolsManager();
    KCloudBackupManager *cloudBackupManager();
    KBackupCenterInfoC *backupCenterInfo();

    // Runs the "Local backup settings" dialog modally over the main window;
    // answers its result, 100 when the backup location was changed.
    int showSettingsDialog();

    void releaseManagers();

    // Shows the plug-in's windows in the suite's language (product::uiLanguage):
    // installs the catalogue of that language, replacing one installed before.
    void installTranslator();
    // Before the plug-in can be unloaded: the catalogue's data is the
    // plug-in's, and an installed translator would read it after the unload.
    void removeTranslator();

    // Waits for the plug-in's background tasks (BackgroundTasks).
    void waitForBackgroundTasks();

signals:
    void sigSkinChanged();

private slots:
    void onSkinChanged(QVariantMap);

private:
    arkivoApplication();
    ~arkivoApplication() override;
    Q_DISABLE_COPY(arkivoApplication)

    arkivoApplicationPrivate *d;
};
