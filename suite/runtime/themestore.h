#pragma once

#include <QColor>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <QStyle>

// The skins compiled into the host: one JSON file per skin under
// :/zentrihost/themes. A skin maps theme classes to properties:
//
//   {"base": "default",
//    "classes": {"KDLabel": {"inherits": "Other",
//                            "text": {"color": "@CommonThemePalette/kd-color-text-primary",
//                                     "font": {"pixelSize": 14, "weight": 50}},
//                            "radius": 4}}}
//
// A property is a colour text, a number (hint) or an object of facets
// ("color", "font", "hint"). "@Class/property" refers to another property of
// the same skin. Lookups go through the class's "inherits" chain, each class
// read from the active skin first and then from its base skins.
namespace ThemeStore {
QStringList skinNames();
bool hasSkin(const QString &skin);
// suite.ini [theme] skin; an unknown or missing name is "default".
QString activeSkin();

// The facet `facet` of `property` in `themeClass`, references resolved;
// undefined when the theme has none. With `followSkin` false the default
// skin is read.
QJsonValue facet(const QString &themeClass, const QString &property, const QString &facet, bool followSkin = true);

// Property-name suffixes for a widget state, most specific first, ending
// with "" (the plain property): ":disabled", ":checked", ":pressed",
// ":hover", ":focus".
QStringList stateSuffixes(QStyle::State state);
// The first colour of `property` with one of the state suffixes; invalid when none.
QColor stateColor(const QString &themeClass, const QString &property, QStyle::State state);
}
