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

    const auto row = [](const char *tag, const char *event, const QJsonObject &params, const Post &post) {
        QTest::newRow(tag) << post << QString(event) << params;
    };
    // The events the settings dialog posts, each with its texts: tst_klocalbackupsettingsdlg.
    row("switch", "vas_newbackupcenter_switch",
        {{"name", "backup_mode"}, {"status", "timer_backup"}, {"position", "backupcenter"}},
        [](KBackupCenterInfoC *info) {
            info->postSwitchEvent(QStringLiteral("backup_mode"), QStringLiteral("timer_backup"));
        });
    row("migrate alert, empty source kept", "configguider_backupmigratealert", {{"action", "show"}, {"src", ""}},
        [](KBackupCenterInfoC *info) { info->postMigrateAlertEvent(QStringLiteral("show"), QString()); });
    row("empty keys skipped, last value wins", "custom", {{"k", "second"}, {"e", ""}}, [](KBackupCenterInfoC *info) {
        info->postEvent(QStringLiteral("custom"), QString(), QStringLiteral("lost"), QStringLiteral("k"),
                        QStringLiteral("first"), QStringLiteral("k"), QStringLiteral("second"), QStringLiteral("e"),
                        QString());
    });
    row("without container, dropped", "", {}, [](KBackupCenterInfoC *info) {
        arkivoApplication::instance().setContainer(nullptr);
        info->postSwitchEvent(QStringLiteral("backup_mode"), QStringLiteral("close_backup"));
        info->postMigrateAlertEvent(QStringLiteral("sure"), QStringLiteral("backup"));
    });
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
