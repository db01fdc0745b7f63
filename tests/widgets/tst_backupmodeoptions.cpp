#include "testsuitehome.h"

#include "widgets/klocalbackupsettingoption.h"
#include "widgets/klocalbackupsettingtimeoption.h"
#include "widgets/ktimedbackupeditgroup.h"

#include <kdesignstyle.h>
#include <kdlabel.h>
#include <kdradiobutton.h>
#include <kdrawhelper.h>
#include <kdtextfield.h>
#include <kliteui.h>
#include <skinswitch.h>

#include <QButtonGroup>
#include <QVBoxLayout>
#include <QtTest>

class tst_BackupModeOptions : public QObject
{
    Q_OBJECT

    QScopedPointer<TestSuiteHome> m_home;

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { m_home.reset(new TestSuiteHome); }
    void cleanup()
    {
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
        m_home.reset();
    }

    // The radio button is made on first need, once: its toggles reach the
    // option's signal once each.
    void toggledIsForwardedOnce()
    {
        KLocalBackupSettingOption option;
        QSignalSpy toggled(&option, &KLocalBackupSettingOption::toggled);
        option.setChecked(true);
        KDRadioButton *radio = option.radioButton();
        option.setText("Smart backup");
        QCOMPARE(option.findChildren<KDRadioButton *>(), QList<KDRadioButton *>{radio});
        radio->setAutoExclusive(false);
        radio->click();
        QCOMPARE(toggled.count(), 2);
        QCOMPARE(toggled.last().first().toBool(), false);
    }

    void descriptionIsIndentedAndSecondary_data()
    {
        QTest::addColumn<QString>("skin");
        QTest::addColumn<double>("scale");
        QTest::addColumn<int>("indent");
        QTest::newRow("default skin") << "default" << 1.0 << 22;
        QTest::newRow("dark skin") << "dark" << 1.0 << 22;
        QTest::newRow("150%") << "default" << 1.5 << 33;
    }
    void descriptionIsIndentedAndSecondary()
    {
        QFETCH(QString, skin);
        QFETCH(double, scale);
        QFETCH(int, indent);
        SkinSwitch::apply(nullptr, skin);
        m_home->setSuiteValue("theme/scale", scale);
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *option = new KLocalBackupSettingOption(&window);
        layout->addWidget(option);
        option->setText("Smart backup");
        option->setDescription("Adjust backup frequency based on document size and save time.");
        auto *extra = new QWidget;
        option->addExtraWidget(extra);
        option->addExtraWidget(extra);
        KDLabel *description = option->descriptionLabel();
        window.resize(KDesignStyle::dpiScaledSize(420, 200));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(description->palette().color(QPalette::WindowText),
                 KDrawHelper::getColorFromTheme("CommonThemePalette", "kd-color-text-secondary", QColor()));
        // Description and extra widget sit under the radio button's text.
        const QPoint text = description->mapTo(option, QPoint(0, 0));
        QCOMPARE(text.x(), indent);
        QCOMPARE(extra->mapTo(option, QPoint(0, 0)).x(), indent);
        QVERIFY(extra->mapTo(option, QPoint(0, 0)).y() > text.y());
        QVERIFY(text.y() >= option->radioButton()->height());
    }

    // The dialog's automation names of the editors follow the option's (the
    // dialog's test types into them by those names); an empty name leaves them.
    void editorNamesFollowTheOption()
    {
        KLocalBackupSettingTimeOption option;
        KLiteUi::setSpyName(&option, "timedOpt");
        KLiteUi::setSpyName(&option, QString());
        QCOMPARE(KLiteUi::spyName(option.editGroup()->hoursEditor()), QString("timedOptEditGroupHoursEditor"));
    }

    void typedIntervals_data()
    {
        // Typed after clearing; "-" leaves the editor as set, "=" sets the text directly.
        QTest::addColumn<QString>("hoursKeys");
        QTest::addColumn<QString>("minutesKeys");
        QTest::addColumn<QString>("texts");
        QTest::addColumn<int>("hoursSignals");
        QTest::addColumn<int>("minutesSignals");
        QTest::addColumn<int>("interval");
        const auto row = [](const char *tag, const char *hoursKeys, const char *minutesKeys, const char *texts,
                            int hoursSignals, int minutesSignals, int interval) {
            QTest::newRow(tag) << QString(hoursKeys) << QString(minutesKeys) << QString(texts) << hoursSignals
                               << minutesSignals << interval;
        };
        row("2 h 30 min", "2", "30", "2 30", 1, 1, 150);
        row("minutes emptied", "2", "", "2 ", 1, 0, 120);
        row("500 hours keeps 5", "500", "0", "5 0", 1, 1, 300);
        row("12 hours keeps 1", "12", "-", "1 59", 1, 0, 119);
        row("500 minutes keeps 50", "-", "500", "11 50", 0, 1, 710);
        row("out of range set directly", "=50", "-", "50 59", 0, 0, 3059);
        row("letters refused", "ab", "x7", " 7", 0, 1, 7);
    }
    void typedIntervals()
    {
        QFETCH(QString, hoursKeys);
        QFETCH(QString, minutesKeys);
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
        KDTextField *hours = option->editGroup()->hoursEditor();
        KDTextField *minutes = option->editGroup()->minutesEditor();
        for (const auto &[editor, keys] : {std::make_pair(hours, hoursKeys), std::make_pair(minutes, minutesKeys)}) {
            if (keys == "-")
                continue;
            editor->setFocus();
            QTRY_COMPARE(QApplication::focusWidget(), editor);
            editor->clear();
            if (keys.startsWith('='))
                editor->setText(keys.mid(1));
            else
                QTest::keyClicks(editor, keys);
            elsewhere->setFocus();
            QTRY_COMPARE(QApplication::focusWidget(), elsewhere);
        }
        QTEST(hours->text() + ' ' + minutes->text(), "texts");
        QTEST(hoursFinished.count(), "hoursSignals");
        QTEST(minutesFinished.count(), "minutesSignals");
        QTEST(option->hours() * 60 + option->minutes(), "interval");
    }

    void toggledEnablesTheEditors()
    {
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *timed = new KLocalBackupSettingTimeOption(&window);
        auto *smart = new KLocalBackupSettingOption(&window);
        layout->addWidget(timed);
        layout->addWidget(smart);
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
        QVERIFY(!hours->isEnabled() && !minutes->isEnabled());
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        timed->onToggled(true);
        QVERIFY(hours->isEnabled() && minutes->isEnabled());
        QTRY_COMPARE(QApplication::focusWidget(), hours);
        // Once shown, the radio button does: choosing another option disables them.
        smart->radioButton()->click();
        QVERIFY(!timed->isChecked());
        QVERIFY(!hours->isEnabled() && !minutes->isEnabled());
        timed->radioButton()->click();
        QVERIFY(hours->isEnabled());
    }
};

QTEST_MAIN(tst_BackupModeOptions)
#include "tst_backupmodeoptions.moc"
