// The "Local backup settings" dialog driven as a person drives it, through
// its automation names, with its effects read back from the suite home:
// suite.ini and common.ini, the app-center announcements and usage.jsonl.
#include "plugin/arkivoapplication.h"
#include "settings/klocalbackupsettingsdlg.h"
#include "testsuitehome.h"

#include <appcenterendpoint.h>
#include <automation.h>
#include <kappcontainer.h>
#include <kdlabel.h>
#include <kdrawhelper.h>
#include <kliteui.h>
#include <skinswitch.h>
#include <zentriappcontainer.h>

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QProcess>
#include <QSpinBox>
#include <QtTest>

#include <memory>
#include <unistd.h>

namespace {

const QString escape = QStringLiteral("key Escape\n");

QList<QJsonObject> jsonLines(const QString &path)
{
    QList<QJsonObject> lines;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.atEnd())
            lines.append(QJsonDocument::fromJson(file.readLine()).object());
    }
    return lines;
}

// "event key=value key=value", the way the rows below write expected events.
QString describe(const QJsonObject &event)
{
    QStringList parts{event.value(QStringLiteral("event")).toString()};
    const QJsonObject params = event.value(QStringLiteral("params")).toObject();
    for (auto it = params.begin(); it != params.end(); ++it)
        parts.append(it.key() + QLatin1Char('=') + it.value().toString());
    return parts.join(QLatin1Char(' '));
}

QString switchEvent(const char *status)
{
    return QStringLiteral("vas_newbackupcenter_switch name=backup_mode position=backupcenter status=%1")
        .arg(QLatin1String(status));
}

QString modeAnnouncement(int mode, int minutes)
{
    return QStringLiteral("BackupModeChanged mode=%1 minutes=%2").arg(mode).arg(minutes);
}

}

class tst_KLocalBackupSettingsDlg : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void choosesMethod_data();
    void choosesMethod();
    void confirmsTurningOff_data();
    void confirmsTurningOff();
    void showsIncrementNotice_data();
    void showsIncrementNotice();
    void editsInterval_data();
    void editsInterval();
    void editsRetention_data();
    void editsRetention();
    void fixedRetentionCannotBeEdited();
    void independentModeHidesLocation();
    void reportsWindowClose();
    void skinChangeRecoloursSecondaryTexts();
    void rejectsLocation_data();
    void rejectsLocation();
    void rejectsRelativePath();
    void changesLocation();
    void cancelledLocationChangesNothing();

private:
    int runDialog(const QVector<Automation::Step> &steps);
    int runDialog(const QString &script);
    static QVector<Automation::Step> parse(const QString &script);
    void setBackup(int mode, bool enabled, int interval);
    QStringList usage() const;
    QStringList announcements() const;
    // A step that records the active message box's title and texts.
    Automation::Step captureBox(const QString &windowClass);

    std::unique_ptr<TestSuiteHome> m_home;
    std::unique_ptr<KAppMainWindow> m_mainWindow;
    std::unique_ptr<ZentriAppContainer> m_container;
    std::unique_ptr<AppCenterEndpoint> m_endpoint;
    QString m_failure;
    QString m_boxTitle;
    QStringList m_boxTexts;
};

void tst_KLocalBackupSettingsDlg::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_KLocalBackupSettingsDlg::init()
{
    m_home = std::make_unique<TestSuiteHome>();
    m_mainWindow = std::make_unique<KAppMainWindow>();
    m_container = std::make_unique<ZentriAppContainer>(m_mainWindow.get());
    arkivoApplication::instance().setContainer(m_container.get());
    m_endpoint = std::make_unique<AppCenterEndpoint>();
    QVERIFY(m_endpoint->start());
    // As in the suite, the options manager exists before the settings below
    // are written, and long before the dialog opens.
    arkivoApplication::instance().backupOptionMgr();
    setBackup(1, true, 10);
    m_home->setSuiteValue(QStringLiteral("backup/path"), m_home->makeDir(QStringLiteral("current/backup")));
    m_failure.clear();
    m_boxTitle.clear();
    m_boxTexts.clear();
}

void tst_KLocalBackupSettingsDlg::cleanup()
{
    arkivoApplication::instance().releaseManagers();
    arkivoApplication::instance().setContainer(nullptr);
    m_endpoint.reset();
    m_container.reset();
    m_mainWindow.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // The dialog and its boxes delete themselves.
    QCOMPARE(QApplication::topLevelWidgets().size(), 0);
    m_home.reset();
}

QVector<Automation::Step> tst_KLocalBackupSettingsDlg::parse(const QString &script)
{
    QVector<Automation::Step> steps;
    QString error;
    if (!Automation::parse(script, &steps, &error))
        qFatal("%s", qPrintable(error));
    return steps;
}

int tst_KLocalBackupSettingsDlg::runDialog(const QVector<Automation::Step> &steps)
{
    Automation automation(steps);
    automation.start();
    const int code = arkivoApplication::instance().showSettingsDialog();
    automation.waitForDone();
    m_failure = automation.failure();
    return code;
}

int tst_KLocalBackupSettingsDlg::runDialog(const QString &script)
{
    return runDialog(parse(script));
}

void tst_KLocalBackupSettingsDlg::setBackup(int mode, bool enabled, int interval)
{
    m_home->setSuiteValue(QStringLiteral("backup/mode"), mode);
    m_home->setSuiteValue(QStringLiteral("backup/enabled"), enabled);
    m_home->setSuiteValue(QStringLiteral("backup/interval"), interval);
}

QStringList tst_KLocalBackupSettingsDlg::usage() const
{
    QStringList events;
    for (const QJsonObject &event : jsonLines(m_home->filePath(QStringLiteral("usage.jsonl"))))
        events.append(describe(event));
    return events;
}

QStringList tst_KLocalBackupSettingsDlg::announcements() const
{
    QStringList lines;
    const QString sender = QString::number(m_mainWindow->winId());
    for (const QJsonObject &line : jsonLines(AppCenterEndpoint::logPath())) {
        const QJsonObject hash = line.value(QStringLiteral("hash")).toObject();
        QString text = hash.value(QStringLiteral("action")).toString();
        if (hash.contains(QStringLiteral("backupPath")))
            text += QStringLiteral(" path=") + hash.value(QStringLiteral("backupPath")).toString();
        else
            text += QStringLiteral(" mode=%1 minutes=%2").arg(hash.value(QStringLiteral("backupMode")).toInt())
                        .arg(hash.value(QStringLiteral("autoSaveTime")).toInt());
        // Every announcement is the copy-data message 2 from the main window.
        if (line.value(QStringLiteral("dwData")).toInt() != 2
            || QString::number(qint64(line.value(QStringLiteral("sender")).toDouble())) != sender)
            text += QStringLiteral(" (bad envelope)");
        lines.append(text);
    }
    return lines;
}

Automation::Step tst_KLocalBackupSettingsDlg::captureBox(const QString &windowClass)
{
    return Automation::customStep(QStringLiteral("read the box"), windowClass, [this](QWidget *box) {
        m_boxTitle = box->windowTitle();
        for (QLabel *label : box->findChildren<QLabel *>())
            m_boxTexts.append(label->text());
    });
}

void tst_KLocalBackupSettingsDlg::choosesMethod_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("interval");
    QTest::addColumn<QString>("option");
    QTest::addColumn<int>("newMode");
    QTest::addColumn<int>("newInterval");
    QTest::addColumn<QString>("announcement");
    QTest::addColumn<QString>("event");

    QTest::newRow("smart from timed") << 2 << true << 90 << "smartBackupOpt" << 1 << 90
                                      << modeAnnouncement(1, 0) << switchEvent("smart_backup");
    QTest::newRow("timed from smart") << 1 << true << 150 << "timedBackupOpt" << 2 << 150
                                      << modeAnnouncement(2, 150) << switchEvent("timer_backup");
    // A stored 0 is no interval: the editors show the shortest one, and that is taken.
    QTest::newRow("timed from off, 0 stored") << 0 << false << 0 << "timedBackupOpt" << 2 << 1
                                              << modeAnnouncement(2, 1) << switchEvent("timer_backup");
    QTest::newRow("smart from off") << 1 << false << 30 << "smartBackupOpt" << 1 << 30
                                    << modeAnnouncement(1, 0) << switchEvent("smart_backup");
}

void tst_KLocalBackupSettingsDlg::choosesMethod()
{
    QFETCH(int, mode);
    QFETCH(bool, enabled);
    QFETCH(int, interval);
    QFETCH(QString, option);
    setBackup(mode, enabled, interval);

    const int code = runDialog(QStringLiteral("click localBackupSetting_%1Btn\n").arg(option) + escape);
    QCOMPARE(m_failure, QString());
    QCOMPARE(code, 0);
    QTEST(m_home->suiteValue(QStringLiteral("backup/mode")).toInt(), "newMode");
    QCOMPARE(m_home->suiteValue(QStringLiteral("backup/enabled")).toBool(), true);
    QTEST(m_home->suiteValue(QStringLiteral("backup/interval")).toInt(), "newInterval");
    QFETCH(QString, announcement);
    QFETCH(QString, event);
    QCOMPARE(announcements(), QStringList{announcement});
    QCOMPARE(usage(), QStringList{event});
}

void tst_KLocalBackupSettingsDlg::confirmsTurningOff_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("turnedOff");
    QTest::addColumn<QStringList>("events");

    const QString pop = QStringLiteral("vas_newbackupcenter_pop action=%1 type=close_backup_switch");
    QTest::newRow("confirm") << "click localBackupSetting_disableStateConfirmDlgBtn1" << true
                             << QStringList{switchEvent("close_backup"), pop.arg("confirm")};
    QTest::newRow("keep enabled") << "click text:Keep enabled." << false << QStringList{pop.arg("cancel")};
    QTest::newRow("close button") << "click localBackupSetting_disableStateConfirmDlgCloseBtn" << false
                                  << QStringList{pop.arg("close")};
    QTest::newRow("escape") << "key Escape" << false << QStringList{pop.arg("close")};
}

void tst_KLocalBackupSettingsDlg::confirmsTurningOff()
{
    QFETCH(QString, answer);
    QFETCH(bool, turnedOff);
    setBackup(2, true, 45);
    bool timedReselected = false;
    QVector<Automation::Step> steps = parse(QStringLiteral("click localBackupSetting_closeBackupOptBtn\n") + answer);
    Automation::Step check = Automation::customStep(QStringLiteral("check the choice"), QString(),
                                                    [&timedReselected](QWidget *radio) {
        timedReselected = static_cast<QAbstractButton *>(radio)->isChecked();
    });
    check.target = QStringLiteral("localBackupSetting_timedBackupOptBtn");
    steps << check << parse(escape);

    QCOMPARE(runDialog(steps), 0);
    QCOMPARE(m_failure, QString());
    QCOMPARE(m_home->suiteValue(QStringLiteral("backup/enabled")).toBool(), !turnedOff);
    QCOMPARE(m_home->suiteValue(QStringLiteral("backup/mode")).toInt(), turnedOff ? 0 : 2);
    QCOMPARE(timedReselected, !turnedOff);
    QCOMPARE(announcements(), turnedOff ? QStringList{modeAnnouncement(0, 0)} : QStringList());
    QTEST(usage(), "events");
}

void tst_KLocalBackupSettingsDlg::showsIncrementNotice_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("dismissal");
    QTest::addColumn<QString>("cameFrom");
    QTest::addColumn<QString>("clicked");

    QTest::newRow("from smart, understood") << 1 << true << "click text:Understood" << "intelligencetoincrement"
                                            << "known";
    QTest::newRow("from timed, close button") << 2 << true << "click localBackupSetting_nextStartInformDlgCloseBtn"
                                              << "timingtoincrement" << "close_click";
    QTest::newRow("from off, escape") << 0 << false << "key Escape" << "enableincrement" << "close_esc";
}

void tst_KLocalBackupSettingsDlg::showsIncrementNotice()
{
    QFETCH(int, mode);
    QFETCH(bool, enabled);
    QFETCH(QString, dismissal);
    QFETCH(QString, cameFrom);
    QFETCH(QString, clicked);
    setBackup(mode, enabled, 20);

    QVector<Automation::Step> steps = parse(QStringLiteral("click localBackupSetting_incrementBackupOptBtn"));
    steps << captureBox(QStringLiteral("KStyleMessageBox")) << parse(dismissal + QLatin1Char('\n') + escape);
    QCOMPARE(runDialog(steps), 0);
    QCOMPARE(m_failure, QString());
    QCOMPARE(m_boxTitle, QStringLiteral("The settings will take effect the next time you start Zentri"));
    QCOMPARE(m_home->suiteValue(QStringLiteral("backup/mode")).toInt(), 3);
    QCOMPARE(m_home->suiteValue(QStringLiteral("backup/enabled")).toBool(), true);
    QCOMPARE(announcements(), QStringList{modeAnnouncement(3, 0)});
    QCOMPARE(usage(), (QStringList{switchEvent("increment_backup"),
                                   QStringLiteral("backupcenter_backupmode_increment_tipshow action=") + cameFrom,
                                   QStringLiteral("backupcenter_backupmode_increment_tipclick clickon=") + clicked}));
}

void tst_KLocalBackupSettingsDlg::editsInterval_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("editor");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("minutes");

    QTest::newRow("hours") << true << 90 << "Hours" << "2" << 150;
    QTest::newRow("minutes") << true << 90 << "Minutes" << "5" << 65;
    // An emptied editor is no acceptable input: its editing never finishes.
    QTest::newRow("empty minutes") << true << 90 << "Minutes" << "" << 90;
    QTest::newRow("letters") << true << 90 << "Hours" << "ab" << 90;
    // The editor refuses the keys that would leave its range: 500 hours is 5.
    QTest::newRow("500 hours") << true << 90 << "Hours" << "500" << 330;
    QTest::newRow("same value") << true << 90 << "Hours" << "1" << 90;
    QTest::newRow("0 hours 0 minutes is 1 minute") << true << 60 << "Hours" << "0" << 1;
    // Timed mode with backups off shows "Close backup": the editors change nothing.
    QTest::newRow("backups off") << false << 90 << "Hours" << "2" << 90;
}

void tst_KLocalBackupSettingsDlg::editsInterval()
{
    QFETCH(bool, enabled);
    QFETCH(int, stored);
    QFETCH(QString, editor);
    QFETCH(QString, typed);
    QFETCH(int, minutes);
    setBackup(2, enabled, stored);

    QCOMPARE(runDialog(QStringLiteral("type localBackupSetting_timedBackupOptEditGroup%1Editor %2\n").arg(editor, typed)
                       + escape),
             0);
    QCOMPARE(m_failure, QString());
    QCOMPARE(m_home->suiteValue(QStringLiteral("backup/interval")).toInt(), minutes);
    QCOMPARE(m_home->suiteValue(QStringLiteral("backup/enabled")).toBool(), enabled);
    if (minutes == stored) {
        QCOMPARE(usage(), QStringList());
        QCOMPARE(announcements(), QStringList());
    } else {
        QCOMPARE(usage(), QStringList{QStringLiteral("vas_newbackupcenter_settingchanged name=backup_timer_interval "
                                                     "new_value=%1 old_value=%2").arg(minutes).arg(stored)});
        QCOMPARE(announcements(), QStringList{modeAnnouncement(2, minutes)});
    }
}

void tst_KLocalBackupSettingsDlg::editsRetention_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("shown");
    QTest::addColumn<QVariant>("stored");

    QTest::newRow("in range") << "30" << 30 << QVariant("30");
    QTest::newRow("500 is the maximum") << "500" << 120 << QVariant("120");
    QTest::newRow("below the minimum") << "3" << 7 << QVariant("7");
    QTest::newRow("letters") << "abc" << 90 << QVariant();
    QTest::newRow("empty") << "" << 90 << QVariant();
    QTest::newRow("unchanged") << "90" << 90 << QVariant();
}

void tst_KLocalBackupSettingsDlg::editsRetention()
{
    QFETCH(QString, typed);
    QFETCH(int, shown);
    QFETCH(QVariant, stored);

    int value = -1;
    QVector<Automation::Step> steps = parse(QStringLiteral("type localBackupSetting_keepCacheDaysInput %1").arg(typed));
    Automation::Step read = Automation::customStep(QStringLiteral("read the input"), QString(), [&value](QWidget *input) {
        value = static_cast<QSpinBox *>(input)->value();
    });
    read.target = QStringLiteral("localBackupSetting_keepCacheDaysInput");
    steps << read << parse(escape);
    QCOMPARE(runDialog(steps), 0);
    QCOMPARE(m_failure, QString());
    QCOMPARE(value, shown);
    QCOMPARE(m_home->commonValue(QStringLiteral("backup/BackupKeepCacheDays")), stored);
    QCOMPARE(usage(), stored.isValid() ? QStringList{QStringLiteral("vas_newbackupcenter_settingchanged "
                                                                     "name=backup_keep_days new_value=%1 old_value=90")
                                                          .arg(shown)}
                                       : QStringList());
}

void tst_KLocalBackupSettingsDlg::fixedRetentionCannotBeEdited()
{
    m_home->setCloudConfig(QJsonObject{{QStringLiteral("items"), QJsonObject{{QStringLiteral("FixedBackupKeepDays"), 30}}}});
    bool enabled = true;
    int value = 0;
    QVector<Automation::Step> steps = parse(QStringLiteral("type localBackupSetting_keepCacheDaysInput 50"));
    Automation::Step read = Automation::customStep(QString(), QString(), [&](QWidget *input) {
        enabled = input->isEnabled();
        value = static_cast<QSpinBox *>(input)->value();
    });
    read.target = QStringLiteral("localBackupSetting_keepCacheDaysInput");
    steps << read << parse(escape);
    QCOMPARE(runDialog(steps), 0);
    QVERIFY(!enabled);
    QCOMPARE(value, 30);
    QVERIFY(!m_home->hasCommonValue(QStringLiteral("backup/BackupKeepCacheDays")));
    QCOMPARE(usage(), QStringList());
}

void tst_KLocalBackupSettingsDlg::independentModeHidesLocation()
{
    m_home->setSuiteValue(QStringLiteral("product/independentMode"), true);
    QStringList shown;
    Automation::Step look = Automation::customStep(QString(), QString(), [&shown](QWidget *dialog) {
        for (QWidget *widget : dialog->findChildren<QWidget *>()) {
            if (widget->isVisible() && !KLiteUi::spyName(widget).isEmpty())
                shown.append(KLiteUi::spyName(widget));
        }
    });
    look.target = QStringLiteral("KLocalBackupSettingsDlg");
    QCOMPARE(runDialog(QVector<Automation::Step>{look} + parse(escape)), 0);
    QVERIFY(!shown.contains(QStringLiteral("localBackupSetting_closeBackupOpt")));
    QVERIFY(!shown.contains(QStringLiteral("localBackupSetting_backupLocationTitle")));
    QVERIFY(!shown.contains(QStringLiteral("localBackupSetting_changeLocationBtn")));
    QVERIFY(shown.contains(QStringLiteral("localBackupSetting_smartBackupOpt")));
    QVERIFY(shown.contains(QStringLiteral("localBackupSetting_keepCachePeriodTitle")));
    QVERIFY(shown.contains(QStringLiteral("localBackupSetting_keepCacheDaysInput")));
}

void tst_KLocalBackupSettingsDlg::reportsWindowClose()
{
    Automation::Step close = Automation::customStep(QString(), QString(), [](QWidget *dialog) { dialog->close(); });
    close.target = QStringLiteral("KLocalBackupSettingsDlg");
    QCOMPARE(runDialog({close}), 0);
    QCOMPARE(usage(), QStringList{QStringLiteral("vas_newbackupcenter_pop action=close type=settink_page")});
}

void tst_KLocalBackupSettingsDlg::skinChangeRecoloursSecondaryTexts()
{
    // The suite raises its skin change to the application, as the page API subscribes it.
    m_container->subscribeEvent(QStringLiteral("SkinChanged"), &arkivoApplication::instance(),
                                QStringLiteral("onSkinChanged"));
    m_home->setSuiteValue(QStringLiteral("theme/skin"), QStringLiteral("dark"));
    auto secondary = [] {
        return KDrawHelper::getColorFromTheme(QStringLiteral("CommonThemePalette"),
                                              QStringLiteral("kd-color-text-secondary"), QColor());
    };
    const QColor dark = secondary();
    QStringList grey;
    QStringList stale;
    Automation::Step swap = Automation::customStep(QString(), QString(), [&](QWidget *dialog) {
        const QList<KDLabel *> labels = dialog->findChildren<KDLabel *>();
        for (KDLabel *label : labels) {
            if (label->palette().color(QPalette::WindowText) == dark)
                grey.append(label->text());
        }
        SkinSwitch::apply(m_container.get(), QStringLiteral("default"));
        for (KDLabel *label : labels) {
            if (grey.contains(label->text()) && label->palette().color(QPalette::WindowText) != secondary())
                stale.append(label->text());
        }
    });
    swap.target = QStringLiteral("KLocalBackupSettingsDlg");
    QCOMPARE(runDialog(QVector<Automation::Step>{swap} + parse(escape)), 0);
    QCOMPARE(m_failure, QString());
    // Three descriptions, the three interval texts, the range and the path.
    QCOMPARE(grey.size(), 8);
    QCOMPARE(stale, QStringList());
}

void tst_KLocalBackupSettingsDlg::rejectsLocation_data()
{
    QTest::addColumn<QString>("picked");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("message");

    const QString invalid = QStringLiteral("Invalid location selection");
    const QString unavailable = QStringLiteral("Path unavailable");
    const QString noWrite = QStringLiteral("The selected path does not have write permission. Please select another directory.");
    const QString noCreate = QStringLiteral("Failed to create the selected directory. Please confirm you have sufficient permissions.");
    QTest::newRow("number sign") << "re#ports" << "" << "Path contains invalid characters"
                                 << "The path name cannot contain invalid characters\n \":*?\"<>|#;%'\",please select again.";
    QTest::newRow("percent sign") << "100%" << "" << "Path contains invalid characters" << "";
    QTest::newRow("131 characters") << "length:131" << "" << "Reselect directory"
                                    << "The selected path is too long. Please reselect.";
    QTest::newRow("130 characters pass") << "length:130" << "" << "" << "";
    QTest::newRow("parent of the install root") << "install" << "" << invalid
        << "The backup location and the installation location cannot contain each other. Please modify or reselect the location.";
    QTest::newRow("install root") << "install/zentri" << "" << invalid << "";
    QTest::newRow("inside the install root") << "install/zentri/bin" << "" << invalid << "";
    QTest::newRow("inside a cloud cache") << "cache/docs" << "" << invalid
        << "The backup location and the cloud document cache location cannot contain each other. Please modify or reselect the location.";
    QTest::newRow("the current folder") << "current" << "" << invalid
        << "The selected location cannot be inside the current backup location. Please modify or reselect the location.";
    QTest::newRow("inside the current folder") << "current/backup/old" << "" << invalid << "";
    QTest::newRow("holding the current folder passes") << "outer" << "current:outer/backup/inner" << "" << "";
    // Letter case counts where the file system makes it count.
    QTest::newRow("other letter case passes") << "Current" << "" << "" << "";
    // A symbolic link is the folder it points to.
    QTest::newRow("link to the install root") << "rootlink" << "link:install/zentri" << invalid << "";
    QTest::newRow("link to a cloud cache") << "cachelink" << "link:cache" << invalid << "";
    QTest::newRow("link into the current folder") << "currentlink" << "link:current/backup" << invalid << "";
    QTest::newRow("existing test file") << "busy" << "testfile" << unavailable << noWrite;
    QTest::newRow("backup is a file") << "blocked" << "file" << unavailable << noCreate;
    QTest::newRow("read-only folder") << "locked" << "readonly" << unavailable << noWrite;
}

void tst_KLocalBackupSettingsDlg::rejectsLocation()
{
    QFETCH(QString, picked);
    QFETCH(QString, setup);
    QFETCH(QString, title);
    QFETCH(QString, message);
    m_home->setSuiteValue(QStringLiteral("paths/installRoot"), m_home->makeDir(QStringLiteral("install/zentri")));
    m_home->setSuiteValue(QStringLiteral("cloudCache/paths"), QStringList{QString(), m_home->makeDir(QStringLiteral("cache"))});

    if (picked.startsWith(QLatin1String("length:"))) {
        // A target of exactly that many characters: <home>/<x...>/backup.
        const int length = picked.mid(7).toInt();
        picked = QString(length - m_home->path().size() - 8, QLatin1Char('x'));
    }
    QString folder = m_home->filePath(picked);
    if (setup.startsWith(QLatin1String("link:")))
        QVERIFY(QFile::link(m_home->makeDir(setup.mid(5)), folder));
    else
        folder = m_home->makeDir(picked);
    const QString target = folder + QStringLiteral("/backup");
    if (setup.startsWith(QLatin1String("current:")))
        m_home->setSuiteValue(QStringLiteral("backup/path"), m_home->makeDir(setup.mid(8)));
    const QString current = m_home->suiteValue(QStringLiteral("backup/path")).toString();
    if (setup == QLatin1String("testfile"))
        m_home->writeFile(picked + QStringLiteral("/backup/.zentri_backup_rw_test_1234.tmp"), "mine");
    if (setup == QLatin1String("file"))
        m_home->writeFile(picked + QStringLiteral("/backup"));
    if (setup == QLatin1String("readonly")) {
        m_home->makeDir(picked + QStringLiteral("/backup"));
        QFile::setPermissions(target, QFile::ReadOwner | QFile::ExeOwner);
        if (geteuid() == 0) {
            // Root writes through permission bits; an immutable folder stops it
            // where the file system offers that, else a folder that cannot
            // even be made stands in.
            const bool immutable = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), target}) == 0;
            if (!immutable || QFile(target + QStringLiteral("/probe")).open(QIODevice::WriteOnly)) {
                QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), target});
                QFile::remove(target + QStringLiteral("/probe"));
                QDir(target).removeRecursively();
                m_home->writeFile(picked + QStringLiteral("/backup"));
                message = QStringLiteral("Failed to create the selected directory. Please confirm you have sufficient permissions.");
            }
        }
    }

    const bool existed = QFileInfo::exists(target);
    const bool passes = title.isEmpty();
    // The dialog's self-test file is named after its pinned clock (the "testfile" row).
    QVector<Automation::Step> steps{Automation::customStep(QStringLiteral("pin the clock"), QStringLiteral("KLocalBackupSettingsDlg"),
                                                           [](QWidget *dialog) {
                                                               static_cast<KLocalBackupSettingsDlg *>(dialog)->setClock([] { return qint64(1234); });
                                                           })};
    steps << parse(QStringLiteral("click localBackupSetting_changeLocationBtn\nchoose-dir %1").arg(folder));
    steps << captureBox(passes ? QStringLiteral("KDContentDlg") : QStringLiteral("KStyleMessageBox"));
    // A rejection leads back to the folder picker, which is cancelled.
    steps << parse(passes ? QStringLiteral("click text:Cancel\n") + escape
                          : QStringLiteral("click text:confirm\n") + escape + escape);
    const int code = runDialog(steps);
    if (setup == QLatin1String("readonly"))
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), target});
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QCOMPARE(m_failure, QString());
    QCOMPARE(code, 0);
    if (passes) {
        QCOMPARE(m_boxTitle, QStringLiteral("Confirm Change Backup Location"));
    } else {
        QCOMPARE(m_boxTitle, title);
        if (!message.isEmpty())
            QVERIFY2(m_boxTexts.join(QLatin1Char('|')).contains(message), qPrintable(m_boxTexts.join(QLatin1Char('|'))));
    }
    // Nothing moved, and neither the checks nor the self-test left anything
    // that was not there before.
    QCOMPARE(QFileInfo::exists(target), existed);
    QCOMPARE(m_home->suiteValue(QStringLiteral("backup/path")).toString(), current);
    QVERIFY(!m_home->hasCommonValue(QStringLiteral("Backup/BackupMigrationSource")));
    QCOMPARE(announcements(), QStringList());
    const QStringList left = QDir(target).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(left, setup == QLatin1String("testfile") ? QStringList{QStringLiteral(".zentri_backup_rw_test_1234.tmp")}
                                                       : QStringList());
}

void tst_KLocalBackupSettingsDlg::rejectsRelativePath()
{
    auto *dialog = new KLocalBackupSettingsDlg(m_mainWindow.get());
    Automation automation({captureBox(QStringLiteral("KStyleMessageBox")), parse(QStringLiteral("click text:confirm")).first()});
    automation.start();
    QVERIFY(!dialog->validateBackupLocation(QStringLiteral("relative/backup")));
    QVERIFY(automation.waitForDone());
    QCOMPARE(m_boxTitle, QStringLiteral("Path unavailable"));
    QVERIFY(m_boxTexts.join(QLatin1Char('|')).contains(
        QStringLiteral("The selected path is unavailable. Please confirm it exists and has write permission.")));
    dialog->close();
}

void tst_KLocalBackupSettingsDlg::changesLocation()
{
    const QString old = m_home->suiteValue(QStringLiteral("backup/path")).toString();
    const QString target = m_home->makeDir(QStringLiteral("elsewhere")) + QStringLiteral("/backup");
    QString shownPath;
    Automation::Step read = Automation::customStep(QString(), QString(), [&shownPath](QWidget *label) {
        // The label shows the path on one line, cut at the right, and the whole of it as tool tip.
        shownPath = label->toolTip();
    });
    read.target = QStringLiteral("localBackupSetting_backupPathLabel");
    QVector<Automation::Step> steps =
        parse(QStringLiteral("click localBackupSetting_changeLocationBtn\nchoose-dir %1\n").arg(QFileInfo(target).path()));
    steps << captureBox(QStringLiteral("KDContentDlg")) << parse(QStringLiteral("click localBackupSetting_diskStorageConfirmDlgBtn0"))
          << read << parse(escape);

    QCOMPARE(runDialog(steps), KLocalBackupSettingsDlg::LocationChangedResult);
    QCOMPARE(m_failure, QString());
    QVERIFY(m_boxTexts.join(QLatin1Char('|')).contains(
        QStringLiteral("Are you sure you want to change the file backup location to %1?").arg(target)));
    QCOMPARE(shownPath, target);
    QCOMPARE(m_home->suiteValue(QStringLiteral("backup/path")).toString(), target);
    QCOMPARE(m_home->commonValue(QStringLiteral("Backup/BackupMigrationSource")).toString(), QStringLiteral("arkivo"));
    QCOMPARE(m_home->commonValue(QStringLiteral("Backup/AutoRecoverFilePathHis")).toStringList(), QStringList{old});
    QCOMPARE(m_home->commonValue(QStringLiteral("Backup/MoveBackupFlag")).toString(), QStringLiteral("-1"));
    QCOMPARE(announcements(), QStringList{QStringLiteral("BackupPathChanged path=") + target});
    QCOMPARE(usage(), (QStringList{
        QStringLiteral("configguider_backupmigratealert action=show src=backup"),
        QStringLiteral("configguider_backupmigratealert action=sure src=backup"),
        QStringLiteral("vas_newbackupcenter_settingchanged name=backup_path new_value=%1 old_value=%2").arg(target, old.left(1))}));
    QCOMPARE(QDir(target).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void tst_KLocalBackupSettingsDlg::cancelledLocationChangesNothing()
{
    const QString old = m_home->suiteValue(QStringLiteral("backup/path")).toString();
    const QString picked = m_home->makeDir(QStringLiteral("elsewhere"));
    QCOMPARE(runDialog(QStringLiteral("click localBackupSetting_changeLocationBtn\nchoose-dir %1\n"
                                      "click localBackupSetting_diskStorageConfirmDlgBtn2\n").arg(picked) + escape),
             0);
    QCOMPARE(m_failure, QString());
    QCOMPARE(m_home->suiteValue(QStringLiteral("backup/path")).toString(), old);
    QVERIFY(!m_home->hasCommonValue(QStringLiteral("Backup/BackupMigrationSource")));
    QCOMPARE(announcements(), QStringList());
    QCOMPARE(usage(), (QStringList{QStringLiteral("configguider_backupmigratealert action=show src=backup"),
                                   QStringLiteral("configguider_backupmigratealert action=cancel src=backup")}));
    QVERIFY(!QFileInfo::exists(picked + QStringLiteral("/backup")));
}

QTEST_MAIN(tst_KLocalBackupSettingsDlg)
#include "tst_klocalbackupsettingsdlg.moc"
