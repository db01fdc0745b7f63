#include "testsuitehome.h"

#include "widgets/klocalbackupsettingoption.h"
#include "widgets/klocalbackupsettingtimeoption.h"
#include "widgets/ktimedbackupeditgroup.h"

#include <kdesignstyle.h>
#include <kdhboxlayout.h>
#include <kdlabel.h>
#include <kdradiobutton.h>
#include <kdrawhelper.h>
#include <kdtextfield.h>
#include <kliteui.h>
#include <skinswitch.h>

#include <QButtonGroup>
#include <QtTest>

namespace {
QColor secondaryText()
{
    return KDrawHelper::getColorFromTheme(QStringLiteral("CommonThemePalette"),
                                          QStringLiteral("kd-color-text-secondary"), QColor());
}
}

class tst_BackupModeOptions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void emptyOptionShowsNothing();
    void checkingCreatesTheRadioButton();
    void descriptionIsIndentedAndSecondary_data();
    void descriptionIsIndentedAndSecondary();
    void editGroupRowAndNames();
    void typedIntervals_data();
    void typedIntervals();
    void toggledEnablesTheEditors();

private:
    QScopedPointer<TestSuiteHome> m_home;
};

void tst_BackupModeOptions::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_BackupModeOptions::init()
{
    m_home.reset(new TestSuiteHome);
}

void tst_BackupModeOptions::cleanup()
{
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    m_home.reset();
}

void tst_BackupModeOptions::emptyOptionShowsNothing()
{
    KLocalBackupSettingOption option;
    option.setText(QString());
    option.setDescription(QString());
    option.addExtraWidget(nullptr);
    QVERIFY(option.findChildren<KDRadioButton *>().isEmpty());
    QVERIFY(option.findChildren<KDLabel *>().isEmpty());
    QVERIFY(!option.isChecked());
}

void tst_BackupModeOptions::checkingCreatesTheRadioButton()
{
    KLocalBackupSettingOption option;
    QSignalSpy toggled(&option, &KLocalBackupSettingOption::toggled);
    option.setChecked(true);
    KDRadioButton *radio = option.radioButton();
    QCOMPARE(option.findChildren<KDRadioButton *>(), QList<KDRadioButton *>{radio});
    QVERIFY(radio->text().isEmpty());
    QVERIFY(option.isChecked());
    QCOMPARE(toggled.count(), 1);

    // The title lands on the same button; the signal is forwarded once.
    option.setText(QStringLiteral("Smart backup"));
    QCOMPARE(radio->text(), QStringLiteral("Smart backup"));
    option.radioButton();
    radio->setAutoExclusive(false);
    radio->click();
    QCOMPARE(toggled.count(), 2);
    QCOMPARE(toggled.last().first().toBool(), false);
}

void tst_BackupModeOptions::descriptionIsIndentedAndSecondary_data()
{
    QTest::addColumn<QString>("skin");
    QTest::addColumn<double>("scale");
    QTest::addColumn<int>("indent");

    QTest::newRow("default skin") << "default" << 1.0 << 22;
    QTest::newRow("dark skin") << "dark" << 1.0 << 22;
    QTest::newRow("150%") << "default" << 1.5 << 33;
}

void tst_BackupModeOptions::descriptionIsIndentedAndSecondary()
{
    QFETCH(QString, skin);
    QFETCH(double, scale);
    QFETCH(int, indent);

    SkinSwitch::apply(nullptr, skin);
    m_home->setSuiteValue(QStringLiteral("theme/scale"), scale);
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *option = new KLocalBackupSettingOption(&window);
    layout->addWidget(option);
    option->setText(QStringLiteral("Smart backup"));
    option->setDescription(QStringLiteral("Adjust backup frequency based on document size and save time."));
    auto *extra = new QWidget;
    option->addExtraWidget(extra);
    option->addExtraWidget(extra);
    KDLabel *description = option->descriptionLabel();
    QVERIFY(description);
    QVERIFY(description->wordWrap());
    QCOMPARE(description->property("isSetMuitWidth"), QVariant(true));

    window.resize(KDesignStyle::dpiScaledSize(420, 200));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(description->palette().color(QPalette::WindowText), secondaryText());
    // Description and extra widget sit under the radio button's text.
    QCOMPARE(description->mapTo(option, QPoint(0, 0)).x(), indent);
    QCOMPARE(extra->mapTo(option, QPoint(0, 0)).x(), indent);
    QVERIFY(extra->mapTo(option, QPoint(0, 0)).y() > description->mapTo(option, QPoint(0, 0)).y());
    QVERIFY(description->mapTo(option, QPoint(0, 0)).y() >= option->radioButton()->height());
}

void tst_BackupModeOptions::editGroupRowAndNames()
{
    KTimedBackupEditGroup orphan;
    orphan.build();
    QCOMPARE(KLiteUi::spyName(&orphan), QStringLiteral("editGroup"));
    QCOMPARE(KLiteUi::spyName(orphan.hoursEditor()), QStringLiteral("editGroupHoursEditor"));

    KLocalBackupSettingTimeOption option;
    KTimedBackupEditGroup *group = option.editGroup();
    QCOMPARE(KLiteUi::spyName(group), QStringLiteral("EditGroup"));
    QCOMPARE(KLiteUi::spyName(group->hoursEditor()), QStringLiteral("EditGroupHoursEditor"));
    QCOMPARE(KLiteUi::spyName(group->minutesEditor()), QStringLiteral("EditGroupMinutesEditor"));

    auto *row = group->findChild<KDHBoxLayout *>();
    QVERIFY(row);
    QCOMPARE(row->count(), 5);
    QStringList order;
    for (int i = 0; i < row->count(); ++i) {
        QWidget *widget = row->itemAt(i)->widget();
        auto *label = qobject_cast<KDLabel *>(widget);
        order << (label ? label->text() : KLiteUi::spyName(widget));
    }
    QCOMPARE(order, QStringList({"Time interval of", "EditGroupHoursEditor", "hours", "EditGroupMinutesEditor",
                                 "minutes (less than 12 hours)"}));
    QCOMPARE(group->hoursEditor()->size(), KDesignStyle::dpiScaledSize(80, 28));
    QCOMPARE(group->hoursEditor()->fieldSize(), KDTextField::NormalSize);

    KLiteUi::setSpyName(&option, QStringLiteral("localBackupSetting_timedBackupOpt"));
    QCOMPARE(KLiteUi::spyName(group), QStringLiteral("localBackupSetting_timedBackupOptEditGroup"));
    QCOMPARE(KLiteUi::spyName(group->hoursEditor()),
             QStringLiteral("localBackupSetting_timedBackupOptEditGroupHoursEditor"));
    QCOMPARE(KLiteUi::spyName(group->minutesEditor()),
             QStringLiteral("localBackupSetting_timedBackupOptEditGroupMinutesEditor"));
    // An empty name leaves the children as they are.
    KLiteUi::setSpyName(&option, QString());
    QCOMPARE(KLiteUi::spyName(group), QStringLiteral("localBackupSetting_timedBackupOptEditGroup"));
}

void tst_BackupModeOptions::typedIntervals_data()
{
    // Typed after clearing; "-" leaves the editor as set, "=" sets the text directly.
    QTest::addColumn<QString>("hoursKeys");
    QTest::addColumn<QString>("minutesKeys");
    QTest::addColumn<QString>("hoursText");
    QTest::addColumn<QString>("minutesText");
    QTest::addColumn<int>("hoursSignals");
    QTest::addColumn<int>("minutesSignals");
    QTest::addColumn<int>("interval");

    QTest::newRow("2 h 30 min") << "2" << "30" << "2" << "30" << 1 << 1 << 150;
    QTest::newRow("minutes emptied") << "2" << "" << "2" << "" << 1 << 0 << 120;
    QTest::newRow("500 hours keeps 5") << "500" << "0" << "5" << "0" << 1 << 1 << 300;
    QTest::newRow("12 hours keeps 1") << "12" << "-" << "1" << "59" << 1 << 0 << 119;
    QTest::newRow("500 minutes keeps 50") << "-" << "500" << "11" << "50" << 0 << 1 << 710;
    QTest::newRow("out of range set directly") << "=50" << "-" << "50" << "59" << 0 << 0 << 3059;
    QTest::newRow("letters refused") << "ab" << "x7" << "" << "7" << 0 << 1 << 7;
}

void tst_BackupModeOptions::typedIntervals()
{
    QFETCH(QString, hoursKeys);
    QFETCH(QString, minutesKeys);
    QFETCH(QString, hoursText);
    QFETCH(QString, minutesText);
    QFETCH(int, hoursSignals);
    QFETCH(int, minutesSignals);
    QFETCH(int, interval);

    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *option = new KLocalBackupSettingTimeOption(&window);
    auto *elsewhere = new QLineEdit(&window);
    layout->addWidget(option);
    layout->addWidget(elsewhere);
    option->setChecked(true);
    option->setHours(11);
    option->setMinutes(59);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    elsewhere->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), elsewhere);
    QSignalSpy hoursFinished(option, &KLocalBackupSettingTimeOption::hoursEditingFinished);
    QSignalSpy minutesFinished(option, &KLocalBackupSettingTimeOption::minutesEditingFinished);

    const auto type = [&](KDTextField *editor, const QString &keys) {
        if (keys == QLatin1String("-"))
            return;
        editor->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), editor);
        editor->clear();
        if (keys.startsWith(QLatin1Char('=')))
            editor->setText(keys.mid(1));
        else
            QTest::keyClicks(editor, keys);
        elsewhere->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), elsewhere);
    };
    type(option->editGroup()->hoursEditor(), hoursKeys);
    type(option->editGroup()->minutesEditor(), minutesKeys);

    QCOMPARE(option->editGroup()->hoursEditor()->text(), hoursText);
    QCOMPARE(option->editGroup()->minutesEditor()->text(), minutesText);
    QCOMPARE(hoursFinished.count(), hoursSignals);
    QCOMPARE(minutesFinished.count(), minutesSignals);
    QCOMPARE(option->hours() * 60 + option->minutes(), interval);
}

void tst_BackupModeOptions::toggledEnablesTheEditors()
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *timed = new KLocalBackupSettingTimeOption(&window);
    auto *smart = new KLocalBackupSettingOption(&window);
    layout->addWidget(timed);
    layout->addWidget(smart);
    timed->setText(QStringLiteral("Timed backup"));
    smart->setText(QStringLiteral("Smart backup"));
    smart->setChecked(true);
    // The dialog groups the options' radio buttons; they have different parents.
    QButtonGroup group;
    group.addButton(smart->radioButton(), 0);
    group.addButton(timed->radioButton(), 1);
    KDTextField *hours = timed->editGroup()->hoursEditor();
    KDTextField *minutes = timed->editGroup()->minutesEditor();

    // Before the first show the radio button does not drive the editors yet.
    timed->onToggled(false);
    timed->setChecked(true);
    QVERIFY(!hours->isEnabled());
    QVERIFY(!minutes->isEnabled());

    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    timed->onToggled(true);
    QVERIFY(hours->isEnabled());
    QVERIFY(minutes->isEnabled());
    QTRY_COMPARE(QApplication::focusWidget(), hours);

    // Once shown, the radio button does: choosing another option disables them.
    smart->radioButton()->click();
    QVERIFY(!timed->isChecked());
    QVERIFY(!hours->isEnabled());
    QVERIFY(!minutes->isEnabled());
    timed->radioButton()->click();
    QVERIFY(hours->isEnabled());
}

QTEST_MAIN(tst_BackupModeOptions)
#include "tst_backupmodeoptions.moc"
