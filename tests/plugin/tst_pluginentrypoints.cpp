// The built plug-in as the suite's framework sees it: a library with four
// entry points, loaded with QLibrary.
#include "pageapifixture.h"

#include <kcloudsvrproxy.h>
#include <zentriappcontainer.h>

#include <QLibrary>
#include <QtTest>

namespace {
using InitializeFunction = bool (*)(IKAppContainer *);
using CreateClientWidgetFunction = QWidget *(*)();
using DestroyFunction = bool (*)();
using FactoryFunction = void (*)(KEssJsApi *);
}

class tst_PluginEntryPoints : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void exportsOnlyItsEntryPoints();
    void initializeMakesTheMainWindowNonModal();
    void factoryRegistersAWiredHandler();
    void destroyTakesTheTranslatorAway();

private:
    std::unique_ptr<TestSuiteHome> m_home;
    std::unique_ptr<KCoreApplication> m_hostApp;
    QLibrary m_plugin{QStringLiteral(PLUGIN_PATH)};
    InitializeFunction m_initialize = nullptr;
    DestroyFunction m_destroy = nullptr;
    FactoryFunction m_factory = nullptr;
};

void tst_PluginEntryPoints::initTestCase()
{
    m_home = std::make_unique<TestSuiteHome>();
    m_home->makeDir(QStringLiteral("frameworks"));
    m_hostApp = std::make_unique<KCoreApplication>();
    QVERIFY2(m_plugin.load(), qPrintable(m_plugin.errorString()));
    m_initialize = reinterpret_cast<InitializeFunction>(m_plugin.resolve("Initialize"));
    m_destroy = reinterpret_cast<DestroyFunction>(m_plugin.resolve("Destroy"));
    m_factory = reinterpret_cast<FactoryFunction>(m_plugin.resolve("apifactory_creater"));
    QVERIFY(m_initialize && m_destroy && m_factory);
}

void tst_PluginEntryPoints::cleanupTestCase()
{
    m_destroy();
    m_plugin.unload();
    QCOMPARE(QCoreApplication::translate("KStyleMessageBox", "Close"), QStringLiteral("Close"));
}

void tst_PluginEntryPoints::exportsOnlyItsEntryPoints()
{
    auto createClientWidget = reinterpret_cast<CreateClientWidgetFunction>(m_plugin.resolve("CreateClientWidget"));
    QVERIFY(createClientWidget);
    QCOMPARE(createClientWidget(), nullptr);
    // The plug-in's classes stay inside it.
    QVERIFY(!m_plugin.resolve("_ZN17arkivoApplication8instanceEv"));
    QVERIFY(!m_plugin.resolve("_ZN9arkivoAPI12registerWithEP9KEssJsApi"));
}

void tst_PluginEntryPoints::initializeMakesTheMainWindowNonModal()
{
    QVERIFY(m_destroy()); // before any Initialize
    KAppMainWindow window;
    window.setModal(true);
    ZentriAppContainer container(&window);
    QVERIFY(m_initialize(&container));
    QVERIFY(!window.isModal());
    // Without an extension library in the frameworks folder nothing is announced.
    QVERIFY(!m_hostApp->property("__ara_isextendapiloaded__").isValid());
    QVERIFY(m_initialize(nullptr));
    QVERIFY(m_destroy());
}

void tst_PluginEntryPoints::factoryRegistersAWiredHandler()
{
    ZentriAppContainer container;
    m_initialize(&container);
    KEssJsApi registry;
    m_factory(&registry);
    QCOMPARE(registry.handles().size(), 1);
    QPointer<KEssJsApiHandler> handler = registry.handles().first().first;
    QCOMPARE(registry.handles().first().second.version(), QStringLiteral("1_0"));
    QCOMPARE(registry.handles().first().second.scope(), QStringLiteral("thisapplication"));

    // The suite's skin change reaches the page as an event.
    QSignalSpy events(&registry, &KEssJsApi::eventBroadcast);
    m_home->setSuiteValue(QStringLiteral("theme/skin"), QStringLiteral("dark"));
    QCOMPARE(container.raiseEvent(QStringLiteral("SkinChanged"), {}), 1);
    QTRY_COMPARE(events.size(), 1);
    QCOMPARE(events.first().at(0).toString(), QStringLiteral("event.arkivo.onskinmodechanged"));
    QCOMPARE(eventObject(events.first()), QJsonObject({{QStringLiteral("skin"), QStringLiteral("dark")}}));

    // An account change makes the handler ask for the roaming mode.
    QStringList requests;
    KCoreApplication::cloudSvrProxy()->setResponder(
        [&requests](const QString &method, const QStringList &, KCloudSvrProxy::Reply reply) {
            requests.append(method);
            reply(true, QString(), {{QStringLiteral("roamingmode"), QStringLiteral("auto")}});
        });
    emit KCoreApplication::cloudSvrProxy()->userInfoChange(0);
    QCOMPARE(requests, QStringList{QStringLiteral("getRoamingMode")});
    QTRY_COMPARE(events.size(), 3);
    QCOMPARE(events.at(1).at(0).toString(), QStringLiteral("event.arkivo.signInChanged"));
    QCOMPARE(events.last().at(0).toString(), QStringLiteral("event.arkivo.autoRoamingModeChanged"));

    registry.tearDown();
    QVERIFY(handler.isNull());
    m_destroy();
}

void tst_PluginEntryPoints::destroyTakesTheTranslatorAway()
{
    // The catalogue is the plug-in's memory: after Destroy the host may unload
    // it, and a translator left installed would read it (cleanupTestCase).
    m_home->setSuiteValue(QStringLiteral("ui/language"), QStringLiteral("zh_CN"));
    const auto title = [] { return QCoreApplication::translate("KLocalBackupSettingsDlg", "Local backup settings"); };
    QVERIFY(m_initialize(nullptr));
    QCOMPARE(title(), QStringLiteral("本地备份设置"));
    QVERIFY(m_initialize(nullptr)); // a second start keeps one translator
    QVERIFY(m_destroy());
    QCOMPARE(title(), QStringLiteral("Local backup settings"));
}

QTEST_MAIN(tst_PluginEntryPoints)
#include "tst_pluginentrypoints.moc"
