#pragma once

#include "zentrihost_global.h"

#include <QColor>
#include <QFont>
#include <QMargins>
#include <QString>

class QIcon;
class QObject;
class QPainter;
class QRect;
class QStyleOption;

// The suite's theme: colours, fonts and integer hints by theme class and
// property name, read from the active skin, and themed painting.
class ZENTRIHOST_EXPORT KDrawHelper
{
public:
    // The dynamic property that carries a widget's theme class.
    static constexpr const char *ObjectThemeClassName = "kdThemeClassName";
    // Standard property names of a theme class.
    static constexpr const char *Prop_Text = "text";
    static constexpr const char *Prop_Spacing = "spacing";

    // Overrides for drawBackGround; the default-constructed value takes
    // everything from the theme.
    struct KDrawBackGroundExArgs
    {
        QColor background;
        QColor border;
        int radius = -1;
        QMargins margins;
    };

    // Overrides of the text colour per state; invalid colours come from the theme.
    struct KDrawTextColorArgs
    {
        QColor normal;
        QColor hover;
        QColor pressed;
        QColor disabled;
    };

    // The colour of `property` in `themeClass`, or `defaultColor` when the
    // theme has none. With `followSkin` false the default skin is read
    // whatever skin is active.
    static QColor getColorFromTheme(const QString &themeClass, const QString &property, const QColor &defaultColor,
                                    bool followSkin = true);
    // The font of `property` in `themeClass`, its pixel size scaled for the
    // screen; `defaultFont` when the theme has none.
    static QFont getFontFromThemeWithDpi(const QString &themeClass, const QString &property, const QFont &defaultFont,
                                         bool *ok = nullptr);
    // An integer hint (unscaled), or `defaultValue` when the theme has none.
    static int getHintFromTheme(const QString &themeClass, const QString &property, int defaultValue,
                                bool *ok = nullptr);

    // The theme class stored on `object`, or `defaultName` when it has none.
    static QString getObjectThemeClassName(const QObject *object, const QString &defaultName);

    // Fills `rect` with the background of `themeClass` for the state in
    // `option` (disabled, checked, pressed, hover, focus), with its border
    // and corner radius.
    static void drawBackGround(QPainter *painter, const QRect &rect, const QString &themeClass,
                               const QStyleOption *option, const KDrawBackGroundExArgs &args);
    static void drawBackGround(QPainter *painter, const QRect &rect, const QString &themeClass,
                               const QStyleOption *option);
    // Paints `icon` centred in `rect`; with `followState` the icon mode follows
    // the option state. When `themeClass` has an "icon" colour the icon is
    // tinted with it.
    static void drawIcon(QPainter *painter, const QRect &rect, const QIcon &icon, const QStyleOption *option,
                         bool followState, const QString &themeClass);
    // Draws `text` into `rect`. The colour is `color` when valid, else the
    // state colour of `colorArgs`, else `property` (with its state variant) of
    // `themeClass`, else the option's palette. `letterSpacing` adds absolute
    // pixels between letters; `textFlags` are further Qt::TextFlag bits.
    static void drawText(QPainter *painter, const QRect &rect, const QString &text, int alignment, const QFont &font,
                         const QString &themeClass, const QStyleOption *option, Qt::TextElideMode elideMode,
                         const QString &property, const KDrawTextColorArgs &colorArgs, const QColor &color,
                         qreal letterSpacing, int textFlags);

    static bool isDarkSkin();
    // The active skin's name ("default" or "dark").
    static QString currentSkin();
};
