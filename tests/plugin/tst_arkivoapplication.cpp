// The application object as the plug-in's own code sees it.
#include "localbackup/klocalbackupmanager.h"
#include "plugin/arkivoapplication.h"
#include "settings/kbackupoptionmgr.h"
#include "testsuitehome.h"

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
    QCOMPARE(application.appInfo().src, QString());

    TestSuiteHome home;
    home.setSuiteValue(QStringLiteral("app/src"), QStringLiteral("backupcenter-test"));
    KAppMainWindow window;
    ZentriAppContainer withWindow(&window);
    ZentriAppContainer withoutWindow;
    application.setContainer(&withWindow);
    QCOMPARE(application.mainWindow(), &window);
    QCOMPARE(application.appInfo().src, QStringLiteral("backupcenter-test"));

    // A second container replaces the first.
    application.setContainer(&withoutWindow);
    QCOMPARE(application.container(), &withoutWindow);
    QVERIFY(!application.mainWindow());
    application.setContainer(nullptr);
}

void tst_ArkivoApplication::releaseManagersDeletesAndRecreates()
{
    TestSuiteHome home;
    arkivoApplication &application = arkivoApplication::instance();
    QPointer<KLocalBackupManager> catalogue = application.localBackupManager();
    QPointer<KBackupOptionMgr> options = application.backupOptionMgr();
    QVERIFY(catalogue && options);
    QCOMPARE(application.localBackupManager(), catalogue.data());

    application.releaseManagers();
    QVERIFY(catalogue.isNull());
    QVERIFY(options.isNull());
    QVERIFY(application.localBackupManager());
    application.releaseManagers();
}

QTEST_MAIN(tst_ArkivoApplication)
#include "tst_arkivoapplication.moc"
