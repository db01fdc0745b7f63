// The "Local backup settings" dialog driven as a person drives it, through
// its automation names, with its effects read back from the suite home:
// suite.ini and common.ini, the app-center announcements and usage.jsonl.
#include "plugin/arkivoapplication.h"
#include "pageapifixture.h"
#include "settings/klocalbackupsettingsdlg.h"

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
#include <QTextDocumentFragment>
#include <QtTest>

#include <memory>
#include <unistd.h>

namespace {

const QString escape = QStringLiteral("key Escape\n");

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
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void cleanup();
    void choosesMode_data();
    void choosesMode();
    void editsInterval_data();
    void editsInterval();
    void editsRetention_data();
    void editsRetention();
    void independentModeHidesLocation();
    void reportsWindowClose();
    void skinChangeRecoloursSecondaryTexts();
    void rejectsLocation_data();
    void rejectsLocation();
    void rejectsRelativePath();
    void changesLocation_data();
    void changesLocation();

private:
    int runDialog(const QVector<Automation::Step> &steps);
    static QVector<Automation::Step> parse(const QString &script);
    // A step that runs `read` on the widget of that automation name.
    static Automation::Step probe(const QString &target, std::function<void(QWidget *)> read);
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
    m_home->setSuiteValue("backup/path", m_home->makeDir("current/backup"));
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

Automation::Step tst_KLocalBackupSettingsDlg::probe(const QString &target, std::function<void(QWidget *)> read)
{
    Automation::Step step = Automation::customStep("read " + target, QString(), std::move(read));
    step.target = target;
    return step;
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

void tst_KLocalBackupSettingsDlg::setBackup(int mode, bool enabled, int interval)
{
    m_home->setSuiteValue("backup/mode", mode);
    m_home->setSuiteValue("backup/enabled", enabled);
    m_home->setSuiteValue("backup/interval", interval);
}

QStringList tst_KLocalBackupSettingsDlg::usage() const
{
    QStringList events;
    for (const QJsonObject &event : jsonLines(m_home->filePath("usage.jsonl"))) {
        QStringList parts{event.value("event").toString()};
        const QJsonObject params = event.value("params").toObject();
        for (auto it = params.begin(); it != params.end(); ++it)
            parts.append(it.key() + '=' + it.value().toString());
        events.append(parts.join(' '));
    }
    return events;
}

QStringList tst_KLocalBackupSettingsDlg::announcements() const
{
    QStringList lines;
    const QString sender = QString::number(m_mainWindow->winId());
    for (const QJsonObject &line : jsonLines(AppCenterEndpoint::logPath())) {
        const QJsonObject hash = line.value("hash").toObject();
        QString text = hash.value("action").toString();
        if (hash.contains("backupPath"))
            text += " path=" + hash.value("backupPath").toString();
        else
            text += QString(" mode=%1 minutes=%2")
                        .arg(hash.value("backupMode").toInt())
                        .arg(hash.value("autoSaveTime").toInt());
        // Every announcement is the copy-data message 2 from the main window.
        if (line.value("dwData").toInt() != 2 || QString::number(qint64(line.value("sender").toDouble())) != sender)
            text += " (bad envelope)";
        lines.append(text);
    }
    return lines;
}

Automation::Step tst_KLocalBackupSettingsDlg::captureBox(const QString &windowClass)
{
    return Automation::customStep("read the box", windowClass, [this](QWidget *box) {
        m_boxTitle = box->windowTitle();
        // As shown: the message is rich text.
        for (QLabel *label : box->findChildren<QLabel *>())
            m_boxTexts.append(QTextDocumentFragment::fromHtml(label->text()).toPlainText());
    });
}

// Start and end are "mode enabled interval" in suite.ini; `checked` is the
// option whose radio button is checked when the dialog is left.
void tst_KLocalBackupSettingsDlg::choosesMode_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QStringList>("announced");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QString>("checked");

    const QString smart = "click localBackupSetting_smartBackupOptBtn";
    const QString timed = "click localBackupSetting_timedBackupOptBtn";
    QTest::newRow("smart from timed") << "2 1 90" << smart << "1 1 90" << QStringList{modeAnnouncement(1, 0)}
                                      << QStringList{switchEvent("smart_backup")} << "smart";
    QTest::newRow("timed from smart") << "1 1 150" << timed << "2 1 150" << QStringList{modeAnnouncement(2, 150)}
                                      << QStringList{switchEvent("timer_backup")} << "timed";
    // A stored 0 is no interval: the editors show the shortest one, and that is taken.
    QTest::newRow("timed from off, 0 stored") << "0 0 0" << timed << "2 1 1" << QStringList{modeAnnouncement(2, 1)}
                                              << QStringList{switchEvent("timer_backup")} << "timed";
    QTest::newRow("smart from off") << "1 0 30" << smart << "1 1 30" << QStringList{modeAnnouncement(1, 0)}
                                    << QStringList{switchEvent("smart_backup")} << "smart";

    // Turning backups off asks first; any answer but confirm keeps the timed choice.
    const QString off = "click localBackupSetting_closeBackupOptBtn\n";
    const QString pop = "vas_newbackupcenter_pop action=%1 type=close_backup_switch";
    QTest::newRow("off, confirmed") << "2 1 45" << off + "click localBackupSetting_disableStateConfirmDlgBtn1"
                                    << "0 0 45" << QStringList{modeAnnouncement(0, 0)}
                                    << QStringList{switchEvent("close_backup"), pop.arg("confirm")} << "close";
    QTest::newRow("off, kept enabled") << "2 1 45" << off + "click text:Keep enabled."
                                       << "2 1 45" << QStringList() << QStringList{pop.arg("cancel")} << "timed";
    QTest::newRow("off, close button") << "2 1 45" << off + "click localBackupSetting_disableStateConfirmDlgCloseBtn"
                                       << "2 1 45" << QStringList() << QStringList{pop.arg("close")} << "timed";
    QTest::newRow("off, escape") << "2 1 45" << off + "key Escape"
                                 << "2 1 45" << QStringList() << QStringList{pop.arg("close")} << "timed";

    // Incremental backup takes effect at the next start: a notice says so.
    const QString increment = "click localBackupSetting_incrementBackupOptBtn\n";
    const auto notice = [](const char *from, const char *click) {
        return QStringList{switchEvent("increment_backup"),
                           QString("backupcenter_backupmode_increment_tipshow action=") + from,
                           QString("backupcenter_backupmode_increment_tipclick clickon=") + click};
    };
    QTest::newRow("increment from smart, understood")
        << "1 1 20" << increment + "click text:Understood"
        << "3 1 20" << QStringList{modeAnnouncement(3, 0)} << notice("intelligencetoincrement", "known") << "increment";
    QTest::newRow("increment from timed, close button")
        << "2 1 20" << increment + "click localBackupSetting_nextStartInformDlgCloseBtn"
        << "3 1 20" << QStringList{modeAnnouncement(3, 0)} << notice("timingtoincrement", "close_click") << "increment";
    QTest::newRow("increment from off, escape")
        << "0 0 20" << increment + "key Escape"
        << "3 1 20" << QStringList{modeAnnouncement(3, 0)} << notice("enableincrement", "close_esc") << "increment";
}

void tst_KLocalBackupSettingsDlg::choosesMode()
{
    QFETCH(QString, start);
    QFETCH(QString, script);
    QFETCH(QString, end);
    const QStringList values = start.split(' ');
    setBackup(values[0].toInt(), values[1] == "1", values[2].toInt());
    QString checked;
    const Automation::Step read = probe("KLocalBackupSettingsDlg", [&checked](QWidget *dialog) {
        for (QAbstractButton *button : dialog->findChildren<QAbstractButton *>()) {
            if (button->isChecked() && KLiteUi::spyName(button).endsWith("BackupOptBtn"))
                checked += KLiteUi::spyName(button).mid(19).chopped(12);
        }
    });

    QCOMPARE(runDialog(parse(script) << read << parse(escape)), 0);
    QCOMPARE(m_failure, QString());
    QCOMPARE(QString("%1 %2 %3")
                 .arg(m_home->suiteValue("backup/mode").toInt())
                 .arg(int(m_home->suiteValue("backup/enabled").toBool()))
                 .arg(m_home->suiteValue("backup/interval").toInt()),
             end);
    QTEST(announcements(), "announced");
    QTEST(usage(), "events");
    QTEST(checked, "checked");
}

void tst_KLocalBackupSettingsDlg::editsInterval_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("typed"); // the editor, a space, what is typed into it
    QTest::addColumn<int>("minutes");

    QTest::newRow("hours") << true << 90 << "Hours 2" << 150;
    QTest::newRow("minutes") << true << 90 << "Minutes 5" << 65;
    // An emptied editor is no acceptable input: its editing never finishes.
    QTest::newRow("empty minutes") << true << 90 << "Minutes " << 90;
    QTest::newRow("letters") << true << 90 << "Hours ab" << 90;
    // The editor refuses the keys that would leave its range: 500 hours is 5.
    QTest::newRow("500 hours") << true << 90 << "Hours 500" << 330;
    QTest::newRow("same value") << true << 90 << "Hours 1" << 90;
    QTest::newRow("0 hours 0 minutes is 1 minute") << true << 60 << "Hours 0" << 1;
    // Timed mode with backups off shows "Close backup": the editors change nothing.
    QTest::newRow("backups off") << false << 90 << "Hours 2" << 90;
}

void tst_KLocalBackupSettingsDlg::editsInterval()
{
    QFETCH(bool, enabled);
    QFETCH(int, stored);
    QFETCH(QString, typed);
    QFETCH(int, minutes);
    setBackup(2, enabled, stored);

    QCOMPARE(runDialog(parse(QString("type localBackupSetting_timedBackupOptEditGroup%1Editor %2\n")
                                 .arg(typed.section(' ', 0, 0), typed.section(' ', 1))
                             + escape)),
             0);
    QCOMPARE(m_failure, QString());
    QCOMPARE(m_home->suiteValue("backup/interval").toInt(), minutes);
    QCOMPARE(m_home->suiteValue("backup/enabled").toBool(), enabled);
    const bool changed = minutes != stored;
    QCOMPARE(usage(), changed ? QStringList{QString("vas_newbackupcenter_settingchanged name=backup_timer_interval "
                                                    "new_value=%1 old_value=%2")
                                                .arg(minutes)
                                                .arg(stored)}
                              : QStringList());
    QCOMPARE(announcements(), changed ? QStringList{modeAnnouncement(2, minutes)} : QStringList());
}

void tst_KLocalBackupSettingsDlg::editsRetention_data()
{
    QTest::addColumn<bool>("fixed"); // by the cloud configuration, at 30 days
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("shown");
    QTest::addColumn<QVariant>("stored");

    QTest::newRow("in range") << false << "30" << 30 << QVariant("30");
    QTest::newRow("500 is the maximum") << false << "500" << 120 << QVariant("120");
    QTest::newRow("below the minimum") << false << "3" << 7 << QVariant("7");
    QTest::newRow("letters") << false << "abc" << 90 << QVariant();
    QTest::newRow("empty") << false << "" << 90 << QVariant();
    QTest::newRow("unchanged") << false << "90" << 90 << QVariant();
    QTest::newRow("fixed") << true << "50" << 30 << QVariant();
}

void tst_KLocalBackupSettingsDlg::editsRetention()
{
    QFETCH(bool, fixed);
    QFETCH(QString, typed);
    QFETCH(int, shown);
    QFETCH(QVariant, stored);
    if (fixed)
        m_home->setCloudConfig(QJsonObject{{"items", QJsonObject{{"FixedBackupKeepDays", 30}}}});
    int value = -1;
    bool editable = false;
    const QString input = "localBackupSetting_keepCacheDaysInput";
    const Automation::Step read = probe(input, [&](QWidget *widget) {
        value = static_cast<QSpinBox *>(widget)->value();
        editable = widget->isEnabled();
    });
    QCOMPARE(runDialog(parse(QString("type %1 %2").arg(input, typed)) << read << parse(escape)), 0);
    QCOMPARE(m_failure, QString());
    QCOMPARE(value, shown);
    QCOMPARE(editable, !fixed);
    QCOMPARE(m_home->commonValue("backup/BackupKeepCacheDays"), stored);
    QCOMPARE(usage(), stored.isValid() ? QStringList{QString("vas_newbackupcenter_settingchanged "
                                                             "name=backup_keep_days new_value=%1 old_value=90")
                                                         .arg(shown)}
                                       : QStringList());
}

void tst_KLocalBackupSettingsDlg::independentModeHidesLocation()
{
    m_home->setSuiteValue("product/independentMode", true);
    QStringList shown;
    const Automation::Step look = probe("KLocalBackupSettingsDlg", [&shown](QWidget *dialog) {
        for (QWidget *widget : dialog->findChildren<QWidget *>()) {
            if (widget->isVisible() && !KLiteUi::spyName(widget).isEmpty())
                shown.append(KLiteUi::spyName(widget).mid(19));
        }
    });
    QCOMPARE(runDialog(QVector<Automation::Step>{look} + parse(escape)), 0);
    for (const char *hidden : {"closeBackupOpt", "backupLocationTitle", "changeLocationBtn"})
        QVERIFY2(!shown.contains(hidden), hidden);
    for (const char *kept : {"smartBackupOpt", "keepCachePeriodTitle", "keepCacheDaysInput"})
        QVERIFY2(shown.contains(kept), kept);
}

void tst_KLocalBackupSettingsDlg::reportsWindowClose()
{
    QCOMPARE(runDialog({probe("KLocalBackupSettingsDlg", [](QWidget *dialog) { dialog->close(); })}), 0);
    QCOMPARE(usage(), QStringList{"vas_newbackupcenter_pop action=close type=settink_page"});
}

void tst_KLocalBackupSettingsDlg::skinChangeRecoloursSecondaryTexts()
{
    // The suite raises its skin change to the application, as the page API subscribes it.
    m_container->subscribeEvent("SkinChanged", &arkivoApplication::instance(), "onSkinChanged");
    m_home->setSuiteValue("theme/skin", "dark");
    auto secondary
        = [] { return KDrawHelper::getColorFromTheme("CommonThemePalette", "kd-color-text-secondary", QColor()); };
    const QColor dark = secondary();
    QStringList grey, stale;
    const Automation::Step swap = probe("KLocalBackupSettingsDlg", [&](QWidget *dialog) {
        const QList<KDLabel *> labels = dialog->findChildren<KDLabel *>();
        for (KDLabel *label : labels) {
            if (label->palette().color(QPalette::WindowText) == dark)
                grey.append(label->text());
        }
        SkinSwitch::apply(m_container.get(), "default");
        for (KDLabel *label : labels) {
            if (grey.contains(label->text()) && label->palette().color(QPalette::WindowText) != secondary())
                stale.append(label->text());
        }
    });
    QCOMPARE(runDialog(QVector<Automation::Step>{swap} + parse(escape)), 0);
    QCOMPARE(m_failure, QString());
    // Three descriptions, the three interval texts, the range and the path.
    QCOMPARE(grey.size(), 8);
    QCOMPARE(stale, QStringList());
}

// The folder picked holds the "backup" folder the dialog would use. Setups:
// "link:X" the picked folder is a link to X, "current:X" the current backup
// folder is X, "testfile" a self-test file of the dialog's is already there,
// "file" the backup folder is a file, "readonly" a folder nothing is written in.
void tst_KLocalBackupSettingsDlg::rejectsLocation_data()
{
    QTest::addColumn<QString>("picked");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("title"); // empty: accepted
    QTest::addColumn<QString>("message");

    const QString invalid = "Invalid location selection";
    const QString unavailable = "Path unavailable";
    const QString noWrite = "The selected path does not have write permission. Please select another directory.";
    const QString noCreate = "Failed to create the selected directory. Please confirm you have sufficient permissions.";
    const QString contain
        = "The backup location and the %1 location cannot contain each other. Please modify or reselect the location.";
    const auto row = [](const char *tag, const char *picked, const char *setup, const QString &title,
                        const QString &message = QString()) {
        QTest::newRow(tag) << QString(picked) << QString(setup) << title << message;
    };
    row("number sign", "re#ports", "", "Path contains invalid characters",
        "The path name cannot contain invalid characters\n\":*?\"<>|#;%'\",please select again.");
    row("percent sign", "100%", "", "Path contains invalid characters");
    row("131 characters", "length:131", "", "Reselect directory", "The selected path is too long. Please reselect.");
    row("130 characters pass", "length:130", "", "");
    row("parent of the install root", "install", "", invalid, contain.arg("installation"));
    row("install root", "install/zentri", "", invalid);
    row("inside the install root", "install/zentri/bin", "", invalid);
    row("inside a cloud cache", "cache/docs", "", invalid, contain.arg("cloud document cache"));
    row("the current folder", "current", "", invalid,
        "The selected location cannot be inside the current backup location. Please modify or reselect the location.");
    row("inside the current folder", "current/backup/old", "", invalid);
    row("holding the current folder passes", "outer", "current:outer/backup/inner", "");
    // Letter case counts where the file system makes it count.
    row("other letter case passes", "Current", "", "");
    // A symbolic link is the folder it points to.
    row("link to the install root", "rootlink", "link:install/zentri", invalid);
    row("link to a cloud cache", "cachelink", "link:cache", invalid);
    row("link into the current folder", "currentlink", "link:current/backup", invalid);
    row("existing test file", "busy", "testfile", unavailable, noWrite);
    row("backup is a file", "blocked", "file", unavailable, noCreate);
    row("read-only folder", "locked", "readonly", unavailable, noWrite);
}

void tst_KLocalBackupSettingsDlg::rejectsLocation()
{
    QFETCH(QString, picked);
    QFETCH(QString, setup);
    QFETCH(QString, title);
    QFETCH(QString, message);
    m_home->setSuiteValue("paths/installRoot", m_home->makeDir("install/zentri"));
    m_home->setSuiteValue("cloudCache/paths", QStringList{QString(), m_home->makeDir("cache")});
    if (picked.startsWith("length:")) // a target of exactly that many characters: <home>/<x...>/backup
        picked = QString(picked.mid(7).toInt() - m_home->path().size() - 8, 'x');
    QString folder = m_home->filePath(picked);
    if (setup.startsWith("link:"))
        QVERIFY(QFile::link(m_home->makeDir(setup.mid(5)), folder));
    else
        folder = m_home->makeDir(picked);
    const QString target = folder + "/backup";
    if (setup.startsWith("current:"))
        m_home->setSuiteValue("backup/path", m_home->makeDir(setup.mid(8)));
    const QString current = m_home->suiteValue("backup/path").toString();
    if (setup == "testfile")
        m_home->writeFile(picked + "/backup/.zentri_backup_rw_test_1234.tmp", "mine");
    if (setup == "file")
        m_home->writeFile(picked + "/backup");
    if (setup == "readonly") {
        m_home->makeDir(picked + "/backup");
        QFile::setPermissions(target, QFile::ReadOwner | QFile::ExeOwner);
        // Root writes through permission bits; an immutable folder stops it
        // where the file system offers that, else a folder that cannot even
        // be made stands in.
        if (geteuid() == 0
            && (QProcess::execute("chattr", {"+i", target}) != 0
                || QFile(target + "/probe").open(QIODevice::WriteOnly))) {
            QProcess::execute("chattr", {"-i", target});
            QDir(target).removeRecursively();
            m_home->writeFile(picked + "/backup");
            message = "Failed to create the selected directory. Please confirm you have sufficient permissions.";
        }
    }

    const bool existed = QFileInfo::exists(target);
    const bool passes = title.isEmpty();
    // The dialog's self-test file is named after its pinned clock (the "testfile" row).
    QVector<Automation::Step> steps{
        Automation::customStep("pin the clock", "KLocalBackupSettingsDlg", [](QWidget *dialog) {
            static_cast<KLocalBackupSettingsDlg *>(dialog)->setClock([] { return qint64(1234); });
        })};
    steps << parse(QString("click localBackupSetting_changeLocationBtn\nchoose-dir %1").arg(folder))
          << captureBox(passes ? "KDContentDlg" : "KStyleMessageBox")
          // A rejection leads back to the folder picker, which is cancelled.
          << parse(passes ? "click text:Cancel\n" + escape : "click text:confirm\n" + escape + escape);
    const int code = runDialog(steps);
    if (setup == "readonly")
        QProcess::execute("chattr", {"-i", target});
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QCOMPARE(m_failure, QString());
    QCOMPARE(code, 0);
    QCOMPARE(m_boxTitle, passes ? QString("Confirm Change Backup Location") : title);
    QVERIFY2(m_boxTexts.join('|').contains(message), qPrintable(m_boxTexts.join('|')));
    // Nothing moved, and neither the checks nor the self-test left anything
    // that was not there before.
    QCOMPARE(QFileInfo::exists(target), existed);
    QCOMPARE(m_home->suiteValue("backup/path").toString(), current);
    QVERIFY(!m_home->hasCommonValue("Backup/BackupMigrationSource"));
    QCOMPARE(announcements(), QStringList());
    QCOMPARE(QDir(target).entryList(QDir::Files | QDir::Hidden),
             setup == "testfile" ? QStringList{".zentri_backup_rw_test_1234.tmp"} : QStringList());
}

void tst_KLocalBackupSettingsDlg::rejectsRelativePath()
{
    auto *dialog = new KLocalBackupSettingsDlg(m_mainWindow.get());
    Automation automation({captureBox("KStyleMessageBox"), parse("click text:confirm").first()});
    automation.start();
    QVERIFY(!dialog->validateBackupLocation("relative/backup"));
    QVERIFY(automation.waitForDone());
    QCOMPARE(m_boxTitle, QString("Path unavailable"));
    QVERIFY(m_boxTexts.join('|').contains(
        "The selected path is unavailable. Please confirm it exists and has write permission."));
    dialog->close();
}

void tst_KLocalBackupSettingsDlg::changesLocation_data()
{
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("confirmed") << true;
    QTest::newRow("cancelled") << false;
}

void tst_KLocalBackupSettingsDlg::changesLocation()
{
    QFETCH(bool, confirmed);
    const QString old = m_home->suiteValue("backup/path").toString();
    const QString target = m_home->makeDir("elsewhere") + "/backup";
    QString shownPath;
    // The label shows the path on one line, cut at the right, and the whole of it as tool tip.
    const Automation::Step read
        = probe("localBackupSetting_backupPathLabel", [&shownPath](QWidget *label) { shownPath = label->toolTip(); });
    QVector<Automation::Step> steps
        = parse(QString("click localBackupSetting_changeLocationBtn\nchoose-dir %1\n").arg(QFileInfo(target).path()));
    steps << captureBox("KDContentDlg")
          << parse(QString("click localBackupSetting_diskStorageConfirmDlgBtn%1").arg(confirmed ? 0 : 2)) << read
          << parse(escape);

    QCOMPARE(runDialog(steps), confirmed ? KLocalBackupSettingsDlg::LocationChangedResult : 0);
    QCOMPARE(m_failure, QString());
    QVERIFY(m_boxTexts.join('|').contains(
        QString("Are you sure you want to change the file backup location to %1?").arg(target)));
    const QString now = confirmed ? target : old;
    QCOMPARE(shownPath, now);
    QCOMPARE(m_home->suiteValue("backup/path").toString(), now);
    const QString alert = "configguider_backupmigratealert action=%1 src=backup";
    if (confirmed) {
        QCOMPARE(m_home->commonValue("Backup/BackupMigrationSource").toString(), QString("arkivo"));
        QCOMPARE(m_home->commonValue("Backup/AutoRecoverFilePathHis").toStringList(), QStringList{old});
        QCOMPARE(m_home->commonValue("Backup/MoveBackupFlag").toString(), QString("-1"));
        QCOMPARE(announcements(), QStringList{"BackupPathChanged path=" + target});
        QCOMPARE(usage(), (QStringList{alert.arg("show"), alert.arg("sure"),
                                       QString("vas_newbackupcenter_settingchanged name=backup_path new_value=%1 "
                                               "old_value=%2")
                                           .arg(target, old.left(1))}));
        QCOMPARE(QDir(target).entryList(QDir::Files | QDir::Hidden), QStringList());
    } else {
        QVERIFY(!m_home->hasCommonValue("Backup/BackupMigrationSource"));
        QCOMPARE(announcements(), QStringList());
        QCOMPARE(usage(), (QStringList{alert.arg("show"), alert.arg("cancel")}));
        QVERIFY(!QFileInfo::exists(target));
    }
}

QTEST_MAIN(tst_KLocalBackupSettingsDlg)
#include "tst_klocalbackupsettingsdlg.moc"
