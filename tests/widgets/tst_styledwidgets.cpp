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

    QScopedPointer<TestSuiteHome> m_home;

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { m_home.reset(new TestSuiteHome); }
    void cleanup()
    {
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
        m_home.reset();
    }

    void iconFollowsState_data()
    {
        QTest::addColumn<QList<int>>(
            "pixmaps"); // sizes set: 10 normal, 11 hover, 12 pressed, 13 disabled, 14 checked, 15 focus
        QTest::addColumn<bool>("checked");
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("expectedSize"); // 9: the button's own icon
        const int enabled = QStyle::State_Enabled;
        const int hover = enabled | QStyle::State_MouseOver;
        QTest::newRow("normal") << QList<int>{10, 11} << false << enabled << 10;
        QTest::newRow("hover") << QList<int>{10, 11} << false << hover << 11;
        QTest::newRow("hover without hover pixmap") << QList<int>{10} << false << hover << 10;
        QTest::newRow("pressed beats hover") << QList<int>{10, 11, 12} << false << (hover | QStyle::State_Sunken) << 12;
        QTest::newRow("checked beats pressed")
            << QList<int>{10, 12, 14} << true << (enabled | QStyle::State_Sunken) << 14;
        QTest::newRow("focus") << QList<int>{10, 15} << false << (enabled | QStyle::State_HasFocus) << 15;
        QTest::newRow("disabled") << QList<int>{10, 11, 13} << false << int(QStyle::State_MouseOver) << 13;
        QTest::newRow("disabled without pixmap") << QList<int>{10} << false << int(QStyle::State_None) << 10;
        QTest::newRow("no pixmaps at all") << QList<int>{} << false << hover << 9;
    }
    void iconFollowsState()
    {
        QFETCH(QList<int>, pixmaps);
        QFETCH(bool, checked);
        QFETCH(int, state);
        KStyleIconButton button;
        button.setIcon(QIcon(pixmapOfSize(9)));
        button.setIconSize(QSize(9, 9));
        button.setCheckable(checked);
        button.setChecked(checked);
        const QHash<int, void (KStyleIconButton::*)(const QPixmap &)> setters = {
            {10, &KStyleIconButton::setNormalPixmap},  {11, &KStyleIconButton::setHoverPixmap},
            {12, &KStyleIconButton::setPressedPixmap}, {13, &KStyleIconButton::setDisabledPixmap},
            {14, &KStyleIconButton::setCheckedPixmap}, {15, &KStyleIconButton::setFocusPixmap},
        };
        for (int size : pixmaps)
            (button.*setters.value(size))(pixmapOfSize(size));
        QStyleOptionButton option;
        option.state = QStyle::State(state);
        QIcon icon;
        QSize size;
        button.iconForOption(&option, &icon, &size);
        QTEST(size.width(), "expectedSize");
        QVERIFY(!icon.isNull());
    }

    void contentIsCentredSideBySide_data()
    {
        QTest::addColumn<QSize>("iconSize");
        QTest::addColumn<QSize>("textSize");
        QTest::addColumn<int>("spacing");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRect>("iconRect");
        QTest::addColumn<QRect>("textRect");
        QTest::newRow("icon shorter than text")
            << QSize(16, 16) << QSize(40, 20) << 4 << QSize(60, 20) << QRect(0, 2, 16, 16) << QRect(20, 0, 40, 20);
        QTest::newRow("odd difference truncates")
            << QSize(16, 16) << QSize(40, 19) << 4 << QSize(60, 19) << QRect(0, 1, 16, 16) << QRect(20, 0, 40, 19);
        QTest::newRow("icon taller than text")
            << QSize(24, 24) << QSize(30, 18) << 4 << QSize(58, 24) << QRect(0, 0, 24, 24) << QRect(28, 0, 30, 24);
        QTest::newRow("text only") << QSize(0, 0) << QSize(40, 20) << 0 << QSize(40, 20) << QRect()
                                   << QRect(0, 0, 40, 20);
        QTest::newRow("icon only") << QSize(16, 16) << QSize(0, 0) << 0 << QSize(16, 16) << QRect(0, 0, 16, 16)
                                   << QRect(16, 0, 0, 16);
    }
    void contentIsCentredSideBySide()
    {
        QFETCH(QSize, iconSize);
        QFETCH(QSize, textSize);
        QFETCH(int, spacing);
        const KStyleButton::ContentGeometry geometry = KStyleButton::contentGeometry(iconSize, textSize, spacing);
        QTEST(geometry.size, "size");
        QTEST(geometry.iconRect, "iconRect");
        QTEST(geometry.textRect, "textRect");
    }

    void emptyButtonPaintsOnlyItsBackground()
    {
        KStyleButton button;
        button.setThemeClassName("KStyleMessageBox-accptBtn");
        button.resize(60, 30);
        const QColor background = KDrawHelper::getColorFromTheme("CommonThemePalette", "kd-color-primary", QColor());
        const QImage empty = button.grab().toImage();
        // Inside the rounded corners every pixel is the background.
        for (int y = 4; y < 26; ++y) {
            for (int x = 4; x < 56; ++x)
                QCOMPARE(empty.pixelColor(x, y), background);
        }
        button.setText("OK");
        QVERIFY(button.grab().toImage() != empty);
    }

    // The theme's font is taken at the first show only: a font set since
    // stays, through shows and skin changes; the colour follows the skin.
    void labelReadsThemeFontOnce()
    {
        m_home->setSuiteValue("theme/scale", 1.5);
        KStyleLabel label;
        label.setThemeClassName("KStyleMessageBox-title");
        label.setText("Title");
        label.show();
        QCOMPARE(label.font().pixelSize(), 24);
        QCOMPARE(label.font().weight(), 63);
        const QColor light = label.palette().color(QPalette::WindowText);
        QCOMPARE(light, KDrawHelper::getColorFromTheme("CommonThemePalette", "kd-color-text-primary", QColor()));
        QFont own = label.font();
        own.setPixelSize(9);
        label.setFont(own);
        label.hide();
        label.show();
        QCOMPARE(label.font().pixelSize(), 9);
        SkinSwitch::apply(nullptr, "dark");
        label.refreshTextColor();
        QVERIFY(label.palette().color(QPalette::WindowText) != light);
        QCOMPARE(label.font().pixelSize(), 9);
    }

    void dragRules_data()
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
    void dragRules()
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
        QSignalSpy moves(helper, &styleui::KMoveHelper::move);
        if (pressButton != Qt::NoButton)
            sendMouse(&window, QEvent::MouseButtonPress, Qt::MouseButton(pressButton), pressAt);
        if (release)
            sendMouse(&window, QEvent::MouseButtonRelease, Qt::MouseButton(pressButton), pressAt);
        const QPoint moveTo = pressAt + QPoint(20, 15);
        sendMouse(&window, QEvent::MouseMove, Qt::NoButton, moveTo);

        // The helper takes the events; the window's own handlers see none.
        QCOMPARE(window.handled, 0);
        QCOMPARE(helper->isDragging(), drags);
        QCOMPARE(target.pos(), drags ? window.mapToGlobal(moveTo) - pressAt : QPoint(5, 5));
        QCOMPARE(moves, drags ? QList<QList<QVariant>>{{QPoint(20, 15)}} : QList<QList<QVariant>>());
        // A release ends the drag.
        sendMouse(&window, QEvent::MouseButtonRelease, Qt::LeftButton, moveTo);
        sendMouse(&window, QEvent::MouseMove, Qt::NoButton, moveTo + QPoint(50, 50));
        QCOMPARE(moves.count(), drags ? 1 : 0);
    }

    void svgRendersAtTheGivenSize()
    {
        const QImage close = renderSvgToPixmap(":/icons_svg/dialog_close.svg", QSize(32, 32)).toImage();
        QCOMPARE(close.size(), QSize(32, 32));
        // The cross runs through the centre; the corners stay transparent.
        const QColor centre = close.pixelColor(16, 16);
        QVERIFY(centre.alpha() > 200);
        QVERIFY(qAbs(centre.red() - 0x75) <= 2);
        QCOMPARE(close.pixelColor(1, 30).alpha(), 0);
        QCOMPARE(close.pixelColor(16, 2).alpha(), 0);
        // A missing file gives a transparent pixmap of the size asked for.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Cannot open file.*no_such.svg"));
        QImage missing = renderSvgToPixmap(":/icons_svg/no_such.svg", QSize(16, 16)).toImage();
        QCOMPARE(missing.size(), QSize(16, 16));
        QImage transparent(missing.size(), missing.format());
        transparent.fill(Qt::transparent);
        QCOMPARE(missing, transparent);
    }
};

QTEST_MAIN(tst_StyledWidgets)
#include "tst_styledwidgets.moc"
