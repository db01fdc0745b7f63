#include "testsuitehome.h"

#include "widgets/kmovehelper.h"
#include "widgets/kstylebutton.h"
#include "widgets/kstyleiconbutton.h"
#include "widgets/kstylelabel.h"
#include "widgets/rendersvgtopixmap.h"

#include <kdrawhelper.h>
#include <skinswitch.h>

#include <QStyleOption>
#include <QtTest>

namespace {
// Pixmaps told apart by their size.
QPixmap pixmapOfSize(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::red);
    return pixmap;
}

// Counts the mouse events that reach the widget's own handlers.
class MouseCounter : public QWidget
{
public:
    int handled = 0;

protected:
    void mousePressEvent(QMouseEvent *) override { ++handled; }
    void mouseReleaseEvent(QMouseEvent *) override { ++handled; }
    void mouseMoveEvent(QMouseEvent *) override { ++handled; }
};

void sendMouse(QWidget *widget, QEvent::Type type, Qt::MouseButton button, const QPoint &local)
{
    QMouseEvent event(type, local, widget->mapToGlobal(local), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}
}

class tst_StyledWidgets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void iconFollowsState_data();
    void iconFollowsState();
    void contentIsCentredSideBySide_data();
    void contentIsCentredSideBySide();
    void emptyButtonPaintsOnlyItsBackground();
    void labelReadsThemeFontOnce();
    void styledWidgetsAnswerTheInterface();
    void dragRules_data();
    void dragRules();
    void svgRendersAtTheGivenSize();

private:
    QScopedPointer<TestSuiteHome> m_home;
};

void tst_StyledWidgets::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_StyledWidgets::init()
{
    m_home.reset(new TestSuiteHome);
}

void tst_StyledWidgets::cleanup()
{
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    m_home.reset();
}

void tst_StyledWidgets::iconFollowsState_data()
{
    QTest::addColumn<QList<int>>("pixmaps"); // sizes set: 10 normal, 11 hover, 12 pressed, 13 disabled, 14 checked, 15 focus
    QTest::addColumn<bool>("checked");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("expectedSize"); // 9: the button's own icon

    const int enabled = QStyle::State_Enabled;
    QTest::newRow("normal") << QList<int>{10, 11} << false << enabled << 10;
    QTest::newRow("hover") << QList<int>{10, 11} << false << (enabled | QStyle::State_MouseOver) << 11;
    QTest::newRow("hover without hover pixmap") << QList<int>{10} << false << (enabled | QStyle::State_MouseOver) << 10;
    QTest::newRow("pressed beats hover") << QList<int>{10, 11, 12} << false
                                         << (enabled | QStyle::State_Sunken | QStyle::State_MouseOver) << 12;
    QTest::newRow("checked beats pressed") << QList<int>{10, 12, 14} << true << (enabled | QStyle::State_Sunken) << 14;
    QTest::newRow("focus") << QList<int>{10, 15} << false << (enabled | QStyle::State_HasFocus) << 15;
    QTest::newRow("disabled") << QList<int>{10, 11, 13} << false << int(QStyle::State_MouseOver) << 13;
    QTest::newRow("disabled without pixmap") << QList<int>{10} << false << int(QStyle::State_None) << 10;
    QTest::newRow("no pixmaps at all") << QList<int>{} << false << (enabled | QStyle::State_MouseOver) << 9;
}

void tst_StyledWidgets::iconFollowsState()
{
    QFETCH(QList<int>, pixmaps);
    QFETCH(bool, checked);
    QFETCH(int, state);
    QFETCH(int, expectedSize);

    KStyleIconButton button;
    button.setIcon(QIcon(pixmapOfSize(9)));
    button.setIconSize(QSize(9, 9));
    button.setCheckable(checked);
    button.setChecked(checked);
    const QHash<int, void (KStyleIconButton::*)(const QPixmap &)> setters = {
        {10, &KStyleIconButton::setNormalPixmap},   {11, &KStyleIconButton::setHoverPixmap},
        {12, &KStyleIconButton::setPressedPixmap},  {13, &KStyleIconButton::setDisabledPixmap},
        {14, &KStyleIconButton::setCheckedPixmap},  {15, &KStyleIconButton::setFocusPixmap},
    };
    for (int size : pixmaps)
        (button.*setters.value(size))(pixmapOfSize(size));

    QStyleOptionButton option;
    option.state = QStyle::State(state);
    QIcon icon;
    QSize size;
    button.iconForOption(&option, &icon, &size);
    QCOMPARE(size, QSize(expectedSize, expectedSize));
    QVERIFY(!icon.isNull());
}

void tst_StyledWidgets::contentIsCentredSideBySide_data()
{
    QTest::addColumn<QSize>("iconSize");
    QTest::addColumn<QSize>("textSize");
    QTest::addColumn<int>("spacing");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRect>("iconRect");
    QTest::addColumn<QRect>("textRect");

    QTest::newRow("icon shorter than text") << QSize(16, 16) << QSize(40, 20) << 4 << QSize(60, 20)
                                            << QRect(0, 2, 16, 16) << QRect(20, 0, 40, 20);
    QTest::newRow("odd difference truncates") << QSize(16, 16) << QSize(40, 19) << 4 << QSize(60, 19)
                                              << QRect(0, 1, 16, 16) << QRect(20, 0, 40, 19);
    QTest::newRow("icon taller than text") << QSize(24, 24) << QSize(30, 18) << 4 << QSize(58, 24)
                                           << QRect(0, 0, 24, 24) << QRect(28, 0, 30, 24);
    QTest::newRow("text only") << QSize(0, 0) << QSize(40, 20) << 0 << QSize(40, 20) << QRect()
                               << QRect(0, 0, 40, 20);
    QTest::newRow("icon only") << QSize(16, 16) << QSize(0, 0) << 0 << QSize(16, 16) << QRect(0, 0, 16, 16)
                               << QRect(16, 0, 0, 16);
}

void tst_StyledWidgets::contentIsCentredSideBySide()
{
    QFETCH(QSize, iconSize);
    QFETCH(QSize, textSize);
    QFETCH(int, spacing);
    QFETCH(QSize, size);
    QFETCH(QRect, iconRect);
    QFETCH(QRect, textRect);

    const KStyleButton::ContentGeometry geometry = KStyleButton::contentGeometry(iconSize, textSize, spacing);
    QCOMPARE(geometry.size, size);
    QCOMPARE(geometry.iconRect, iconRect);
    QCOMPARE(geometry.textRect, textRect);
}

void tst_StyledWidgets::emptyButtonPaintsOnlyItsBackground()
{
    KStyleButton button;
    button.setThemeClassName(QStringLiteral("KStyleMessageBox-accptBtn"));
    button.resize(60, 30);
    const QColor background = KDrawHelper::getColorFromTheme(QStringLiteral("CommonThemePalette"),
                                                             QStringLiteral("kd-color-primary"), QColor());
    const QImage empty = button.grab().toImage();
    // Inside the rounded corners every pixel is the background.
    for (int y = 4; y < 26; ++y) {
        for (int x = 4; x < 56; ++x)
            QCOMPARE(empty.pixelColor(x, y), background);
    }
    button.setText(QStringLiteral("OK"));
    QVERIFY(button.grab().toImage() != empty);
}

void tst_StyledWidgets::labelReadsThemeFontOnce()
{
    m_home->setSuiteValue(QStringLiteral("theme/scale"), 1.5);
    KStyleLabel label;
    label.setThemeClassName(QStringLiteral("KStyleMessageBox-title"));
    label.setText(QStringLiteral("Title"));
    label.show();
    QCOMPARE(label.font().pixelSize(), 24);
    QCOMPARE(label.font().weight(), 63);
    const QColor light = label.palette().color(QPalette::WindowText);
    QCOMPARE(light, KDrawHelper::getColorFromTheme(QStringLiteral("CommonThemePalette"),
                                                   QStringLiteral("kd-color-text-primary"), QColor()));

    QFont own = label.font();
    own.setPixelSize(9);
    label.setFont(own);
    label.hide();
    label.show();
    QCOMPARE(label.font().pixelSize(), 9);

    SkinSwitch::apply(nullptr, QStringLiteral("dark"));
    label.refreshTextColor();
    QVERIFY(label.palette().color(QPalette::WindowText) != light);
    QCOMPARE(label.font().pixelSize(), 9);
}

void tst_StyledWidgets::styledWidgetsAnswerTheInterface()
{
    KStyleLabel label;
    KStyleButton button;
    KStyleIconButton iconButton;
    for (QObject *object : {static_cast<QObject *>(&label), static_cast<QObject *>(&button),
                            static_cast<QObject *>(&iconButton)}) {
        auto *style = static_cast<IStyleObject *>(object->qt_metacast("IStyleObject"));
        QVERIFY(style);
        QCOMPARE(style->themeClassName(), QString());
        style->setThemeClassName(QStringLiteral("Some-class"));
        QCOMPARE(style->themeClassName(), QStringLiteral("Some-class"));
        QCOMPARE(object->property(KDrawHelper::ObjectThemeClassName).toString(), QStringLiteral("Some-class"));
    }
}

void tst_StyledWidgets::dragRules_data()
{
    QTest::addColumn<int>("pressButton"); // Qt::NoButton: no press
    QTest::addColumn<QPoint>("pressAt");
    QTest::addColumn<bool>("release");
    QTest::addColumn<bool>("drags");

    QTest::newRow("left press on the drag area") << int(Qt::LeftButton) << QPoint(10, 10) << false << true;
    QTest::newRow("edge of the drag area") << int(Qt::LeftButton) << QPoint(299, 39) << false << true;
    QTest::newRow("right press on the drag area") << int(Qt::RightButton) << QPoint(10, 10) << false << false;
    QTest::newRow("left press on the content") << int(Qt::LeftButton) << QPoint(10, 100) << false << false;
    QTest::newRow("released before moving") << int(Qt::LeftButton) << QPoint(10, 10) << true << false;
    QTest::newRow("move without press") << int(Qt::NoButton) << QPoint() << false << false;
}

void tst_StyledWidgets::dragRules()
{
    QFETCH(int, pressButton);
    QFETCH(QPoint, pressAt);
    QFETCH(bool, release);
    QFETCH(bool, drags);

    MouseCounter window;
    window.setGeometry(100, 100, 300, 200);
    QWidget titleBar(&window);
    titleBar.setGeometry(0, 0, 300, 40);
    QWidget target;
    target.move(5, 5);
    auto *helper = new styleui::KMoveHelper(&window, &target, &titleBar);
    QCOMPARE(helper->parent(), &window);
    QVERIFY(window.hasMouseTracking());
    QSignalSpy moves(helper, &styleui::KMoveHelper::move);

    if (pressButton != Qt::NoButton)
        sendMouse(&window, QEvent::MouseButtonPress, Qt::MouseButton(pressButton), pressAt);
    if (release)
        sendMouse(&window, QEvent::MouseButtonRelease, Qt::MouseButton(pressButton), pressAt);
    const QPoint moveTo = pressAt + QPoint(20, 15);
    sendMouse(&window, QEvent::MouseMove, Qt::NoButton, moveTo);

    QCOMPARE(window.handled, 0);
    QCOMPARE(helper->isDragging(), drags);
    if (drags) {
        QCOMPARE(target.pos(), window.mapToGlobal(moveTo) - pressAt);
        QCOMPARE(moves.count(), 1);
        QCOMPARE(moves.first().first().toPoint(), QPoint(20, 15));
        sendMouse(&window, QEvent::MouseButtonRelease, Qt::LeftButton, moveTo);
        sendMouse(&window, QEvent::MouseMove, Qt::NoButton, moveTo + QPoint(50, 50));
        QCOMPARE(moves.count(), 1);
    } else {
        QCOMPARE(target.pos(), QPoint(5, 5));
        QVERIFY(moves.isEmpty());
    }
}

void tst_StyledWidgets::svgRendersAtTheGivenSize()
{
    const QImage close = renderSvgToPixmap(QStringLiteral(":/icons_svg/dialog_close.svg"), QSize(32, 32)).toImage();
    QCOMPARE(close.size(), QSize(32, 32));
    // The cross runs through the centre; the corners stay transparent.
    const QColor centre = close.pixelColor(16, 16);
    QVERIFY(centre.alpha() > 200);
    QVERIFY(qAbs(centre.red() - 0x75) <= 2);
    QCOMPARE(close.pixelColor(1, 30).alpha(), 0);
    QCOMPARE(close.pixelColor(16, 2).alpha(), 0);

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Cannot open file.*no_such.svg")));
    const QImage missing = renderSvgToPixmap(QStringLiteral(":/icons_svg/no_such.svg"), QSize(16, 16)).toImage();
    QCOMPARE(missing.size(), QSize(16, 16));
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x)
            QCOMPARE(missing.pixelColor(x, y).alpha(), 0);
    }
}

QTEST_MAIN(tst_StyledWidgets)
#include "tst_styledwidgets.moc"
