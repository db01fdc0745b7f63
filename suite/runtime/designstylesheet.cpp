#include "designstylesheet.h"

#include "kdrawhelper.h"
#include "klitestyle.h"
#include "themestore.h"

namespace {
QString css(const QColor &color)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alpha());
}
}

namespace DesignStyleSheet {

QString framedInput(const QString &selector, const QString &themeClass)
{
    auto color = [&themeClass](const QString &property, QStyle::State state) {
        return css(ThemeStore::stateColor(themeClass, property, state));
    };
    const QStyle::State normal = QStyle::State_Enabled;
    const QString text = QString::fromLatin1(KDrawHelper::Prop_Text);
    const QFont font = KDrawHelper::getFontFromThemeWithDpi(themeClass, text, QFont());
    const int radius
        = int(KLiteStyle::dpiScaled(KDrawHelper::getHintFromTheme(themeClass, QStringLiteral("radius"), 4)));
    const int padding
        = int(KLiteStyle::dpiScaled(KDrawHelper::getHintFromTheme(themeClass, QStringLiteral("padding"), 8)));
    return QStringLiteral("%1 { background: %2; color: %3; border: 1px solid %4; border-radius: %5px;"
                          " padding: 0px %6px; font-size: %7px; selection-background-color: %8; selection-color: %3; }"
                          " %1:hover { border-color: %9; }"
                          " %1:focus { border-color: %10; }"
                          " %1:disabled { background: %11; color: %12; border-color: %4; }")
        .arg(selector, color(QStringLiteral("background"), normal), color(text, normal),
             color(QStringLiteral("border"), normal))
        .arg(radius)
        .arg(padding)
        .arg(font.pixelSize() > 0 ? font.pixelSize() : 14)
        .arg(color(QStringLiteral("selection"), normal),
             color(QStringLiteral("border"), normal | QStyle::State_MouseOver),
             color(QStringLiteral("border"), normal | QStyle::State_HasFocus),
             color(QStringLiteral("background"), QStyle::State_None), color(text, QStyle::State_None));
}

int inputHeight(int size)
{
    const int logical = size <= 0 ? 24 : (size == 1 ? 28 : 32);
    return int(KLiteStyle::dpiScaled(logical));
}

}
