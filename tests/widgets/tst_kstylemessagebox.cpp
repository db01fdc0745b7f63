// The suite-styled message box: its codes, sizes, title bar and skin.
#include "testsuitehome.h"

#include "plugin/arkivoapplication.h"
#include "widgets/kbackupcontentbutton.h"
#include "widgets/kstyleiconbutton.h"
#include "widgets/kstylelabel.h"
#include "widgets/kstylemessagebox.h"

#include <automation.h>
#include <kdrawhelper.h>
#include <kliteui.h>
#include <skinswitch.h>

#include <QtTest>

namespace {
const QString boxName = QStringLiteral("testBox");

// One action button: result code and its accept, default and escape flags.
struct ButtonSpec
{
    int code;
    bool accept;
    bool isDefault;
    bool isEscape;
};
}
Q_DECLARE_METATYPE(ButtonSpec)

class tst_KStyleMessageBox : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { m_home.reset(new TestSuiteHome); }
    void cleanup();
    void keysAndButtonsEndWithTheirCodes_data();
    void keysAndButtonsEndWithTheirCodes();
    void sizesFollowTheScale_data();
    void sizesFollowTheScale();
    void emptyTitleStillGetsTitleBarAndCloseButton();
    void skinChangeRecoloursTheLabels();

private:
    QScopedPointer<TestSuiteHome> m_home;
};

void tst_KStyleMessageBox::cleanup()
{
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    m_home.reset();
}

void tst_KStyleMessageBox::keysAndButtonsEndWithTheirCodes_data()
{
    QTest::addColumn<QList<ButtonSpec>>("buttons");
    QTest::addColumn<int>("closeBefore"); // setCloseResult before the buttons; 0: not called
    QTest::addColumn<int>("closeAfter");  // and after them
    QTest::addColumn<int>("escapeAfter"); // setEscapeResult after them
    QTest::addColumn<QString>("action");  // "enter", "esc", "close" or a button number
    QTest::addColumn<int>("expected");
    const QList<ButtonSpec> acceptAndPlain = {{101, true, true, false}, {102, false, false, false}};
    QTest::newRow("enter clicks the default") << acceptAndPlain << 0 << 0 << 0 << "enter" << 101;
    QTest::newRow("close answers 0") << acceptAndPlain << 0 << 0 << 0 << "close" << 0;
    QTest::newRow("esc answers 0") << acceptAndPlain << 0 << 0 << 0 << "esc" << 0;
    QTest::newRow("close result set") << acceptAndPlain << 0 << 102 << 103 << "close" << 102;
    QTest::newRow("escape result set") << acceptAndPlain << 0 << 102 << 103 << "esc" << 103;
    QTest::newRow("second button") << acceptAndPlain << 0 << 0 << 0 << "1" << 102;

    const QList<ButtonSpec> withEscape = {{101, true, true, false}, {102, false, false, true}};
    QTest::newRow("esc clicks the escape button") << withEscape << 0 << 0 << 0 << "esc" << 102;
    QTest::newRow("close takes the escape code") << withEscape << 0 << 0 << 0 << "close" << 102;
    QTest::newRow("earlier close result wins") << withEscape << 104 << 0 << 0 << "close" << 104;

    const QList<ButtonSpec> noDefault = {{201, false, false, false}, {202, true, false, false}};
    QTest::newRow("enter without default clicks the first") << noDefault << 0 << 0 << 0 << "enter" << 201;

    QTest::newRow("enter without buttons does nothing") << QList<ButtonSpec>() << 0 << 0 << 7 << "enter,esc" << 7;
}

void tst_KStyleMessageBox::keysAndButtonsEndWithTheirCodes()
{
    QFETCH(QList<ButtonSpec>, buttons);
    QFETCH(int, closeBefore);
    QFETCH(int, closeAfter);
    QFETCH(int, escapeAfter);
    QFETCH(QString, action);
    QFETCH(int, expected);
    auto *box = new KStyleMessageBox(QStringLiteral("Title"), QStringLiteral("Message"), nullptr);
    box->setAttribute(Qt::WA_DeleteOnClose);
    KLiteUi::setSpyName(box, boxName);
    box->setBoxSize(QSize(440, 188));
    if (closeBefore)
        box->setCloseResult(closeBefore);
    for (const ButtonSpec &spec : buttons)
        box->addButton(QStringLiteral("Button"), QSize(), spec.code, spec.accept, spec.isDefault, spec.isEscape);
    if (closeAfter)
        box->setCloseResult(closeAfter);
    if (escapeAfter)
        box->setEscapeResult(escapeAfter);

    Automation automation({Automation::customStep(action, QString(), [action](QWidget *modal) {
        for (const QString &step : action.split(QLatin1Char(','))) {
            if (step == QLatin1String("enter")) {
                QTest::keyClick(modal, Qt::Key_Enter);
            } else if (step == QLatin1String("esc")) {
                QTest::keyClick(modal, Qt::Key_Escape);
            } else {
                const QString name = step == QLatin1String("close") ? boxName + QStringLiteral("CloseBtn")
                                                                    : boxName + QStringLiteral("Btn") + step;
                auto *button = KLiteUi::findBySpyName<QAbstractButton *>(modal, name);
                QVERIFY2(button, qPrintable(name));
                QTest::mouseClick(button, Qt::LeftButton);
            }
        }
    })});
    automation.setWaitForWindowsToClose(true);
    automation.start();
    QCOMPARE(box->exec(), expected);
    QVERIFY2(automation.waitForDone(), qPrintable(automation.failure()));
}

// The box size fixes the message's width; a button's size is used as given,
// an empty or invalid one is the scaled default.
void tst_KStyleMessageBox::sizesFollowTheScale_data()
{
    QTest::addColumn<double>("scale");
    QTest::addColumn<int>("boxWidth");
    QTest::addColumn<int>("labelWidth");
    QTest::addColumn<QString>("lineHeight");
    QTest::addColumn<QSize>("given");
    QTest::addColumn<QSize>("button"); // minimum width, and fixed height
    // The shadow takes half its blur (40 scaled) on each side.
    QTest::newRow("100%") << 1.0 << 440 + 40 << 440 - 48 << "22" << QSize(0, 0) << QSize(84, 30);
    QTest::newRow("150%") << 1.5 << 440 + 60 << 440 - 72 << "33" << QSize(-1, 5) << QSize(126, 45);
    QTest::newRow("125%, size given") << 1.25 << 440 + 50 << 440 - 60 << "27.5" << QSize(88, 32) << QSize(88, 32);
}

void tst_KStyleMessageBox::sizesFollowTheScale()
{
    QFETCH(double, scale);
    QFETCH(QString, lineHeight);
    QFETCH(QSize, given);
    QFETCH(QSize, button);
    m_home->setSuiteValue(QStringLiteral("theme/scale"), scale);
    KStyleMessageBox box(QStringLiteral("Title"), QStringLiteral("A message with %1 in it"), nullptr);
    box.setBoxSize(QSize(440, 188));
    QTEST(box.minimumWidth(), "boxWidth");
    QTEST(box.maximumWidth(), "boxWidth");
    const QList<KStyleLabel *> labels = box.findChildren<KStyleLabel *>();
    QCOMPARE(labels.size(), 2);
    QTEST(labels.at(1)->width(), "labelWidth");
    QCOMPARE(labels.at(1)->text(), "<p style=\"line-height: " + lineHeight + "px;\">A message with %1 in it</p>");
    box.addButton(QStringLiteral("OK"), given, 1, true, true, false);
    auto *made = box.findChild<KBackupContentButton *>();
    QVERIFY(made);
    QCOMPARE(QSize(made->minimumWidth(), made->minimumHeight()), button);
    QCOMPARE(made->maximumHeight(), button.height());
}

void tst_KStyleMessageBox::emptyTitleStillGetsTitleBarAndCloseButton()
{
    KStyleMessageBox box(QString(), QStringLiteral("Message"), nullptr);
    KLiteUi::setSpyName(&box, boxName);
    box.setBoxSize(QSize(440, 188));
    QCOMPARE(box.findChildren<KStyleLabel *>().size(), 1);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QCOMPARE(box.findChildren<KStyleLabel *>().size(), 2);
    auto *close = KLiteUi::findBySpyName<KStyleIconButton *>(&box, boxName + QStringLiteral("CloseBtn"));
    QVERIFY(close);
    QVERIFY(close->isVisible());
    QCOMPARE(close->toolTip(), QStringLiteral("Close"));
    // Dragged by its title bar, which holds the close button.
    const QPoint start = box.pos();
    const QPoint grip = close->parentWidget()->mapTo(&box, QPoint(5, 5));
    QTest::mousePress(&box, Qt::LeftButton, Qt::NoModifier, grip);
    QMouseEvent move(QEvent::MouseMove, grip + QPoint(30, 20), box.mapToGlobal(grip + QPoint(30, 20)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&box, &move);
    QTRY_COMPARE(box.pos(), start + QPoint(30, 20));
    QTest::mouseRelease(&box, Qt::LeftButton, Qt::NoModifier, grip);
}

void tst_KStyleMessageBox::skinChangeRecoloursTheLabels()
{
    KStyleMessageBox box(QStringLiteral("Title"), QStringLiteral("Message"), nullptr);
    box.setBoxSize(QSize(440, 188));
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    const QList<KStyleLabel *> labels = box.findChildren<KStyleLabel *>();
    QCOMPARE(labels.size(), 2);
    const QColor lightTitle = labels.at(0)->palette().color(QPalette::WindowText);

    SkinSwitch::apply(nullptr, QStringLiteral("dark"));
    emit arkivoApplication::instance().sigSkinChanged();
    const QColor darkTitle = labels.at(0)->palette().color(QPalette::WindowText);
    QVERIFY(darkTitle != lightTitle);
    QCOMPARE(darkTitle, KDrawHelper::getColorFromTheme(QStringLiteral("CommonThemePalette"),
                                                       QStringLiteral("kd-color-text-primary"), QColor()));
    QCOMPARE(labels.at(1)->palette().color(QPalette::WindowText),
             KDrawHelper::getColorFromTheme(QStringLiteral("CommonThemePalette"),
                                            QStringLiteral("kd-color-text-regular"), QColor()));
}

QTEST_MAIN(tst_KStyleMessageBox)
#include "tst_kstylemessagebox.moc"
