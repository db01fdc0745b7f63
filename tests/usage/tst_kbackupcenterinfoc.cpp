// The usage events of the plug-in, as the suite home records them.
#include "pageapifixture.h"
#include "plugin/arkivoapplication.h"
#include "usage/kbackupcenterinfoc.h"

#include <zentriappcontainer.h>

#include <QtTest>

#include <functional>

using Post = std::function<void(KBackupCenterInfoC *)>;
Q_DECLARE_METATYPE(Post)

class tst_KBackupCenterInfoC : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void cleanup();
    void eventsLandInTheUsageLog_data();
    void eventsLandInTheUsageLog();

private:
    QScopedPointer<TestSuiteHome> m_home;
    QScopedPointer<ZentriAppContainer> m_container;
};

void tst_KBackupCenterInfoC::init()
{
    m_home.reset(new TestSuiteHome);
    m_container.reset(new ZentriAppContainer);
    arkivoApplication::instance().setContainer(m_container.data());
}

void tst_KBackupCenterInfoC::cleanup()
{
    arkivoApplication::instance().setContainer(nullptr);
    arkivoApplication::instance().releaseManagers();
    m_container.reset();
    m_home.reset();
}

void tst_KBackupCenterInfoC::eventsLandInTheUsageLog_data()
{
    QTest::addColumn<Post>("post");
    QTest::addColumn<QString>("event");
    QTest::addColumn<QJsonObject>("params");

    QTest::newRow("switch") << Post([](KBackupCenterInfoC *info) {
        info->postSwitchEvent(QStringLiteral("backup_mode"), QStringLiteral("timer_backup"));
    }) << "vas_newbackupcenter_switch"
                            << QJsonObject{
                                   {"name", "backup_mode"}, {"status", "timer_backup"}, {"position", "backupcenter"}};
    QTest::newRow("interval changed") << Post([](KBackupCenterInfoC *info) {
        info->postSettingChangedEvent(QStringLiteral("backup_timer_interval"), QString::number(90),
                                      QString::number(120));
    }) << "vas_newbackupcenter_settingchanged"
                                      << QJsonObject{{"name", "backup_timer_interval"},
                                                     {"old_value", "90"},
                                                     {"new_value", "120"}};
    QTest::newRow("pop") << Post([](KBackupCenterInfoC *info) {
        info->postPopEvent(QStringLiteral("close_backup_switch"), QStringLiteral("cancel"));
    }) << "vas_newbackupcenter_pop"
                         << QJsonObject{{"type", "close_backup_switch"}, {"action", "cancel"}};
    QTest::newRow("tip shown") << Post([](KBackupCenterInfoC *info) {
        info->postIncrementTipShowEvent(QStringLiteral("timingtoincrement"));
    }) << "backupcenter_backupmode_increment_tipshow"
                               << QJsonObject{{"action", "timingtoincrement"}};
    QTest::newRow("tip clicked") << Post([](KBackupCenterInfoC *info) {
        info->postIncrementTipClickEvent(QStringLiteral("close_esc"));
    }) << "backupcenter_backupmode_increment_tipclick"
                                 << QJsonObject{{"clickon", "close_esc"}};
    QTest::newRow("migrate alert, empty source kept")
        << Post([](KBackupCenterInfoC *info) { info->postMigrateAlertEvent(QStringLiteral("show"), QString()); })
        << "configguider_backupmigratealert" << QJsonObject{{"action", "show"}, {"src", ""}};
    QTest::newRow("empty keys skipped, last value wins") << Post([](KBackupCenterInfoC *info) {
        info->postEvent(QStringLiteral("custom"), QString(), QStringLiteral("lost"), QStringLiteral("k"),
                        QStringLiteral("first"), QStringLiteral("k"), QStringLiteral("second"), QStringLiteral("e"),
                        QString());
    }) << "custom" << QJsonObject{{"k", "second"}, {"e", ""}};
    QTest::newRow("without container, dropped") << Post([](KBackupCenterInfoC *info) {
        arkivoApplication::instance().setContainer(nullptr);
        info->postSwitchEvent(QStringLiteral("backup_mode"), QStringLiteral("close_backup"));
        info->postMigrateAlertEvent(QStringLiteral("sure"), QStringLiteral("backup"));
    }) << "" << QJsonObject();
}

void tst_KBackupCenterInfoC::eventsLandInTheUsageLog()
{
    QFETCH(Post, post);
    QFETCH(QString, event);
    QFETCH(QJsonObject, params);

    post(arkivoApplication::instance().backupCenterInfo());
    const QList<QJsonObject> lines = usageEvents(*m_home);
    QCOMPARE(lines.size(), event.isEmpty() ? 0 : 1);
    if (lines.isEmpty())
        return;
    QCOMPARE(lines.first().value("event").toString(), event);
    QCOMPARE(lines.first().value("params").toObject(), params);
    QCOMPARE(lines.first().value("channel").toString(), QStringLiteral("container"));
}

QTEST_MAIN(tst_KBackupCenterInfoC)
#include "tst_kbackupcenterinfoc.moc"
