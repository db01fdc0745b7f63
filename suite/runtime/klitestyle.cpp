#include "klitestyle.h"

#include "suiteconfig.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace {
// A configured factor outside this range is a typo, not a screen.
constexpr qreal minScale = 0.5;
constexpr qreal maxScale = 4.0;
}

qreal KLiteStyle::scaleFactor()
{
    bool ok = false;
    const qreal configured = SuiteConfig::value(QStringLiteral("theme/scale")).toString().toDouble(&ok);
    if (ok && configured >= minScale && configured <= maxScale)
        return configured;
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        // Screens offer scales in quarter steps (100%, 125%, 150%...); a DPI
        // between two steps is a rounding of the screen's, not a scale.
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            return qBound(minScale, std::round(screen->logicalDotsPerInch() / 96.0 * 4) / 4, maxScale);
    }
    return 1.0;
}

qreal KLiteStyle::dpiScaled(qreal value)
{
    return value * scaleFactor();
}

QSize KLiteStyle::dpiScaledSize(const QSize &size)
{
    return dpiScaledSize(size.width(), size.height());
}

QSize KLiteStyle::dpiScaledSize(int width, int height)
{
    const qreal factor = scaleFactor();
    return QSize(int(width * factor), int(height * factor));
}

QMargins KLiteStyle::dpiScaledMargins(const QMargins &margins)
{
    return dpiScaledMargins(margins.left(), margins.top(), margins.right(), margins.bottom());
}

QMargins KLiteStyle::dpiScaledMargins(int left, int top, int right, int bottom)
{
    const qreal factor = scaleFactor();
    return QMargins(int(left * factor), int(top * factor), int(right * factor), int(bottom * factor));
}
