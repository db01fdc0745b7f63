// The application object as the plug-in's own code sees it.
#include "localbackup/klocalbackupmanager.h"
#include "plugin/arkivoapplication.h"
#include "settings/kbackupoptionmgr.h"
#include "testsuitehome.h"
#include "usage/kbackupcenterinfoc.h"

#include <kcoreapplication.h>
#include <zentriappcontainer.h>

#include <QFile>
#include <QPointer>
#include <QtTest>

class tst_ArkivoApplication : public QObject
{
    Q_OBJECT

private slots:
    void loadsTheExtensionLibraryOnce();
    void mainWindowFollowsTheContainer();
    void releaseManagersDeletesAndRecreates();
};

void tst_ArkivoApplication::loadsTheExtensionLibraryOnce()
{
    TestSuiteHome home;
    const QString frameworks = home.makeDir(QStringLiteral("frameworks"));
    QVERIFY(QFile::copy(QStringLiteral(EXTENSION_LIBRARY), frameworks + QStringLiteral("/libzentridriver_app.so")));
    KCoreApplication hostApp;

    // The first use builds the application object, which loads the library.
    arkivoApplication::instance();
    QCOMPARE(hostApp.property("__ara_isextendapiloaded__"), QVariant(true));
}

void tst_ArkivoApplication::mainWindowFollowsTheContainer()
{
    arkivoApplication &application = arkivoApplication::instance();
    application.setContainer(nullptr);
    QVERIFY(!application.mainWindow());
    KAppMainWindow window;
    ZentriAppContainer withWindow(&window);
    ZentriAppContainer withoutWindow;
    application.setContainer(&withWindow);
    QCOMPARE(application.mainWindow(), &window);
    // A second container replaces the first.
    application.setContainer(&withoutWindow);
    QVERIFY(!application.mainWindow());
    application.setContainer(nullptr);
}

void tst_ArkivoApplication::releaseManagersDeletesAndRecreates()
{
    TestSuiteHome home;
    arkivoApplication &application = arkivoApplication::instance();
    QPointer<KLocalBackupManager> catalogue = application.localBackupManager();
    QPointer<KBackupOptionMgr> options = application.backupOptionMgr();
    QPointer<KBackupCenterInfoC> usage = application.backupCenterInfo();
    QVERIFY(catalogue && options && usage);
    QCOMPARE(application.localBackupManager(), catalogue.data());
    QCOMPARE(application.backupCenterInfo(), usage.data());

    application.releaseManagers();
    QVERIFY(catalogue.isNull() && options.isNull() && usage.isNull());
    QVERIFY(application.localBackupManager() && application.backupCenterInfo());
    application.releaseManagers();
}

QTEST_MAIN(tst_ArkivoApplication)
#include "tst_arkivoapplication.moc"
