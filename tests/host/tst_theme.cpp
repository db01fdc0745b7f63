// The suite's theme: lookups, skins, scaling, shadows, content dialogs.
#include "testsuitehome.h"

#include <automation.h>

#include <kdbutton.h>
#include <kdcontentdlg.h>
#include <kdlabel.h>
#include <kdrawhelper.h>
#include <kliteboxshadow.h>
#include <klitestyle.h>
#include <kliteui.h>
#include <skinswitch.h>
#include <zentriappcontainer.h>

#include <QtTest>

Q_DECLARE_METATYPE(QMargins)

// Records the host's skin events as the plug-in's application object would.
class SkinListener : public QObject
{
    Q_OBJECT
public:
    QList<QVariantMap> events;
public slots:
    void onSkinChanged(const QVariantMap &payload) { events.append(payload); }
};

class tst_Theme : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { m_home.reset(new TestSuiteHome); }
    void cleanup();
    void lookupsFallBackToTheDefault_data();
    void lookupsFallBackToTheDefault();
    void skinSwitchReachesThemeAndSubscribers();
    void scalingTruncates_data();
    void scalingTruncates();
    void shadowKeepsItsMarginsFree();
    void contentDialogAnswersItsResults_data();
    void contentDialogAnswersItsResults();

private:
    QScopedPointer<TestSuiteHome> m_home;
};

void tst_Theme::cleanup()
{
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    m_home.reset();
}

void tst_Theme::lookupsFallBackToTheDefault_data()
{
    QTest::addColumn<QString>("themeClass");
    QTest::addColumn<QString>("property");
    QTest::addColumn<bool>("themed");

    const auto row = [](const char *tag, const char *themeClass, const char *property, bool themed) {
        QTest::newRow(tag) << QString(themeClass) << QString(property) << themed;
    };
    row("palette token", "CommonThemePalette", "kd-color-text-secondary", true);
    row("inherited class", "KStyleMessageBox-accptBtn", "background", true);
    row("unknown property", "CommonThemePalette", "kd-color-no-such", false);
    row("unknown class", "NoSuchClass", "text", false);
    row("empty class", "", "text", false);
}

void tst_Theme::lookupsFallBackToTheDefault()
{
    QFETCH(QString, themeClass);
    QFETCH(QString, property);
    QFETCH(bool, themed);
    const QColor fallbackColor(1, 2, 3);
    const QColor color = KDrawHelper::getColorFromTheme(themeClass, property, fallbackColor);
    QCOMPARE(color != fallbackColor, themed);
    QVERIFY(color.isValid());
    // A class without fonts or hints answers the caller's defaults.
    QFont fallbackFont;
    fallbackFont.setPixelSize(7);
    bool ok = true;
    const QFont font = KDrawHelper::getFontFromThemeWithDpi(themeClass, property, fallbackFont, &ok);
    if (!ok)
        QCOMPARE(font, fallbackFont);
    QCOMPARE(KDrawHelper::getHintFromTheme(themeClass, property + QStringLiteral("-hint"), 42, &ok), 42);
    QVERIFY(!ok);
}

void tst_Theme::skinSwitchReachesThemeAndSubscribers()
{
    const QString cls = QStringLiteral("CommonThemePalette");
    const QString token = QStringLiteral("kd-color-bg-window");
    const QColor light = KDrawHelper::getColorFromTheme(cls, token, QColor());
    QVERIFY(!KDrawHelper::isDarkSkin());
    ZentriAppContainer container;
    SkinListener listener;
    QVERIFY(container.subscribeEvent(QStringLiteral("SkinChanged"), &listener, QStringLiteral("onSkinChanged")));
    KDLabel label(QStringLiteral("text"));
    const QColor lightText = label.palette().color(QPalette::WindowText);

    QCOMPARE(SkinSwitch::apply(&container, QStringLiteral("dark")), 1);
    QVERIFY(KDrawHelper::isDarkSkin());
    QCOMPARE(m_home->suiteValue(QStringLiteral("theme/skin")).toString(), QStringLiteral("dark"));
    QCOMPARE(listener.events, QList<QVariantMap>({{{QStringLiteral("skin"), QStringLiteral("dark")}}}));
    const QColor dark = KDrawHelper::getColorFromTheme(cls, token, QColor());
    QVERIFY(dark.isValid() && dark.lightness() < light.lightness());
    // The dark skin takes what it does not override from the default skin,
    // which can still be read on purpose; design widgets follow the switch.
    QCOMPARE(KDrawHelper::getHintFromTheme(QStringLiteral("KLiteButton"), QStringLiteral("radius"), 0), 4);
    QCOMPARE(KDrawHelper::getColorFromTheme(cls, token, QColor(), false), light);
    QVERIFY(label.palette().color(QPalette::WindowText) != lightText);

    QCOMPARE(SkinSwitch::apply(&container, QStringLiteral("default")), 1);
    QCOMPARE(KDrawHelper::getColorFromTheme(cls, token, QColor()), light);
    QCOMPARE(label.palette().color(QPalette::WindowText), lightText);
    // An unknown skin changes nothing; one written by hand is the default skin.
    QCOMPARE(SkinSwitch::apply(&container, QStringLiteral("neon")), -1);
    QCOMPARE(listener.events.size(), 2);
    QCOMPARE(m_home->suiteValue(QStringLiteral("theme/skin")).toString(), QStringLiteral("default"));
    m_home->setSuiteValue(QStringLiteral("theme/skin"), QStringLiteral("neon"));
    QCOMPARE(KDrawHelper::currentSkin(), QStringLiteral("default"));
}

void tst_Theme::scalingTruncates_data()
{
    QTest::addColumn<QVariant>("configured");
    QTest::addColumn<qreal>("factor");
    QTest::addColumn<QSize>("size80x28");
    QTest::addColumn<QMargins>("margins22_15");
    QTest::addColumn<int>("fontPixels");

    // The offscreen screen has 96 logical DPI: factor 1 unless configured.
    QTest::newRow("screen") << QVariant() << 1.0 << QSize(80, 28) << QMargins(22, 15, 0, 0) << 14;
    QTest::newRow("1.25") << QVariant(1.25) << 1.25 << QSize(100, 35) << QMargins(27, 18, 0, 0) << 17;
    QTest::newRow("1.75") << QVariant(1.75) << 1.75 << QSize(140, 49) << QMargins(38, 26, 0, 0) << 24;
    QTest::newRow("not a number") << QVariant(QStringLiteral("big")) << 1.0 << QSize(80, 28) << QMargins(22, 15, 0, 0)
                                  << 14;
    QTest::newRow("zero") << QVariant(0) << 1.0 << QSize(80, 28) << QMargins(22, 15, 0, 0) << 14;
}

void tst_Theme::scalingTruncates()
{
    QFETCH(QVariant, configured);
    QFETCH(qreal, factor);
    QFETCH(QSize, size80x28);
    QFETCH(QMargins, margins22_15);
    QFETCH(int, fontPixels);
    if (configured.isValid())
        m_home->setSuiteValue(QStringLiteral("theme/scale"), configured);
    QCOMPARE(KLiteStyle::scaleFactor(), factor);
    QCOMPARE(KLiteStyle::dpiScaled(22), 22 * factor);
    QCOMPARE(KLiteStyle::dpiScaledSize(80, 28), size80x28);
    QCOMPARE(KLiteStyle::dpiScaledMargins(22, 15, 0, 0), margins22_15);
    QCOMPARE(KDrawHelper::getFontFromThemeWithDpi("KDLabel", KDrawHelper::Prop_Text, QFont()).pixelSize(), fontPixels);
}

void tst_Theme::shadowKeepsItsMarginsFree()
{
    QWidget window(nullptr, Qt::FramelessWindowHint);
    KLiteBoxShadow shadow(&window, 0, 2, 40, QColor(0, 0, 0, 51), 0);
    shadow.setRadius(4);
    shadow.initFrame(&window);
    QVERIFY(window.testAttribute(Qt::WA_TranslucentBackground));
    const QSize full = shadow.caculateSize(QSize(440, 188));
    QCOMPARE(full, QSize(480, 228));
    QCOMPARE(shadow.caculateClientRect(QRect(QPoint(0, 0), full)), QRect(20, 18, 440, 188));
    // Nothing shows through the client area; the shadow shows just below it
    // and fades out towards the window's edge.
    const QImage image = shadow.shadowImage(full);
    QCOMPARE(qAlpha(image.pixel(240, 100)), 0);
    const int nearEdge = qAlpha(image.pixel(240, 18 + 188 + 2));
    QVERIFY(nearEdge > 0);
    QVERIFY(qAlpha(image.pixel(240, full.height() - 1)) < nearEdge);
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
}

void tst_Theme::contentDialogAnswersItsResults_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("expected");
    QTest::newRow("ok") << "Btn0" << 1;
    QTest::newRow("cancel") << "Btn2" << 0;
    QTest::newRow("esc") << "esc" << 0;
    QTest::newRow("enter") << "enter" << 1;
    QTest::newRow("window close") << "close" << 0;
}

void tst_Theme::contentDialogAnswersItsResults()
{
    QFETCH(QString, action);
    QFETCH(int, expected);
    KDContentDlg dialog(QStringLiteral("Confirm"), nullptr, false);
    dialog.setContentWidget(new KDLabel(QStringLiteral("Are you sure?")));
    KLiteUi::setSpyName(&dialog, QStringLiteral("confirmDlg"));
    dialog.setButtonText(KDContentDlg::OkButton, QStringLiteral("OK"));
    dialog.setButtonResult(KDContentDlg::OkButton, 1);
    dialog.setButtonText(KDContentDlg::CancelButton, QStringLiteral("Cancel"));
    dialog.setButtonResult(KDContentDlg::CancelButton, 0);
    dialog.setEscResult(0);

    Automation automation({Automation::customStep(action, QString(), [action](QWidget *modal) {
        if (action == QLatin1String("esc"))
            QTest::keyClick(modal, Qt::Key_Escape);
        else if (action == QLatin1String("enter"))
            QTest::keyClick(modal, Qt::Key_Return);
        else if (action == QLatin1String("close"))
            modal->close();
        else
            QTest::mouseClick(KLiteUi::findBySpyName<QWidget *>(modal, QStringLiteral("confirmDlg") + action),
                              Qt::LeftButton);
    })});
    automation.setWaitForWindowsToClose(true);
    automation.start();
    QCOMPARE(dialog.exec(), expected);
    QVERIFY2(automation.waitForDone(), qPrintable(automation.failure()));
}

QTEST_MAIN(tst_Theme)
#include "tst_theme.moc"
