#include "kdrawhelper.h"

#include "klitestyle.h"
#include "themestore.h"

#include <QIcon>
#include <QJsonObject>
#include <QPainter>
#include <QStyleOption>

namespace {
const QString colorFacet = QStringLiteral("color");
const QString fontFacet = QStringLiteral("font");
const QString hintFacet = QStringLiteral("hint");
// What drawBackGround paints for a widget without a theme class.
const QString windowClass = QStringLiteral("CommonWindow");

QStyle::State stateOf(const QStyleOption *option)
{
    return option ? option->state : QStyle::State(QStyle::State_Enabled);
}

int stateHint(const QString &themeClass, const QString &property, QStyle::State state, int defaultValue)
{
    for (const QString &suffix : ThemeStore::stateSuffixes(state)) {
        bool ok = false;
        const int value = KDrawHelper::getHintFromTheme(themeClass, property + suffix, 0, &ok);
        if (ok)
            return value;
    }
    return defaultValue;
}

// Only a state's own font replaces the caller's: the plain font is the caller's choice.
QFont stateFont(const QString &themeClass, const QString &property, QStyle::State state, const QFont &font)
{
    for (const QString &suffix : ThemeStore::stateSuffixes(state)) {
        if (suffix.isEmpty())
            break;
        bool ok = false;
        const QFont themed = KDrawHelper::getFontFromThemeWithDpi(themeClass, property + suffix, font, &ok);
        if (ok)
            return themed;
    }
    return font;
}
}

QColor KDrawHelper::getColorFromTheme(const QString &themeClass, const QString &property, const QColor &defaultColor,
                                      bool followSkin)
{
    const QJsonValue value = ThemeStore::facet(themeClass, property, colorFacet, followSkin);
    if (value.isString()) {
        const QColor color(value.toString());
        if (color.isValid())
            return color;
    }
    return defaultColor;
}

QFont KDrawHelper::getFontFromThemeWithDpi(const QString &themeClass, const QString &property, const QFont &defaultFont,
                                           bool *ok)
{
    const QJsonValue value = ThemeStore::facet(themeClass, property, fontFacet);
    const QJsonObject fontFields = value.toObject();
    if (ok)
        *ok = !fontFields.isEmpty();
    if (fontFields.isEmpty())
        return defaultFont;
    QFont font = defaultFont;
    if (fontFields.contains(QStringLiteral("family")))
        font.setFamily(fontFields.value(QStringLiteral("family")).toString());
    const int pixelSize = fontFields.value(QStringLiteral("pixelSize")).toInt();
    if (pixelSize > 0)
        font.setPixelSize(qMax(1, int(KLiteStyle::dpiScaled(pixelSize))));
    if (fontFields.contains(QStringLiteral("weight")))
        font.setWeight(qBound(0, fontFields.value(QStringLiteral("weight")).toInt(), 99));
    if (fontFields.contains(QStringLiteral("italic")))
        font.setItalic(fontFields.value(QStringLiteral("italic")).toBool());
    if (fontFields.contains(QStringLiteral("underline")))
        font.setUnderline(fontFields.value(QStringLiteral("underline")).toBool());
    return font;
}

int KDrawHelper::getHintFromTheme(const QString &themeClass, const QString &property, int defaultValue, bool *ok)
{
    const QJsonValue value = ThemeStore::facet(themeClass, property, hintFacet);
    if (ok)
        *ok = value.isDouble();
    return value.isDouble() ? value.toInt() : defaultValue;
}

QString KDrawHelper::getObjectThemeClassName(const QObject *object, const QString &defaultName)
{
    const QString name = object ? object->property(ObjectThemeClassName).toString() : QString();
    return name.isEmpty() ? defaultName : name;
}

void KDrawHelper::drawBackGround(QPainter *painter, const QRect &rect, const QString &themeClass,
                                 const QStyleOption *option, const KDrawBackGroundExArgs &args)
{
    if (!painter || rect.isEmpty())
        return;
    const QString cls = themeClass.isEmpty() ? windowClass : themeClass;
    const QStyle::State state = stateOf(option);
    const QColor background = args.background.isValid()
                                  ? args.background
                                  : ThemeStore::stateColor(cls, QStringLiteral("background"), state);
    const QColor border
        = args.border.isValid() ? args.border : ThemeStore::stateColor(cls, QStringLiteral("border"), state);
    const bool hasBackground = background.isValid() && background.alpha() > 0;
    const bool hasBorder = border.isValid() && border.alpha() > 0;
    if (!hasBackground && !hasBorder)
        return;

    const qreal radius = args.radius >= 0
                             ? args.radius
                             : int(KLiteStyle::dpiScaled(stateHint(cls, QStringLiteral("radius"), state, 0)));
    const qreal borderWidth
        = hasBorder ? qMax(1, int(KLiteStyle::dpiScaled(stateHint(cls, QStringLiteral("border-width"), state, 1)))) : 0;
    // A stroke is centred on its path: inset by half its width to stay inside.
    const QRectF area = QRectF(rect.marginsRemoved(args.margins))
                            .adjusted(borderWidth / 2, borderWidth / 2, -borderWidth / 2, -borderWidth / 2);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, radius > 0);
    painter->setPen(hasBorder ? QPen(border, borderWidth) : QPen(Qt::NoPen));
    painter->setBrush(hasBackground ? QBrush(background) : QBrush(Qt::NoBrush));
    if (radius > 0)
        painter->drawRoundedRect(area, radius, radius);
    else
        painter->drawRect(area);
    painter->restore();
}

void KDrawHelper::drawBackGround(QPainter *painter, const QRect &rect, const QString &themeClass,
                                 const QStyleOption *option)
{
    drawBackGround(painter, rect, themeClass, option, KDrawBackGroundExArgs());
}

void KDrawHelper::drawIcon(QPainter *painter, const QRect &rect, const QIcon &icon, const QStyleOption *option,
                           bool followState, const QString &themeClass)
{
    if (!painter || icon.isNull() || rect.isEmpty())
        return;
    const QStyle::State state = stateOf(option);
    QIcon::Mode mode = QIcon::Normal;
    if (!(state & QStyle::State_Enabled))
        mode = QIcon::Disabled;
    else if (followState && (state & (QStyle::State_MouseOver | QStyle::State_Sunken)))
        mode = QIcon::Active;
    const QIcon::State iconState = (followState && (state & QStyle::State_On)) ? QIcon::On : QIcon::Off;

    const QColor tint
        = themeClass.isEmpty() ? QColor() : ThemeStore::stateColor(themeClass, QStringLiteral("icon"), state);
    if (!tint.isValid()) {
        icon.paint(painter, rect, Qt::AlignCenter, mode, iconState);
        return;
    }
    // Monochrome icons take the skin's colour: keep their shape, replace the colour.
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    QPixmap pixmap = icon.pixmap(rect.size(), mode, iconState);
    pixmap.setDevicePixelRatio(ratio);
    QPainter tinter(&pixmap);
    tinter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    tinter.fillRect(pixmap.rect(), tint);
    tinter.end();
    const QSize size = pixmap.size() / pixmap.devicePixelRatio();
    painter->drawPixmap(QRect(QPoint(0, 0), size).translated(rect.center() - QRect(QPoint(0, 0), size).center()),
                        pixmap);
}

void KDrawHelper::drawText(QPainter *painter, const QRect &rect, const QString &text, int alignment, const QFont &font,
                           const QString &themeClass, const QStyleOption *option, Qt::TextElideMode elideMode,
                           const QString &property, const KDrawTextColorArgs &colorArgs, const QColor &color,
                           qreal letterSpacing, int textFlags)
{
    if (!painter || text.isEmpty() || rect.isEmpty())
        return;
    const QStyle::State state = stateOf(option);
    const QString textProperty = property.isEmpty() ? QString::fromLatin1(Prop_Text) : property;
    QColor pen = color;
    if (!pen.isValid()) {
        if (!(state & QStyle::State_Enabled))
            pen = colorArgs.disabled;
        else if (state & QStyle::State_Sunken)
            pen = colorArgs.pressed;
        else if (state & QStyle::State_MouseOver)
            pen = colorArgs.hover;
        if (!pen.isValid())
            pen = colorArgs.normal;
    }
    if (!pen.isValid() && !themeClass.isEmpty())
        pen = ThemeStore::stateColor(themeClass, textProperty, state);
    if (!pen.isValid() && option) {
        pen = option->palette.color((state & QStyle::State_Enabled) ? QPalette::Active : QPalette::Disabled,
                                    QPalette::ButtonText);
    }

    QFont textFont = themeClass.isEmpty() ? font : stateFont(themeClass, textProperty, state, font);
    if (letterSpacing != 0.0)
        textFont.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    QString shown = text;
    if (elideMode != Qt::ElideNone)
        shown = QFontMetrics(textFont).elidedText(text, elideMode, rect.width());

    painter->save();
    painter->setFont(textFont);
    painter->setPen(pen);
    painter->drawText(rect, alignment | textFlags, shown);
    painter->restore();
}

bool KDrawHelper::isDarkSkin()
{
    return ThemeStore::activeSkin() == QLatin1String("dark");
}

QString KDrawHelper::currentSkin()
{
    return ThemeStore::activeSkin();
}
